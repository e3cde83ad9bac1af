-- The calendar's recurring days, a table of its own beside the suite's: each rule a
-- recurrence in iCalendar RRULE form, the kind of day it makes, its note and the first
-- day it applies to; extend applies them.
CREATE TABLE dbo.t_WorkCalendarRule (
    FRuleID INT           NOT NULL CONSTRAINT pk_WorkCalendarRule PRIMARY KEY,
    FRule   NVARCHAR(500) NOT NULL,
    FKind   VARCHAR(4)    NOT NULL CONSTRAINT ck_WorkCalendarRule_Kind CHECK (FKind IN ('rest', 'work')),
    FNote   NVARCHAR(200) NOT NULL,
    FStart  DATE          NOT NULL
);
