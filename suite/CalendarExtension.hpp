#pragma once
// Extending a generated calendar past its last day, so that it never runs out: the days
// are classified, numbered and given period ids as generation does, and the copy of the
// calendar in t_mutiworkcal follows.

#include <cstdint>

#include "platform/data/Connection.hpp"

namespace zev::suite {

// What an extension appended.
struct CalendarExtension {
    double FirstDay;   // the day after the calendar's former last day
    double LastDay;    // the new last day
    int32_t WorkDays;  // work days among the days appended
};

// Appends every day after the calendar's last day up to and including the day of `until`
// to t_WorkCalendar, rest days by the stored weekend settings (SatNotWork, SunNotWork),
// work days numbered on from the largest FInterID, with the period ids generation writes,
// and refreshes calendar 999 of t_mutiworkcal from the whole table, all in one transaction
// on the caller's connection; any failure leaves the database as it was. Refused, with
// nothing written, while no calendar is set (WorkCalendarSet is not '1', or the table has
// no rows), when `until` is not after the last day, or when a weekend setting is missing.
CalendarExtension ExtendCalendar(data::Connection& connection, double until);

}  // namespace zev::suite
