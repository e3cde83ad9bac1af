// zevworkcal status: the database, the calendar's days and its settings.
#include "apps/zevworkcal/commands/Commands.hpp"

#include "host/MMTS.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/ConnectionString.hpp"
#include "suite/AppConnection.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

int RunStatus(Session& s) {
    RequireSchema();
    auto connection = AppConnection();
    const std::string source = suite::DatabaseNamed(host::MMTS::GetPropsValue).Source;
    s.out.Line(LoadLocalText("数据库") + ": " + data::MaskPasswords(source));
    const std::string first = ScalarText(*connection, "SELECT MIN(FDay) FROM t_WorkCalendar");
    if (first.empty()) {
        s.out.Line(LoadLocalText("尚未生成工厂日历"));
    } else {
        const std::string last = ScalarText(*connection, "SELECT MAX(FDay) FROM t_WorkCalendar");
        const std::string work =
            ScalarText(*connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0");
        const std::string rest =
            ScalarText(*connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID=0");
        s.out.Line(
            LoadLocalText("工厂日历") + ": " +
            automation::FormatIsoDate(automation::CDate(automation::Variant(first))) + " .. " +
            automation::FormatIsoDate(automation::CDate(automation::Variant(last))) + ", " + work +
            " " + LoadLocalText("工作日") + ", " + rest + " " + LoadLocalText("休息日"));
    }
    data::Recordset rs = connection->Execute(
        "SELECT FKey, FValue FROM t_SystemProfile WHERE FCategory='IC' ORDER BY FKey");
    std::string settings;
    for (; !rs.Eof(); rs.MoveNext()) {
        const automation::Variant& value = rs.Fields(1).Value();
        settings += " " + automation::CStr(rs.Fields(0).Value()) + "=" +
                    (value.IsNull() ? std::string("NULL") : automation::CStr(value));
    }
    s.out.Line(LoadLocalText("设置") + ":" + settings);
    return kOk;
}

}  // namespace

Command Status(CLI::App& program) {
    CLI::App* app = program.add_subcommand("status", "the calendar's days and settings");
    return {app, RunStatus};
}

}  // namespace zev::cli::commands
