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
    CLI::App* app = program.add_subcommand("after", "the first work day on or after DATE");
    app->add_option("DATE", o->date, "YYYY-MM-DD[THH:MM[:SS]]")->required();
    return {app, [o](Session& s) {
                const double date = ParseDateArgument(o->date);
                const std::unique_ptr<component::clsCal> cal = OpenCalendar();
                return PrintAnswer(s, *cal, cal->WorkDayAfterAnswer(date), o->date);
            }};
}

}  // namespace zev::cli::commands
