// zevworkcal upgrade: adds to a database made earlier, or by the suite, the calendar's own
// tables (notes, history, rules) and, on PostgreSQL, its change stamp, whichever it lacks.
#include "apps/zevworkcal/commands/Commands.hpp"

#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "suite/Schema.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

int RunUpgrade(Session& s) {
    const std::vector<std::string> added = suite::UpgradeDatabase(*AppConnection());
    if (added.empty()) {
        s.out.Line(LoadLocalText("数据库中已有工厂日历的全部表，未作任何改动"));
        return kOk;
    }
    for (const std::string& name : added)
        s.out.Line(LoadLocalText(automation::MarkedText("已添加", ": " + name)));
    return kOk;
}

}  // namespace

Command Upgrade(CLI::App& program) {
    CLI::App* app = program.add_subcommand(
        "upgrade", "为较早建立的数据库添加工厂日历自己的表（备注、历史记录、规则），可重复运行");
    return {app, RunUpgrade, "upgrade"};
}

}  // namespace zev::cli::commands
