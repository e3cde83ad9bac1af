// The help, the manual page and the bash completion of zevworkcal (Help.hpp), read from the
// parser's own records: the option lists, names and source-text descriptions of the
// program and of each command, and each command's example and exit codes. Layout helpers
// stay private.
#include "apps/zevworkcal/Help.hpp"

#include <algorithm>
#include <map>

#include "host/MMTS.hpp"

namespace zev::cli {
namespace {

using host::MMTS::LoadLocalText;

constexpr size_t kNameColumn = 24;
// Shown in the program's help and manual page.
constexpr const char* kProgramExample = "zevworkcal --db plant.db workday 2026-12-11 5";
// The manual page's own paragraphs.
constexpr const char* kManualDescription =
    "zevworkcal 在套件的 SQL 数据库中维护工厂日历的工作日和休息日，回答按工作日计数的日期问题，"
    "并打开日历的维护窗口。未用 --db 或 --odbc 指定数据库时，使用当前文件夹中的 ./zevworkcal.db。";
constexpr const char* kManualLanguage =
    "文本的语言：先看 --lang，再看 LANGUAGE（以冒号分隔的列表，区域设置为 C 或 POSIX 时不用）、"
    "LC_ALL、LC_MESSAGES 和 LANG；第一个有翻译文件的语言胜出，都没有时显示中文原文。";
constexpr const char* kManualResources =
    "翻译文件所在的文件夹，代替安装目录中的 share/zevworkcal/resources";
constexpr const char* kManualLockWait =
    "写入工厂日历时等待另一个程序写完的最长时间，以毫秒计，默认 "
    "10000；等不到时拒绝写入，不作任何改动";

std::string Text(const std::string& source) {
    return LoadLocalText(source, 0);
}

bool TakesValue(const CLI::Option& option) {
    return option.get_expected_max() != 0;  // a flag expects none
}

bool IsHelp(const CLI::App& app, const CLI::Option& option) {
    return &option == app.get_help_ptr();
}

// "-h, --help" or "--db FILE".
std::string OptionName(const CLI::Option& option) {
    std::string names;
    for (const std::string& s : option.get_snames())
        names += (names.empty() ? "-" : ", -") + s;
    for (const std::string& l : option.get_lnames())
        names += (names.empty() ? "--" : ", --") + l;
    if (TakesValue(option)) names += " " + option.get_type_name();
    return names;
}

std::string PositionalName(const CLI::Option& option) {
    return option.get_name() + (option.get_items_expected_max() > 1 ? " ..." : "");
}

std::vector<const CLI::Option*> Positionals(const CLI::App& app) {
    std::vector<const CLI::Option*> list;
    for (const CLI::Option* o : app.get_options())
        if (o->get_positional()) list.push_back(o);
    return list;
}

std::vector<const CLI::Option*> Named(const CLI::App& app) {
    std::vector<const CLI::Option*> list;
    for (const CLI::Option* o : app.get_options())
        if (!o->get_positional()) list.push_back(o);
    return list;
}

// What follows the command's name in its usage: COMMAND when it has subcommands, its
// arguments, then its own options, the optional ones in brackets.
std::string UsageTail(const CLI::App& app) {
    std::string tail = app.get_subcommands({}).empty() ? "" : " COMMAND [ARGUMENTS]";
    for (const CLI::Option* p : Positionals(app)) {
        const std::string name = PositionalName(*p);
        tail += " " + (p->get_required() ? name : "[" + name + "]");
    }
    for (const CLI::Option* o : Named(app)) {
        if (IsHelp(app, *o)) continue;
        const std::string name =
            "--" + o->get_lnames().front() + (TakesValue(*o) ? " " + o->get_type_name() : "");
        tail += " " + (o->get_required() ? name : "[" + name + "]");
    }
    return tail;
}

void AppendItem(std::string& out, const std::string& name, const std::string& description) {
    out += "  " + name;
    if (name.size() + 2 < kNameColumn) {
        out.append(kNameColumn - 2 - name.size(), ' ');
    } else {
        out += "\n" + std::string(kNameColumn, ' ');
    }
    out += description + "\n";
}

std::vector<std::pair<int, std::string>> ExitCodes(const Command* command) {
    std::vector<std::pair<int, std::string>> codes = {
        {kOk, "成功"},
        {kFailure, "失败，错误报告写在标准错误上"},
        {kUsage, "命令行有误"},
    };
    // The program's help names every code that some command uses, with the commands.
    if (command == nullptr) {
        codes.emplace_back(kOutside,
                           "所问的日子或答案不在工厂日历之内（before、after、workday、"
                           "count、list、is-workday）");
        codes.emplace_back(kRestDay, "is-workday：这一天是休息日");
    }
    // A command's own meaning of a code (is-workday's 0: a work day) replaces the common one.
    if (command != nullptr) {
        for (const auto& own : command->exitCodes) {
            std::erase_if(codes, [&](const auto& code) { return code.first == own.first; });
            codes.push_back(own);
        }
    }
    std::sort(codes.begin(), codes.end());
    return codes;
}

void AppendExitCodes(std::string& out, const Command* command) {
    out += "\n" + Text("退出码") + ":\n";
    for (const auto& [code, text] : ExitCodes(command))
        AppendItem(out, std::to_string(code), Text(text));
}

void AppendOptions(std::string& out, const CLI::App& app) {
    const auto named = Named(app);
    if (named.empty()) return;
    out += "\n" + Text("选项") + ":\n";
    for (const CLI::Option* o : named)
        AppendItem(out, OptionName(*o), Text(o->get_description()));
}

// A text for roff: backslashes and minus signs escaped, no control line by accident.
std::string Roff(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out.front() == '.' || out.front() == '\'')) out.insert(0, "\\&");
    return out;
}

