#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/WorkCalGenerator.hpp"
#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using namespace std::chrono_literals;

// No locale: texts come back as written.
const std::map<std::string, std::string> kNoLocale = {
    {"LANG", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The command line as a user runs it, on a database in a temporary folder.
class CommandLine : public ::testing::Test {
  protected:
    ProcessResult Run(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--db", db_});
        // No locale: texts come back as written; the program's clock is fixed.
        std::map<std::string, std::string> environment = kNoLocale;
        environment["ZEVWORKCAL_TEST_NOW"] = "2009-06-15T10:00:00";
        return RunProcess(ZEV_ZEVWORKCAL, args, input, environment);
    }
    std::string Scalar(const std::string& sql) {
        auto c = data::OpenSqlite(db_);
        data::Recordset rs = c->Execute(sql);
        return automation::CStr(rs.Fields(0).Value());
    }
    void InitWithExampleCalendar() {
        ASSERT_EQ(Run({"init"}).exitCode, 0);
        WriteExampleCalendar(*data::OpenSqlite(db_));
    }

    TempDir dir_;
    std::string db_ = dir_.File("cal.db");
};

TEST_F(CommandLine, InitCreatesTheTablesOnceAndRefusesASecondTime) {
    const ProcessResult first = Run({"init"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    auto c = data::OpenSqlite(db_);
    for (const char* t :
         {"t_WorkCalendar", "t_SystemProfile", "t_mutiworkcal", "t_WOScheduleDetail"}) {
        EXPECT_TRUE(c->HasTable(t)) << t;
    }
    EXPECT_EQ(
        Scalar("SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='SatNotWork'"),
        "1");
    EXPECT_EQ(
        Scalar("SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='SunNotWork'"),
        "1");
    // The current period is the server's date, here the fixed clock of the program.
    EXPECT_EQ(
        Scalar("SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='CurrentYear'"),
        "2009");
    EXPECT_EQ(
        Scalar("SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='CurrentPeriod'"),
        "6");

    c->Execute("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('X','Mine','kept')");
    const ProcessResult second = Run({"init"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("t_WorkCalendar"), std::string::npos) << second.err;
    // The four settings, the calendar's identity and the other row.
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_SystemProfile"), "6");
}

TEST_F(CommandLine, EveryCommandActsOnTheDatabaseNamedExactlyAsGiven) {
    // Names a property string cannot carry in braces: spaces at the ends, braces, ";".
    for (const std::string name : {" lead.db", "trail.db ", "a}b;c{d.db"}) {
        const std::string file = dir_.File(name);
        const std::vector<std::string> db = {"--db", file};
        auto run = [&](std::vector<std::string> args) {
            args.insert(args.begin(), db.begin(), db.end());
            return RunProcess(ZEV_ZEVWORKCAL, args, {}, kNoLocale);
        };
        ASSERT_EQ(run({"init"}).exitCode, 0) << name;
        EXPECT_TRUE(std::filesystem::exists(file)) << name;
        ASSERT_EQ(run({"generate", "2009-06-01", "2009-06-11"}).exitCode, 0) << name;
        EXPECT_EQ(run({"before", "2009-06-07"}).out, "2009-06-05\n") << name;
        EXPECT_TRUE(Has(run({"status"}).out, file)) << name;
    }
    // init creates the database that --props names.
    const std::string named = dir_.File("named.db");
    const ProcessResult init = RunProcess(
        ZEV_ZEVWORKCAL, {"--props", "Data Source={" + named + "}", "init"}, {}, kNoLocale);
    EXPECT_EQ(init.exitCode, 0) << init.err;
    EXPECT_TRUE(data::OpenSqlite(named)->HasTable("t_WorkCalendar"));
    // An empty name is no name.
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
    const ProcessResult empty = RunProcess(ZEV_ZEVWORKCAL, {"--db", "", "init"}, {}, kNoLocale);
    const ProcessResult emptyOdbc =
        RunProcess(ZEV_ZEVWORKCAL, {"--odbc", "", "status"}, {}, kNoLocale);
    std::filesystem::current_path(here);
    EXPECT_EQ(empty.exitCode, 2) << empty.err;
    EXPECT_EQ(emptyOdbc.exitCode, 2) << emptyOdbc.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.File("zevworkcal.db")));
}

// A number outside 32 bits fails the lines whose answer reads it, as WorkDay fails on
// them, and no other line.
TEST_F(CommandLine, AnswersEveryLineOfStandardInputAndMarksOneWhoseAnswerFails) {
    InitWithExampleCalendar();
    data::OpenSqlite(db_)->Execute(
        "UPDATE t_WorkCalendar SET FInterID=3000000000 WHERE FDay='2009-06-09'");
    const ProcessResult r =
        Run({"workday", "--stdin"}, "2009-06-05 1\n2009-06-08 -1\n2009-06-09 1\n2009-06-03 1\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "2009-06-08\n2009-06-05\n! Overflow\n2009-06-04\n");
    EXPECT_NE(r.err.find("错误代码:6"), std::string::npos) << r.err;
    EXPECT_EQ(Run({"workday", "2009-06-09", "1"}).exitCode, 1);
}

TEST_F(CommandLine, UsageErrorsExitWithTwoAndNameTheArgument) {
    InitWithExampleCalendar();
    const std::vector<std::string> bad[] = {
        {"before", "2009-6-7"},         {"before", "2009-06-31"},
        {"after", "2009-06-07 10:00"},  {"after", "2009-06-07T25:00"},
        {"workday", "2009-06-07", "x"}, {"workday", "2009-06-07", "99999999999"},
        {"workday", "tomorrow", "1"},
    };
    for (const auto& args : bad) {
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args[1];
        EXPECT_TRUE(r.out.empty());
        const std::string named = args.size() == 3 && args[1] != "tomorrow" ? args[2] : args[1];
        EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    // Input echoed in a message has its control characters and stray bytes escaped, so no
    // argument, stream line or file name can send the terminal a control sequence.
    const std::pair<std::vector<std::string>, std::string> hostile[] = {
        {{"before", "2009-06-07\x1b[2J"}, "2009-06-07\\x1B[2J"},
        {{"workday", "2009-06-07", "1\x07\xff"}, "1\\x07\\xFF"},
        {{"\x1b]0;title\x07"}, "\\x1B]0;title\\x07"},
        {{"--lang", "e}\x1bn", "status"}, "e}\\x1Bn"},
        {{"workday", "--stdin"}, "2009-06-0\\xC2\\x9B7"},
        {{"rule", "add", "FREQ=DAILY", "rest\x1b[31m"}, "rest\\x1B[31m"},
    };
    for (const auto& [args, shown] : hostile) {
        const ProcessResult r = Run(args,
                                    "2009-06-05 1\n2009-06-0\xc2\x9b"
                                    "7 1\n");
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find(shown), std::string::npos) << r.err;
        EXPECT_EQ(std::count_if(r.err.begin(), r.err.end(),
                                [](char c) { return c == '\x1b' || c == '\x07' || c == '\xff'; }),
                  0)
            << r.err;
    }
    const ProcessResult unknown = Run({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos);
    EXPECT_EQ(Run({"workday", "2009-06-07"}).exitCode, 2);
    EXPECT_EQ(Run({"--odbc", "DSN=x", "status"}).exitCode, 2);  // --db and --odbc
    EXPECT_EQ(Run({}).exitCode, 2);
}

// A database file's name is shown as the outputs show any input: escaped in text and in
// iCalendar, by JSON's own rules in JSON.
TEST_F(CommandLine, ADatabaseNameIsShownWithItsControlCharactersEscaped) {
    const std::vector<std::string> db = {"--db", dir_.File("e\x1b[31m.db")};
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), db.begin(), db.end());
        return RunProcess(ZEV_ZEVWORKCAL, args, {}, kNoLocale);
    };
    ASSERT_EQ(run({"init"}).exitCode, 0);
    ASSERT_EQ(run({"generate", "2009-06-01", "2009-06-11"}).exitCode, 0);
    const std::pair<std::vector<std::string>, std::string> shown[] = {
        {{"status"}, "e\\x1B[31m.db\n"},
        {{"status", "--format", "json"}, "e\\u001b[31m.db\","},
        {{"export", "--format", "ics"}, "X-WR-CALNAME:e\\\\x1B[31m.db\r\n"},
        {{"cal", "2009", "--color=never"}, "  e\\x1B[31m.db\n"},
    };
    for (const auto& [args, expected] : shown) {
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(Has(r.out, expected)) << r.out;
        EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    }
}

TEST_F(CommandLine, BadDatabasesFailWithTheErrorReport) {
    const std::string junk = dir_.File("junk.db");
    {
        std::FILE* f = std::fopen(junk.c_str(), "w");
        std::fputs("not a database at all, only some words in a file of text", f);
        std::fclose(f);
    }
    const std::string empty = dir_.File("empty.db");
    data::OpenSqlite(empty, data::OpenMode::Create)->Execute("CREATE TABLE other(x)");
    const std::string fifo = dir_.File("fifo.db");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "数据库文件不是普通文件: " + fifo},
        {dir_.Path().string(), dir_.Path().string()},
        {junk, junk},
        {dir_.File("missing.db"), "missing.db"},
        {dir_.File("mis\x1b[8msing.db"), "mis\\x1B[8msing.db"},
        {empty, "t_WorkCalendar"},
    };
    for (const auto& [db, named] : cases) {
        const ProcessResult r = RunProcess(ZEV_ZEVWORKCAL, {"--db", db, "before", "2009-06-07"}, {},
                                           {{"LANG", ""}, {"LC_ALL", ""}});
        EXPECT_EQ(r.exitCode, 1) << db;
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("错误代码:"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.File("missing.db")));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("mis\x1b[8msing.db")));
}

