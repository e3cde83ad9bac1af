-- The notes of days, a table of the calendar's own beside the suite's: why a day rests or
-- is worked ("国庆节"), one row per day, up to 200 characters.
CREATE TABLE t_WorkCalendarNote (
    FDay  DATE         NOT NULL PRIMARY KEY,
    FNote VARCHAR(200) NOT NULL
);
