// Run (Cli.hpp): the global options, parsing, the dispatch to the command named and the
// one place where failures become exit codes. The commands live in commands/.
#include "apps/zevworkcal/Cli.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <mutex>

#include "apps/zevworkcal/Command.hpp"
#include "apps/zevworkcal/commands/Commands.hpp"
#include "component/mdlCal.hpp"
#include "suite/Register.hpp"
#include "suite/ShareProps.hpp"
#include "window/QtFrontEnd.hpp"

namespace zev::cli {
namespace {

// Every command, in the order of the help.
constexpr CommandSetup kCommands[] = {
    commands::Init,   commands::Text,     commands::Before, commands::After, commands::Workday,
    commands::Status, commands::Generate, commands::Extend, commands::Check, commands::Show,
};

void AddGlobalOptions(CLI::App& app, GlobalOptions& o) {
    auto* dbOption = app.add_option("--db", o.db, "SQLite database file (default ./zevworkcal.db)");
    app.add_option("--odbc", o.odbc, "ODBC connection string of a database server")
        ->excludes(dbOption);
    app.add_option("--lang", o.lang, "language code of the texts, for example en");
    app.add_option("--props", o.props, "more entries of the connection property string");
}

// A parse failure as one line; an unknown command is named plainly instead of CLI11's
// general complaint.
std::string ParseFailureText(const CLI::App& app, const CLI::ParseError& e,
                             const std::vector<std::string>& args) {
    std::string message = e.what();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--db" || a == "--lang" || a == "--props" || a == "--odbc") {
            ++i;
            continue;
        }
        if (a.rfind("-", 0) == 0) continue;
        bool known = false;
        for (const CLI::App* sub : app.get_subcommands({}))
            known |= sub->get_name() == a;
        if (!known) message = "unknown command: " + a;
        break;
    }
    std::replace(message.begin(), message.end(), '\n', ' ');
    return message;
}

// Runs the command named, mapping what it throws to an exit code: usage errors are
// reported in one line, any other failure through the error report.
int Dispatch(const std::vector<Command>& commands, Session& s) {
    try {
        suite::SetProcessProperty("PropsString", BuildPropsString(s.global));
        for (const Command& command : commands) {
            if (command.app->parsed()) return command.run(s);
        }
        return kUsage;
    } catch (const UsageError& e) {
        std::fprintf(s.err, "zevworkcal: %s\n", e.what());
        return kUsage;
    } catch (...) {
        component::mdlCal::ReportCaughtFailure();
        return kFailure;
    }
}

}  // namespace

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, std::FILE* in) {
    static std::once_flag registered;
    std::call_once(registered, [] {
        suite::RegisterSuite();
        window::RegisterQtWindow();
    });

    auto cliUi = std::make_shared<CliUi>(err, in);
    const ui::ScopedUserInterface useConsole(cliUi);

    GlobalOptions global;
    CLI::App app{"ZevWorkCal: the factory calendar", "zevworkcal"};
    app.option_defaults()->always_capture_default(false);
    AddGlobalOptions(app, global);
    app.require_subcommand(1);
    std::vector<Command> commands;
    for (CommandSetup setup : kCommands)
        commands.push_back(setup(app));

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        std::fprintf(out, "%s", app.help().c_str());
        return kOk;
    } catch (const CLI::ParseError& e) {
        std::fprintf(err, "zevworkcal: %s (see zevworkcal --help)\n",
                     ParseFailureText(app, e, args).c_str());
        return kUsage;
    }

    Session session{out, err, in, *cliUi, global};
    return Dispatch(commands, session);
}

}  // namespace zev::cli