// The arguments and options of `app`; a command's help option is left out, the program's
// says it once.
void AppendRoffItems(std::string& out, const CLI::App& app, bool withHelp) {
    for (const CLI::Option* p : Positionals(app))
        out += ".TP\n\\fI" + Roff(PositionalName(*p)) + "\\fR\n" +
               Roff(Text(p->get_description())) + "\n";
    for (const CLI::Option* o : Named(app)) {
        if (!withHelp && IsHelp(app, *o)) continue;
        std::string names;
        for (const std::string& s : o->get_snames())
            names += (names.empty() ? "" : ", ") + ("\\fB\\-" + Roff(s) + "\\fR");
        for (const std::string& l : o->get_lnames())
            names += (names.empty() ? "" : ", ") + ("\\fB\\-\\-" + Roff(l) + "\\fR");
        if (TakesValue(*o)) names += " \\fI" + Roff(o->get_type_name()) + "\\fR";
        out += ".TP\n" + names + "\n" + Roff(Text(o->get_description())) + "\n";
    }
}

// A command's section of the manual page, `path` its names ("rule add"): its usage, its
// description, its arguments and options.
void AppendRoffCommand(std::string& out, const std::string& path, const CLI::App& app) {
    out += ".SS \"" + Roff(path) + "\"\n.nf\n\\fBzevworkcal\\fR [OPTIONS] \\fB" + Roff(path) +
           "\\fR" + Roff(UsageTail(app)) + "\n.fi\n.PP\n" + Roff(Text(app.get_description())) +
           "\n";
    AppendRoffItems(out, app, false);
}

// A section for each subcommand of `app` (and theirs), after the section of `path`.
void AppendRoffSubcommands(std::string& out, const std::string& path, const CLI::App& app) {
    for (const CLI::App* sub : app.get_subcommands({})) {
        AppendRoffCommand(out, path + " " + sub->get_name(), *sub);
        AppendRoffSubcommands(out, path + " " + sub->get_name(), *sub);
    }
}

// The words a completion offers after a command: its long and short option names.
std::string OptionWords(const CLI::App& app) {
    std::string words;
    for (const CLI::Option* o : Named(app)) {
        for (const std::string& l : o->get_lnames())
            words += (words.empty() ? "--" : " --") + l;
        for (const std::string& s : o->get_snames())
            words += (words.empty() ? "-" : " -") + s;
    }
    return words;
}

// The words a choice option takes ("csv ics json"), "" for any other option.
std::string ChoiceWords(const CLI::Option& o) {
    // The parser hands out its checks by index only on a mutable option; reading is all
    // that is done with it.
    auto& option = const_cast<CLI::Option&>(o);
    for (int i = 0;; ++i) {
        try {
            const std::string name = option.get_validator(i)->get_name();
            if (name.starts_with(kChoicesValidator)) {
                return name.substr(std::string_view(kChoicesValidator).size());
            }
        } catch (const CLI::OptionNotFound&) {
            return "";
        }
    }
}

// The completion of the values of an app's options: the words of a choice, file names
// for a FILE, nothing for the others (a date, a number, a text).
std::string ValueCompletions(const CLI::App& app, const std::string& indent) {
    std::string out;
    for (const CLI::Option* o : Named(app)) {
        if (!TakesValue(*o)) continue;
        std::string names;
        for (const std::string& l : o->get_lnames())
            names += (names.empty() ? "--" : "|--") + l;
        const std::string words = ChoiceWords(*o);
        const std::string reply = !words.empty() ? "($(compgen -W '" + words + "' -- \"$cur\"))"
                                  : o->get_type_name() == "FILE" ? "($(compgen -f -- \"$cur\"))"
                                                                 : "()";
        out += indent + names + ") COMPREPLY=" + reply + "; return ;;\n";
    }
    return out;
}

