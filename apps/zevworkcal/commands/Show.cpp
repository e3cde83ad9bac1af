// zevworkcal show: the calendar maintenance window on the chosen database.
#include "apps/zevworkcal/commands/Commands.hpp"

namespace zev::cli::commands {

Command Show(CLI::App& program) {
    CLI::App* app = program.add_subcommand("show", "打开工厂日历的维护窗口");
    return {app,
            [](Session& s) {
                // Show reports its own failures (no display, a setting missing); the
                // command then fails too.
                OpenCalendar()->Show();
                return s.ui.Failed() ? kFailure : kOk;
            },
            "--lang en show"};
}

}  // namespace zev::cli::commands
