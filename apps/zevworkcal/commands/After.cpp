// zevworkcal after: the first work day on or after a date.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

#include "apps/zevworkcal/QueryOutput.hpp"

namespace zev::cli::commands {

namespace {
struct AfterOptions {
    std::string date;
};
}  // namespace

Command After(CLI::App& program) {
    auto o = std::make_shared<AfterOptions>();
    CLI::App* app = program.add_subcommand("after", "DATE 当天或之后的第一个工作日");
    app->add_option("DATE", o->date, "日期 YYYY-MM-DD，可带时间 THH:MM[:SS]")->required();
    return {app,
            [o](Session& s) {
                const double date = ParseDateArgument(o->date);
                const std::unique_ptr<component::clsCal> cal = OpenCalendar();
                return PrintAnswer(s, *cal, cal->WorkDayAfterAnswer(date), o->date);
            },
            "after 2026-12-13",
            {{kOutside, "DATE 不在工厂日历之内，答案是 DATE 本身"}}};
}

}  // namespace zev::cli::commands
