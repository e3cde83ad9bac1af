// zevworkcal history: the changes of the calendar as its history table records them,
// oldest first: when, who, with which program, what, the day, from what to what, the note.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>
#include <optional>

#include "apps/zevworkcal/QueryOutput.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/CalendarNotes.hpp"

namespace zev::cli::commands {

namespace {

struct HistoryOptions {
    std::optional<std::string> from;
    std::optional<std::string> to;
    Format format = Format::Text;
};

std::string DayText(const suite::HistoryRow& row) {
    std::string text;
    if (row.Day) automation::AppendIsoDate(text, automation::DayOfSerial(*row.Day));
    return text;
}

// One line a row: its time, user, program and action, then the day, "FROM -> TO" and the
// note where the row has them.
std::string TextLine(const suite::HistoryRow& row) {
    using automation::EscapeControls;
    std::string line = automation::FormatIsoDateTime(row.Time) + "  " + EscapeControls(row.User) +
                       "  " + EscapeControls(row.Program) + "  " + EscapeControls(row.Action);
    if (row.Day) line += "  " + DayText(row);
    if (!row.From.empty() || !row.To.empty()) {
        line += "  " + EscapeControls(row.From) + " -> " + EscapeControls(row.To);
    }
    if (!row.Note.empty()) line += "  " + EscapeControls(row.Note);
    return line + "\n";
}

std::string CsvLine(const suite::HistoryRow& row) {
    std::string line = automation::FormatIsoDateTime(row.Time);
    for (const std::string& field :
         {row.User, row.Program, row.Action, DayText(row), row.From, row.To, row.Note}) {
        line += ',';
        AppendCsvField(line, field);
    }
    return line + "\n";
}

std::string JsonObject(const suite::HistoryRow& row) {
    std::string text = "{\"time\":\"" + automation::FormatIsoDateTime(row.Time) + "\"";
    const std::pair<const char*, const std::string*> fields[] = {
        {"user", &row.User}, {"program", &row.Program}, {"action", &row.Action}};
    for (const auto& [key, value] : fields) {
        text += std::string(",\"") + key + "\":";
        AppendJsonString(text, *value);
    }
    text += ",\"day\":";
    if (row.Day) {
        AppendJsonString(text, DayText(row));
    } else {
        text += "null";
    }
    const std::pair<const char*, const std::string*> rest[] = {
        {"from", &row.From}, {"to", &row.To}, {"note", &row.Note}};
    for (const auto& [key, value] : rest) {
        text += std::string(",\"") + key + "\":";
        AppendJsonString(text, *value);
    }
    return text + "}";
}

int RunHistory(const HistoryOptions& o, Session& s) {
    const std::optional<double> from = OptionalDate(o.from);
    const std::optional<double> to = OptionalDate(o.to);
    if (from && to && automation::OleDaySerial(*to) < automation::OleDaySerial(*from)) {
        throw UsageError(automation::MarkedText("TO 不能早于 FROM", ": " + *o.from + " " + *o.to));
    }
    RequireSchema();
    const std::vector<suite::HistoryRow> rows =
        suite::CalendarNotes(*AppConnection()).History(from, to);
    std::string text;
    if (o.format == Format::Csv) text = "time,user,program,action,day,from,to,note\n";
    if (o.format == Format::Json) text = "[";
    for (size_t i = 0; i < rows.size(); ++i) {
        switch (o.format) {
            case Format::Text:
                text += TextLine(rows[i]);
                break;
            case Format::Csv:
                text += CsvLine(rows[i]);
                break;
            case Format::Json:
                text += (i == 0 ? "\n" : ",\n") + JsonObject(rows[i]);
                break;
        }
    }
    if (o.format == Format::Json) text += rows.empty() ? "]\n" : "\n]\n";
    s.out.Write(text);
    return kOk;
}

}  // namespace

Command History(CLI::App& program) {
    auto o = std::make_shared<HistoryOptions>();
    CLI::App* app = program.add_subcommand(
        "history", "工厂日历的修改记录，从旧到新：时间、用户、程序、操作、日期、从何到何、备注");
    app->add_option("--from", o->from, "只列这一天起所作的修改 YYYY-MM-DD")->type_name("DATE");
    app->add_option("--to", o->to, "只列这一天之前所作的修改 YYYY-MM-DD（不含）")
        ->type_name("DATE");
    AddFormatOption(*app, o->format);
    return {app, [o](Session& s) { return RunHistory(*o, s); }, "history --from 2027-01-01"};
}

}  // namespace zev::cli::commands