TEST_F(CommandLine, WorkdayFailsWhenItsErrorReportFired) {
    InitWithExampleCalendar();
    // A work-day number the member cannot read: it shows the failure and returns.
    data::OpenSqlite(db_)->Execute(
        "INSERT INTO t_WorkCalendar(FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID) "
        "VALUES('x','2009-05-29',0,0,0,0)");
    const ProcessResult r = Run({"workday", "2009-06-07", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Has(r.err, "错误代码:13")) << r.err;
}

TEST_F(CommandLine, AnAnswerThatCannotBeWrittenFailsTheCommand) {
    InitWithExampleCalendar();
    std::string questions;
    for (int i = 0; i < 20000; ++i)
        questions += "2009-06-07 1\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"before", "2009-06-07"}, ""},
        {{"workday", "--stdin"}, questions},
        {{"status"}, ""},
        {{"--help"}, ""},
        {{"--version"}, ""},
    };
    for (const auto& [args, input] : cases) {
        std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" >/dev/full", ZEV_ZEVWORKCAL,
                                          "--db", db_};
        shell.insert(shell.end(), args.begin(), args.end());
        const ProcessResult r = RunProcess("/bin/sh", shell, input, kNoLocale);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 4) << r.err;  // one report
        EXPECT_TRUE(Has(r.err, "无法写出结果")) << r.err;
    }
}

