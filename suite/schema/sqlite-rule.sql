-- The calendar's recurring days, a table of its own beside the suite's: each rule a
-- recurrence in iCalendar RRULE form ("FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1"), the kind of
-- day it makes, its note and the first day it applies to; extend applies them.
CREATE TABLE t_WorkCalendarRule (
    FRuleID INTEGER      NOT NULL PRIMARY KEY,
    FRule   VARCHAR(500) NOT NULL,
    FKind   VARCHAR(4)   NOT NULL CHECK (FKind IN ('rest', 'work')),
    FNote   VARCHAR(200) NOT NULL,
    FStart  DATE         NOT NULL
            CHECK (FStart GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]')
);
