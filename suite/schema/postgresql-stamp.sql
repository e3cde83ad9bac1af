-- The change stamp of t_WorkCalendar, which the date service's copy of the calendar in
-- memory is kept on: a number in a table of one row that every transaction writing the
-- calendar moves once, inside that transaction, so a reader sees the number of the last
-- committed calendar whatever writer is still open. The trigger runs before the
-- statement: a writer takes the row before it changes any row of the calendar, so two
-- writers queue on it instead of deadlocking. A missing row reads as -1 (no stamp).
-- Each statement may run again on a database that has some of these objects already
-- (upgrade adds what a database made earlier lacks), and changes nothing there.
CREATE TABLE IF NOT EXISTS zev_data_version (version BIGINT NOT NULL);
INSERT INTO zev_data_version (version) SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM zev_data_version);

CREATE OR REPLACE FUNCTION zev_bump_data_version() RETURNS trigger
    LANGUAGE plpgsql AS $$
BEGIN
    IF current_setting('zev.data_version_moved_by', true) IS DISTINCT FROM
            CAST(txid_current() AS text) THEN
        UPDATE zev_data_version SET version = version + 1;
        PERFORM set_config('zev.data_version_moved_by', CAST(txid_current() AS text), true);
    END IF;
    RETURN NULL;
END
$$;

CREATE OR REPLACE FUNCTION zev_read_data_version() RETURNS bigint
    LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN (SELECT COALESCE(max(version), -1) FROM zev_data_version);
END
$$;

DROP TRIGGER IF EXISTS tr_WorkCalendar_version ON t_WorkCalendar;
CREATE TRIGGER tr_WorkCalendar_version BEFORE INSERT OR UPDATE OR DELETE OR TRUNCATE
    ON t_WorkCalendar FOR EACH STATEMENT EXECUTE FUNCTION zev_bump_data_version();
