// zevworkcal status: the database, the calendar's days, how far ahead it reaches, and its
// settings.
#include "apps/zevworkcal/commands/Commands.hpp"

#include "host/MMTS.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

// A calendar this close to its end is extended before schedulers reach past it.
constexpr int kFewWorkDaysLeft = 60;

// The work days after today, and a warning on stderr when the calendar has ended or few
// work days are left: past its last day every date question answers with the date asked.
void ShowHorizon(Session& s, data::Connection& connection, double lastDay) {
    const double today = automation::Today();
    const int left = automation::CLng(automation::Variant(
        ScalarText(connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0 AND FDay>'" +
                                   automation::FormatIsoDate(today) + "'")));
    std::fprintf(s.out, "%s: %d\n", LoadLocalText("今天之后的工作日").c_str(), left);
    std::string warning;
    if (lastDay < today) {
        warning =
            LoadLocalText("工厂日历已经结束") + " (" + automation::FormatIsoDate(lastDay) + ")";
    } else if (left < kFewWorkDaysLeft) {
        warning =
            LoadLocalText("今天之后剩下的工作日少于 60 天") + " (" + std::to_string(left) + ")";
    }
    if (warning.empty()) return;
    std::fprintf(s.err, "%s: %s; %s\n", LoadLocalText("警告").c_str(), warning.c_str(),
                 LoadLocalText("请用 zevworkcal extend --until DATE 延长工厂日历").c_str());
}

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
        ShowHorizon(s, *connection, automation::CDate(automation::Variant(last)));
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
