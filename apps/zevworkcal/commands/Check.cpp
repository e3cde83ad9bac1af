// zevworkcal check: the start-up settings check that Show runs, and the settings it
// loads, one "Name=value" line each.
#include "apps/zevworkcal/commands/Commands.hpp"

#include "component/mdlCal.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::cli::commands {

namespace {

std::string Flag(automation::VBool value) {
    return value != 0 ? "True" : "False";
}

int RunCheck(Session& s) {
    const auto cal = OpenCalendar();
    component::mdlCal::CheckSettings();
    const component::ComponentState& st = component::mdlCal::State();
    // The start day is loaded only for a calendar that is set.
    const std::string start = st.IsSetWorkCalendar ? automation::FormatIsoDate(st.CalStartDay) : "";
    const std::pair<const char*, std::string> lines[] = {
        {"IsSetWorkCalendar", Flag(st.IsSetWorkCalendar)},
        {"CalStartDay", start},
        {"StartYear", std::to_string(st.StartYear)},
        {"StartPeriod", std::to_string(st.StartPeriod)},
        {"CurrentYear", std::to_string(st.CurrentYear)},
        {"CurrentPeriod", std::to_string(st.CurrentPeriod)},
        {"SatNotWork", Flag(st.SatNotWork)},
        {"SunNotWork", Flag(st.SunNotWork)},
        {"ServerDate", automation::FormatIsoDate(st.ServerDate)},
    };
    for (const auto& [name, value] : lines)
        s.out.Line(std::string(name) + "=" + value);
    return kOk;
}

}  // namespace

Command Check(CLI::App& program) {
    CLI::App* app =
        program.add_subcommand("check", "运行窗口的启动检查，并以 Name=value 显示它载入的设置");
    return {app, RunCheck, "check"};
}

}  // namespace zev::cli::commands
