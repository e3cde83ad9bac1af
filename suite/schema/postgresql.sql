-- The suite's tables that the factory calendar uses, for PostgreSQL.
-- Names are written unquoted, so PostgreSQL folds them to lower case and the statements'
-- mixed-case names (t_WorkCalendar, FInterID) resolve to them in any case.

CREATE TABLE t_WorkCalendar (
    FInterID  INTEGER NOT NULL DEFAULT 0,
    FDay      DATE    NOT NULL PRIMARY KEY,
    FDayID    INTEGER NOT NULL DEFAULT 0,
    FWeekID   INTEGER NOT NULL DEFAULT 0,
    FMonthID  INTEGER NOT NULL DEFAULT 0,
    FYearID   INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX ix_WorkCalendar_FInterID ON t_WorkCalendar (FInterID);

CREATE TABLE t_SystemProfile (
    FCategory VARCHAR(30)  NOT NULL,
    FKey      VARCHAR(100) NOT NULL,
    FValue    VARCHAR(255),
    PRIMARY KEY (FCategory, FKey)
);

CREATE TABLE t_mutiworkcal (
    FInterID  INTEGER NOT NULL DEFAULT 0,
    FDay      DATE    NOT NULL,
    FDayID    INTEGER NOT NULL DEFAULT 0,
    FWeekID   INTEGER NOT NULL DEFAULT 0,
    FMonthID  INTEGER NOT NULL DEFAULT 0,
    FYearID   INTEGER NOT NULL DEFAULT 0,
    FCalID    INTEGER NOT NULL,
    PRIMARY KEY (FCalID, FDay)
);

CREATE TABLE t_WOScheduleDetail (
    FDetailID INTEGER PRIMARY KEY,
    FSeqID    INTEGER NOT NULL,
    FItemID   INTEGER NOT NULL DEFAULT 0,
    FQty      DOUBLE PRECISION NOT NULL DEFAULT 0
);
CREATE INDEX ix_WOScheduleDetail_FSeqID ON t_WOScheduleDetail (FSeqID);

-- The T-SQL functions the statements call. GETDATE() is the time the statement started,
-- in the server's time zone, to the millisecond; a session that sets zev.now (tests that
-- fix the clock) reads that time instead.
CREATE OR REPLACE FUNCTION getdate() RETURNS timestamp(3)
    LANGUAGE sql STABLE AS $$
    SELECT COALESCE(CAST(NULLIF(current_setting('zev.now', true), '') AS timestamp(3)),
                    CAST(statement_timestamp() AS timestamp(3)))
$$;
CREATE OR REPLACE FUNCTION year(d timestamp) RETURNS integer
    LANGUAGE sql IMMUTABLE STRICT AS $$ SELECT CAST(extract(year FROM d) AS integer) $$;
CREATE OR REPLACE FUNCTION month(d timestamp) RETURNS integer
    LANGUAGE sql IMMUTABLE STRICT AS $$ SELECT CAST(extract(month FROM d) AS integer) $$;
CREATE OR REPLACE FUNCTION day(d timestamp) RETURNS integer
    LANGUAGE sql IMMUTABLE STRICT AS $$ SELECT CAST(extract(day FROM d) AS integer) $$;

-- Data version: every statement that writes one of the four tables draws a new number
-- from the sequence. A writer also holds a shared advisory lock until it commits or rolls
-- back; the reader answers -1 while any writer holds it, because the number it would give
-- could belong to rows that are about to change.
CREATE SEQUENCE zev_data_version;

CREATE OR REPLACE FUNCTION zev_bump_data_version() RETURNS trigger
    LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_advisory_xact_lock_shared(7260405511);
    PERFORM nextval('zev_data_version');
    RETURN NULL;
END
$$;

CREATE OR REPLACE FUNCTION zev_read_data_version() RETURNS bigint
    LANGUAGE plpgsql VOLATILE AS $$
DECLARE
    v bigint;
BEGIN
    IF NOT pg_try_advisory_lock(7260405511) THEN
        RETURN -1;
    END IF;
    -- The lock outlives a failed statement; held, it would keep every writer waiting.
    BEGIN
        SELECT CASE WHEN is_called THEN last_value ELSE 0 END INTO v FROM zev_data_version;
    EXCEPTION WHEN OTHERS OR QUERY_CANCELED THEN
        PERFORM pg_advisory_unlock(7260405511);
        RAISE;
    END;
    PERFORM pg_advisory_unlock(7260405511);
    RETURN v;
END
$$;

CREATE TRIGGER tr_WorkCalendar_version AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE
    ON t_WorkCalendar FOR EACH STATEMENT EXECUTE FUNCTION zev_bump_data_version();
CREATE TRIGGER tr_SystemProfile_version AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE
    ON t_SystemProfile FOR EACH STATEMENT EXECUTE FUNCTION zev_bump_data_version();
CREATE TRIGGER tr_mutiworkcal_version AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE
    ON t_mutiworkcal FOR EACH STATEMENT EXECUTE FUNCTION zev_bump_data_version();
CREATE TRIGGER tr_WOScheduleDetail_version AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE
    ON t_WOScheduleDetail FOR EACH STATEMENT EXECUTE FUNCTION zev_bump_data_version();
