// zevworkcal before: the last work day on or before a date.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

#include "apps/zevworkcal/QueryOutput.hpp"

namespace zev::cli::commands {

namespace {
struct BeforeOptions {
    std::string date;
};
}  // namespace

Command Before(CLI::App& program) {
    auto o = std::make_shared<BeforeOptions>();
    CLI::App* app = program.add_subcommand("before", "DATE 当天或之前的最后一个工作日");
    app->add_option("DATE", o->date, "日期 YYYY-MM-DD，可带时间 THH:MM[:SS]")->required();
    return {app,
            [o](Session& s) {
                const double date = ParseDateArgument(o->date);
                const std::unique_ptr<component::clsCal> cal = OpenCalendar();
                return PrintAnswer(s, *cal, cal->WorkDayBeforeAnswer(date), o->date);
            },
            "before 2026-12-13",
            {{kOutside, "DATE 不在工厂日历之内，答案是 DATE 本身"}}};
}

}  // namespace zev::cli::commands
