// zevworkcal status: the database, the calendar's days, how far ahead it reaches, its
// settings, whether the database lacks the calendar's own tables, and on a hot standby how
// far its replay lags.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "apps/zevworkcal/QueryOutput.hpp"
#include "component/PlannedYears.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/ConnectionString.hpp"
#include "suite/AppConnection.hpp"
#include "suite/CalendarNotes.hpp"
#include "suite/CalendarStore.hpp"
#include "suite/Schema.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

// A calendar this close to its end is extended before schedulers reach past it.
constexpr int kFewWorkDaysLeft = 60;

// A hot standby's replay as the standby sees it: the changes received and not yet replayed,
// in bytes, and the time since the last replayed change was committed on the primary while
// such changes wait (0 once everything received is replayed); "" where it cannot tell (no
// change streamed or replayed yet).
struct StandbyReplay {
    std::string lagBytes;
    std::string lagSeconds;
};

// What status reports, read from one state of the database.
struct StatusReport {
    std::string database;  // as named, passwords masked; each output escapes it its own way
    std::optional<StandbyReplay> standby;  // none: the database takes writes
    std::optional<component::DaySpan> span;
    std::string workDays;
    std::string restDays;
    int workDaysLeft = 0;
    std::vector<int> unplanned;
    std::string settings;
    std::vector<std::string> warnings;
    std::string missing;  // the calendar's own objects the database lacks
};

