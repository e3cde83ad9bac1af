#pragma once
// The calendar generator "ZevMPlanWorkCal.WorkCal" and the row writer behind it.
//
// Period ids are derived from the day alone, so they stay the same when a calendar is
// generated again: FDayID = yyyymmdd, FWeekID = ISO year * 100 + ISO week,
// FMonthID = yyyymm, FYearID = yyyy.

#include <string>

#include "platform/automation/ComError.hpp"
#include "platform/data/Connection.hpp"

namespace zev::suite {

struct PeriodIds {
    int32_t day;
    int32_t week;
    int32_t month;
    int32_t year;
};
PeriodIds PeriodIdsOf(double day);

// Whether a day is a rest day under the weekend rules.
bool IsRestDay(double day, bool satNotWork, bool sunNotWork);

// Appends the rows of every day from startDay up to the day before endDay to
// t_WorkCalendar: rest days with FInterID 0, work days numbered 1, 2, ... in date order.
// Runs inside the caller's transaction, if any; deletes nothing. Returns the rows written.
size_t WriteCalendarRows(data::Connection& connection, double startDay, double endDay,
                         bool satNotWork, bool sunNotWork);

// Inside a transaction of the caller's: makes writers of the calendar on other connections
// (generation, extension) wait until it ends. SQLite's write lock is taken by BEGIN
// already; servers lock the table against other writers while readers go on reading the
// committed calendar.
void ClaimCalendar(data::Connection& connection);

// Held by a program that makes the calendar in steps on more than one connection (the
// window's Save deletes the rows, then the generator writes the new ones in a transaction
// of its own): programs holding it on the same database run one at a time, so what one
// checked about the calendar under it still holds when its generation ends. SQLite: an
// flock(2) on the database's folder (a descriptor of the database file itself would drop
// the engine's own locks when closed); PostgreSQL: a session advisory lock; SQL Server: a
// session application lock. An in-memory database needs none. Released at destruction.
class GenerationLock {
  public:
    // Keeps the connection open while it is held.
    explicit GenerationLock(data::ConnectionPtr connection);
    ~GenerationLock();
    GenerationLock(const GenerationLock&) = delete;
    GenerationLock& operator=(const GenerationLock&) = delete;

  private:
    data::ConnectionPtr connection_;
    int folder_ = -1;
};

// What generation does with a calendar that already has rows.
enum class ExistingCalendar { Replace, Keep };

// Raised by GenerateCalendar with ExistingCalendar::Keep when the calendar has rows.
class CalendarExists : public automation::ComError {
  public:
    using ComError::ComError;
};

// Generates the calendar in one transaction on the caller's connection: replaces every
// row of t_WorkCalendar with the new days and records the weekend rules and
// WorkCalendarSet in t_SystemProfile (category 'IC'): '1' when rows were written, '0'
// when the range holds no day. Generators on other connections wait for each other, so
// the check for an existing calendar (ExistingCalendar::Keep) sees what a generator that
// finished first wrote. A start day that is a rest day by the rules is refused before
// anything is touched; any failure rolls the transaction back and leaves the connection
// outside it.
void GenerateCalendar(data::Connection& connection, double startDay, double endDay, bool satNotWork,
                      bool sunNotWork, ExistingCalendar existing = ExistingCalendar::Replace);

// Registers "ZevMPlanWorkCal.WorkCal".
void RegisterWorkCalGenerator();

}  // namespace zev::suite
