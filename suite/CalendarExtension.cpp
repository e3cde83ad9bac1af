// ExtendCalendar (CalendarExtension.hpp): the checks, the rows numbered on and the copy for
// calendar 999, in one transaction, through the calendar store.
#include "suite/CalendarExtension.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "component/CalendarWrite.hpp"
#include "component/WeekendRule.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/CalendarNotes.hpp"
#include "suite/CalendarRules.hpp"
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

// A day that a rule gives its kind, and whether the weekly rule would have made it the
// other kind.
struct RuledDay {
    bool Rest;
    bool Turned;
    std::string Note;
};

CalendarExtension Append(data::Connection& connection, double until,
                         std::map<int32_t, RuledDay>& ruled) {
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
    // The weekly rule first, then every rule in the order they were added: a later rule
    // has the last word on a day that two give.
    const std::vector<CalendarRule> rules = CalendarRules(connection).Rules();
    for (const CalendarRule& r : rules) {
        for (const int32_t day : RuleDays(r, added.FirstDay, added.LastDay))
            ruled[day] = {r.Rest, r.Rest != rule.IsRestDay(day), r.Note};
    }
    const auto rests = [&](int32_t day) {
        const auto it = ruled.find(day);
        return it != ruled.end() ? it->second.Rest : rule.IsRestDay(day);
    };
    for (int32_t day = last + 1; day <= end; ++day) {
        added.WorkDays += rests(day) ? 0 : 1;
    }
    const int64_t numberedUpTo =
        calendar.LargestNumber.IsNull()
            ? 0
            : std::max<int64_t>(0, static_cast<int64_t>(automation::CDbl(calendar.LargestNumber)));
    if (numberedUpTo + added.WorkDays > INT32_MAX) Refuse("工作日编号将超出范围");
    // The new work days go on from the largest number given.
    store.WriteDays(added.FirstDay, added.LastDay + 1, rests,
                    static_cast<int32_t>(numberedUpTo + 1));
    // A rule's days carry its note, as an imported holiday carries its own.
    std::vector<DayNote> notes;
    for (const auto& [day, r] : ruled) {
        if (!r.Note.empty()) notes.push_back({day, r.Note});
    }
    CalendarNotes(connection).SetNotesOfDays(notes);
    store.RefreshCopy();
    store.EnsureIdentity();
    return added;
}

}  // namespace

CalendarExtension ExtendCalendar(data::Connection& connection, double until) {
    component::CalendarWrite write(connection);
    std::map<int32_t, RuledDay> ruled;
    const CalendarExtension added = Append(connection, until, ruled);
    write.Record({"extend", std::nullopt, automation::FormatIsoDate(added.FirstDay),
                  automation::FormatIsoDate(added.LastDay)});
    // One row for each day a rule turned from what the weekly rule made it.
    for (const auto& [day, r] : ruled) {
        if (!r.Turned) continue;
        write.Record({"rule", static_cast<double>(day), r.Rest ? "work" : "rest",
                      r.Rest ? "rest" : "work", r.Note});
    }
    write.Commit();
    return added;
}

}  // namespace zev::suite
