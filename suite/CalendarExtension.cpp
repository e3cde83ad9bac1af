// ExtendCalendar (CalendarExtension.hpp): the checks, the rows numbered on and the copy for
// calendar 999, in one transaction, through the calendar store.
#include "suite/CalendarExtension.hpp"

#include <algorithm>
#include <optional>
#include <string>

#include "component/CalendarWrite.hpp"
#include "component/WeekendRule.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/CalendarStore.hpp"

namespace zev::suite {

namespace {

constexpr const char* kSource = "ZevMPlanWorkCal.WorkCal";

[[noreturn]] void Refuse(std::string_view key, std::string_view rest = {}) {
    throw automation::ComError(automation::errors::kUnspecified, kSource,
                               automation::MarkedText(key, rest));
}

// A weekend switch, which an extension must find stored.
bool RestRule(CalendarStore& store, const char* key) {
    const std::optional<automation::Variant> value = store.Setting(key);
    if (!value) Refuse("系统核算参数没有正确设置", std::string(": ") + key);
    return component::IsSwitchOn(*value);
}

CalendarExtension Append(data::Connection& connection, double until) {
    CalendarStore store(connection);
    const CalendarEnd calendar = store.End();
    if (!store.SwitchIsOn("WorkCalendarSet") || calendar.LastDay.IsNull()) {
        Refuse("工厂日历尚未生成，不能延长");
    }
    const int32_t last = automation::OleDaySerial(automation::CDate(calendar.LastDay));
    const int32_t end = automation::OleDaySerial(until);
    if (end <= last) {
        Refuse("延长到的日期必须晚于工厂日历的最后一天",
               ": " + automation::FormatIsoDate(static_cast<double>(last)));
    }
    const component::WeekendRule rule{RestRule(store, "SatNotWork"), RestRule(store, "SunNotWork")};
    CalendarExtension added{static_cast<double>(last) + 1, static_cast<double>(end), 0};
    for (int32_t day = last + 1; day <= end; ++day) {
        added.WorkDays += rule.IsRestDay(day) ? 0 : 1;
    }
    const int64_t numberedUpTo =
        calendar.LargestNumber.IsNull()
            ? 0
            : std::max<int64_t>(0, static_cast<int64_t>(automation::CDbl(calendar.LargestNumber)));
    if (numberedUpTo + added.WorkDays > INT32_MAX) Refuse("工作日编号将超出范围");
    // The new work days go on from the largest number given.
    store.WriteDays(added.FirstDay, added.LastDay + 1, rule,
                    static_cast<int32_t>(numberedUpTo + 1));
    store.RefreshCopy();
    store.EnsureIdentity();
    return added;
}

}  // namespace

CalendarExtension ExtendCalendar(data::Connection& connection, double until) {
    component::CalendarWrite write(connection);
    const CalendarExtension added = Append(connection, until);
    write.Record({"extend", std::nullopt, automation::FormatIsoDate(added.FirstDay),
                  automation::FormatIsoDate(added.LastDay)});
    write.Commit();
    return added;
}

}  // namespace zev::suite
