// zevworkcal before: the last work day on or before a date.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

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
                PrintDate(s.out, OpenCalendar()->WorkDayBefore(date));
                return kOk;
            }};
}

}  // namespace zev::cli::commands
