// zevworkcal is-workday: whether a day is a work day, as text and as the exit code, so
// that `if zevworkcal is-workday "$d"; then ...` reads as it should.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>
#include <string>
#include <vector>

#include "apps/zevworkcal/QueryOutput.hpp"
#include "component/mdlCal.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/Connection.hpp"
#include "suite/CalendarNotes.hpp"

namespace zev::cli::commands {

namespace {

struct IsWorkdayOptions {
    std::string date;
    Format format = Format::Text;
};

int RunIsWorkday(const IsWorkdayOptions& o, Session& s) {
    const double date = ParseDateArgument(o.date);
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    component::CalendarDay day;
    std::string note;
    {
        // The kind and the note of one snapshot.
        data::Connection& connection = component::mdlCal::Connection();
        const data::ReadSnapshot snapshot(connection);
        const component::WorkDaysResult result = cal->DayKinds(date, {&day, 1});
        if (result.Failure) throw automation::ComError(*result.Failure);
        const double midnight = automation::OleDatePart(date);
        const std::vector<suite::DayNote> notes =
            suite::CalendarNotes(connection).Notes(midnight, midnight + 1);
        if (!notes.empty()) note = notes.front().Note;
    }
    const bool outside = day.kind == component::CalendarDay::Outside;
    // The record of list, in each format; a day outside the calendar is "outside".
    const std::string kind = outside ? "outside" : KindName(day.kind);
    const std::string number = outside ? "" : std::to_string(day.Number);
    std::string line;
    switch (o.format) {
        case Format::Text:
            // The kind alone, as scripts compare it; the note is in the other formats.
            line = kind;
            break;
        case Format::Csv:
            s.out.Line("date,kind,number,note");
            line = IsoDay(date) + "," + kind + "," + number + ",";
            AppendCsvField(line, note);
            break;
        case Format::Json:
            line = "{\"date\":\"" + IsoDay(date) + "\",\"kind\":\"" + kind +
                   "\",\"number\":" + (outside ? "null" : number) + ",\"note\":";
            AppendJsonString(line, note);
            line += "}";
            break;
    }
    s.out.Line(line);
    if (outside) return OutsideTheCalendar(s, *cal, o.date);
    return day.kind == component::CalendarDay::Work ? kOk : kRestDay;
}

}  // namespace

Command IsWorkday(CLI::App& program) {
    auto o = std::make_shared<IsWorkdayOptions>();
    CLI::App* app =
        program.add_subcommand("is-workday", "DATE 是工作日还是休息日：显示 work 或 rest");
    app->add_option("DATE", o->date, "日期 YYYY-MM-DD，可带时间 THH:MM[:SS]")->required();
    AddFormatOption(*app, o->format);
    return {
        app,
        [o](Session& s) { return RunIsWorkday(*o, s); },
        "is-workday 2026-12-24",
        {{kOk, "DATE 是工作日"}, {kOutside, "DATE 不在工厂日历之内"}, {kRestDay, "DATE 是休息日"}}};
}

}  // namespace zev::cli::commands
