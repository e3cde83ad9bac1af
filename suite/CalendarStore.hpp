#pragma once
// The suite's own SQL on the calendar's tables, in one place over one connection: the
// calendar's settings (category 'IC' of t_SystemProfile), the rows of t_WorkCalendar as
// generation and extension write them, the calendar's copy as calendar 999 of
// t_mutiworkcal. Its statements are prepared, with their values bound; a writer runs them
// inside its calendar write (component/CalendarWrite.hpp). The component's own statements (the
// start-up check's, the window's) are not here: the component sends them word for word itself.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "component/WeekendRule.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/data/Connection.hpp"

namespace zev::suite {

// The period ids of a day, derived from the day alone, so that they stay the same when a
// calendar is generated again: FDayID = yyyymmdd, FWeekID = ISO year * 100 + ISO week,
// FMonthID = yyyymm, FYearID = yyyy.
struct PeriodIds {
    int32_t day;
    int32_t week;
    int32_t month;
    int32_t year;
};
PeriodIds PeriodIdsOf(double day);

// What a run of calendar rows held.
struct WrittenDays {
    size_t Days = 0;
    int32_t WorkDays = 0;
};

// The calendar's last day and its largest work-day number, each Null for an empty table.
struct CalendarEnd {
    automation::Variant LastDay;
    automation::Variant LargestNumber;
};

class CalendarStore {
  public:
    // Works on `connection`, inside whatever transaction the caller holds there.
    explicit CalendarStore(data::Connection& connection) : connection_(connection) {}

    // A setting of category 'IC': its value, Null for a NULL value; std::nullopt when the
    // setting has no row.
    std::optional<automation::Variant> Setting(std::string_view key);
    // Whether a switch setting is on (component::IsSwitchOn); off without its row.
    bool SwitchIsOn(std::string_view key);
    // Writes a setting of category 'IC', adding its row when it has none.
    void PutSetting(std::string_view key, std::string_view value);
    // Every setting of category 'IC', in the order of their keys.
    std::vector<std::pair<std::string, automation::Variant>> Settings();

    // The calendar's own identity (setting WorkCalendarID, 32 hex digits made at random
    // once), which names it in exchange formats wherever it travels; nullopt before a
    // calendar made or extended by this version has one.
    std::optional<std::string> Identity();
    // Gives the calendar its identity when it has none.
    void EnsureIdentity();

    // Whether t_WorkCalendar has any row.
    bool HasDays();
    CalendarEnd End();
    // Deletes every row of t_WorkCalendar.
    void DeleteDays();
    // Appends a row to t_WorkCalendar for every day from startDay up to the day before
    // endDay, with its period ids: FInterID 0 for the days that rest by `rule`, and the
    // work days numbered firstNumber, firstNumber + 1, ... in date order. Nothing for a
    // range without a day.
    WrittenDays WriteDays(double startDay, double endDay, component::WeekendRule rule,
                          int32_t firstNumber = 1);
    // The same with the kind of each day (by OleDaySerial) from `rests`.
    WrittenDays WriteDays(double startDay, double endDay, const std::function<bool(int32_t)>& rests,
                          int32_t firstNumber = 1);

    // Makes calendar 999 of t_mutiworkcal a copy of t_WorkCalendar, as every save does.
    void RefreshCopy();

  private:
    data::Connection& connection_;
};

}  // namespace zev::suite
