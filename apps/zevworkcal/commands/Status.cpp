// zevworkcal status: the database, the calendar's days, how far ahead it reaches, its
// settings, and whether the database lacks the calendar's own tables.
#include "apps/zevworkcal/commands/Commands.hpp"

#include "host/MMTS.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/ConnectionString.hpp"
#include "suite/AppConnection.hpp"
#include "suite/CalendarStore.hpp"
#include "suite/Schema.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

// A calendar this close to its end is extended before schedulers reach past it.
constexpr int kFewWorkDaysLeft = 60;

// Shows the work days after today; returns the warning due when the calendar has ended or
// few work days are left ("" when none is): past its last day every date question
// answers with the date asked.
std::string ShowHorizon(Session& s, data::Connection& connection, double lastDay) {
    const double today = automation::Today();
    const int left = automation::CLng(automation::Variant(
        ScalarText(connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0 AND FDay>'" +
                                   automation::FormatIsoDate(today) + "'")));
    s.out.Line(LoadLocalText("今天之后的工作日") + ": " + std::to_string(left));
    std::string warning;
    if (lastDay < today) {
        warning =
            LoadLocalText("工厂日历已经结束") + " (" + automation::FormatIsoDate(lastDay) + ")";
    } else if (left < kFewWorkDaysLeft) {
        warning =
            LoadLocalText("今天之后剩下的工作日少于 60 天") + " (" + std::to_string(left) + ")";
    }
    if (warning.empty()) return warning;
    return LoadLocalText("警告") + ": " + warning + "; " +
           LoadLocalText("请用 zevworkcal extend --until DATE 延长工厂日历");
}

int RunStatus(Session& s) {
    RequireSchema();
    auto connection = AppConnection();
    // Every figure from one state of the database, whatever another process commits
    // meanwhile.
    const data::ReadSnapshot snapshot(*connection);
    const std::string source = suite::DatabaseNamed(host::MMTS::GetPropsValue).Source;
    s.out.Line(LoadLocalText("数据库") + ": " +
               automation::EscapeControls(data::MaskPasswords(source)));
    const std::string first = ScalarText(*connection, "SELECT MIN(FDay) FROM t_WorkCalendar");
    std::string warning;
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
        warning = ShowHorizon(s, *connection, automation::CDate(automation::Variant(last)));
    }
    std::string settings;
    for (const auto& [key, value] : suite::CalendarStore(*connection).Settings()) {
        settings +=
            " " + key + "=" + (value.IsNull() ? std::string("NULL") : automation::CStr(value));
    }
    s.out.Line(LoadLocalText("设置") + ":" + settings);
    // The warning follows the report, once the report is out: a report that cannot be
    // written fails the command with that failure alone.
    // A database made before the calendar's own tables reads without notes until upgraded.
    std::string missing;
    for (const std::string& name : suite::MissingOwnObjects(*connection))
        missing += (missing.empty() ? "" : ", ") + name;
    s.out.Flush();
    if (!warning.empty()) std::fprintf(s.ui.ErrorStream(), "%s\n", warning.c_str());
    if (!missing.empty()) {
        std::fprintf(
            s.ui.ErrorStream(), "%s: %s (%s)\n", LoadLocalText("注意").c_str(),
            LoadLocalText("数据库中缺少工厂日历自己的表，请运行 zevworkcal upgrade").c_str(),
            missing.c_str());
    }
    return kOk;
}

}  // namespace

Command Status(CLI::App& program) {
    CLI::App* app =
        program.add_subcommand("status", "显示数据库、工厂日历的范围、今天以后剩下的工作日和设置");
    return {app, RunStatus, "status"};
}

}  // namespace zev::cli::commands
