#pragma once
// Which years of the calendar nobody has planned: the weekly rule alone makes their rest
// days, so holidays that no rule carries (moving feasts, days announced each year) are
// missing until their list is imported.

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "component/CalendarQuestions.hpp"
#include "component/WeekendRule.hpp"

namespace zev::component {

// The years from `fromYear` on, among the days `days` describes (the kinds of the day of
// `first` and each day after it), that hold no rest day besides the weekends of `rule`
// and no day with a note (`notedDays`, by OleDaySerial). Days outside the calendar count
// for nothing; a year without a day inside it is not listed.
std::vector<int> UnplannedYears(double first, std::span<const CalendarDay> days, WeekendRule rule,
                                const std::set<int32_t>& notedDays, int fromYear);

// "2028: no holidays yet: import its list" for each run of years ("2028-2031: ..."), one
// line each, through the text lookup; "" for none.
std::string UnplannedWarning(const std::vector<int>& years);

// After a generation: "<n days a rule could change in the new calendar>: N (zevworkcal rule
// apply FIRST END)" for the calendar from `first` to `last`, END the day after it, through
// the text lookup; "" when no rule would change a day.
std::string RuleDaysNotice(size_t days, double first, double last);

// The days from `first` to `last` (OLE dates) of a new calendar that `rule apply` may
// turn, as [from, last]: those after its start day and after `today`, which the swap's
// guards leave alone; nullopt when there are none.
std::optional<std::pair<double, double>> RuleApplyRange(double first, double last, double today);

}  // namespace zev::component
