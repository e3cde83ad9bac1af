// zevworkcal status: the database, the calendar's days and its settings.
#include "apps/zevworkcal/commands/Commands.hpp"

#include "host/MMTS.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

int RunStatus(Session& s) {
    RequireSchema();
    auto connection = AppConnection();
    std::fprintf(s.out, "%s: %s\n", LoadLocalText("数据库").c_str(),
                 MaskPasswords(host::MMTS::GetPropsValue("Data Source")).c_str());
    const std::string first = ScalarText(*connection, "SELECT MIN(FDay) FROM t_WorkCalendar");
    if (first.empty()) {
        std::fprintf(s.out, "%s\n", LoadLocalText("尚未生成工厂日历").c_str());
    } else {
        const std::string last = ScalarText(*connection, "SELECT MAX(FDay) FROM t_WorkCalendar");
        const std::string work =
            ScalarText(*connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0");
        const std::string rest =
            ScalarText(*connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID=0");
        std::fprintf(
            s.out, "%s: %s .. %s, %s %s, %s %s\n", LoadLocalText("工厂日历").c_str(),
            automation::FormatIsoDate(automation::CDate(automation::Variant(first))).c_str(),
            automation::FormatIsoDate(automation::CDate(automation::Variant(last))).c_str(),
            work.c_str(), LoadLocalText("工作日").c_str(), rest.c_str(),
            LoadLocalText("休息日").c_str());
    }
    data::Recordset rs = connection->Execute(
        "SELECT FKey, FValue FROM t_SystemProfile WHERE FCategory='IC' ORDER BY FKey");
    std::string settings;
    for (; !rs.Eof(); rs.MoveNext()) {
        const automation::Variant& value = rs.Fields(1).Value();
        settings += " " + automation::CStr(rs.Fields(0).Value()) + "=" +
                    (value.IsNull() ? std::string("NULL") : automation::CStr(value));
    }
    std::fprintf(s.out, "%s:%s\n", LoadLocalText("设置").c_str(), settings.c_str());
    return kOk;
}

}  // namespace

Command Status(CLI::App& program) {
    CLI::App* app = program.add_subcommand("status", "the calendar's days and settings");
    return {app, RunStatus};
}

}  // namespace zev::cli::commands
