#pragma once
// What the questions of schedulers and scripts pass and get back beside the members'
// dates: an answer that says whether the calendar held it, what the calendar holds for a
// day, half-open ranges of days and the work days counted in them.

#include <cstdint>

namespace zev::component {

// A member's answer, and whether it is a day of the calendar: false where the calendar
// has no such work day and the answer is the date asked (the member's fallback).
struct DayAnswer {
    double Date = 0.0;
    bool Found = false;
    bool operator==(const DayAnswer&) const = default;
};

// What the calendar holds for one day.
struct CalendarDay {
    enum Kind : uint8_t { Outside, Rest, Work };
    Kind kind = Outside;  // Outside: no row of t_WorkCalendar is that day
    int32_t Number = 0;   // a work day's work-day number; 0 for the others
    bool operator==(const CalendarDay&) const = default;
};

// The days from From's up to the day before To's (OLE dates, their days counted).
struct DayRange {
    double From = 0.0;
    double To = 0.0;
};

// The work days of a range, negative when To is before From (the range then runs from
// To up to the day before From), and how many of its days the calendar does not hold.
struct WorkDayCount {
    int32_t WorkDays = 0;
    int32_t Outside = 0;
    bool operator==(const WorkDayCount&) const = default;
};

// The first and the last day the calendar holds, as midnight OLE dates.
struct DaySpan {
    double First = 0.0;
    double Last = 0.0;
    bool operator==(const DaySpan&) const = default;
};

}  // namespace zev::component
