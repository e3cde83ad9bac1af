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
