// zevworkcal import: makes every day a holiday list names a rest day or a work day with its
// note, as a planner turns days in the window (every guard of the swap), all in one
// calendar write with calendar 999's copy and a history row a day; or, with --dry-run,
// says what it would do and writes nothing.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "apps/zevworkcal/ImportFile.hpp"
#include "component/CalendarWrite.hpp"
#include "component/mdlCal.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/CalendarNotes.hpp"
#include "suite/CalendarRules.hpp"
#include "window/frmCal.hpp"

namespace zev::cli::commands {

namespace {

using component::Outcome;

struct ImportOptions {
    std::string file;
    std::optional<ListFormat> format;
    bool dryRun = false;
    bool keepRules = false;
};

// What became of one listed day.
struct Imported {
    const ListedDay* listed;
    std::string was;  // "rest" or "work"
    bool turned;
};

// Turns each listed day in the window's grids, every guard checked, then saves in the
// write the window joins; the first refusal ends it.
Outcome TurnAndSave(window::frmCal& w, const std::vector<ListedDay>& listed,
                    std::vector<Imported>& done) {
    if (Outcome may = MayTurnDays(w); !may.IsDone()) return may;
    std::vector<double> turns;
    for (const ListedDay& d : listed) {
        const std::string named = ": " + automation::FormatIsoDate(d.Day);
        const bool rest = w.sprNotWork.SortedRowOf(d.Day) != 0;
        if (!rest && w.sprWork.SortedRowOf(d.Day) == 0) {
            // extend only appends; a day before the first needs a generation from it.
            const bool before = !w.sprWork.Rows().empty() && d.Day < w.sprWork.Rows().front().Day;
            return Outcome::Refused(
                before ? "日期早于工厂日历的第一天，只有从更早的开始日重新生成"
                         "（zevworkcal generate START --replace）才包括它"
                       : "日期不在工厂日历中，请先用 zevworkcal extend 延长工厂日历",
                named);
        }
        done.push_back({&d, rest ? "rest" : "work", rest != d.Rest});
        if (rest != d.Rest) turns.push_back(d.Day);
    }
    // Every day through the swap's guards, then all of them moved at once.
    if (!turns.empty()) {
        // On its tab, as a planner would choose it: the access check decides there.
        SelectDay(w, turns.front());
        if (!w.cmdMove.Enabled) return Outcome::Refused(kNoAccess);
        const Outcome swapped = w.SwapDays(turns);
        if (!swapped.IsDone()) return swapped;
    }
    // Saved even when no day turned: calendar 999 is made anew as every save makes it.
    return w.SaveCalendar();
}

// The days the calendar holds now, on the connection of the caller's write; none for a
// calendar without days.
std::optional<component::DaySpan> CalendarSpan(data::Connection& connection) {
    const std::string first = ScalarText(connection, "SELECT MIN(FDay) FROM t_WorkCalendar");
    const std::string last = ScalarText(connection, "SELECT MAX(FDay) FROM t_WorkCalendar");
    const auto firstDay = automation::ParseIsoDay(first.substr(0, 10));
    const auto lastDay = automation::ParseIsoDay(last.substr(0, 10));
    if (!firstDay || !lastDay) return std::nullopt;
    return component::DaySpan{automation::OleFromDay(*firstDay), automation::OleFromDay(*lastDay)};
}

}  // namespace

int TurnListedDays(const std::function<std::vector<ListedDay>(data::Connection&)>& listing,
                   const ListedDaysWrite& how, Session& s) {
    RequireSchema();
    // The load, the turns, the save, the notes and the history are one calendar write on
    // the window's connection: all of it is kept, or none.
    data::ConnectionPtr connection;
    std::optional<component::CalendarWrite> write;
    std::vector<ListedDay> listed;
    std::vector<Imported> done;
    Outcome outcome = Outcome::Unchanged();
    WithWindow(
        [&](component::ComponentState& state) {
            connection = state.ActiveConnection;
            write.emplace(*connection);
            write->KeepOwnRecordsOnly();
            listed = listing(*connection);
        },
        [&](window::frmCal& w) { outcome = TurnAndSave(w, listed, done); });
    if (!outcome.IsDone()) return ExitCodeOf(Shown(outcome));
    suite::CalendarNotes notes(*connection);
    for (const Imported& d : done) {
        const ListedDay& l = *d.listed;
        bool noted = false;
        if (!l.Note.empty()) {
            const Outcome set = notes.SetNote(l.Day, l.Note);
            if (set.What() == Outcome::Kind::Refused) {
                return ExitCodeOf(Shown(Outcome::Refused(
                    set.Text(), ": " + automation::FormatIsoDate(l.Day) + set.Detail())));
            }
            noted = set.IsDone();
        }
        if (d.turned || noted) {
            write->Record({how.action, l.Day, d.was, std::string(l.Rest ? "rest" : "work"),
                           how.source + (l.Note.empty() ? "" : ": " + l.Note)});
        }
    }
    if (!how.dryRun) write->Commit();
    for (const Imported& d : done) {
        const ListedDay& l = *d.listed;
        s.out.Line(automation::FormatIsoDate(l.Day) +
                   (d.turned ? (l.Rest ? " rest" : " work") : " unchanged") +
                   (l.Note.empty() ? "" : " " + l.Note));
    }
    return kOk;
}

namespace {

// Stores the file's recurring events as rules, each once: a rule the calendar has (the
// same recurrence, kind, note and first day) is not added again. A refusal ends the write.
void KeepRules(data::Connection& connection, const std::vector<ListedRule>& listed,
               const std::string& file) {
    suite::CalendarRules rules(connection);
    const std::vector<suite::CalendarRule> held = rules.Rules();
    for (const ListedRule& l : listed) {
        const std::optional<std::string> recurrence = suite::RecurrenceOf(l.Recurrence);
        const bool known = std::any_of(held.begin(), held.end(), [&](const auto& h) {
            return recurrence && h.Recurrence == *recurrence && h.Rest == l.Rest &&
                   h.Note == l.Note && h.Start == l.Start;
        });
        if (known) continue;
        suite::CalendarRule rule{0, l.Recurrence, l.Rest, l.Note, l.Start};
        const Outcome added = rules.Add(rule);
        if (!added.IsDone()) {
            throw automation::ComError(
                automation::errors::kUnspecified, "zevworkcal",
                automation::MarkedText(added.Text(), ": " + automation::EscapeControls(file) + ":" +
                                                         std::to_string(l.Line) + added.Detail()));
        }
    }
}

int RunImport(const ImportOptions& o, Session& s) {
    // The file is read once and checked before the database is opened; its recurring
    // events are expanded over the calendar as the write finds it.
    const std::string text = ReadListText(o.file);
    ListedDaysOf(o.file, text, o.format);
    return TurnListedDays(
        [&](data::Connection& connection) {
            std::vector<ListedRule> rules;
            std::vector<ListedDay> days = ListedDaysOf(
                o.file, text, o.format, CalendarSpan(connection), o.keepRules ? &rules : nullptr);
            if (o.keepRules) KeepRules(connection, rules, o.file);
            return days;
        },
        {"import", automation::EscapeControls(o.file), o.dryRun}, s);
}

}  // namespace

Command Import(CLI::App& program) {
    auto o = std::make_shared<ImportOptions>();
    CLI::App* app = program.add_subcommand(
        "import",
        "按节假日文件（.csv 或 .ics）把其中每一天设为休息日或工作日并写上备注，经过窗口置换的"
        "全部检查；有一天被拒绝时什么也不写");
    app->add_option("FILE", o->file,
                    "节假日文件：.csv（DATE,rest|work[,NOTE]）或 .ics；- 为标准输入")
        ->required();
    AddChoiceOption<std::optional<ListFormat>>(
        *app, "--format", {{"csv", ListFormat::Csv}, {"ics", ListFormat::Ics}}, o->format,
        "文件的格式：csv 或 ics（默认按扩展名；标准输入以 BEGIN:VCALENDAR 开始时为 ics，否则为 "
        "csv）",
        "FORMAT");
    app->add_flag("--dry-run", o->dryRun, "只显示将做的改动，不写入数据库");
    app->add_flag("--keep-rules", o->keepRules,
                  "把 .ics 中的重复事件另存为规则，extend 以后的日子也照此安排");
    return {app, [o](Session& s) { return RunImport(*o, s); }, "import docs/holidays-2027.csv"};
}

}  // namespace zev::cli::commands
