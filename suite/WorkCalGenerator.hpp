#pragma once
// The calendar generator "ZevMPlanWorkCal.WorkCal" and the row writer behind it.
//
// Period ids are derived from the day alone, so they stay the same when a calendar is
// generated again: FDayID = yyyymmdd, FWeekID = ISO year * 100 + ISO week,
// FMonthID = yyyymm, FYearID = yyyy.

#include <string>

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
// Runs inside the caller's transaction, if any; deletes nothing.
void WriteCalendarRows(data::Connection& connection, double startDay, double endDay,
                       bool satNotWork, bool sunNotWork);

// Generates the calendar in one transaction: replaces every row of t_WorkCalendar with
// the new days and records WorkCalendarSet = '1' and the weekend rules in
// t_SystemProfile (category 'IC').
void GenerateCalendar(data::Connection& connection, double startDay, double endDay, bool satNotWork,
                      bool sunNotWork);

// Registers "ZevMPlanWorkCal.WorkCal".
void RegisterWorkCalGenerator();

}  // namespace zev::suite
