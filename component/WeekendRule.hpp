#pragma once
// The calendar's weekend rule: which days rest, as generation writes them, the window
// shows them and an extension appends them; how its switch settings read; and the
// refusal of a calendar that would start on a rest day. Header-only, so that the suite's
// generator shares it without linking the component.

#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"

namespace zev::component {

// Saturdays rest while SatNotWork, Sundays while SunNotWork; every other day is a work
// day.
struct WeekendRule {
    bool SatNotWork = false;
    bool SunNotWork = false;

    // Whether the day of `day` (an OLE date; its time of day does not count) rests.
    bool IsRestDay(double day) const {
        const int weekday = automation::OleWeekday(day);
        return (weekday == 7 && SatNotWork) || (weekday == 1 && SunNotWork);
    }
};

// Whether a switch setting (SatNotWork, SunNotWork, WorkCalendarSet) is on: only when
// its value equals the text "1", compared as the system compares a value with a text.
// '1 ', '01', '0', NULL and every other value are off.
inline bool IsSwitchOn(const automation::Variant& value) {
    const automation::Variant equal = automation::EqualsText(value, "1");
    return !equal.IsNull() && automation::CBool(equal);
}

// Why a calendar may not start on a day that rests by its rule: its start day is work
// day 1. A source text, looked up where it is shown.
inline constexpr const char* kRestDayStart = "工厂日历开始日不能为休息日，请重新设置。";

}  // namespace zev::component
