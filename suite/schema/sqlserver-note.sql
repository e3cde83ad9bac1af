-- The notes of days, a table of the calendar's own beside the suite's: why a day rests or
-- is worked, one row per day, up to 200 characters.
CREATE TABLE dbo.t_WorkCalendarNote (
    FDay  DATE          NOT NULL CONSTRAINT pk_WorkCalendarNote PRIMARY KEY,
    FNote NVARCHAR(200) NOT NULL
);
