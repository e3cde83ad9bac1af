// zevworkcal show: the calendar maintenance window on the chosen database.
#include "apps/zevworkcal/commands/Commands.hpp"

namespace zev::cli::commands {

Command Show(CLI::App& program) {
    CLI::App* app = program.add_subcommand("show", "open the calendar maintenance window");
    return {app, [](Session& s) {
                // Show reports its own failures (no display, a setting missing); the
                // command then fails too.
                OpenCalendar()->Show();
                return s.ui.Failed() ? kFailure : kOk;
            }};
}

}  // namespace zev::cli::commands
