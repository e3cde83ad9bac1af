// `zevworkcal text` prints what the lookup shows for a source text, so translations can
// be checked from the shell.

#include <gtest/gtest.h>

#include "tests/support/Subprocess.hpp"

namespace zev::test {
namespace {

// Runs `zevworkcal [--lang LANGUAGE] text TEXT` with no locale in its environment.
ProcessResult Text(const std::string& text, const std::string& language,
                   std::map<std::string, std::string> environment = {}) {
    std::vector<std::string> args;
    if (!language.empty()) args = {"--lang", language};
    args.insert(args.end(), {"text", text});
    environment.insert({{"LANG", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}});
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

TEST(CliText, EveryMessageComesInTheLanguageAsked) {
    // Usage errors raised before or while the property string is built, marked texts
    // without a detail, the messages of --stdin: none shows a marker or a Chinese key.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--props", "Data Source=", "status"}, "The connection properties name no database"},
        {{"--db", "", "status"}, "zevworkcal: The database name must not be empty\n"},
        {{"frobnicate"}, "zevworkcal: Unknown command: frobnicate (see zevworkcal --help)\n"},
        {{"workday", "--stdin", "2009-06-07"}, "--stdin takes no DATE, N or --backward"},
        {{"workday", "2009-06-07"}, "DATE and N are required"},
        {{"generate", "2009-06-02", "2009-06-01"}, "START must be before END"},
        {{}, "zevworkcal: A command is required (see zevworkcal --help)\n"},
        {{"extend"}, "zevworkcal: A required argument is missing: --until (see"},
        {{"swap"}, "A required argument is missing: DATE"},
        {{"before", "2009-06-01", "x", "y"}, "zevworkcal: Unexpected arguments: x y (see"},
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
    }
}

TEST(CliText, VersionIsTheProjectsVersion) {
    const ProcessResult r = RunProcess(ZEV_ZEVWORKCAL, {"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "zevworkcal " ZEV_VERSION "\n");
}

}  // namespace
}  // namespace zev::test
