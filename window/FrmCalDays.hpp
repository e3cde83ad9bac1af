#pragma once
// How frmCal names and finds days, shared by its load step and its operations: the
// weekday names a grid shows, the first day of a settings period and the days of the
// grids with their kinds. Private to the
// window's sources.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/MMTS.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "window/Controls.hpp"

namespace zev::window::days {

// The full weekday names in the user's language, Sunday first, as OleWeekday counts.
inline std::array<std::string, 7> WeekdayNames() {
    static constexpr const char* kNames[] = {"星期日", "星期一", "星期二", "星期三",
                                             "星期四", "星期五", "星期六"};
    std::array<std::string, 7> names;
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = host::MMTS::LoadLocalText(kNames[i], 0);
    return names;
}

inline const std::string& WeekdayOf(double day, const std::array<std::string, 7>& names) {
    return names[static_cast<size_t>(automation::OleWeekday(day) - 1)];
}

// The first day of a period of a year, read from its text as "2009-6-01"; a period that
// is no month does not convert (13).
inline double FirstDayOfPeriod(int64_t year, int32_t period) {
    return automation::CDate(
        automation::Variant(std::to_string(year) + "-" + std::to_string(period) + "-01"));
}

// Every day of the two grids in date order, each with whether it rests (it stands in
// the rest-day grid). Each grid holds its days in date order.
inline std::vector<std::pair<double, bool>> KindsOf(const Grid& work, const Grid& notWork) {
    std::vector<std::pair<double, bool>> kinds;
    kinds.reserve(work.Rows().size() + notWork.Rows().size());
    auto w = work.Rows().begin();
    auto n = notWork.Rows().begin();
    while (w != work.Rows().end() || n != notWork.Rows().end()) {
        if (n == notWork.Rows().end() || (w != work.Rows().end() && w->Day < n->Day)) {
            kinds.emplace_back((w++)->Day, false);
        } else {
            kinds.emplace_back((n++)->Day, true);
        }
    }
    return kinds;
}

}  // namespace zev::window::days
