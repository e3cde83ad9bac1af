#pragma once
// The calendar generator "ZevMPlanWorkCal.WorkCal": a whole calendar in one transaction,
// written through the calendar store (CalendarStore.hpp).

#include <string>

#include "platform/automation/ComError.hpp"
#include "platform/data/Connection.hpp"

namespace zev::suite {

// Appends the rows of every day from startDay up to the day before endDay to
// t_WorkCalendar: rest days with FInterID 0, work days numbered 1, 2, ... in date order
// (CalendarStore::WriteDays), for tools and tests that write a calendar directly. Runs
// inside the caller's transaction, if any; deletes nothing. Returns the rows written.
size_t WriteCalendarRows(data::Connection& connection, double startDay, double endDay,
                         bool satNotWork, bool sunNotWork);

// What generation does with a calendar that already has rows.
enum class ExistingCalendar { Replace, Keep };

// Raised by GenerateCalendar with ExistingCalendar::Keep when the calendar has rows.
class CalendarExists : public automation::ComError {
  public:
    using ComError::ComError;
};

// Generates the calendar in one calendar write on the caller's connection (joining the
// caller's own, when it holds one there): replaces every row of t_WorkCalendar with the
// new days, records the weekend rules and WorkCalendarSet in t_SystemProfile (category
// 'IC'): '1' when rows were written, '0' when the range holds no day, and makes calendar
// 999 its copy. Writers on other connections wait for each other, so the check for an
// existing calendar (ExistingCalendar::Keep) sees what a writer that finished first
// wrote. A start day that is a rest day by the rules, or earlier than 1601-01-01, is
// refused before anything is touched; any failure rolls the write back.
void GenerateCalendar(data::Connection& connection, double startDay, double endDay, bool satNotWork,
                      bool sunNotWork, ExistingCalendar existing = ExistingCalendar::Replace);

// Registers "ZevMPlanWorkCal.WorkCal".
void RegisterWorkCalGenerator();

}  // namespace zev::suite
