#include <gtest/gtest.h>

#include <filesystem>

#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

// The command line as a user runs it, on a database in a temporary folder.
class CommandLine : public ::testing::Test {
  protected:
    ProcessResult Run(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--db", db_});
        // No locale: texts come back as written; the program's clock is fixed.
        return RunProcess(ZEV_ZEVWORKCAL, args, input,
                          {{"LANG", ""},
                           {"LC_ALL", ""},
                           {"LC_MESSAGES", ""},
                           {"ZEVWORKCAL_TEST_NOW", "2009-06-15T10:00:00"}});
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
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_SystemProfile"), "5");
}

TEST_F(CommandLine, AnswersTheDateQuestions) {
    InitWithExampleCalendar();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"before", "2009-06-07"}, "2009-06-05\n"},
        {{"after", "2009-06-07"}, "2009-06-08\n"},
        {{"workday", "2009-06-07", "1"}, "2009-06-08\n"},
        {{"workday", "2009-06-07", "1", "--backward"}, "2009-06-04\n"},
        {{"workday", "2009-06-05", "-2"}, "2009-06-03\n"},
        {{"before", "2009-05-31T08:30"}, "2009-05-31 08:30:00\n"},
        {{"workday", "2009-06-10T17:45:10", "1"}, "2009-06-10 17:45:10\n"},
    };
    for (const auto& [args, expected] : cases) {
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << " " << r.err;
        EXPECT_EQ(r.out, expected) << args[0] << " " << args[1];
    }
}

TEST_F(CommandLine, AnswersLinesFromStandardInput) {
    InitWithExampleCalendar();
    const ProcessResult r = Run({"workday", "--stdin"},
                                "2009-06-07 1\n\n2009-06-07 1 b\n  2009-06-20T06:00   2 b\n"
                                "2009-06-10 1\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2009-06-08\n2009-06-04\n2009-06-08\n2009-06-10\n");

    const ProcessResult bad = Run({"workday", "--stdin"}, "2009-06-07 1\n2009-06-07 one\n");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "2009-06-08\n");
    EXPECT_NE(bad.err.find("line 2"), std::string::npos) << bad.err;
}

// A number outside 32 bits fails the lines whose answer reads it, as WorkDay fails on
// them, and no line before.
TEST_F(CommandLine, AnswersFromStandardInputUntilALineWhoseAnswerFails) {
    InitWithExampleCalendar();
    data::OpenSqlite(db_)->Execute(
        "UPDATE t_WorkCalendar SET FInterID=3000000000 WHERE FDay='2009-06-09'");
    const ProcessResult r =
        Run({"workday", "--stdin"}, "2009-06-05 1\n2009-06-08 -1\n2009-06-09 1\n2009-06-03 1\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "2009-06-08\n2009-06-05\n");
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
    const ProcessResult unknown = Run({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos);
    EXPECT_EQ(Run({"workday", "2009-06-07"}).exitCode, 2);
    EXPECT_EQ(Run({}).exitCode, 2);
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
    const std::pair<std::string, std::string> cases[] = {
        {dir_.Path().string(), dir_.Path().string()},
        {junk, junk},
        {dir_.File("missing.db"), "missing.db"},
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
}

TEST_F(CommandLine, GeneratesAndShowsTheCalendar) {
    ASSERT_EQ(Run({"init"}).exitCode, 0);
    EXPECT_NE(Run({"status"}).out.find("尚未生成工厂日历"), std::string::npos);
    const ProcessResult gen = Run({"generate", "2009-06-01", "2012-06-01"});
    ASSERT_EQ(gen.exitCode, 0) << gen.err;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_WorkCalendar"), "1096");
    EXPECT_EQ(Scalar("SELECT MAX(FInterID) FROM t_WorkCalendar"),
              Scalar("SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0"));
    EXPECT_EQ(Scalar("SELECT FValue FROM t_SystemProfile WHERE FKey='WorkCalendarSet'"), "1");
    const ProcessResult status = Run({"status"});
    EXPECT_NE(status.out.find("2009-06-01 .. 2012-05-31"), std::string::npos) << status.out;
    // A second generation would drop the swaps of the first; it has to be asked for.
    EXPECT_EQ(Run({"generate", "2009-06-01", "2012-06-01"}).exitCode, 2);
    EXPECT_EQ(
        Run({"generate", "2009-06-06", "2009-06-08", "--replace", "--saturday-work"}).exitCode, 0);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0"), "1");
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
    EXPECT_TRUE(enough.err.empty()) << enough.err;
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

}  // namespace
}  // namespace zev::test
