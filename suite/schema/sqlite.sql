-- The suite's tables that the factory calendar uses, for the embedded database.
-- FDay is stored as the text YYYY-MM-DD, so that comparisons with the date texts of the
-- statements ('2009-06-04') order and match by day. The calendar tables are clustered on
-- their keys (WITHOUT ROWID), which makes the index on FInterID carry FDay as well: the
-- work-day queries then read the index alone.

CREATE TABLE t_WorkCalendar (
    FInterID  INTEGER NOT NULL DEFAULT 0,
    FDay      DATE    NOT NULL PRIMARY KEY
              CHECK (FDay GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]'),
    FDayID    INTEGER NOT NULL DEFAULT 0,
    FWeekID   INTEGER NOT NULL DEFAULT 0,
    FMonthID  INTEGER NOT NULL DEFAULT 0,
    FYearID   INTEGER NOT NULL DEFAULT 0
) WITHOUT ROWID;
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
) WITHOUT ROWID;

CREATE TABLE t_WOScheduleDetail (
    FDetailID INTEGER PRIMARY KEY,
    FSeqID    INTEGER NOT NULL,
    FItemID   INTEGER NOT NULL DEFAULT 0,
    FQty      REAL    NOT NULL DEFAULT 0
);
CREATE INDEX ix_WOScheduleDetail_FSeqID ON t_WOScheduleDetail (FSeqID);
