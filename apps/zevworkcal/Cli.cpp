// Run (Cli.hpp): the global options, parsing, the dispatch to the command named and the
// one place where failures become exit codes. The commands live in commands/.
#include "apps/zevworkcal/Cli.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "apps/zevworkcal/Command.hpp"
#include "apps/zevworkcal/commands/Commands.hpp"
#include "component/mdlCal.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/ConnectionString.hpp"
#include "suite/Register.hpp"
#include "suite/ShareProps.hpp"
#include "window/QtFrontEnd.hpp"

#ifndef ZEV_VERSION
#error "ZEV_VERSION names the version zevworkcal --version prints"
#endif

namespace zev::cli {
namespace {

using host::MMTS::LoadLocalText;

// Every command, in the order of the help.
constexpr CommandSetup kCommands[] = {
    commands::Init,     commands::Text,      commands::Before, commands::After, commands::Workday,
    commands::Count,    commands::IsWorkday, commands::List,   commands::Cal,   commands::Status,
    commands::Generate, commands::Extend,    commands::Swap,   commands::Check, commands::Show,
};

void AddGlobalOptions(CLI::App& app, GlobalOptions& o) {
    // The callbacks only note what was given; nothing runs while parsing.
    auto* db = app.add_option_function<std::string>(
        "--db",
        [&o](const std::string& value) {
            o.db = value;
            o.dbGiven = true;
        },
        "SQLite database file (default ./zevworkcal.db)");
    app.add_option_function<std::string>(
           "--odbc",
           [&o](const std::string& value) {
               o.odbc = value;
               o.odbcGiven = true;
           },
           "ODBC connection string of a database server")
        ->excludes(db);
    app.add_option("--lang", o.lang, "language code of the texts, for example en");
    app.add_option("--props", o.props, "more entries of the connection property string");
    app.set_version_flag("--version", "zevworkcal " ZEV_VERSION, "print the version");
}

// The arguments a complaint lists ("a b c"), in the order of the command line: the parser
// names a subcommand's extras last first. Found as a run of the arguments that the list
// names in either order; the list as it stands when there is none.
std::string InCommandLineOrder(const std::string& listed, const std::vector<std::string>& args) {
    auto joined = [](auto first, auto last) {
        std::string text;
        for (auto it = first; it != last; ++it)
            text += (text.empty() ? "" : " ") + *it;
        return text;
    };
    for (size_t begin = 0; begin < args.size(); ++begin) {
        for (size_t end = begin + 1; end <= args.size(); ++end) {
            const auto first = args.begin() + static_cast<std::ptrdiff_t>(begin);
            const auto last = args.begin() + static_cast<std::ptrdiff_t>(end);
            if (joined(std::make_reverse_iterator(last), std::make_reverse_iterator(first)) ==
                listed) {
                return joined(first, last);
            }
        }
    }
    return listed;
}

// The parser's complaints that users meet most, through the text lookup with what they
// name; any other in the parser's own words.
std::string ParseErrorText(const CLI::ParseError& e, const std::vector<std::string>& args) {
    const std::string what = e.what();
    constexpr std::string_view kIsRequired = " is required";
    if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
        if (what == "A subcommand is required") return automation::MarkedText("需要一个命令");
        if (what.ends_with(kIsRequired)) {
            return automation::MarkedText("缺少必需的参数",
                                          ": " + what.substr(0, what.size() - kIsRequired.size()));
        }
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
        const size_t colon = what.find(": ");
        if (colon != std::string::npos) {
            return automation::MarkedText("多余的参数",
                                          ": " + InCommandLineOrder(what.substr(colon + 2), args));
        }
    }
    return what;
}

// A parse failure as one line, never showing a password that an argument holds; an
// unknown command is named plainly instead of CLI11's general complaint.
UsageError ParseFailure(const CLI::App& app, const CLI::ParseError& e,
                        const std::vector<std::string>& args) {
    std::string message = ParseErrorText(e, args);
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
        if (!known) message = automation::MarkedText("未知的命令", ": " + a);
        break;
    }
    std::replace(message.begin(), message.end(), '\n', ' ');
    message = data::MaskPasswords(message);
    for (const std::string& a : args)
        message = data::RedactPasswords(message, a);
    // The arguments it names are echoed safely; the passwords went first, as given.
    return UsageError(automation::EscapeControls(message), true);
}

// The language of the texts is set before anything can fail, so that every message,
// usage errors included, comes in the language the command line names.
void UseLanguage(const GlobalOptions& global) {
    if (!global.lang.empty()) suite::SetProcessProperty("PropsString", LanguageEntry(global));
}

// Parses the command line and runs the command named, mapping what it throws to an exit
// code: usage errors are reported in one line, any other failure through the error
// report.
int ParseAndRun(CLI::App& app, const std::vector<Command>& commands,
                const std::vector<std::string>& args, const GlobalOptions& global, Session& s) {
    std::FILE* err = s.ui.ErrorStream();
    try {
        try {
            std::vector<std::string> reversed(args.rbegin(), args.rend());
            app.parse(reversed);
        } catch (const CLI::CallForHelp&) {
            s.out.Write(app.help());
            return kOk;
        } catch (const CLI::CallForVersion& e) {
            s.out.Line(e.what());
            return kOk;
        } catch (const CLI::ParseError& e) {
            UseLanguage(global);
            throw ParseFailure(app, e, args);
        }
        UseLanguage(global);
        suite::SetProcessProperty("PropsString", BuildPropsString(global));
        for (const Command& command : commands) {
            if (command.app->parsed()) return command.run(s);
        }
        return kUsage;
    } catch (const UsageError& e) {
        std::string line = "zevworkcal: " + LoadLocalText(e.what());
        if (e.PointsToHelp()) line += " (" + LoadLocalText("详见 zevworkcal --help") + ")";
        std::fprintf(err, "%s\n", line.c_str());
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

    Output output(out);
    Session session{output, in, *cliUi};
    const int code = ParseAndRun(app, commands, args, global, session);
    // What was answered goes out even when the command failed; a failed write fails the
    // run, and is reported once.
    if (output.Failed()) return kFailure;
    try {
        output.Flush();
        return code;
    } catch (...) {
        component::mdlCal::ReportCaughtFailure();
        return kFailure;
    }
}

}  // namespace zev::cli
