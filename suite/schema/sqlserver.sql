-- The suite's tables that the factory calendar uses, for SQL Server (2012 or later).
-- The script is sent statement by statement, split at each ";" that ends a line: a body
-- of a trigger or procedure would hold no ";" of its own. SQL Server keeps no change
-- stamp for the date service's copy of the calendar (its triggers would miss TRUNCATE
-- and changes of a table's definition): the statements always answer there.

CREATE TABLE dbo.t_WorkCalendar (
    FInterID  INT  NOT NULL CONSTRAINT df_WorkCalendar_FInterID DEFAULT 0,
    FDay      DATE NOT NULL CONSTRAINT pk_WorkCalendar PRIMARY KEY,
    FDayID    INT  NOT NULL CONSTRAINT df_WorkCalendar_FDayID DEFAULT 0,
    FWeekID   INT  NOT NULL CONSTRAINT df_WorkCalendar_FWeekID DEFAULT 0,
    FMonthID  INT  NOT NULL CONSTRAINT df_WorkCalendar_FMonthID DEFAULT 0,
    FYearID   INT  NOT NULL CONSTRAINT df_WorkCalendar_FYearID DEFAULT 0
);
CREATE INDEX ix_WorkCalendar_FInterID ON dbo.t_WorkCalendar (FInterID);

CREATE TABLE dbo.t_SystemProfile (
    FCategory VARCHAR(30)  NOT NULL,
    FKey      VARCHAR(100) NOT NULL,
    FValue    NVARCHAR(255) NULL,
    CONSTRAINT pk_SystemProfile PRIMARY KEY (FCategory, FKey)
);

CREATE TABLE dbo.t_mutiworkcal (
    FInterID  INT  NOT NULL CONSTRAINT df_mutiworkcal_FInterID DEFAULT 0,
    FDay      DATE NOT NULL,
    FDayID    INT  NOT NULL CONSTRAINT df_mutiworkcal_FDayID DEFAULT 0,
    FWeekID   INT  NOT NULL CONSTRAINT df_mutiworkcal_FWeekID DEFAULT 0,
    FMonthID  INT  NOT NULL CONSTRAINT df_mutiworkcal_FMonthID DEFAULT 0,
    FYearID   INT  NOT NULL CONSTRAINT df_mutiworkcal_FYearID DEFAULT 0,
    FCalID    INT  NOT NULL,
    CONSTRAINT pk_mutiworkcal PRIMARY KEY (FCalID, FDay)
);

CREATE TABLE dbo.t_WOScheduleDetail (
    FDetailID INT   NOT NULL CONSTRAINT pk_WOScheduleDetail PRIMARY KEY,
    FSeqID    INT   NOT NULL,
    FItemID   INT   NOT NULL CONSTRAINT df_WOScheduleDetail_FItemID DEFAULT 0,
    FQty      FLOAT NOT NULL CONSTRAINT df_WOScheduleDetail_FQty DEFAULT 0
);
CREATE INDEX ix_WOScheduleDetail_FSeqID ON dbo.t_WOScheduleDetail (FSeqID);