// The global options are taken after the command as before it, as git and apt take theirs;
// a database file that is not there names init; the help names every exit code.
TEST_F(CommandLine, GlobalOptionsStandAnywhereAndMistakesNameTheWayOut) {
    InitWithExampleCalendar();
    const auto raw = [&](const std::vector<std::string>& args) {
        return RunProcess(ZEV_ZEVWORKCAL, args, {}, kNoLocale);
    };
    const std::pair<std::vector<std::string>, std::vector<std::string>> same[] = {
        {{"--db", db_, "before", "2009-06-07"}, {"before", "2009-06-07", "--db", db_}},
        {{"--db", db_, "--lang", "en", "status"}, {"status", "--lang", "en", "--db", db_}},
        {{"--db", db_, "list", "2009-06-05", "2009-06-09", "--format", "csv"},
         {"list", "--db", db_, "2009-06-05", "2009-06-09", "--format", "csv"}},
    };
    for (const auto& [first, after] : same) {
        const ProcessResult a = raw(first);
        const ProcessResult b = raw(after);
        EXPECT_EQ(a.exitCode, 0) << a.err;
        EXPECT_NE(a.out, "");
        EXPECT_EQ(b.exitCode, a.exitCode) << b.err;
        EXPECT_EQ(b.out, a.out);
    }
    const std::string missing = dir_.File("nowhere.db");
    const ProcessResult none = raw({"status", "--db", missing, "--lang", "en"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(Has(none.err, "does not exist; run zevworkcal init first to create it: " + missing))
        << none.err;
    EXPECT_FALSE(std::filesystem::exists(missing));
    const ProcessResult help = raw({"--help", "--lang", "en"});
    EXPECT_TRUE(Has(help.out, "the day asked or the answer lies outside the factory calendar"))
        << help.out;
    EXPECT_TRUE(Has(help.out, "is-workday: the day is a rest day")) << help.out;
}

// Each calendar names its iCalendar events by an identity of its own, kept from export to
// export: two plants whose files share a name do not clash in one calendar program.
TEST_F(CommandLine, ExportedEventsCarryTheCalendarsOwnIdentity) {
    const TempDir other;
    const std::string twin = other.File("cal.db");  // the same file name, another plant
    const auto uids = [&](const std::string& db) {
        std::vector<std::string> args = {"--db", db, "export", "--all", "--format", "ics"};
        const std::string out = RunProcess(ZEV_ZEVWORKCAL, args, {}, kNoLocale).out;
        std::vector<std::string> found;
        for (size_t at = out.find("UID:"); at != std::string::npos; at = out.find("UID:", at + 1))
            found.push_back(out.substr(at, out.find('\r', at) - at));
        return found;
    };
    for (const std::string& db : {db_, twin}) {
        ASSERT_EQ(RunProcess(ZEV_ZEVWORKCAL, {"--db", db, "init"}).exitCode, 0);
        ASSERT_EQ(RunProcess(ZEV_ZEVWORKCAL, {"--db", db, "generate", "2009-06-01", "2009-06-05"})
                      .exitCode,
                  0);
    }
    const std::vector<std::string> mine = uids(db_);
    ASSERT_EQ(mine.size(), 4u);
    EXPECT_EQ(uids(db_), mine);
    for (const std::string& uid : uids(twin))
        EXPECT_EQ(std::find(mine.begin(), mine.end(), uid), mine.end()) << uid;
}

// The program's clock stands at 2009-06-15 10:00. Status counts the work days after today
// and warns (still exit 0) while fewer than 60 are left or the calendar has ended;
// extend moves the end, and refuses what it cannot do.
TEST_F(CommandLine, StatusWarnsOfTheCalendarsEndAndExtendMovesIt) {
    ASSERT_EQ(Run({"init"}).exitCode, 0);
    EXPECT_EQ(Run({"extend", "--until", "2009-09-30"}).exitCode, 1) << "no calendar yet";
    ASSERT_EQ(Run({"generate", "2009-06-01", "2009-07-01"}).exitCode, 0);
    const ProcessResult few = Run({"status"});
    EXPECT_EQ(few.exitCode, 0) << few.err;
    EXPECT_NE(few.out.find("今天之后的工作日: 11\n"), std::string::npos) << few.out;
    EXPECT_NE(few.err.find("今天之后剩下的工作日少于 60 天 (11)"), std::string::npos) << few.err;

    const ProcessResult extended = Run({"extend", "--until", "2009-09-30"});
    EXPECT_EQ(extended.exitCode, 0) << extended.err;
    EXPECT_EQ(extended.out, "工厂日历已延长: 2009-07-01 .. 2009-09-30, 66 工作日\n");
    const ProcessResult enough = Run({"status"});
    EXPECT_NE(enough.out.find("2009-06-01 .. 2009-09-30"), std::string::npos) << enough.out;
    EXPECT_NE(enough.out.find("今天之后的工作日: 77\n"), std::string::npos) << enough.out;
    // Enough days are left; the year only says that nobody has planned its holidays.
    EXPECT_EQ(enough.err, "警告: 2009: 尚无节假日：请导入当年的节假日列表\n");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_mutiworkcal WHERE FCalID=999"), "122");

    const ProcessResult again = Run({"extend", "--until", "2009-09-30"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("延长到的日期必须晚于工厂日历的最后一天: 2009-09-30"),
              std::string::npos)
        << again.err;
    EXPECT_EQ(Run({"extend"}).exitCode, 2);
    EXPECT_EQ(Run({"extend", "--until", "2009-13-01"}).exitCode, 2);

    const ProcessResult ended =
        RunProcess(ZEV_ZEVWORKCAL, {"--db", db_, "status"}, {},
                   {{"LANG", ""}, {"LC_ALL", ""}, {"ZEVWORKCAL_TEST_NOW", "2010-01-04T08:00"}});
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_NE(ended.out.find("今天之后的工作日: 0\n"), std::string::npos) << ended.out;
    EXPECT_NE(ended.err.find("工厂日历已经结束 (2009-09-30)"), std::string::npos) << ended.err;
}

TEST_F(CommandLine, CheckPrintsTheSettingsItLoadsOrTheReportOfItsFailure) {
    ASSERT_EQ(Run({"init"}).exitCode, 0);
    // The program's clock stands at 2009-06-15 10:00: init seeds the current period from
    // it and the check cuts the server's time of day off.
    const std::string settings =
        "StartYear=2009\nStartPeriod=1\nCurrentYear=2009\nCurrentPeriod=6\n"
        "SatNotWork=True\nSunNotWork=True\nServerDate=2009-06-15\n";
    const ProcessResult none = Run({"check"});
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, "IsSetWorkCalendar=False\nCalStartDay=\n" + settings);

    WriteExampleCalendar(*data::OpenSqlite(db_));
    data::OpenSqlite(db_)->Execute(
        "UPDATE t_SystemProfile SET FValue='1' WHERE FKey='WorkCalendarSet'");
    const ProcessResult set = Run({"check"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out, "IsSetWorkCalendar=True\nCalStartDay=2009-06-01\n" + settings);

    data::OpenSqlite(db_)->Execute("DELETE FROM t_SystemProfile WHERE FKey='SunNotWork'");
    const ProcessResult missing = Run({"check"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_NE(missing.err.find("-2147221502"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("系统核算参数没有正确设置"), std::string::npos) << missing.err;
}

TEST_F(CommandLine, ShowWithoutADisplayFailsWithTheErrorReportInsteadOfAborting) {
    InitWithExampleCalendar();
    const ProcessResult r =
        RunProcess(ZEV_ZEVWORKCAL, {"--db", db_, "--lang", "en", "show"}, {},
                   {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("No display is available; the factory calendar window cannot be opened"),
              std::string::npos)
        << r.err;
    // The start-up check ran before the window was asked for.
    EXPECT_EQ(Scalar("SELECT FValue FROM t_SystemProfile WHERE FKey='WorkCalendarSet'"), "1");
}

// The commands that read and write the calendar, on each backend: the database is named
// by the property string, as a host names it.
class CommandLineOnDb : public DbTest {
  protected:
    std::vector<std::string> With(std::vector<std::string> args) {
        args.insert(args.begin(), {"--props", Db().PropsString()});
        return args;
    }
    ProcessResult Run(const std::vector<std::string>& args, const std::string& input = {}) {
        return RunProcess(ZEV_ZEVWORKCAL, With(args), input, kNoLocale);
    }
    std::string Scalar(const std::string& sql) {
        data::Recordset rs = Conn().Execute(sql);
        return automation::CStr(rs.Fields(0).Value());
    }
    // The calendar as a user sees it: its range and counts.
    std::string Status() {
        const ProcessResult r = Run({"status"});
        return r.out.substr(r.out.find('\n') + 1);
    }
};

// Answers the calendar has no such work day for are the date asked, with exit code 3 and
// the calendar's range on stderr; an answer that equals the date asked is no such case.
TEST_P(CommandLineOnDb, AnswersTheDateQuestions) {
    WriteExampleCalendar(Conn());
    struct Case {
        std::vector<std::string> args;
        std::string out;
        int exitCode;
    };
    const Case cases[] = {
        {{"before", "2009-06-07"}, "2009-06-05\n", 0},
        {{"after", "2009-06-07"}, "2009-06-08\n", 0},
        {{"workday", "2009-06-07", "1"}, "2009-06-08\n", 0},
        {{"workday", "2009-06-07", "1", "--backward"}, "2009-06-04\n", 0},
        {{"workday", "2009-06-05", "-2"}, "2009-06-03\n", 0},
        {{"before", "2009-06-03"}, "2009-06-03\n", 0},
        {{"after", "2009-06-10"}, "2009-06-10\n", 0},
        {{"workday", "2009-06-03", "0"}, "2009-06-03\n", 0},
        {{"before", "2009-05-31T08:30"}, "2009-05-31 08:30:00\n", 3},
        {{"after", "2009-06-11"}, "2009-06-11\n", 3},
        {{"workday", "2009-06-10T17:45:10", "1"}, "2009-06-10 17:45:10\n", 3},
        {{"workday", "2009-06-02", "5", "--backward"}, "2009-06-02\n", 3},
        {{"workday", "2009-05-20", "3"}, "2009-05-20\n", 3},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args[1] << " " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(Has(r.err, "不在工厂日历之内: " + c.args[1]), c.exitCode == 3) << r.err;
        EXPECT_EQ(Has(r.err, "2009-06-01 .. 2009-06-10"), c.exitCode == 3) << r.err;
    }
}

TEST_P(CommandLineOnDb, AnswersLinesFromStandardInput) {
    WriteExampleCalendar(Conn());
    const ProcessResult r = Run({"workday", "--stdin"},
                                "2009-06-07 1\n\n2009-06-07 1 b\n  2009-06-20T06:00   2 b\r\n"
                                "2009-06-10 1");
    // The last answer is the date asked: the calendar has no work day after 06-10.
    EXPECT_EQ(r.exitCode, 3) << r.err;
    // Every line gets one line, a blank one an empty one.
    EXPECT_EQ(r.out, "2009-06-08\n\n2009-06-04\n2009-06-08\n2009-06-10 ?\n");
    EXPECT_TRUE(Has(r.err, "不在工厂日历之内: 1 / 4")) << r.err;

    // A bad line gets a marked line naming its number, and the stream goes on; the exit
    // code is the worst that happened.
    const std::string tooLong(4096 + 10, '7');  // longer than any line the stream reads
    struct Bad {
        std::string input;
        std::string out;
        int exitCode;
    };
    const Bad bad[] = {
        {"2009-06-07 1\n\n2009-06-07 one\n2009-06-10 1\n",
         "2009-06-08\n\n! line 3: Invalid number of work days; expected a whole number: one\n"
         "2009-06-10 ?\n",
         2},
        {std::string("2009-06-07 1\n2009-06-07\0 1\n2009-06-07 1\n", 40),
         "2009-06-08\n! line 2: the line holds a NUL character\n2009-06-08\n", 2},
        {"2009-06-07 1\n" + tooLong + "\n2009-06-07 1 x\n2009-06-05 1",
         "2009-06-08\n! line 2: the line is too long\n! line 3: expected DATE N [b]\n2009-06-08\n",
         2},
    };
    for (const Bad& b : bad) {
        const ProcessResult e = Run({"--lang", "en", "workday", "--stdin"}, b.input);
        EXPECT_EQ(e.exitCode, b.exitCode) << e.err;
        EXPECT_EQ(e.out, b.out);
    }
}

TEST_P(CommandLineOnDb, AnswersACoprocessOneLineAtATimeFromTheCurrentCalendar) {
    WriteExampleCalendar(Conn());
    Coprocess scheduler(ZEV_ZEVWORKCAL, With({"workday", "--stdin"}), kNoLocale);
    // Each answer comes while the input stays open.
    scheduler.Write("2009-06-05 1\n");
    EXPECT_EQ(scheduler.ReadLine(20s), "2009-06-08");
    scheduler.Write("2009-06-05 1 b\n");
    EXPECT_EQ(scheduler.ReadLine(20s), "2009-06-04");
    // Another connection makes Saturdays work days; the next answer sees it.
    suite::GenerateCalendar(Conn(), automation::OleFromCivil(2009, 6, 1),
                            automation::OleFromCivil(2009, 6, 11), false, true);
    scheduler.Write("2009-06-05 1\n");
    EXPECT_EQ(scheduler.ReadLine(20s), "2009-06-06");
    const ProcessResult end = scheduler.Wait();
    EXPECT_EQ(end.exitCode, 0) << end.err;
}

TEST_P(CommandLineOnDb, GeneratesTheCalendarAndRefusesWhatWouldSpoilIt) {
    EXPECT_TRUE(Has(Status(), "尚未生成工厂日历"));
    const ProcessResult gen = Run({"generate", "2009-06-01", "2012-06-01"});
    ASSERT_EQ(gen.exitCode, 0) << gen.err;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_WorkCalendar"), "1096");
    EXPECT_EQ(Scalar("SELECT MAX(FInterID) FROM t_WorkCalendar"),
              Scalar("SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0"));
    EXPECT_EQ(Scalar("SELECT FValue FROM t_SystemProfile WHERE FKey='WorkCalendarSet'"), "1");
    const std::string calendar = Status();
    EXPECT_TRUE(Has(calendar, "2009-06-01 .. 2012-05-31")) << calendar;

    // Refusals leave the calendar as it was.
    const std::pair<std::vector<std::string>, int> refused[] = {
        // Another generation would drop the swaps of the first; it has to be asked for (a
        // refusal with its reason, not a usage error).
        {{"generate", "2009-06-01", "2012-06-01"}, 1},
        {{"generate", "2010-01-04", "2010-01-04", "--replace"}, 2},
        {{"generate", "2010-01-05", "2010-01-04", "--replace"}, 2},
        // The start day must be a work day by the rules chosen.
        {{"generate", "2010-01-09", "2011-01-01", "--replace"}, 1},
        {{"generate", "2010-01-10", "2011-01-01", "--replace", "--saturday-work"}, 1},
    };
    for (const auto& [args, code] : refused) {
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, code) << args[1] << " " << args[2];
        EXPECT_EQ(r.out, "") << args[1];
        if (code == 1) {
            EXPECT_TRUE(Has(r.err, "工厂日历开始日不能为休息日，请重新设置。") ||
                        Has(r.err, "--replace"))
                << r.err;
        }
    }
    EXPECT_EQ(Status(), calendar);

    EXPECT_EQ(
        Run({"generate", "2009-06-06", "2009-06-08", "--replace", "--saturday-work"}).exitCode, 0);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0"), "1");
}

TEST_P(CommandLineOnDb, OfTwoGenerationsAtOnceWithoutReplaceOneWins) {
    for (int round = 0; round < 3; ++round) {
        Exec("DELETE FROM t_WorkCalendar");
        const std::vector<std::string> saturdays = {"generate", "1990-01-01", "2030-01-01",
                                                    "--saturday-work"};
        const std::vector<std::string> weekends = {"generate", "1990-01-01", "2030-01-01"};
        Coprocess first(ZEV_ZEVWORKCAL, With(saturdays), kNoLocale);
        Coprocess second(ZEV_ZEVWORKCAL, With(weekends), kNoLocale);
        const ProcessResult a = first.Wait();
        const ProcessResult b = second.Wait();
        std::vector<int> codes = {a.exitCode, b.exitCode};
        std::sort(codes.begin(), codes.end());
        ASSERT_EQ(codes, (std::vector<int>{0, 1})) << a.err << b.err;
        // The calendar is the winner's, whole.
        const std::string work = a.exitCode == 0 ? "12523" : "10436";
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0"), work);
        EXPECT_EQ(Scalar("SELECT MAX(FInterID) FROM t_WorkCalendar"), work);
    }
}

ZEV_INSTANTIATE_DB_TEST(CommandLineOnDb);

}  // namespace
}  // namespace zev::test