// Whether an app's positional arguments name a file (FILE).
bool TakesFileArgument(const CLI::App& app) {
    for (const CLI::Option* o : app.get_options())
        if (o->get_positional() && o->get_name() == "FILE") return true;
    return false;
}

std::string ValueOptionPattern(const CLI::App& app) {
    std::string pattern;
    for (const CLI::Option* o : Named(app)) {
        if (!TakesValue(*o)) continue;
        for (const std::string& l : o->get_lnames())
            pattern += (pattern.empty() ? "--" : "|--") + l;
    }
    return pattern;
}

// The help of a command or of one of its subcommands, `path` its names from the
// command's on ("rule add"): its usage, its subcommands, arguments, options, the command's
// exit codes, and the command's example where it shows this one.
std::string AppHelp(const std::string& path, const CLI::App& app, const Command& command) {
    std::string out = Text("用法") + ": zevworkcal [OPTIONS] " + path + UsageTail(app) + "\n" +
                      Text(app.get_description()) + "\n";
    const std::vector<const CLI::App*> subcommands = app.get_subcommands({});
    if (!subcommands.empty()) {
        out += "\n" + Text("命令") + ":\n";
        for (const CLI::App* sub : subcommands)
            AppendItem(out, sub->get_name(), Text(sub->get_description()));
    }
    const auto positionals = Positionals(app);
    if (!positionals.empty()) {
        out += "\n" + Text("参数") + ":\n";
        for (const CLI::Option* p : positionals)
            AppendItem(out, PositionalName(*p), Text(p->get_description()));
    }
    AppendOptions(out, app);
    AppendExitCodes(out, &command);
    const bool shown = &app == command.app || command.example.starts_with(path + " ");
    if (!command.example.empty() && shown) {
        out += "\n" + Text("例子") + ":\n  zevworkcal " + command.example + "\n";
    }
    if (!subcommands.empty()) {
        out += "\n" + Text("各子命令的参数和选项见") + " zevworkcal " + path + " COMMAND --help\n";
    }
    return out;
}

// What the completion does after the word of `app`, a command at `depth` (1) or one of its
// subcommands, as the lines of its case branch: the values of its options, file names where
// it reads a file, and then its options, or first which subcommand is named and what
// follows that one.
std::string CompletionBody(const CLI::App& program, const CLI::App& app, int depth) {
    const std::string indent(static_cast<size_t>(4 + 8 * depth), ' ');
    std::string out;
    const std::string values = ValueCompletions(app, indent + "    ");
    if (!values.empty()) out += indent + "case $prev in\n" + values + indent + "esac\n";
    // A command that reads a file offers file names for a word that is no option.
    if (TakesFileArgument(app)) {
        out += indent +
               "if [[ $cur != -* ]]; then COMPREPLY=($(compgen -f -- \"$cur\")); return; fi\n";
    }
    const std::vector<const CLI::App*> subcommands = app.get_subcommands({});
    if (subcommands.empty()) return out + indent + "words='" + OptionWords(app) + "' ;;\n";
    // The subcommand is the first word after this one that is no option nor an option's
    // value; `i` stands at this one's word.
    const std::string sub = "sub" + std::to_string(depth);
    std::string pattern = ValueOptionPattern(program);
    if (const std::string own = ValueOptionPattern(app); !own.empty()) pattern += "|" + own;
    std::string names;
    for (const CLI::App* s : subcommands)
        names += " " + s->get_name();
    out += indent + "local " + sub + "=''\n" + indent + "for ((i++; i < COMP_CWORD; i++)); do\n" +
           indent + "    case ${COMP_WORDS[i]} in\n" + indent + "        " + pattern +
           ") ((i++)) ;;\n" + indent + "        -*) ;;\n" + indent + "        *) " + sub +
           "=${COMP_WORDS[i]}; break ;;\n" + indent + "    esac\n" + indent + "done\n" + indent +
           "case $" + sub + " in\n" + indent + "    '') words='" + OptionWords(app) + names +
           "' ;;\n";
    for (const CLI::App* s : subcommands)
        out += indent + "    " + s->get_name() + ")\n" + CompletionBody(program, *s, depth + 1);
    return out + indent + "    *) COMPREPLY=(); return ;;\n" + indent + "esac ;;\n";
}

}  // namespace

