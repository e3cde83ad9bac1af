// `zevworkcal text` prints what the lookup shows for a source text, so translations can
// be checked from the shell.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

namespace fs = std::filesystem;

// Runs `zevworkcal [--lang LANGUAGE] text TEXT` with no locale in its environment.
ProcessResult Text(const std::string& text, const std::string& language,
                   std::map<std::string, std::string> environment = {}) {
    std::vector<std::string> args;
    if (!language.empty()) args = {"--lang", language};
    args.insert(args.end(), {"text", text});
    environment.insert({{"LANG", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANGUAGE", ""}});
    return RunProcess(ZEV_ZEVWORKCAL, args, {}, environment);
}

TEST(CliText, PrintsTheEnglishTexts) {
    ProcessResult r = Text("工厂日历", "en");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Factory Calendar\n");
    r = Text("~$~工厂日历^|^: ^|^~$~ 休息日 ", "en");
    EXPECT_EQ(r.out, "Factory Calendar:  Rest Days \n");
    r = Text("置换(&M)", "en");
    EXPECT_EQ(r.out, "S&wap\n");
    r = Text("\x1b[31m工厂日历", "en");  // no catalogue has it: the text as given, escaped
    EXPECT_EQ(r.out, "\\x1B[31m工厂日历\n");
}

TEST(CliText, FindsItsCataloguesBesideTheProgram) {
    const ProcessResult r = Text("错误代码:", "en", {{"ZEVWORKCAL_RESOURCES", ""}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Error code: \n");
}

TEST(CliText, WithoutALanguageTheSourceTextComesBack) {
    ProcessResult r = Text("工厂日历", "");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "工厂日历\n");
    r = Text("~$~工厂日历^|^: ^|^~$~ 休息日 ", "");
    EXPECT_EQ(r.out, "工厂日历:  休息日 \n");
    // The locale names the language when the command line does not.
    r = Text("工厂日历", "", {{"LANG", "en_US.UTF-8"}});
    EXPECT_EQ(r.out, "Factory Calendar\n");
}

// The language as gettext chooses it, --lang first; the first language with a catalogue
// wins (Chinese, the source language, always has its texts); a language asked for by name
// without a catalogue is said once on stderr, in English and in Chinese.
TEST(CliText, TheLanguageIsChosenAsGettextChoosesIt) {
    using Env = std::map<std::string, std::string>;
    constexpr const char* kEnglish = "Factory Calendar\n";
    constexpr const char* kChinese = "工厂日历\n";
    struct Case {
        const char* lang;  // --lang, "" for none
        Env environment;
        const char* out;
        bool saysNoCatalogue;
    };
    const Case cases[] = {
        {"", {}, kChinese, false},
        {"", {{"LANG", "en_US.UTF-8"}}, kEnglish, false},
        {"", {{"LC_MESSAGES", "en_GB"}, {"LANG", "zh_CN.UTF-8"}}, kEnglish, false},
        {"", {{"LC_ALL", "zh_CN.UTF-8"}, {"LC_MESSAGES", "en_GB"}}, kChinese, false},
        {"", {{"LC_ALL", "en_US.UTF-8"}, {"LANG", "zh_CN.UTF-8"}}, kEnglish, false},
        // LANGUAGE's list before the locale, skipping languages without a catalogue.
        {"", {{"LANGUAGE", "de:en"}, {"LANG", "de_DE.UTF-8"}}, kEnglish, false},
        {"", {{"LANGUAGE", "zh_CN:en"}, {"LANG", "en_US.UTF-8"}}, kChinese, false},
        {"", {{"LANGUAGE", "de:fr"}, {"LANG", "en_US.UTF-8"}}, kEnglish, false},
        {"", {{"LANGUAGE", "de:fr"}, {"LANG", "de_DE.UTF-8"}}, kChinese, false},
        // LANGUAGE is not used when the locale is C or POSIX, or none is set.
        {"", {{"LANGUAGE", "en"}, {"LANG", "C"}}, kChinese, false},
        {"", {{"LANGUAGE", "en"}, {"LC_ALL", "POSIX"}, {"LANG", "en_US.UTF-8"}}, kChinese, false},
        {"", {{"LANGUAGE", "en"}, {"LANG", "C.UTF-8"}}, kChinese, false},
        {"", {{"LANGUAGE", "en"}}, kChinese, false},
        // --lang in every form the environment takes, before the environment.
        {"en", {{"LANG", "zh_CN.UTF-8"}}, kEnglish, false},
        {"en_US", {}, kEnglish, false},
        {"en_US.UTF-8", {}, kEnglish, false},
        {"en_US@euro", {}, kEnglish, false},
        {"EN_us.utf8", {}, kEnglish, false},
        {"zh_CN", {{"LANG", "en_US.UTF-8"}}, kChinese, false},
        {"xx", {{"LANG", "en_US.UTF-8"}}, kChinese, true},
        {"de_DE.UTF-8", {}, kChinese, true},
        {"../en", {}, kChinese, true},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Text("工厂日历", c.lang, c.environment);
        std::string where = std::string("--lang '") + c.lang + "'";
        for (const auto& [name, value] : c.environment)
            where += " " + name + "=" + value;
        EXPECT_EQ(r.exitCode, 0) << where << r.err;
        EXPECT_EQ(r.out, c.out) << where;
        if (c.saysNoCatalogue) {
            const std::string english = "no translation catalogue for this language";
            const std::string chinese = "没有这种语言的翻译文件";
            EXPECT_NE(r.err.find(std::string("\"") + c.lang + "\": " + english), std::string::npos)
                << where << r.err;
            EXPECT_NE(r.err.find(chinese), std::string::npos) << where << r.err;
            // Once, though every text of the run is looked up.
            EXPECT_EQ(r.err.find(english, r.err.find(english) + 1), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.err, "") << where;
        }
    }
}

// A catalogue that cannot be read (a broken file, a folder) is said once, and the source
// texts are shown; the texts of the run are looked up many times.
TEST(CliText, AnUnusableCatalogueIsSaidOnce) {
    TempDir dir;
    fs::create_directories(dir.Path() / "ZevManufacture" / "xx.po");
    std::ofstream(dir.Path() / "ZevManufacture" / "en.po") << "msgid \"a\"\nmsgstr \"b\n";
    for (const char* lang : {"en", "xx"}) {
        const ProcessResult r = RunProcess(ZEV_ZEVWORKCAL, {"--lang", lang, "frobnicate"}, {},
                                           {{"ZEVWORKCAL_RESOURCES", dir.Path().string()},
                                            {"LANG", ""},
                                            {"LC_ALL", ""},
                                            {"LANGUAGE", ""}});
        EXPECT_EQ(r.exitCode, 2);
        const std::string file =
            (dir.Path() / "ZevManufacture" / (std::string(lang) + ".po")).string();
        const std::string said = "the translation catalogue cannot be used: " + file + "\n";
        const size_t at = r.err.find(said);
        EXPECT_NE(at, std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(said, at + 1), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("翻译文件无法使用"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("未知的命令: frobnicate"), std::string::npos) << r.err;
    }
}

TEST(CliText, EveryMessageComesInTheLanguageAsked) {
    // Usage errors raised before or while the property string is built, marked texts
    // without a detail, the messages of --stdin: none shows a marker or a Chinese key.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--props", "Data Source=", "status"}, "The connection properties name no database"},
        {{"--db", "", "status"}, "zevworkcal: The database name must not be empty\n"},
        {{"frobnicate"}, "zevworkcal: Unknown command: frobnicate (see zevworkcal --help)\n"},
        {{"frobnicate", "--help"}, "zevworkcal: Unknown command: frobnicate (see"},
        {{"rule", "frob", "-h"}, "zevworkcal: Unknown command: rule frob (see"},
        {{"workday", "--stdin", "2009-06-07"}, "--stdin takes no DATE, N or --backward"},
        {{"workday", "2009-06-07"}, "DATE and N are required"},
        {{"generate", "2009-06-02", "2009-06-01"}, "START must be before END"},
        {{}, "zevworkcal: A command is required (see zevworkcal --help)\n"},
        {{"extend"}, "zevworkcal: A required argument is missing: --until (see"},
        {{"swap"}, "A required argument is missing: DATE"},
        {{"before", "2009-06-01", "x", "y"}, "zevworkcal: Unexpected arguments: x y (see"},
        // Every other kind of the parser's complaints, in our words with what they name.
        {{"status", "--frob", "--grob"}, "zevworkcal: Unknown option: --frob --grob (see"},
        {{"--db"}, "zevworkcal: Wrong number of values for the option: --db (see"},
        {{"--db", "a", "status", "--db", "b"}, "The option is given more than once: --db (see"},
        {{"--db", "a", "--odbc", "b", "status"},
         "These options cannot be used together: --db, --odbc (see"},
        {{"workday", "--backward=maybe", "2009-06-01", "1"}, "Invalid value: --backward = maybe"},
        // A choice takes its words only, not the values they stand for.
        {{"list", "2026-01-01", "2026-02-01", "--format", "1"}, "Invalid value: --format"},
        {{"cal", "--color=0"}, "Invalid value: --color"},
    };
    for (const auto& [args, message] : cases) {
        std::vector<std::string> english = {"--lang", "en"};
        english.insert(english.end(), args.begin(), args.end());
        const ProcessResult r =
            RunProcess(ZEV_ZEVWORKCAL, english, {}, {{"LANG", ""}, {"LC_ALL", ""}});
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        for (const char* raw : {"~$~", "^|^", "\xe7\x9a\x84" /* 的 */, "\xe5\xba\x93" /* 库 */}) {
            EXPECT_EQ(r.err.find(raw), std::string::npos) << r.err;
        }
        // The same complaint in the source language has none of the parser's own words.
        const ProcessResult chinese =
            RunProcess(ZEV_ZEVWORKCAL, args, {}, {{"LANG", ""}, {"LC_ALL", ""}, {"LANGUAGE", ""}});
        EXPECT_EQ(chinese.exitCode, r.exitCode);
        for (const char* word : {"required", "expected", "excludes", "convert", "argument",
                                 "Unknown", "Invalid", "values", "Most"}) {
            EXPECT_EQ(chinese.err.find(word), std::string::npos) << chinese.err;
        }
    }
}

// The help of the program and of every command comes through the lookup: in English each
// lists the exit codes and shows an example of the command; in Chinese none of the
// English texts are left.
TEST(CliText, HelpComesInTheLanguageAskedWithExitCodesAndAnExample) {
    const ProcessResult program = RunProcess(ZEV_ZEVWORKCAL, {"--lang", "en", "--help"});
    EXPECT_EQ(program.exitCode, 0);
    std::vector<std::string> commands;
    const size_t list = program.out.find("\nCommands:\n");
    ASSERT_NE(list, std::string::npos) << program.out;
    for (size_t at = list + 11; program.out.compare(at, 2, "  ") == 0;
         at = program.out.find('\n', at) + 1) {
        commands.push_back(program.out.substr(at + 2, program.out.find(' ', at + 2) - at - 2));
    }
    EXPECT_GE(commands.size(), 11u) << program.out;
    for (const std::string& command : commands) {
        const ProcessResult english =
            RunProcess(ZEV_ZEVWORKCAL, {"--lang", "en", command, "--help"});
        EXPECT_EQ(english.exitCode, 0) << command;
        EXPECT_EQ(english.out.rfind("Usage: zevworkcal [OPTIONS] " + command, 0), 0u)
            << english.out;
        for (const char* part : {"\nExit codes:\n  0 ", "\n  1 ", "\n  2 ", "\nExample:\n"}) {
            EXPECT_NE(english.out.find(part), std::string::npos) << command << ": " << part;
        }
        EXPECT_NE(english.out.find("\nExample:\n  zevworkcal "), std::string::npos) << command;
        // The commands' own exit codes are listed too.
        for (const auto& [name, code] :
             {std::pair{"is-workday", "\n  4 "}, std::pair{"is-workday", "\n  3 "},
              std::pair{"before", "\n  3 "}, std::pair{"list", "\n  3 "}}) {
            if (command == name) {
                EXPECT_NE(english.out.find(code), std::string::npos) << english.out;
            }
        }
        // Every text has its English entry: nothing Chinese is left but a sample text.
        const std::string withoutExample = english.out.substr(0, english.out.find("\nExample:"));
        EXPECT_EQ(withoutExample.find("\xe3"), std::string::npos) << withoutExample;
        EXPECT_EQ(withoutExample.find("\xe4"), std::string::npos) << withoutExample;
        EXPECT_EQ(withoutExample.find("\xe5"), std::string::npos) << withoutExample;

        const ProcessResult chinese = RunProcess(ZEV_ZEVWORKCAL, {command, "-h"}, {},
                                                 {{"LANG", ""}, {"LC_ALL", ""}, {"LANGUAGE", ""}});
        EXPECT_EQ(chinese.out.rfind("用法: zevworkcal [OPTIONS] " + command, 0), 0u) << chinese.out;
        for (const char* word :
             {"Usage", "Exit codes", "print this help", "success", "value in", ":INT"}) {
            EXPECT_EQ(chinese.out.find(word), std::string::npos) << chinese.out;
        }
    }
    // A command's help lists its subcommands; each of them has a help of its own.
    const std::pair<std::vector<std::string>, std::string> subcommands[] = {
        {{"rule", "--help"}, "Usage: zevworkcal [OPTIONS] rule COMMAND [ARGUMENTS]\n"},
        {{"rule", "-h"}, "\nCommands:\n  add  "},
        {{"rule", "add", "--help"},
         "Usage: zevworkcal [OPTIONS] rule add RRULE KIND [NOTE] [--from DATE]\n"},
        {{"rule", "add", "--help"}, "\n  --from DATE  "},
        {{"rule", "list", "-h"}, "\n  --format FORMAT  "},
        {{"rule", "apply", "--help"}, "\n  --dry-run  "},
    };
    for (const auto& [args, part] : subcommands) {
        std::vector<std::string> english = {"--lang", "en"};
        english.insert(english.end(), args.begin(), args.end());
        const ProcessResult r = RunProcess(ZEV_ZEVWORKCAL, english);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.out.find(part) != std::string::npos) << r.out;
        const std::string withoutExample = r.out.substr(0, r.out.find("\nExample:"));
        EXPECT_EQ(withoutExample.find_first_of("\xe3\xe4\xe5"), std::string::npos) << r.out;
    }
}

// The completion offers the commands, then each command's own options, and nothing after
// an option that takes a free value; a choice its words, a file name a file.
TEST(CliText, BashCompletesCommandsAndTheirOptions) {
    TempDir dir;
    std::ofstream(dir.Path() / "plant.db") << "";
    struct Case {
        std::vector<std::string> words;  // the line, the word being completed last
        std::string offered;
    };
    const Case cases[] = {
        {{"wo"}, "workday"},
        {{"--db", "x.db", "ex"}, "export extend"},
        {{"--l"}, "--lang"},
        {{"workday", "--"}, "--help --backward --stdin"},
        {{"generate", "2026-01-05", "--s"}, "--saturday-work --sunday-work"},
        {{"extend", "--until", ""}, ""},
        {{"--lang", ""}, ""},
        {{"--db", dir.File("pla")}, dir.File("plant.db")},
        // File names where a command reads or writes a file, the words of a choice.
        {{"import", dir.File("pla")}, dir.File("plant.db")},
        {{"cal", "2027", "--pdf", dir.File("pla")}, dir.File("plant.db")},
        {{"before", "2027-01-04", "--db", dir.File("pla")}, dir.File("plant.db")},
        {{"export", "--format", ""}, "csv ics json"},
        {{"list", "2027-01-01", "2027-02-01", "--format", "j"}, "json"},
        {{"frobnicate", "--"}, ""},
        // A command's subcommands, then what each of them takes.
        {{"rule", ""}, "--help -h add list remove apply"},
        {{"rule", "--db", "x.db", "l"}, "list"},
        {{"rule", "add", "--"}, "--help --from"},
        {{"rule", "list", "--format", ""}, "text csv json"},
        {{"rule", "frob", "--"}, ""},
    };
    for (const Case& c : cases) {
        std::string words = "zevworkcal";
        for (const std::string& w : c.words)
            words += " '" + w + "'";
        const std::string script = ". '" ZEV_BASH_COMPLETION "'; COMP_WORDS=(" + words +
                                   "); COMP_CWORD=" + std::to_string(c.words.size()) +
                                   "; _zevworkcal; echo \"${COMPREPLY[*]}\"";
        const ProcessResult r = RunProcess("/bin/bash", {"-c", script});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.offered + "\n") << words;
    }
}

// The program finds the window's module in the library folder of its own tree; when it
// cannot be loaded the failure names the file and what the loader said of it.
TEST(CliText, AWindowModuleThatCannotBeLoadedIsNamedWithTheReason) {
    TempDir tree;
    fs::create_directories(tree.Path() / "bin");
    fs::copy_file(ZEV_ZEVWORKCAL, tree.Path() / "bin" / "zevworkcal");
    const std::string program = (tree.Path() / "bin" / "zevworkcal").string();
    const std::string db = tree.File("calendar.db");
    ASSERT_EQ(RunProcess(program, {"--db", db, "init"}).exitCode, 0);
    const fs::path module = tree.Path() / "lib" / "zevworkcal" / "libZevWorkCalQt.so";
    struct Case {
        const char* content;  // nullptr: no file
        const char* reason;
    };
    for (const Case& c : {Case{nullptr, "No such file or directory"}, Case{"", "file too short"}}) {
        if (c.content != nullptr) {
            fs::create_directories(module.parent_path());
            std::ofstream(module) << c.content;
        }
        const ProcessResult r =
            RunProcess(program, {"--lang", "en", "--db", db, "show"}, {}, {{"DISPLAY", ":99"}});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("The factory calendar window module cannot be loaded: " +
                             module.string() + " ("),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
}

TEST(CliText, VersionIsTheProjectsVersion) {
    const ProcessResult r = RunProcess(ZEV_ZEVWORKCAL, {"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "zevworkcal " ZEV_VERSION "\n");
}

}  // namespace
}  // namespace zev::test