// The warning due when the calendar has ended or few work days are left ("" when none
// is): past its last day every date question answers with the date asked.
std::string HorizonWarning(double lastDay, int left) {
    std::string warning;
    if (lastDay < automation::Today()) {
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

// The years from this one on that only the weekly rule has planned.
std::vector<int> UnplannedFromThisYear(data::Connection& connection, component::DaySpan span) {
    const int thisYear = automation::CivilFromOle(automation::Today()).Year;
    const double from = std::max(span.First, automation::OleFromCivil(thisYear, 1, 1));
    if (from > span.Last) return {};
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    std::vector<component::CalendarDay> days(static_cast<size_t>(span.Last - from + 1));
    const component::WorkDaysResult result = cal->DayKinds(from, days);
    if (result.Failure) throw automation::ComError(*result.Failure);
    std::set<int32_t> noted;
    for (const suite::DayNote& n : suite::CalendarNotes(connection).Notes(from, span.Last + 1))
        noted.insert(n.Day);
    suite::CalendarStore store(connection);
    return component::UnplannedYears(
        from, days, {store.SwitchIsOn("SatNotWork"), store.SwitchIsOn("SunNotWork")}, noted,
        thisYear);
}

// The replay of a PostgreSQL hot standby; none for any other database.
std::optional<StandbyReplay> ReadStandby(data::Connection& connection) {
    if (connection.GetDialect() != data::Dialect::PostgreSQL) return std::nullopt;
    data::Recordset rs = connection.Execute(
        "SELECT CASE WHEN pg_is_in_recovery() THEN 1 ELSE 0 END,"
        " GREATEST(pg_wal_lsn_diff(pg_last_wal_receive_lsn(), pg_last_wal_replay_lsn()), "
        "0)::bigint,"
        " CASE WHEN pg_last_wal_receive_lsn() <= pg_last_wal_replay_lsn() THEN 0::numeric"
        " ELSE round(GREATEST(EXTRACT(EPOCH FROM clock_timestamp() - "
        "pg_last_xact_replay_timestamp()), 0), 3) END");
    if (automation::CStr(rs.Fields(0).Value()) != "1") return std::nullopt;
    const auto text = [&](int i) {
        const automation::Variant& v = rs.Fields(i).Value();
        return v.IsNull() ? std::string() : automation::CStr(v);
    };
    return StandbyReplay{text(1), text(2)};
}

StatusReport ReadStatus(data::Connection& connection) {
    // Every figure from one state of the database, whatever another process commits
    // meanwhile.
    const data::ReadSnapshot snapshot(connection);
    StatusReport r;
    r.database = data::MaskPasswords(suite::DatabaseNamed(host::MMTS::GetPropsValue).Source);
    r.standby = ReadStandby(connection);
    const std::string first = ScalarText(connection, "SELECT MIN(FDay) FROM t_WorkCalendar");
    if (!first.empty()) {
        const std::string last = ScalarText(connection, "SELECT MAX(FDay) FROM t_WorkCalendar");
        r.span = component::DaySpan{automation::CDate(automation::Variant(first)),
                                    automation::CDate(automation::Variant(last))};
        r.workDays = ScalarText(connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0");
        r.restDays = ScalarText(connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID=0");
        r.workDaysLeft = automation::CLng(automation::Variant(ScalarText(
            connection, "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0 AND FDay>'" +
                            automation::FormatIsoDate(automation::Today()) + "'")));
        const std::string horizon = HorizonWarning(r.span->Last, r.workDaysLeft);
        if (!horizon.empty()) r.warnings.push_back(horizon);
        r.unplanned = UnplannedFromThisYear(connection, *r.span);
        const std::string unplanned = component::UnplannedWarning(r.unplanned);
        for (size_t at = 0; at < unplanned.size();) {
            const size_t end = unplanned.find('\n', at);
            r.warnings.push_back(LoadLocalText("警告") + ": " + unplanned.substr(at, end - at));
            at = end + 1;
        }
    }
    for (const auto& [key, value] : suite::CalendarStore(connection).Settings()) {
        r.settings += automation::EscapeControls(
            " " + key + "=" + (value.IsNull() ? std::string("NULL") : automation::CStr(value)));
    }
    // A database made before the calendar's own tables reads without notes until upgraded.
    for (const std::string& name : suite::MissingOwnObjects(connection))
        r.missing += (r.missing.empty() ? "" : ", ") + name;
    return r;
}

// The standby's line: read-only, and how far its replay lags when it can tell.
std::string StandbyLine(const StandbyReplay& standby) {
    std::string line = LoadLocalText("备用服务器，只读") + "; " + LoadLocalText("重放落后") + ": ";
    if (standby.lagSeconds.empty()) return line + LoadLocalText("无法得知");
    line += standby.lagSeconds + " s";
    if (!standby.lagBytes.empty()) {
        line += " (" + standby.lagBytes + " " + LoadLocalText("字节已收到尚未重放") + ")";
    }
    return line;
}

void WriteText(const StatusReport& r, Session& s) {
    s.out.Line(LoadLocalText("数据库") + ": " + automation::EscapeControls(r.database));
    if (r.standby) s.out.Line(StandbyLine(*r.standby));
    if (!r.span) {
        s.out.Line(LoadLocalText("尚未生成工厂日历"));
    } else {
        s.out.Line(LoadLocalText("工厂日历") + ": " + automation::FormatIsoDate(r.span->First) +
                   " .. " + automation::FormatIsoDate(r.span->Last) + ", " + r.workDays + " " +
                   LoadLocalText("工作日") + ", " + r.restDays + " " + LoadLocalText("休息日"));
        s.out.Line(LoadLocalText("今天之后的工作日") + ": " + std::to_string(r.workDaysLeft));
    }
    s.out.Line(LoadLocalText("设置") + ":" + r.settings);
}

// One object for monitoring scripts; the warnings are in it as they are shown.
void WriteJson(const StatusReport& r, Session& s) {
    std::string text = "{\"database\":";
    AppendJsonString(text, r.database);
    // The same keys on every database; null where a standby cannot tell, or on a primary.
    const auto number = [](const std::string& n) { return n.empty() ? std::string("null") : n; };
    text += ",\"standby\":" + std::string(r.standby ? "true" : "false") +
            ",\"replay_lag_seconds\":" + (r.standby ? number(r.standby->lagSeconds) : "null") +
            ",\"replay_lag_bytes\":" + (r.standby ? number(r.standby->lagBytes) : "null");
    if (r.span) {
        text += ",\"first\":\"" + automation::FormatIsoDate(r.span->First) + "\",\"last\":\"" +
                automation::FormatIsoDate(r.span->Last) + "\",\"work_days\":" + r.workDays +
                ",\"rest_days\":" + r.restDays +
                ",\"work_days_left\":" + std::to_string(r.workDaysLeft);
    }
    text += ",\"unplanned_years\":[";
    for (size_t i = 0; i < r.unplanned.size(); ++i)
        text += (i == 0 ? "" : ",") + std::to_string(r.unplanned[i]);
    text += "],\"warnings\":[";
    for (size_t i = 0; i < r.warnings.size(); ++i) {
        if (i > 0) text += ',';
        AppendJsonString(text, r.warnings[i]);
    }
    text += "]}";
    s.out.Line(text);
}

int RunStatus(Format format, Session& s) {
    RequireSchema();
    auto connection = AppConnection();
    const StatusReport r = ReadStatus(*connection);
    if (format == Format::Json) {
        WriteJson(r, s);
    } else {
        WriteText(r, s);
    }
    // The warnings follow the report, once the report is out: a report that cannot be
    // written fails the command with that failure alone.
    s.out.Flush();
    for (const std::string& warning : r.warnings)
        std::fprintf(s.ui.ErrorStream(), "%s\n", warning.c_str());
    if (!r.missing.empty()) {
        std::fprintf(
            s.ui.ErrorStream(), "%s: %s (%s)\n", LoadLocalText("注意").c_str(),
            LoadLocalText("数据库中缺少工厂日历自己的表，请运行 zevworkcal upgrade").c_str(),
            r.missing.c_str());
    }
    return kOk;
}

}  // namespace

Command Status(CLI::App& program) {
    auto format = std::make_shared<Format>(Format::Text);
    CLI::App* app = program.add_subcommand(
        "status", "显示数据库、工厂日历的范围、今天以后剩下的工作日和设置，并警告尚无节假日的年份");
    // A report of lines and warnings has no table for CSV.
    AddChoiceOption<Format>(*app, "--format", {{"text", Format::Text}, {"json", Format::Json}},
                            *format, "输出格式：text 或 json（默认 text）", "FORMAT");
    return {app, [format](Session& s) { return RunStatus(*format, s); }, "status"};
}

}  // namespace zev::cli::commands
