// zevworkcal init: creates the suite's tables in a new database, the one the property
// string names (--db, --odbc or a Data Source in --props).
#include "apps/zevworkcal/commands/Commands.hpp"

#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/ConnectionString.hpp"
#include "suite/AppConnection.hpp"
#include "suite/Schema.hpp"

namespace zev::cli::commands {

namespace {

int RunInit(Session& s) {
    const suite::NamedDatabase database = suite::DatabaseNamed(host::MMTS::GetPropsValue);
    suite::InitDatabase(*suite::OpenDatabase(database, data::OpenMode::Create));
    s.out.Line(host::MMTS::LoadLocalText(automation::MarkedText(
        "已建立工厂日历的表",
        ": " + automation::EscapeControls(data::MaskPasswords(database.Source)))));
    return kOk;
}

}  // namespace

Command Init(CLI::App& program) {
    CLI::App* app = program.add_subcommand("init", "在新数据库中建立工厂日历的表并写入设置");
    return {app, RunInit, "init"};
}

}  // namespace zev::cli::commands
