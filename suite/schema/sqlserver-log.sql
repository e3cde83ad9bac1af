-- The history of the calendar's changes, a table of the calendar's own: one row per
-- change, written in the transaction of the change. FTime is the server's time
-- (GETDATE()); FDay the day changed, NULL for a change of a range (whose first and last
-- days FFrom and FTo then hold); FFrom and FTo what the day was and became.
CREATE TABLE dbo.t_WorkCalendarLog (
    FID      BIGINT        NOT NULL IDENTITY(1,1) CONSTRAINT pk_WorkCalendarLog PRIMARY KEY,
    FTime    DATETIME2(3)  NOT NULL,
    FUser    NVARCHAR(128) NOT NULL CONSTRAINT df_WorkCalendarLog_FUser DEFAULT N'',
    FProgram NVARCHAR(128) NOT NULL CONSTRAINT df_WorkCalendarLog_FProgram DEFAULT N'',
    FAction  VARCHAR(30)   NOT NULL,
    FDay     DATE          NULL,
    FFrom    NVARCHAR(200) NOT NULL CONSTRAINT df_WorkCalendarLog_FFrom DEFAULT N'',
    FTo      NVARCHAR(200) NOT NULL CONSTRAINT df_WorkCalendarLog_FTo DEFAULT N'',
    FNote    NVARCHAR(200) NOT NULL CONSTRAINT df_WorkCalendarLog_FNote DEFAULT N''
);
CREATE INDEX ix_WorkCalendarLog_FTime ON dbo.t_WorkCalendarLog (FTime);
