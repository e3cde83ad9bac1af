// zevworkcal is-workday: whether a day is a work day, as text and as the exit code, so
// that `if zevworkcal is-workday "$d"; then ...` reads as it should.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

#include "apps/zevworkcal/QueryOutput.hpp"
#include "platform/automation/ComError.hpp"

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
    const component::WorkDaysResult result = cal->DayKinds(date, {&day, 1});
    if (result.Failure) throw automation::ComError(*result.Failure);
    if (day.kind == component::CalendarDay::Outside) return OutsideTheCalendar(s, *cal, o.date);
    const std::string kind = KindName(day.kind);
    const std::string number = std::to_string(day.Number);
    switch (o.format) {
        case Format::Text:
            s.out.Line(kind);
            break;
        case Format::Csv:
            s.out.Line("date,kind,number");
            s.out.Line(IsoDay(date) + "," + kind + "," + number);
            break;
        case Format::Json:
            s.out.Line("{\"date\":\"" + IsoDay(date) + "\",\"kind\":\"" + kind +
                       "\",\"number\":" + number + "}");
            break;
    }
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
