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
#include "apps/zevworkcal/Help.hpp"
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
    commands::Init,    commands::Upgrade, commands::Text,      commands::Before,   commands::After,
    commands::Workday, commands::Count,   commands::IsWorkday, commands::List,     commands::Cal,
    commands::Export,  commands::History, commands::Status,    commands::Generate, commands::Extend,
    commands::Swap,    commands::Note,    commands::Import,    commands::Rule,     commands::Check,
    commands::Show,
};

void AddGlobalOptions(CLI::App& app, GlobalOptions& o) {
    app.set_help_flag("-h,--help", "显示帮助并退出");
    // The callbacks only note what was given; nothing runs while parsing.
    auto* db = app.add_option_function<std::string>(
                      "--db",
                      [&o](const std::string& value) {
                          o.db = value;
                          o.dbGiven = true;
                      },
                      "SQLite 数据库文件（默认 ./zevworkcal.db）")
                   ->type_name("FILE");
    app.add_option_function<std::string>(
           "--odbc",
           [&o](const std::string& value) {
               o.odbc = value;
               o.odbcGiven = true;
           },
           "数据库服务器的 ODBC 连接字符串")
        ->type_name("CONNECTION")
        ->excludes(db);
    app.add_option("--lang", o.lang, "文本的语言，例如 en、en_US 或 en_US.UTF-8")
        ->type_name("CODE");
    app.add_option("--props", o.props, "连接属性字符串的其他条目")->type_name("TEXT");
    app.set_version_flag("--version", "zevworkcal " ZEV_VERSION, "显示版本并退出");
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

// The name a complaint of the parser begins with ("--db: ..."), or the whole text.
std::string LeadingName(const std::string& what) {
    return what.substr(0, what.find(':'));
}

// The text after `marker` in a complaint, "" without it.
std::string After(const std::string& what, std::string_view marker) {
    const size_t at = what.find(marker);
    return at == std::string::npos ? std::string() : what.substr(at + marker.size());
}

// Every complaint of the parser, by its kind, through the text lookup with the names and
// values it mentions; the parser's own words never reach the user.
std::string ParseErrorText(const CLI::ParseError& e, const std::vector<std::string>& args) {
    using automation::MarkedText;
    const std::string what = e.what();
    if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
        if (what.find("subcommand") != std::string::npos) return MarkedText("需要一个命令");
        if (what.ends_with(" is required")) {
            return MarkedText("缺少必需的参数", ": " + what.substr(0, what.size() - 12));
        }
        return MarkedText("缺少必需的参数");
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
        const std::string listed = InCommandLineOrder(After(what, ": "), args);
        // Options only ("--frob --grob") are unknown options; anything else is left over.
        bool options = !listed.empty();
        for (size_t at = 0; at < listed.size(); at = listed.find(' ', at) + 1) {
            options &= listed[at] == '-';
            if (listed.find(' ', at) == std::string::npos) break;
        }
        return MarkedText(options ? "未知的选项" : "多余的参数", ": " + listed);
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
        // An option of one value that takes "at most 1" was given again.
        if (what.find(": At Most ") != std::string::npos) {
            return MarkedText("选项给了不止一次", ": " + LeadingName(what));
        }
        if (what.find("flag override") != std::string::npos) {
            return MarkedText("开关不接受值", ": " + what.substr(0, what.find(' ')));
        }
        const std::string to = After(what, " arguments to ");
        return MarkedText("选项的值个数不对",
                          ": " + (to.empty() ? LeadingName(what) : to.substr(0, to.find(','))));
    }
    if (dynamic_cast<const CLI::ExcludesError*>(&e) != nullptr) {
        const size_t at = what.find(" excludes ");
        return MarkedText("这两个选项不能同时使用",
                          ": " + what.substr(0, at) + ", " + After(what, " excludes "));
    }
    if (dynamic_cast<const CLI::RequiresError*>(&e) != nullptr) {
        const size_t at = what.find(" requires ");
        return MarkedText("一个选项需要另一个选项",
                          ": " + what.substr(0, at) + ", " + After(what, " requires "));
    }
    if (dynamic_cast<const CLI::ConversionError*>(&e) != nullptr) {
        if (const std::string value = After(what, "Could not convert: "); !value.empty()) {
            return MarkedText("无效的值", ": " + value);
        }
        if (what.find("not an allowed value") != std::string::npos) {
            return MarkedText(
                "无效的值",
                ": " + After(what, " for ") + " = " +
                    After(what, "The value ").substr(0, After(what, "The value ").find(' ')));
        }
        return MarkedText("开关不接受值", ": " + LeadingName(what));
    }
    if (dynamic_cast<const CLI::ValidationError*>(&e) != nullptr) {
        return MarkedText("无效的值", ": " + LeadingName(what));
    }
    return MarkedText("无法读取命令行");
}

// Whether `word` names an option of `app` that takes a value.
bool TakesValue(const CLI::App& app, const std::string& word) {
    const CLI::Option* option = app.get_option_no_throw(word);
    return option != nullptr && !option->get_positional() && option->get_expected_max() != 0;
}

