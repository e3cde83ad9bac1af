-- The notes of days, a table of the calendar's own beside the suite's: why a day rests or
-- is worked ("国庆节"), one row per day, up to 200 characters (the store counts them).
CREATE TABLE t_WorkCalendarNote (
    FDay  DATE         NOT NULL PRIMARY KEY
          CHECK (FDay GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]'),
    FNote VARCHAR(200) NOT NULL
) WITHOUT ROWID;
