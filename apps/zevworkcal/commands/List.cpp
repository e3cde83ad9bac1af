// zevworkcal list: the days from one date up to the day before another, one line each
// with its kind, work-day number and note, all of them or the work or the rest days only.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <charconv>
#include <memory>
#include <vector>

#include "apps/zevworkcal/QueryOutput.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/CalendarNotes.hpp"

namespace zev::cli::commands {

namespace {

struct ListOptions {
    std::string from;
    std::string to;
    bool workOnly = false;
    bool restOnly = false;
    Format format = Format::Text;
};

// One day of the list as it is written.
struct ListedDay {
    int32_t serial;  // the day's number
    component::CalendarDay held;
    std::string_view note;  // empty without one
};

// Writes the list a block at a time: a header or an opening, the days, the closing.
class ListWriter {
  public:
    ListWriter(Output& out, Format format) : out_(out), format_(format) {
        if (format_ == Format::Csv) text_ = "date,kind,number,note\n";
        if (format_ == Format::Json) text_ = "[";
    }

    void Add(const ListedDay& day) {
        const bool work = day.held.kind == component::CalendarDay::Work;
        switch (format_) {
            case Format::Text:
                Date(day);
                text_ += work ? " work " : " rest";
                if (work) Number(day);
                if (!day.note.empty()) (text_ += ' ') += automation::EscapeControls(day.note);
                text_ += '\n';
                break;
            case Format::Csv:
                Date(day);
                text_ += work ? ",work," : ",rest,";
                Number(day);
                text_ += ',';
                AppendCsvField(text_, day.note);
                text_ += '\n';
                break;
            case Format::Json:
                text_ += count_ == 0 ? "\n{\"date\":\"" : ",\n{\"date\":\"";
                Date(day);
                text_ +=
                    work ? "\",\"kind\":\"work\",\"number\":" : "\",\"kind\":\"rest\",\"number\":";
                Number(day);
                text_ += ",\"note\":";
                AppendJsonString(text_, day.note);
                text_ += '}';
                break;
        }
        ++count_;
        if (text_.size() >= kBlock) Push();
    }

    void Finish() {
        if (format_ == Format::Json) text_ += count_ == 0 ? "]\n" : "\n]\n";
        Push();
    }

  private:
    static constexpr size_t kBlock = 1 << 16;
    void Date(const ListedDay& day) {
        automation::AppendIsoDate(text_, automation::DayOfSerial(day.serial));
    }
    void Number(const ListedDay& day) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, day.held.Number).ptr;
        text_.append(digits, end);
    }
    void Push() {
        out_.Write(text_);
        text_.clear();
    }

    Output& out_;
    Format format_;
    std::string text_;
    size_t count_ = 0;
};

int RunList(const ListOptions& o, Session& s) {
    const double from = ParseDateArgument(o.from);
    const double to = ParseDateArgument(o.to);
    const int32_t first = automation::OleDaySerial(from);
    const int32_t end = automation::OleDaySerial(to);
    if (end < first) {
        throw UsageError(automation::MarkedText("TO 不能早于 FROM", ": " + o.from + " " + o.to));
    }
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    std::vector<component::CalendarDay> days(static_cast<size_t>(end - first));
    std::vector<suite::DayNote> notes;
    {
        data::Connection& connection = component::mdlCal::Connection();
        const data::ReadSnapshot snapshot(connection);
        const component::WorkDaysResult result = cal->DayKinds(from, days);
        if (result.Failure) throw automation::ComError(*result.Failure);
        notes = suite::CalendarNotes(connection).Notes(first, end);
    }

    ListWriter writer(s.out, o.format);
    size_t outside = 0;
    auto note = notes.begin();  // in date order, as the days
    for (size_t i = 0; i < days.size(); ++i) {
        const component::CalendarDay& day = days[i];
        if (day.kind == component::CalendarDay::Outside) {
            ++outside;
            continue;
        }
        const bool work = day.kind == component::CalendarDay::Work;
        if ((o.workOnly && !work) || (o.restOnly && work)) continue;
        const int32_t serial = first + static_cast<int32_t>(i);
        while (note != notes.end() && note->Day < serial)
            ++note;
        writer.Add({serial, day,
                    note != notes.end() && note->Day == serial ? note->Note : std::string_view()});
    }
    writer.Finish();
    if (outside == 0) return kOk;
    return OutsideTheCalendar(s, *cal, o.from + " " + o.to + " (" + std::to_string(outside) + ")");
}

}  // namespace

Command List(CLI::App& program) {
    auto o = std::make_shared<ListOptions>();
    CLI::App* app = program.add_subcommand("list",
                                           "从 FROM 到 TO 的前一天的每一天：DATE work "
                                           "N（工作日及其编号）或 DATE rest，有备注时其后为备注");
    app->add_option("FROM", o->from, "起始日期 YYYY-MM-DD，可带时间 THH:MM[:SS]")->required();
    app->add_option("TO", o->to, "结束日期（不含）YYYY-MM-DD，可带时间 THH:MM[:SS]")->required();
    auto* work = app->add_flag("--work", o->workOnly, "只列工作日");
    app->add_flag("--rest", o->restOnly, "只列休息日")->excludes(work);
    AddFormatOption(*app, o->format);
    return {app,
            [o](Session& s) { return RunList(*o, s); },
            "list 2026-12-21 2027-01-04 --rest",
            {{kOutside, "所问的日子不全在工厂日历之内"}}};
}

}  // namespace zev::cli::commands
