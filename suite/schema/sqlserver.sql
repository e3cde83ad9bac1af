-- The suite's tables that the factory calendar uses, for SQL Server (2012 or later).
-- The script is sent statement by statement, split at each ";" that ends a line: the
-- bodies of triggers and procedures therefore hold no ";" of their own.

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

-- Data version: every statement that writes one of the four tables draws a new number
-- from the sequence. A writer also holds a shared application lock until its transaction
-- ends; the reader answers -1 while any writer holds it, because the number it would give
-- could belong to rows that are about to change. (TRUNCATE TABLE fires no trigger: the
-- suite never truncates these tables.)
CREATE SEQUENCE dbo.zev_data_version AS BIGINT START WITH 1 INCREMENT BY 1 NO CACHE;
-- A sequence that has not handed out a number already shows its start value as
-- current_value; drawing it now lets the first write move the version.
SELECT NEXT VALUE FOR dbo.zev_data_version AS first_version;

CREATE PROCEDURE dbo.zev_read_data_version AS
BEGIN
    SET NOCOUNT ON
    DECLARE @granted INT
    EXEC @granted = sp_getapplock @Resource = N'zev_data_version', @LockMode = N'Exclusive',
                                  @LockOwner = N'Session', @LockTimeout = 0
    IF @granted < 0
        SELECT CAST(-1 AS BIGINT) AS data_version
    ELSE
    BEGIN
        SELECT CAST(current_value AS BIGINT) AS data_version
            FROM sys.sequences WHERE object_id = OBJECT_ID(N'dbo.zev_data_version')
        EXEC sp_releaseapplock @Resource = N'zev_data_version', @LockOwner = N'Session'
    END
END;

CREATE TRIGGER dbo.tr_WorkCalendar_version ON dbo.t_WorkCalendar
AFTER INSERT, UPDATE, DELETE AS
BEGIN
    SET NOCOUNT ON
    DECLARE @v BIGINT
    EXEC sp_getapplock @Resource = N'zev_data_version', @LockMode = N'Shared',
                       @LockOwner = N'Transaction'
    SET @v = NEXT VALUE FOR dbo.zev_data_version
END;

CREATE TRIGGER dbo.tr_SystemProfile_version ON dbo.t_SystemProfile
AFTER INSERT, UPDATE, DELETE AS
BEGIN
    SET NOCOUNT ON
    DECLARE @v BIGINT
    EXEC sp_getapplock @Resource = N'zev_data_version', @LockMode = N'Shared',
                       @LockOwner = N'Transaction'
    SET @v = NEXT VALUE FOR dbo.zev_data_version
END;

CREATE TRIGGER dbo.tr_mutiworkcal_version ON dbo.t_mutiworkcal
AFTER INSERT, UPDATE, DELETE AS
BEGIN
    SET NOCOUNT ON
    DECLARE @v BIGINT
    EXEC sp_getapplock @Resource = N'zev_data_version', @LockMode = N'Shared',
                       @LockOwner = N'Transaction'
    SET @v = NEXT VALUE FOR dbo.zev_data_version
END;

CREATE TRIGGER dbo.tr_WOScheduleDetail_version ON dbo.t_WOScheduleDetail
AFTER INSERT, UPDATE, DELETE AS
BEGIN
    SET NOCOUNT ON
    DECLARE @v BIGINT
    EXEC sp_getapplock @Resource = N'zev_data_version', @LockMode = N'Shared',
                       @LockOwner = N'Transaction'
    SET @v = NEXT VALUE FOR dbo.zev_data_version
END;
