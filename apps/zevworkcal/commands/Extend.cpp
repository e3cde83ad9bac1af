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
    const suite::CalendarExtension added = suite::ExtendCalendar(*AppConnection(), until);
    s.out.Line(LoadLocalText("工厂日历已延长") + ": " + automation::FormatIsoDate(added.FirstDay) +
               " .. " + automation::FormatIsoDate(added.LastDay) + ", " +
               std::to_string(added.WorkDays) + " " + LoadLocalText("工作日"));
    return kOk;
}

}  // namespace

Command Extend(CLI::App& program) {
    auto o = std::make_shared<ExtendOptions>();
    CLI::App* app = program.add_subcommand(
        "extend", "append the days after the calendar's last day up to DATE");
    app->add_option("--until", o->until, "the new last day, YYYY-MM-DD")->required();
    return {app, [o](Session& s) { return RunExtend(*o, s); }};
}

}  // namespace zev::cli::commands
