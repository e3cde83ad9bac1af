// UnplannedYears (PlannedYears.hpp): one pass over the days, a year at a time.
#include "component/PlannedYears.hpp"

#include <algorithm>

#include <map>

#include "host/MMTS.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::component {

std::vector<int> UnplannedYears(double first, std::span<const CalendarDay> days, WeekendRule rule,
                                const std::set<int32_t>& notedDays, int fromYear) {
    // Each year with a day inside the calendar, and whether someone planned it.
    std::map<int, bool> planned;
    const int32_t start = automation::OleDaySerial(first);
    for (size_t i = 0; i < days.size(); ++i) {
        if (days[i].kind == CalendarDay::Outside) continue;
        const int32_t serial = start + static_cast<int32_t>(i);
        const int year = automation::CivilFromOle(static_cast<double>(serial)).Year;
        if (year < fromYear) continue;
        bool& seen = planned[year];
        seen = seen || (days[i].kind == CalendarDay::Rest && !rule.IsRestDay(serial)) ||
               notedDays.contains(serial);
    }
    std::vector<int> years;
    for (const auto& [year, isPlanned] : planned)
        if (!isPlanned) years.push_back(year);
    return years;
}

std::string UnplannedWarning(const std::vector<int>& years) {
    std::string text;
    for (size_t i = 0; i < years.size();) {
        size_t last = i;
        while (last + 1 < years.size() && years[last + 1] == years[last] + 1)
            ++last;
        text += std::to_string(years[i]);
        if (last > i) text += "-" + std::to_string(years[last]);
        text += ": " + host::MMTS::LoadLocalText("尚无节假日：请导入当年的节假日列表") + "\n";
        i = last + 1;
    }
    return text;
}

std::string RuleDaysNotice(size_t days, double first, double last) {
    if (days == 0) return {};
    return host::MMTS::LoadLocalText("规则可以改变新日历中的这么多天") + ": " +
           std::to_string(days) + " (zevworkcal rule apply " + automation::FormatIsoDate(first) +
           " " + automation::FormatIsoDate(last + 1) + ")";
}

std::optional<std::pair<double, double>> RuleApplyRange(double first, double last, double today) {
    const double from =
        std::max(automation::OleDatePart(first), automation::OleDatePart(today)) + 1;
    if (from > automation::OleDatePart(last)) return std::nullopt;
    return std::pair{from, automation::OleDatePart(last)};
}

}  // namespace zev::component