// The commands named on the command line up to the first one that its command does not
// have ("foo", "rule foo"); "" when every command named is known. The global options are
// taken anywhere, their values skipped.
std::string UnknownCommand(const CLI::App& program, const std::vector<std::string>& args) {
    const CLI::App* at = &program;
    std::string named;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.starts_with("-")) {
            if (TakesValue(program, a) || TakesValue(*at, a)) ++i;
            continue;
        }
        const std::vector<const CLI::App*> subcommands = at->get_subcommands({});
        if (subcommands.empty()) return "";
        named += (named.empty() ? "" : " ") + a;
        const auto sub = std::find_if(subcommands.begin(), subcommands.end(),
                                      [&](const CLI::App* s) { return s->get_name() == a; });
        if (sub == subcommands.end()) return named;
        at = *sub;
    }
    return "";
}

// A complaint about the command line as one line, never showing a password that an
// argument holds.
UsageError CommandLineError(std::string message, const std::vector<std::string>& args) {
    std::replace(message.begin(), message.end(), '\n', ' ');
    message = data::MaskPasswords(message);
    for (const std::string& a : args)
        message = data::RedactPasswords(message, a);
    // The passwords go as given; ParseAndRun escapes what is left of the arguments.
    return UsageError(message, true);
}

// A parse failure in our words; an unknown command is named plainly instead of CLI11's
// general complaint.
UsageError ParseFailure(const CLI::App& app, const CLI::ParseError& e,
                        const std::vector<std::string>& args) {
    const std::string unknown = UnknownCommand(app, args);
    return CommandLineError(unknown.empty() ? ParseErrorText(e, args)
                                            : automation::MarkedText("未知的命令", ": " + unknown),
                            args);
}

// The language of the texts is set before anything can fail, so that every message,
// usage errors included, comes in the language the command line names.
void UseLanguage(const GlobalOptions& global) {
    if (!global.lang.empty()) suite::SetProcessProperty("PropsString", LanguageEntry(global));
}

// A command line the parser refused before it noted --lang: the language as written there
// (the first --lang CODE or --lang=CODE), so that its complaint comes in it too.
void UseLanguageOf(const std::vector<std::string>& args, GlobalOptions global) {
    for (size_t i = 0; global.lang.empty() && i < args.size(); ++i) {
        if (args[i] == "--lang" && i + 1 < args.size()) {
            global.lang = args[i + 1];
        } else if (args[i].starts_with("--lang=")) {
            global.lang = args[i].substr(7);
        }
    }
    UseLanguage(global);
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
            UseLanguageOf(args, global);
            // No help stands for a command that does not exist.
            if (const std::string unknown = UnknownCommand(app, args); !unknown.empty()) {
                throw CommandLineError(automation::MarkedText("未知的命令", ": " + unknown), args);
            }
            s.out.Write(HelpFor(app, commands));
            return kOk;
        } catch (const CLI::CallForVersion& e) {
            s.out.Line(e.what());
            return kOk;
        } catch (const CLI::ParseError& e) {
            UseLanguageOf(args, global);
            throw ParseFailure(app, e, args);
        }
        UseLanguage(global);
        suite::SetProcessProperty("PropsString", BuildPropsString(global));
        for (const Command& command : commands) {
            if (command.app->parsed()) return command.run(s);
        }
        return kUsage;
    } catch (const UsageError& e) {
        // Whatever input a command's usage error names reaches the terminal escaped.
        std::string line = "zevworkcal: " + automation::EscapeControls(LoadLocalText(e.what()));
        if (e.PointsToHelp()) line += " (" + LoadLocalText("详见 zevworkcal --help") + ")";
        std::fprintf(err, "%s\n", line.c_str());
        return kUsage;
    } catch (...) {
        component::mdlCal::ReportCaughtFailure();
        return kFailure;
    }
}

}  // namespace

std::unique_ptr<ProgramParser> MakeProgramParser() {
    auto parser = std::unique_ptr<ProgramParser>(new ProgramParser{
        CLI::App{"工厂日历：工作日和休息日、供其他模块使用的日期服务和维护窗口", "zevworkcal"},
        {},
        {}});
    CLI::App& app = parser->app;
    app.option_defaults()->always_capture_default(false);
    AddGlobalOptions(app, parser->global);
    app.require_subcommand(1);
    // The global options are taken anywhere on the line, after the command too.
    app.fallthrough();
    for (CommandSetup setup : kCommands)
        parser->commands.push_back(setup(app));
    return parser;
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, std::FILE* in) {
    static std::once_flag registered;
    std::call_once(registered, [] {
        suite::RegisterSuite();
        window::RegisterQtWindow();
    });

    auto cliUi = std::make_shared<CliUi>(err, in);
    const ui::ScopedUserInterface useConsole(cliUi);

    const std::unique_ptr<ProgramParser> parser = MakeProgramParser();
    CLI::App& app = parser->app;
    const GlobalOptions& global = parser->global;
    const std::vector<Command>& commands = parser->commands;

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
