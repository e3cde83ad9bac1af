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
    CLI::App* app = program.add_subcommand("before", "the last work day on or before DATE");
    app->add_option("DATE", o->date, "YYYY-MM-DD[THH:MM[:SS]]")->required();
    return {app, [o](Session& s) {
                const double date = ParseDateArgument(o->date);
                const std::unique_ptr<component::clsCal> cal = OpenCalendar();
                return PrintAnswer(s, *cal, cal->WorkDayBeforeAnswer(date), o->date);
            }};
}

}  // namespace zev::cli::commands
