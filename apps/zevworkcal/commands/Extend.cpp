// zevworkcal extend: appends the days after the calendar's last day up to a date.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

#include "host/MMTS.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/CalendarExtension.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

struct ExtendOptions {
    std::string until;
};

int RunExtend(const ExtendOptions& o, Session& s) {
    const double until = ParseDateArgument(o.until);
    RequireSchema();
    const data::ConnectionPtr connection = AppConnection();
    const suite::CalendarExtension added = suite::ExtendCalendar(*connection, until);
    WarnOfRulesEndingBefore(s, *connection, added.LastDay);
    s.out.Line(LoadLocalText("工厂日历已延长") + ": " + automation::FormatIsoDate(added.FirstDay) +
               " .. " + automation::FormatIsoDate(added.LastDay) + ", " +
               std::to_string(added.WorkDays) + " " + LoadLocalText("工作日"));
    return kOk;
}

}  // namespace

Command Extend(CLI::App& program) {
    auto o = std::make_shared<ExtendOptions>();
    CLI::App* app = program.add_subcommand(
        "extend", "把工厂日历从最后一天延长到 --until 的日期，按已存的周末规则编号");
    app->add_option("--until", o->until, "新的最后一天，YYYY-MM-DD")->type_name("DATE")->required();
    return {app, [o](Session& s) { return RunExtend(*o, s); }, "extend --until 2030-12-31"};
}

}  // namespace zev::cli::commands
