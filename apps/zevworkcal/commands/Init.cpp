// zevworkcal init: creates the suite's tables in a new database.
#include "apps/zevworkcal/commands/Commands.hpp"

#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/Schema.hpp"

namespace zev::cli::commands {

using host::MMTS::LoadLocalText;

namespace {

int RunInit(Session& s) {
    const GlobalOptions& o = s.global;
    if (!o.odbc.empty()) {
        auto connection = data::OpenOdbc(o.odbc);
        suite::InitDatabase(*connection);
        std::fprintf(s.out, "%s\n",
                     LoadLocalText(
                         automation::MarkedText("已建立工厂日历的表", ": " + MaskPasswords(o.odbc)))
                         .c_str());
        return kOk;
    }
    const std::string path = o.db.empty() ? kDefaultDatabase : o.db;
    auto connection = data::OpenSqlite(path, data::OpenMode::Create);
    suite::InitDatabase(*connection);
    std::fprintf(s.out, "%s\n",
                 LoadLocalText(automation::MarkedText("已建立工厂日历的表", ": " + path)).c_str());
    return kOk;
}

}  // namespace

Command Init(CLI::App& program) {
    CLI::App* app =
        program.add_subcommand("init", "create the calendar's tables in a new database");
    return {app, RunInit};
}

}  // namespace zev::cli::commands
