-- The history of the calendar's changes, a table of the calendar's own: one row per
-- change, written in the transaction of the change. FTime is the database's time
-- (GETDATE()); FDay the day changed, NULL for a change of a range (whose first and last
-- days FFrom and FTo then hold); FFrom and FTo what the day was and became.
CREATE TABLE t_WorkCalendarLog (
    FID      INTEGER      PRIMARY KEY,
    FTime    DATETIME     NOT NULL,
    FUser    VARCHAR(128) NOT NULL DEFAULT '',
    FProgram VARCHAR(128) NOT NULL DEFAULT '',
    FAction  VARCHAR(30)  NOT NULL,
    FDay     DATE,
    FFrom    VARCHAR(200) NOT NULL DEFAULT '',
    FTo      VARCHAR(200) NOT NULL DEFAULT '',
    FNote    VARCHAR(200) NOT NULL DEFAULT ''
);
CREATE INDEX ix_WorkCalendarLog_FTime ON t_WorkCalendarLog (FTime);
