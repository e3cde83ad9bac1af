#pragma once
// The calendar's rules (t_WorkCalendarRule): recurring days in iCalendar RRULE form, the
// kind of day each makes, its note and the first day it applies to. extend applies them
// to the days it appends; `rule apply` to days the calendar holds. A recurrence is
// expanded by libical, never by a parser of ours. A database without the table reads as
// one without rules; adding one there is refused, naming upgrade. Every statement runs
// inside whatever transaction the caller holds on the connection.

#include <libical/ical.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "component/Outcome.hpp"
#include "platform/data/Connection.hpp"

namespace zev::suite {

inline constexpr const char* kNoRuleTable =
    "数据库中没有规则表 t_WorkCalendarRule，请先运行 zevworkcal upgrade";

struct CalendarRule {
    int32_t Id = 0;  // given by Add
    // The RRULE value ("FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1"), and the days it leaves out,
    // if any, after " EXDATE:" as iCalendar dates ("... EXDATE:20320501,20330501").
    std::string Recurrence;
    bool Rest = true;  // the kind of day it makes
    std::string Note;
    double Start = 0.0;  // the first day it applies to, an OLE date at midnight
};

// The RRULE part of a rule's recurrence, and the days it leaves out (nullopt for a list
// that is no list of dates); the recurrence `text` with `days` left out instead.
std::string_view RecurrenceRule(std::string_view text);
std::optional<std::set<int32_t>> RecurrenceExceptions(std::string_view text);
std::string WithExceptions(std::string_view text, const std::set<int32_t>& days);

// The recurrence as the table keeps it ("RRULE:" dropped, the rule as libical writes it),
// or nullopt when libical cannot read it or cannot expand it for all-day events (a
// frequency finer than DAILY).
std::optional<std::string> RecurrenceOf(std::string_view text);

// `day` (an OLE date) as an iCalendar date, as libical's recurrence iterator takes it.
icaltimetype IcalDate(double day);

// The days (by OleDaySerial) from `from`'s to `to`'s, both included and none before the
// rule's start, on which `rule` falls, in date order: its start day counts when it is
// one of them. Raises a ComError for a recurrence libical cannot expand.
std::vector<int32_t> RuleDays(const CalendarRule& rule, double from, double to);
// The same, with the days the rule leaves out.
std::vector<int32_t> RecurrenceDays(const CalendarRule& rule, double from, double to);

// The last day (an OLE date) up to which RuleDays can give `rule`'s days, for a rule whose
// days would go on past it: the recurrence library expands none past 2582, and a rule
// that cannot be carried on from the days before (a COUNT not yet used up, an interval
// whose repeat is too long) gives none after 2579. nullopt: every day of the rule is given.
std::optional<double> RuleDaysEnd(const CalendarRule& rule);

// How many days from `from`'s to `to`'s (both included) the rules would turn: the days on
// which the kind the rules give (the later rule having the last word on a day two give)
// differs from `rests(day)`, the kind the day has now (by OleDaySerial; nullopt for a day
// the calendar does not hold, which no rule turns).
size_t DaysRulesWouldTurn(const std::vector<CalendarRule>& rules, double from, double to,
                          const std::function<std::optional<bool>(int32_t)>& rests);

class CalendarRules {
  public:
    explicit CalendarRules(data::Connection& connection) : connection_(connection) {}

    bool HasTable();
    // Every rule in the order they were added; none without the table.
    std::vector<CalendarRule> Rules();
    // Stores `rule` with the next id (set in it): Done; Refused for a recurrence that
    // cannot be expanded, a note a day could not hold, or no table.
    component::Outcome Add(CalendarRule& rule);
    // Removes the rule `id`: Done, or Unchanged when there is none.
    component::Outcome Remove(int32_t id);

  private:
    data::Connection& connection_;
};

// Registers "ZevWorkCal.DayRules" over the rule store.
void RegisterDayRules();

}  // namespace zev::suite