std::string ProgramHelp(const CLI::App& program, const std::vector<Command>& commands) {
    std::string out = Text("用法") + ": zevworkcal [OPTIONS] COMMAND [ARGUMENTS]\n" +
                      Text(program.get_description()) + "\n";
    AppendOptions(out, program);
    out += "\n" + Text("命令") + ":\n";
    for (const Command& c : commands)
        AppendItem(out, c.app->get_name(), Text(c.app->get_description()));
    AppendExitCodes(out, nullptr);
    out += "\n" + Text("例子") + ":\n  " + kProgramExample + "\n\n" +
           Text("各命令的参数和选项见 zevworkcal COMMAND --help") + "\n";
    return out;
}

std::string CommandHelp(const CLI::App& program, const Command& command) {
    (void)program;
    return AppHelp(command.app->get_name(), *command.app, command);
}

std::string HelpFor(const CLI::App& program, const std::vector<Command>& commands) {
    for (const CLI::App* selected : program.get_subcommands()) {
        for (const Command& c : commands) {
            if (c.app != selected) continue;
            // The help of the deepest subcommand named: "rule add" has its own.
            std::string path = c.app->get_name();
            const CLI::App* app = c.app;
            for (std::vector<CLI::App*> named = app->get_subcommands(); !named.empty();
                 named = app->get_subcommands()) {
                app = named.front();
                path += " " + app->get_name();
            }
            return AppHelp(path, *app, c);
        }
    }
    return ProgramHelp(program, commands);
}

std::string ManualPage(const CLI::App& program, const std::vector<Command>& commands,
                       std::string_view version) {
    std::string out = ".TH ZEVWORKCAL 1 \"\" \"zevworkcal " + Roff(version) +
                      "\" \"User Commands\"\n.SH NAME\nzevworkcal \\- " +
                      Roff(Text(program.get_description())) + "\n.SH SYNOPSIS\n" +
                      ".B zevworkcal\n[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGUMENTS\\fR]\n" +
                      ".SH DESCRIPTION\n" + Roff(Text(kManualDescription)) + "\n.SH OPTIONS\n";
    AppendRoffItems(out, program, true);
    out += ".SH COMMANDS\n";
    for (const Command& c : commands) {
        AppendRoffCommand(out, c.app->get_name(), *c.app);
        if (!c.example.empty()) {
            out += ".PP\n" + Roff(Text("例子")) + ":\n.PP\n.RS\n.nf\nzevworkcal " +
                   Roff(c.example) + "\n.fi\n.RE\n";
        }
        for (const auto& [code, text] : c.exitCodes)
            out += ".PP\n" + Roff(Text("退出码")) + " " + std::to_string(code) + ": " +
                   Roff(Text(text)) + "\n";
        AppendRoffSubcommands(out, c.app->get_name(), *c.app);
    }
    out += ".SH \"EXIT STATUS\"\n";
    for (const auto& [code, text] : ExitCodes(nullptr))
        out += ".TP\n" + std::to_string(code) + "\n" + Roff(Text(text)) + "\n";
    out += ".SH ENVIRONMENT\n.TP\n.BR LANGUAGE \", \" LC_ALL \", \" LC_MESSAGES \", \" LANG\n" +
           Roff(Text(kManualLanguage)) + "\n.TP\n.B ZEVWORKCAL_RESOURCES\n" +
           Roff(Text(kManualResources)) + "\n.TP\n.B ZEVWORKCAL_LOCK_WAIT_MS\n" +
           Roff(Text(kManualLockWait)) + "\n.SH FILES\n.TP\n.I ./zevworkcal.db\n" +
           Roff(Text("未指定数据库时使用的 SQLite 数据库")) + "\n.SH EXAMPLE\n.nf\n" +
           Roff(kProgramExample) + "\n.fi\n";
    return out;
}

std::string BashCompletion(const CLI::App& program, const std::vector<Command>& commands) {
    std::string names;
    for (const Command& c : commands)
        names += (names.empty() ? "" : " ") + c.app->get_name();
    std::string out =
        "# bash completion for zevworkcal: its commands and their options\n"
        "_zevworkcal() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    local command='' i\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        case ${COMP_WORDS[i]} in\n"
        "            " +
        ValueOptionPattern(program) +
        ") ((i++)) ;;\n"
        "            -*) ;;\n"
        "            *) command=${COMP_WORDS[i]}; break ;;\n"
        "        esac\n"
        "    done\n"
        "    case $prev in\n" +
        ValueCompletions(program, "        ") +
        "    esac\n"
        "    local words\n"
        "    case $command in\n"
        "        '') words='" +
        OptionWords(program) + " " + names + "' ;;\n";
    for (const Command& c : commands)
        out += "        " + c.app->get_name() + ")\n" + CompletionBody(program, *c.app, 1);
    out +=
        "        *) COMPREPLY=(); return ;;\n"
        "    esac\n"
        "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
        "}\n"
        "complete -F _zevworkcal zevworkcal\n";
    return out;
}

}  // namespace zev::cli
