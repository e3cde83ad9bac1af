// zevworkcal count: the work days from one date up to the day before another, negative
// when the second is the earlier.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

#include "apps/zevworkcal/QueryOutput.hpp"
#include "platform/automation/ComError.hpp"

namespace zev::cli::commands {

namespace {

struct CountOptions {
    std::string from;
    std::string to;
    Format format = Format::Text;
};

void WriteCount(Output& out, Format format, const component::DayRange& range,
                const component::WorkDayCount& count) {
    const std::string from = IsoDay(range.From);
    const std::string to = IsoDay(range.To);
    const std::string work = std::to_string(count.WorkDays);
    const std::string outside = std::to_string(count.Outside);
    switch (format) {
        case Format::Text:
            out.Line(work);
            break;
        case Format::Csv:
            out.Line("from,to,work_days,outside_days");
            out.Line(from + "," + to + "," + work + "," + outside);
            break;
        case Format::Json:
            out.Line("{\"from\":\"" + from + "\",\"to\":\"" + to + "\",\"work_days\":" + work +
                     ",\"outside_days\":" + outside + "}");
            break;
    }
}

int RunCount(const CountOptions& o, Session& s) {
    const component::DayRange range{ParseDateArgument(o.from), ParseDateArgument(o.to)};
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    component::WorkDayCount count;
    const component::WorkDaysResult result = cal->WorkDaysBetween({&range, 1}, {&count, 1});
    if (result.Failure) throw automation::ComError(*result.Failure);
    WriteCount(s.out, o.format, range, count);
    if (count.Outside == 0) return kOk;
    return OutsideTheCalendar(s, *cal,
                              o.from + " " + o.to + " (" + std::to_string(count.Outside) + ")");
}

}  // namespace

Command Count(CLI::App& program) {
    auto o = std::make_shared<CountOptions>();
    CLI::App* app =
        program.add_subcommand("count", "从 FROM 到 TO 的前一天之间的工作日个数（TO 更早时为负）");
    app->add_option("FROM", o->from, "起始日期 YYYY-MM-DD，可带时间 THH:MM[:SS]")->required();
    app->add_option("TO", o->to, "结束日期（不含）YYYY-MM-DD，可带时间 THH:MM[:SS]")->required();
    AddFormatOption(*app, o->format);
    return {app,
            [o](Session& s) { return RunCount(*o, s); },
            "count 2026-12-01 2027-01-01",
            {{kOutside, "所问的日子不全在工厂日历之内"}}};
}

}  // namespace zev::cli::commands
