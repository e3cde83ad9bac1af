// The planner's operations on the command line, as a user runs them, on every backend:
// generate from a start day as the window's Save does, swap days past the window's guards
// all or nothing, and a reader that never sees half a numbering while swap saves.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <span>

#include "component/CalendarWrite.hpp"
#include "component/clsCal.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::OleFromCivil;

class PlannerCommands : public DbTest {
  protected:
    // Runs zevworkcal on the test's database, its clock at noon of `today` (the server's
    // date of the window's checks), with more entries for the property string.
    ProcessResult Run(std::vector<std::string> args, const std::string& today = "2009-06-15",
                      const std::string& props = "Language=zz;") {
        args.insert(args.begin(), {"--props", props + Db().PropsString()});
        return RunProcess(
            ZEV_ZEVWORKCAL, args, {},
            {{"LANG", ""}, {"LC_ALL", ""}, {"ZEVWORKCAL_TEST_NOW", today + "T12:00"}});
    }
    // The first and last day of the calendar and its number of days.
    std::string Days() {
        data::Recordset rs =
            Conn().Execute("SELECT MIN(FDay),MAX(FDay),COUNT(*) FROM t_WorkCalendar");
        if (rs.Fields(0).Value().IsNull()) return "none";
        return automation::FormatIsoDate(automation::CDate(rs.Fields(0).Value())) + " " +
               automation::FormatIsoDate(automation::CDate(rs.Fields(1).Value())) + " " +
               automation::CStr(rs.Fields(2).Value());
    }
    std::vector<std::string> Column(const std::string& sql) {
        std::vector<std::string> values;
        for (data::Recordset rs = Conn().Execute(sql); !rs.Eof(); rs.MoveNext())
            values.push_back(automation::CStr(rs.Fields(0).Value()));
        return values;
    }
    // Every row of the calendar and of its copy, calendar 999.
    std::vector<std::string> CalendarRows() {
        std::vector<std::string> rows =
            Column("SELECT " + Concat("FDay", "FInterID") + " FROM t_WorkCalendar ORDER BY FDay");
        for (const std::string& row : Column("SELECT " + Concat("FDay", "FInterID") +
                                             " FROM t_mutiworkcal WHERE FCalID=999 ORDER BY FDay"))
            rows.push_back("999 " + row);
        return rows;
    }
    static std::string Concat(const std::string& a, const std::string& b) {
        return "CAST(" + a + " AS VARCHAR(30)) || ' ' || CAST(" + b + " AS VARCHAR(30))";
    }
    // What is wrong with the calendar as the suite reads it: its work days not numbered 1..N
    // in date order, calendar 999 not its copy, or no day at all; "" when nothing is.
    std::string Unsound() {
        if (Column("SELECT COUNT(*) FROM t_WorkCalendar")[0] == "0") return "no day";
        const std::string misnumbered = Column(
            "SELECT COUNT(*) FROM (SELECT FInterID, ROW_NUMBER() OVER (ORDER BY FDay) AS n "
            "FROM t_WorkCalendar WHERE FInterID>0) w WHERE FInterID<>n")[0];
        if (misnumbered != "0") return misnumbered + " work days numbered out of order";
        const std::string copy = Column(
            "SELECT COUNT(*) FROM (SELECT FDay,FInterID FROM t_WorkCalendar EXCEPT SELECT "
            "FDay,FInterID FROM t_mutiworkcal WHERE FCalID=999) d")[0];
        const std::string extra = Column(
            "SELECT COUNT(*) FROM (SELECT FDay,FInterID FROM t_mutiworkcal WHERE FCalID=999 "
            "EXCEPT SELECT FDay,FInterID FROM t_WorkCalendar) d")[0];
        if (copy != "0" || extra != "0") return "calendar 999 is not the table's copy";
        return {};
    }
    std::string Numbering() {
        std::string out;
        for (const std::string& n :
             Column("SELECT FInterID FROM t_WorkCalendar WHERE FDay<'2009-07-11' ORDER BY FDay"))
            out += n + " ";
        return out;
    }
    // A command line, with the entries it adds to the property string, and what it gives.
    struct Invocation {
        std::vector<std::string> args;
        std::string props;
        int exitCode;
        std::string out;
        std::string err;  // a part of the error stream
    };
    void ExpectRun(const Invocation& c) {
        const ProcessResult r = Run(c.args, "2009-06-15", c.props);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    static std::string Named(const Invocation& c) {
        std::string named;
        for (const std::string& a : c.args)
            named += a + " ";
        return named;
    }

    void Put(const std::string& key, const std::string& value) {
        Exec("DELETE FROM t_SystemProfile WHERE FCategory='IC' AND FKey='" + key + "'");
        Exec("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','" + key + "','" +
             value + "')");
    }
};

TEST_P(PlannerCommands, GenerateFromAStartDayDoesWhatTheWindowsSaveDoes) {
    Put("StartYear", "2009");
    Put("StartPeriod", "6");
    Put("CurrentYear", "2009");
    Put("CurrentPeriod", "6");
    struct Case {
        Invocation run;
        std::string days;  // the calendar's first and last day and number of days afterwards
    };
    const std::string zz = "Language=zz;";
    const std::string rest = "工厂日历开始日不能为休息日，请重新设置。";
    const Case cases[] = {
        {{{"generate", "2009-06-06"}, zz, 1, "", rest}, "none"},
        {{{"generate", "2009-06-07", "--saturday-work"}, zz, 1, "", rest}, "none"},
        {{{"generate", "2009-05-29"}, zz, 2, "", "开始日早于起始期间的第一天: 2009-06-01"}, "none"},
        {{{"generate", "2009-06-01"},
          "Language=en;CalendarAccess=read;",
          1,
          "",
          "You are not allowed to maintain the factory calendar"},
         "none"},
        {{{"generate", "2009-06-06", "--saturday-work"}, zz, 0, "工厂日历已生成\n", ""},
         "2009-06-06 2012-05-31 1091"},
        {{{"generate", "2009-06-01"}, zz, 1, "", "--replace"}, "2009-06-06 2012-05-31 1091"},
        {{{"generate", "2009-06-01", "--replace"}, zz, 0, "工厂日历已生成\n", ""},
         "2009-06-01 2012-05-31 1096"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Named(c.run));
        ExpectRun(c.run);
        EXPECT_EQ(Days(), c.days);
    }
    // The numbering is the window's, and the calendar counts as set.
    EXPECT_EQ(Column("SELECT FInterID FROM t_WorkCalendar WHERE FDay='2009-06-01'"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(Column("SELECT FValue FROM t_SystemProfile WHERE FKey='WorkCalendarSet'"),
              std::vector<std::string>{"1"});
    // An end day on or before the start (three years after a current period of 2005-6) or
    // none at all (period 13): refused before anything is deleted.
    const std::pair<const char*, Invocation> refused[] = {
        {"2005",
         {{"generate", "2009-06-01", "--replace"},
          zz,
          1,
          "",
          "工厂日历起始日必须早于日历的结束日: 2008-06-01"}},
        {"2009", {{"generate", "2009-06-01", "--replace"}, zz, 1, "", "错误代码:13"}},
    };
    const std::vector<std::string> calendar = CalendarRows();
    for (const auto& [year, run] : refused) {
        SCOPED_TRACE(year);
        Put("CurrentYear", year);
        Put("CurrentPeriod", std::string(year) == "2005" ? "6" : "13");
        ExpectRun(run);
        EXPECT_EQ(CalendarRows(), calendar);
        EXPECT_EQ(Column("SELECT FValue FROM t_SystemProfile WHERE FKey='WorkCalendarSet'"),
                  std::vector<std::string>{"1"});
    }
}

TEST_P(PlannerCommands, SwapTurnsEveryDateOrNothingAndSaves) {
    // Before any calendar: nothing to swap.
    ExpectRun({{"swap", "2009-06-30"}, "Language=zz;", 1, "", "尚未生成工厂日历"});

    ASSERT_EQ(Run({"generate", "2009-06-01", "2009-07-11"}).exitCode, 0);
    const std::string generated =
        "1 2 3 4 5 0 0 6 7 8 9 10 0 0 11 12 13 14 15 0 0 16 17 18 19 "
        "20 0 0 21 22 23 24 25 0 0 26 27 28 29 30 ";
    ASSERT_EQ(Numbering(), generated);
    struct Case {
        Invocation run;
        std::string numbering;  // empty: as generated
    };
    const std::string zz = "Language=zz;";
    const Case cases[] = {
        {{{"swap", "2009-07-01", "2009-06-10"},
          zz,
          1,
          "",
          "被置换的日期不能早于或等于当前系统日期。"},
         ""},
        {{{"swap", "2009-07-01", "2019-01-01"}, zz, 1, "", "日期不在工厂日历中: 2019-01-01"}, ""},
        {{{"swap", "2009-07-01", "2019-01-01"},
          "Language=en;",
          1,
          "",
          "The date is not in the factory calendar: 2019-01-01"},
         ""},
        {{{"swap", "2009-06-01"}, zz, 1, "", "工厂日历起始日不能被置换为休息日。"}, ""},
        {{{"swap", "2009-07-01"},
          "Language=en;CalendarAccess=read;",
          1,
          "",
          "You are not allowed to maintain the factory calendar"},
         ""},
        {{{"swap", "2009-06-3O"}, zz, 2, "", "2009-06-3O"}, ""},
        {{{"swap", "2009-06-30", "2009-06-20", "2009-06-30T08:00", "2009-07-02"},
          zz,
          0,
          "2009-06-30 work\n2009-06-20 work\n2009-06-30 work\n2009-07-02 rest\n",
          ""},
         "1 2 3 4 5 0 0 6 7 8 9 10 0 0 11 12 13 14 15 16 0 17 18 19 20 "
         "21 0 0 22 23 24 0 25 0 0 26 27 28 29 30 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Named(c.run));
        ExpectRun(c.run);
        EXPECT_EQ(Numbering(), c.numbering.empty() ? generated : c.numbering);
    }
    // The last step, the save, fails (the database refuses calendar 999's copy): exit 1,
    // nothing printed, the numbering as it was.
    const std::string saved = Numbering();
    Exec("DROP TABLE t_mutiworkcal");
    Exec(
        "CREATE TABLE t_mutiworkcal (FInterID INTEGER, FDay DATE, FDayID INTEGER, FWeekID "
        "INTEGER, FMonthID INTEGER, FYearID INTEGER, FCalID INTEGER CHECK (FCalID<>999))");
    ExpectRun({{"swap", "2009-07-03"}, zz, 1, "", "t_mutiworkcal"});
    EXPECT_EQ(Numbering(), saved);
    // So do extend and generate, whose last step refreshes the copy too: nothing of theirs
    // stays.
    const std::vector<std::string> calendar = CalendarRows();
    ExpectRun({{"extend", "--until", "2009-12-31"}, zz, 1, "", "t_mutiworkcal"});
    ExpectRun({{"generate", "2009-06-01", "2010-01-01", "--replace"}, zz, 1, "", "t_mutiworkcal"});
    EXPECT_EQ(CalendarRows(), calendar);
}

TEST_P(PlannerCommands, SwapRefusesToSaveACalendarThatLoadedInPart) {
    if (GetParam() != Backend::SQLite) GTEST_SKIP() << "only SQLite stores a day that is none";
    ASSERT_EQ(Run({"generate", "2009-06-01", "2009-07-11"}).exitCode, 0);
    // Sorted among the work days: the work-day grid stops after 2009-06-30.
    Exec("INSERT INTO t_WorkCalendar(FInterID,FDay) VALUES(20,'2009-06-31')");
    const std::vector<std::string> calendar = CalendarRows();
    const ProcessResult r = Run({"swap", "2009-07-03"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("工厂日历没有完整读出"), std::string::npos) << r.err;
    EXPECT_EQ(CalendarRows(), calendar);
}
// A reader asking WorkDay in a loop while another process swaps a day of a century's
// calendar and saves it, again and again: every answer comes from the old numbering or
// the new one. The day swapped is the calendar's third; from a day after it, a step across
// nearly the whole century gives the same day under both numberings and another under any
// mixture of the two, and from a day before it, a step across it gives one of two days.
TEST_P(PlannerCommands, AReaderNeverSeesHalfANumberingWhileSwapSavesACentury) {
    const double start = OleFromCivil(2000, 1, 3);  // a Monday
    Exec("BEGIN TRANSACTION");
    suite::WriteCalendarRows(Conn(), start, OleFromCivil(2100, 1, 1), true, true);
    Exec("COMMIT");
    Put("WorkCalendarSet", "1");
    const std::string swapped = "2000-01-05";
    const double after = OleFromCivil(2000, 1, 10);
    const double before = OleFromCivil(2000, 1, 4);
    constexpr int32_t kStep = 25000;

    std::map<double, int> seen[2];
    int mixed = 0;
    int asked = 0;
    OnFreshThread([&] {
        component::clsCal cal;
        cal.ActiveConnection("");
        const auto ask = [&] {
            return std::pair{cal.WorkDay(after, component::Dir_Forward, kStep),
                             cal.WorkDay(before, component::Dir_Forward, kStep)};
        };
        // The answers under the numbering as generated and with the day swapped.
        const auto asGenerated = ask();
        ASSERT_EQ(Run({"swap", swapped}, "1999-12-01").exitCode, 0);
        const auto asSwapped = ask();
        ASSERT_EQ(Run({"swap", swapped}, "1999-12-01").exitCode, 0);
        ASSERT_EQ(asGenerated.first, asSwapped.first);
        ASSERT_NE(asGenerated.second, asSwapped.second);

        // Bounded by the writer's work: four saves.
        const std::string rounds =
            "i=0; while [ $i -lt 4 ]; do ZEVWORKCAL_TEST_NOW=1999-12-01 \"$0\" --props \"$1\" "
            "swap " +
            swapped + " >/dev/null || exit 1; i=$((i+1)); done";
        BackgroundProcess writer(
            "/bin/sh", {"-c", rounds, ZEV_ZEVWORKCAL, "Language=zz;" + Db().PropsString()});
        while (writer.Running()) {
            const auto answer = ask();
            ++asked;
            ++seen[0][answer.first];
            ++seen[1][answer.second];
            if (answer.first != asGenerated.first ||
                (answer.second != asGenerated.second && answer.second != asSwapped.second)) {
                ++mixed;
            }
        }
        EXPECT_EQ(writer.Wait(), 0);
    });
    EXPECT_EQ(mixed, 0) << "of " << asked << " answers";
    EXPECT_GT(asked, 0);
    std::printf("%d answers, %d from a mixed numbering; across the swapped day: %zu answers\n",
                asked, mixed, seen[1].size());
}

// Two generations started at once on an empty calendar, from a start day as the window
// does or up to an END: one makes the calendar and the other refuses it (exit 2); the
// calendar is the winner's whole, as if the winner had run alone.
TEST_P(PlannerCommands, OfTwoGenerationsAtOnceOneWinsWhicheverFormTheyTake) {
    Put("StartYear", "2009");
    Put("StartPeriod", "6");
    Put("CurrentYear", "2009");
    Put("CurrentPeriod", "6");
    using Args = std::vector<std::string>;
    const Args fromStart = {"generate", "2009-06-06", "--saturday-work"};
    const Args fromStartOnWeekdays = {"generate", "2009-06-01"};
    const Args toEnd = {"generate", "2009-06-01", "2011-01-01", "--sunday-work"};
    const std::pair<Args, Args> races[] = {{fromStart, fromStartOnWeekdays},
                                           {fromStartOnWeekdays, toEnd}};
    const std::string props = "Language=zz;" + Db().PropsString();
    const std::map<std::string, std::string> environment = {
        {"LANG", ""}, {"LC_ALL", ""}, {"ZEVWORKCAL_TEST_NOW", "2009-06-15T12:00"}};
    auto Joined = [](const Args& args) {
        std::string joined;
        for (const std::string& arg : args)
            joined += arg + " ";
        return joined;
    };
    auto calendar = [this] {
        return Days() + " " + Column("SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0")[0] +
               " " + Column("SELECT MAX(FInterID) FROM t_WorkCalendar")[0];
    };
    for (const auto& [one, other] : races) {
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(Joined(one) + "/ " + Joined(other));
            Exec("DELETE FROM t_WorkCalendar");
            Put("WorkCalendarSet", "0");
            Args a = one;
            Args b = other;
            a.insert(a.begin(), {"--props", props});
            b.insert(b.begin(), {"--props", props});
            Coprocess first(ZEV_ZEVWORKCAL, a, environment);
            Coprocess second(ZEV_ZEVWORKCAL, b, environment);
            const ProcessResult ra = first.Wait();
            const ProcessResult rb = second.Wait();
            std::vector<int> codes = {ra.exitCode, rb.exitCode};
            std::sort(codes.begin(), codes.end());
            ASSERT_EQ(codes, (std::vector<int>{0, 1})) << ra.err << rb.err;
            const std::string raced = calendar();
            // The winner again, alone, over what it made.
            Args alone = ra.exitCode == 0 ? one : other;
            alone.push_back("--replace");
            ASSERT_EQ(Run(alone).exitCode, 0);
            EXPECT_EQ(raced, calendar());
        }
    }
}

// Every write path keeps its history in its own transaction: generation in both forms
// (the window's through its generator, inside the command's write), a save of swaps, a
// note, an extension; a write that is refused or fails at its last step keeps none.
TEST_P(PlannerCommands, EveryWriteKeepsItsHistoryAndAFailedOneNone) {
    Put("StartYear", "2026");
    Put("StartPeriod", "1");
    Put("CurrentYear", "2026");
    Put("CurrentPeriod", "1");
    const std::string zz = "Language=zz;";
    const std::pair<Invocation, std::vector<std::string>> steps[] = {
        {{{"generate", "2026-01-05", "2030-01-01"}, zz, 0, "工厂日历已生成\n", ""},
         {"generate||2026-01-05|2029-12-31|SatNotWork=1 SunNotWork=1"}},
        {{{"swap", "2027-03-03", "2027-03-06"}, zz, 0, "2027-03-03 rest\n2027-03-06 work\n", ""},
         {"swap|2027-03-03|work|rest|", "swap|2027-03-06|rest|work|"}},
        {{{"note", "2027-03-03", "Plant \"shutdown\""},
          zz,
          0,
          "2027-03-03 Plant \"shutdown\"\n",
          ""},
         {"note|2027-03-03||Plant \"shutdown\"|"}},
        {{{"swap", "2009-06-01"}, zz, 1, "", "日期不在工厂日历中"}, {}},
        {{{"extend", "--until", "2030-06-30"},
          zz,
          0,
          "工厂日历已延长: 2030-01-01 .. 2030-06-30, 129 工作日\n",
          ""},
         {"extend||2030-01-01|2030-06-30|"}},
        {{{"generate", "2026-01-05", "--saturday-work", "--replace"},
          zz,
          0,
          "工厂日历已生成\n",
          ""},
         {"generate||2026-01-05|2028-12-31|SatNotWork=0 SunNotWork=1"}},
    };
    const std::string rows =
        "SELECT FAction || '|' || COALESCE(CAST(FDay AS VARCHAR(10)), '') || '|' || FFrom || '|' "
        "|| FTo || '|' || COALESCE(FNote, '') FROM t_WorkCalendarLog ORDER BY FID";
    std::vector<std::string> expected;
    for (const auto& [run, history] : steps) {
        SCOPED_TRACE(Named(run));
        ExpectRun(run);
        expected.insert(expected.end(), history.begin(), history.end());
        EXPECT_EQ(Column(rows), expected);
    }
    // The last step of a swap and of an extension, calendar 999's copy, fails.
    Exec("DROP TABLE t_mutiworkcal");
    Exec(
        "CREATE TABLE t_mutiworkcal (FInterID INTEGER, FDay DATE, FDayID INTEGER, FWeekID "
        "INTEGER, FMonthID INTEGER, FYearID INTEGER, FCalID INTEGER CHECK (FCalID<>999))");
    ExpectRun({{"swap", "2027-03-10"}, zz, 1, "", "t_mutiworkcal"});
    ExpectRun({{"extend", "--until", "2029-06-30"}, zz, 1, "", "t_mutiworkcal"});
    EXPECT_EQ(Column(rows), expected);
}

// Every writer that finds the calendar's write held by another program waits a bounded
// time, then is refused by name with nothing touched; the same command runs once the
// other program is done.
TEST_P(PlannerCommands, AWriterWaitsABoundedTimeForAnotherProgramThenIsRefusedByName) {
    Put("StartYear", "2026");
    Put("StartPeriod", "1");
    Put("CurrentYear", "2026");
    Put("CurrentPeriod", "1");
    ASSERT_EQ(Run({"generate", "2026-01-05", "2030-01-01"}).exitCode, 0);
    const std::vector<std::vector<std::string>> writers = {
        {"generate", "2026-01-05", "--saturday-work", "--replace"},
        {"swap", "2027-03-03"},
        {"note", "2027-03-04", "shutdown"},
        {"extend", "--until", "2030-06-30"},
    };
    const std::string history = "SELECT COUNT(*) FROM t_WorkCalendarLog";
    for (const std::vector<std::string>& writer : writers) {
        SCOPED_TRACE(writer[0]);
        std::vector<std::string> args = writer;
        args.insert(args.begin(), {"--props", "Language=zz;" + Db().PropsString()});
        const std::map<std::string, std::string> environment = {
            {"LANG", ""},
            {"LC_ALL", ""},
            {"ZEVWORKCAL_TEST_NOW", "2026-06-15T12:00"},
            {"ZEVWORKCAL_LOCK_WAIT_MS", "300"}};
        const std::vector<std::string> before = CalendarRows();
        const std::vector<std::string> logged = Column(history);
        {
            const data::ConnectionPtr other = Db().Connect();
            component::CalendarWrite held(*other);
            const auto begun = std::chrono::steady_clock::now();
            const ProcessResult refused = RunProcess(ZEV_ZEVWORKCAL, args, {}, environment);
            EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
            EXPECT_EQ(refused.exitCode, 1) << refused.err;
            EXPECT_NE(refused.err.find("工厂日历正由另一个程序写入，请稍后再试"), std::string::npos)
                << refused.err;
        }
        EXPECT_EQ(CalendarRows(), before);
        EXPECT_EQ(Column(history), logged);
        const ProcessResult done = RunProcess(ZEV_ZEVWORKCAL, args, {}, environment);
        EXPECT_EQ(done.exitCode, 0) << done.err;
    }
}

// import turns every listed day as swap would, with its note, or nothing: CSV and
// iCalendar, a second run that finds every day done, a dry run, and the refusals (a day
// outside the calendar, a day production has scheduled, a malformed line or event) that
// leave the calendar, its copy, the notes and the history as they were. What it made
// exports, and imports into a second database, as the same exceptions.
TEST_P(PlannerCommands, ImportTurnsEveryListedDayWithItsNoteOrNothing) {
    ASSERT_EQ(Run({"generate", "2026-01-05", "2030-01-01"}).exitCode, 0);
    Put("PlanCycle", "天");
    Exec("INSERT INTO t_WOScheduleDetail(FDetailID,FSeqID) VALUES(1,20270303)");
    const TempDir dir;
    const auto file = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir.File(name), std::ios::binary) << text;
        return dir.File(name);
    };
    // Written as a spreadsheet program writes it, after a byte order mark.
    const std::string csv = file("h.csv",
                                 "\xEF\xBB\xBF# holidays\n"
                                 "date,kind,note\n"
                                 "2027-04-05,rest,清明节\n"
                                 "2027-04-06,rest,\"Plant \"\"shutdown\"\", all lines\"\n"
                                 "2027-04-10,work,调休上班\n"
                                 "2027-04-11,rest,清明节\n");
    const std::string ics = file("h.ics",
                                 "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
                                 "BEGIN:VEVENT\r\nUID:a\r\nDTSTART;VALUE=DATE:20270501\r\n"
                                 "DTEND;VALUE=DATE:20270504\r\nSUMMARY:劳动节\r\nEND:VEVENT\r\n"
                                 "BEGIN:VEVENT\r\nUID:b\r\nDTSTART;VALUE=DATE:20270508\r\n"
                                 "SUMMARY:调休\r\nCATEGORIES:HOLIDAY,WORK\r\nEND:VEVENT\r\n"
                                 "END:VCALENDAR\r\n");
    const std::string outside = file("outside.csv", "2027-04-07,rest\n2031-01-02,rest\n");
    const std::string scheduled = file("scheduled.csv", "2027-04-07,rest\n2027-03-03,rest\n");
    const std::string malformed = file("malformed.csv", "2027-04-07,rest\n\n2027-13-01,rest\n");
    const std::string timed = file("timed.ics",
                                   "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\n"
                                   "BEGIN:VEVENT\r\nUID:c\r\nDTSTART:20270407T090000Z\r\n"
                                   "END:VEVENT\r\nEND:VCALENDAR\r\n");
    const std::string zz = "Language=zz;";
    const std::string scheduledText =
        "2027-03-03: 此日期已经作过生产排产或生产汇报，不能置换为休息日。";
    struct Case {
        Invocation run;
        bool writes;
    };
    const Case cases[] = {
        {{{"import", csv, "--dry-run"},
          zz,
          0,
          "2027-04-05 rest 清明节\n2027-04-06 rest Plant \"shutdown\", all lines\n"
          "2027-04-10 work 调休上班\n2027-04-11 unchanged 清明节\n",
          ""},
         false},
        {{{"import", outside},
          zz,
          1,
          "",
          "日期不在工厂日历中，请先用 zevworkcal extend 延长工厂日历: 2031-01-02"},
         false},
        {{{"import", scheduled}, zz, 1, "", scheduledText}, false},
        {{{"import", malformed}, zz, 1, "", "导入文件的这一行格式不对: " + malformed + ":3"},
         false},
        {{{"import", timed}, zz, 1, "", "导入文件中的事件不是全天事件: " + timed + ":4"}, false},
        {{{"import", csv},
          zz,
          0,
          "2027-04-05 rest 清明节\n2027-04-06 rest Plant \"shutdown\", all lines\n"
          "2027-04-10 work 调休上班\n2027-04-11 unchanged 清明节\n",
          ""},
         true},
        {{{"import", csv},
          zz,
          0,
          "2027-04-05 unchanged 清明节\n2027-04-06 unchanged Plant \"shutdown\", all lines\n"
          "2027-04-10 unchanged 调休上班\n2027-04-11 unchanged 清明节\n",
          ""},
         false},
        {{{"import", ics},
          zz,
          0,
          "2027-05-01 unchanged 劳动节\n2027-05-02 unchanged 劳动节\n2027-05-03 rest 劳动节\n"
          "2027-05-08 work 调休\n",
          ""},
         true},
    };
    const auto everything = [&] {
        std::vector<std::string> rows = CalendarRows();
        for (const std::string& t :
             Column("SELECT " + Concat("FDay", "FNote") + " FROM t_WorkCalendarNote ORDER BY FDay"))
            rows.push_back("note " + t);
        rows.push_back("log " + Column("SELECT COUNT(*) FROM t_WorkCalendarLog")[0]);
        return rows;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Named(c.run));
        const std::vector<std::string> before = everything();
        ExpectRun(c.run);
        if (c.writes) {
            EXPECT_NE(everything(), before);
            EXPECT_EQ(Unsound(), "");
        } else {
            EXPECT_EQ(everything(), before);
        }
    }
    EXPECT_EQ(Column("SELECT COUNT(*) FROM t_WorkCalendarLog WHERE FAction='import'")[0], "8");
    // What was made exports, in both formats, and imports as the same exceptions into a
    // second database.
    const std::string exported = Run({"export"}).out;
    EXPECT_NE(exported.find("2027-04-06,rest,\"Plant \"\"shutdown\"\", all lines\"\n"),
              std::string::npos)
        << exported;
    for (const char* format : {"csv", "ics"}) {
        SCOPED_TRACE(format);
        const std::string list =
            file(std::string("export.") + format, Run({"export", "--format", format}).out);
        const std::string second =
            "Provider=SQLite;Data Source=" + dir.File(std::string(format) + ".db");
        const std::map<std::string, std::string> environment = {
            {"LANG", ""}, {"LC_ALL", ""}, {"ZEVWORKCAL_TEST_NOW", "2009-06-15T12:00"}};
        const auto there = [&](std::vector<std::string> args) {
            args.insert(args.begin(), {"--props", "Language=zz;" + second});
            return RunProcess(ZEV_ZEVWORKCAL, args, {}, environment);
        };
        ASSERT_EQ(there({"init"}).exitCode, 0);
        ASSERT_EQ(there({"generate", "2026-01-05", "2030-01-01"}).exitCode, 0);
        const ProcessResult imported = there({"import", list});
        EXPECT_EQ(imported.exitCode, 0) << imported.err;
        EXPECT_EQ(there({"export"}).out, exported);
    }
}

// An iCalendar file is imported as it reads: each recurring event by every occurrence
// within the calendar (RRULE with ordinals and COUNT or UNTIL, EXDATE, RDATE), a cancelled
// event not at all; what cannot be expanded, or ends before it starts, is refused by its
// line with nothing written; and our own export imports again without adding a note.
// A list of days turns each of them as its own swap would, whether the window moves them
// one by one (a few) or all at once (many): on each side of where it changes how.
TEST_P(PlannerCommands, ManyDaysImportedTurnAsEachOnItsOwn) {
    ASSERT_EQ(Run({"generate", "2026-01-05", "2030-01-01"}).exitCode, 0);
    const TempDir dir;
    double day = automation::OleFromCivil(2027, 3, 1);
    for (const int count : {16, 17, 120}) {
        SCOPED_TRACE(count);
        std::string list;
        std::map<std::string, std::string> expected;  // each listed day and its new kind
        for (int i = 0; i < count; ++i, day += 2) {
            const bool weekend =
                automation::OleWeekday(day) == 1 || automation::OleWeekday(day) == 7;
            const std::string iso = automation::FormatIsoDate(day);
            list += iso + (weekend ? ",work\n" : ",rest\n");
            expected[iso] = weekend ? "work" : "rest";
        }
        const std::string file = dir.File(std::to_string(count) + ".csv");
        std::ofstream(file) << list;
        const std::vector<std::string> before = CalendarRows();
        const ProcessResult r = Run({"import", file}, "2026-12-20");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Unsound(), "");
        EXPECT_EQ(CalendarRows().size(), before.size());
        for (const auto& [iso, kind] : expected) {
            const std::string rest = Column(
                "SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID=0 AND FDay='" + iso + "'")[0];
            EXPECT_EQ(rest == "1" ? "rest" : "work", kind) << iso;
        }
    }
}

TEST_P(PlannerCommands, ImportExpandsRecurringEventsOverTheCalendarOrRefusesByLine) {
    ASSERT_EQ(Run({"generate", "2026-01-05", "2030-01-01"}).exitCode, 0);
    const TempDir dir;
    int files = 0;
    // A calendar of one event per entry, each VEVENT's BEGIN on line 4, 9, 14, ...
    const auto ics = [&](std::vector<std::string> events) {
        std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\n";
        for (const std::string& e : events)
            text += "BEGIN:VEVENT\r\nUID:" + std::to_string(files) + "\r\n" + e + "END:VEVENT\r\n";
        const std::string name = dir.File(std::to_string(++files) + ".ics");
        std::ofstream(name, std::ios::binary) << text + "END:VCALENDAR\r\n";
        return name;
    };
    const std::string recurring = ics({
        "DTSTART;VALUE=DATE:20260501\r\nRRULE:FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1\r\n"
        "SUMMARY:Labour Day\r\n",
        "DTSTART;VALUE=DATE:20261126\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=4TH;COUNT=2\r\n"
        "SUMMARY:Thanksgiving\r\n",
        "DTSTART;VALUE=DATE:20270104\r\nRRULE:FREQ=WEEKLY;BYDAY=MO;UNTIL=20270125\r\n"
        "EXDATE;VALUE=DATE:20270111\r\nRDATE;VALUE=DATE:20270201\r\nSUMMARY:Stock\r\n",
        "DTSTART;VALUE=DATE:20270531\r\nRRULE:FREQ=YEARLY;BYMONTH=5;BYDAY=-1MO\r\nSUMMARY:M\r\n",
        "DTSTART;VALUE=DATE:20270601\r\nSTATUS:CANCELLED\r\nSUMMARY:gone\r\n",
        // Before the calendar's first day, its occurrences count from that day.
        "DTSTART;VALUE=DATE:20200101\r\nRRULE:FREQ=YEARLY\r\nSUMMARY:New Year\r\n",
    });
    const std::string zz = "Language=zz;";
    const Invocation cases[] = {
        {{"import", recurring, "--dry-run"},
         zz,
         0,
         "2026-05-01 rest Labour Day\n2027-05-01 unchanged Labour Day\n"
         "2028-05-01 rest Labour Day\n2029-05-01 rest Labour Day\n"
         "2026-11-26 rest Thanksgiving\n2027-11-25 rest Thanksgiving\n"
         "2027-01-04 rest Stock\n2027-01-18 rest Stock\n2027-01-25 rest Stock\n"
         "2027-02-01 rest Stock\n2027-05-31 rest M\n2028-05-29 rest M\n2029-05-28 rest M\n"
         "2027-01-01 rest New Year\n2028-01-01 unchanged New Year\n2029-01-01 rest New Year\n",
         ""},
        {{"import", ics({"DTSTART;VALUE=DATE:20270104\r\nSUMMARY:a\r\n",
                         "DTSTART;VALUE=DATE:20270104\r\nRRULE:FREQ=MONTHLY;BYWEEKNO=20\r\n"})},
         zz,
         1,
         "",
         "导入文件中的事件的重复规则无法展开: " + dir.File("2.ics") + ":9: RRULE"},
        {{"import", ics({"DTSTART;VALUE=DATE:20270104\r\nRRULE:FREQ=HOURLY\r\n"})},
         zz,
         1,
         "",
         "导入文件中的事件的重复规则无法展开: " + dir.File("3.ics") + ":4: RRULE"},
        {{"import",
          ics({"DTSTART;VALUE=DATE:20270510\r\nDTEND;VALUE=DATE:20270505\r\nSUMMARY:x\r\n"})},
         zz,
         1,
         "",
         "导入文件中的事件没有在开始之后结束: " + dir.File("4.ics") + ":4: DTEND"},
        // Overlapping events of one kind: each day once, with the notes of them all; a
        // weekly event's last week reaches over the calendar's end.
        {{"import",
          ics({"DTSTART;VALUE=DATE:20271001\r\nDTEND;VALUE=DATE:20271005\r\nSUMMARY:Week\r\n",
               "DTSTART;VALUE=DATE:20271004\r\nSUMMARY:Day\r\n",
               "DTSTART;VALUE=DATE:20271004\r\nSUMMARY:Week\r\n",
               "DTSTART;VALUE=DATE:20291229\r\nDTEND;VALUE=DATE:20300105\r\n"
               "RRULE:FREQ=YEARLY;COUNT=2\r\nSUMMARY:Close\r\n"}),
          "--dry-run"},
         zz,
         0,
         "2027-10-01 rest Week\n2027-10-02 unchanged Week\n2027-10-03 unchanged Week\n"
         "2027-10-04 rest Week; Day\n2029-12-29 unchanged Close\n2029-12-30 unchanged Close\n"
         "2029-12-31 rest Close\n",
         ""},
        {{"import", ics({"DTSTART;VALUE=DATE:20271004\r\nSUMMARY:a\r\n",
                         "DTSTART;VALUE=DATE:20271004\r\nCATEGORIES:WORK\r\nSUMMARY:a\r\n"})},
         zz,
         1,
         "",
         "导入文件把同一天列了两次，而且内容不同: " + dir.File("6.ics") + ":9: 2027-10-04"},
        {{"import", ics({"DTSTART;VALUE=DATE:20200101\r\nRRULE:FREQ=YEARLY;UNTIL=20230101\r\n"})},
         zz,
         1,
         "",
         "导入文件中的重复事件在工厂日历中没有一天: " + dir.File("7.ics") + ":4: RRULE"},
        // A DTSTART off its rule, which programs count differently, and an event a rule
        // cannot keep (a rule makes single days).
        {{"import", ics({"DTSTART;VALUE=DATE:20270105\r\n"
                         "RRULE:FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=1;COUNT=2\r\n"})},
         zz,
         1,
         "",
         "导入文件中事件的 DTSTART 不是其 RRULE 的一天: " + dir.File("8.ics") + ":4: DTSTART"},
        {{"import",
          ics({"DTSTART;VALUE=DATE:20271224\r\nDTEND;VALUE=DATE:20271227\r\nRRULE:FREQ="
               "YEARLY\r\n"}),
          "--keep-rules"},
         zz,
         1,
         "",
         "导入文件中的这个重复事件不能保存为规则: " + dir.File("9.ics") + ":4: DTEND"},
    };
    // Two calendars in one file; an occurrence that an event of its own cancels or moves;
    // a line folded inside a character.
    const std::string several = dir.File("several.ics");
    std::ofstream(several, std::ios::binary)
        << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\nUID:a\r\n"
           "DTSTART;VALUE=DATE:20270201\r\nRRULE:FREQ=DAILY;COUNT=3\r\nSUMMARY:Stock\r\n"
           "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:a\r\nRECURRENCE-ID;VALUE=DATE:20270202\r\n"
           "DTSTART;VALUE=DATE:20270202\r\nSTATUS:CANCELLED\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nUID:a\r\nRECURRENCE-ID;VALUE=DATE:20270203\r\n"
           "DTSTART;VALUE=DATE:20270205\r\nSUMMARY:Stock\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
           "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\nUID:b\r\n"
           "DTSTART;VALUE=DATE:20270405\r\nSUMMARY:\xE6\xB8\x85\xE6\r\n \x98\x8E\xE8\x8A\x82\r\n"
           "END:VEVENT\r\nEND:VCALENDAR\r\n";
    const Invocation more[] = {
        {{"import", several, "--dry-run"},
         zz,
         0,
         "2027-02-01 rest Stock\n2027-02-05 rest Stock\n2027-04-05 rest 清明节\n",
         ""},
        {{"import", ics({"DTSTART;VALUE=DATE:20270104\r\nRRULE:FREQ=WEEKLY\r\n"
                         "EXRULE:FREQ=MONTHLY\r\n"})},
         zz,
         1,
         "",
         "导入文件中的事件的重复规则无法展开: " + dir.File("10.ics") + ":4: EXRULE"},
    };
    const std::vector<std::string> before = CalendarRows();
    for (const auto& group :
         {std::span<const Invocation>(cases), std::span<const Invocation>(more)}) {
        for (const Invocation& c : group) {
            SCOPED_TRACE(Named(c));
            ExpectRun(c);
            EXPECT_EQ(CalendarRows(), before);
        }
    }

    // A turned day without a note exports with its kind as the summary, which a calendar
    // program shows; imported again, it gets no note.
    ASSERT_EQ(Run({"swap", "2027-03-03"}).exitCode, 0);
    const std::string exported = dir.File("export.ics");
    std::ofstream(exported, std::ios::binary) << Run({"export", "--format", "ics"}).out;
    ExpectRun({{"import", exported}, zz, 0, "2027-03-03 unchanged\n", ""});
    EXPECT_EQ(Column("SELECT COUNT(*) FROM t_WorkCalendarNote")[0], "0");
}

// status (and cal, for the year it shows) names each year from this one on that only the
// weekly rule has planned: no rest day on a weekday and no note. A holiday imported, a note or a
// day turned to rest plans its year; a worked Saturday alone does not.
TEST_P(PlannerCommands, StatusNamesTheYearsNobodyPlanned) {
    ASSERT_EQ(Run({"generate", "2026-01-05", "2030-01-01"}, "2026-01-05").exitCode, 0);
    const TempDir dir;
    const std::string list = dir.File("2027.csv");
    std::ofstream(list) << "2027-01-01,rest,New Year\n2027-12-25,rest,Christmas\n";
    struct Step {
        std::vector<std::string> change;  // run before status; empty: none
        std::string unplanned;            // status --format json's list
        std::string shown;                // the first warning line, "" for none
    };
    const Step steps[] = {
        {{}, "[2027,2028,2029]", "警告: 2027-2029: 尚无节假日：请导入当年的节假日列表\n"},
        {{"import", list}, "[2028,2029]", "警告: 2028-2029: 尚无节假日：请导入当年的节假日列表\n"},
        {{"swap", "2028-01-08"}, "[2028,2029]", "警告: 2028-2029"},
        {{"note", "2028-01-09", "Inventory"}, "[2029]", "警告: 2029: 尚无节假日"},
        {{"swap", "2029-05-01"}, "[]", ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.unplanned);
        if (!step.change.empty()) {
            ASSERT_EQ(Run(step.change, "2026-12-20").exitCode, 0);
        }
        const ProcessResult json = Run({"status", "--format", "json"}, "2027-01-02");
        EXPECT_EQ(json.exitCode, 0) << json.err;
        EXPECT_NE(json.out.find("\"unplanned_years\":" + step.unplanned), std::string::npos)
            << json.out;
        const ProcessResult text = Run({"status"}, "2027-01-02");
        EXPECT_EQ(text.err.find("尚无节假日") != std::string::npos, !step.shown.empty());
        EXPECT_NE(text.err.find(step.shown), std::string::npos) << text.err;
        // cal says it below the year's legend.
        const ProcessResult year = Run({"cal", "2029", "--color=never"}, "2027-01-02");
        EXPECT_EQ(year.out.find("2029: 尚无节假日") != std::string::npos,
                  step.unplanned.find("2029") != std::string::npos)
            << year.out;
    }
}

// Rules carry holidays forward: extend applies them, after the weekly rule, to every day it
// appends, as an independent expansion (python3-dateutil's rrule) gives them, numbering the
// work days on without a gap, with a history row for each day a rule turned and the rule's
// note; rule apply gives days the calendar holds the same through the swap's guards; a
// recurrence libical cannot expand is refused before it is stored.
TEST_P(PlannerCommands, RulesCarryHolidaysForwardAsAnIndependentExpansionDoes) {
    ASSERT_EQ(Run({"generate", "2026-01-05", "2027-01-01"}).exitCode, 0);
    const std::string zz = "Language=zz;";
    const char* rules[][2] = {
        {"FREQ=YEARLY;BYMONTH=1;BYMONTHDAY=1", "New Year"},
        {"FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1", "Labour Day"},
        {"FREQ=YEARLY;BYMONTH=10;BYMONTHDAY=1", "National Day"},
        {"RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=4TH", "Thanksgiving"},
        {"FREQ=YEARLY;BYMONTH=5;BYDAY=-1MO", "Memorial Day"},
    };
    for (const auto& [rule, note] : rules)
        ASSERT_EQ(Run({"rule", "add", rule, "rest", note, "--from", "2026-06-01"}).exitCode, 0);
    const Invocation refused[] = {
        {{"rule", "add", "FREQ=HOURLY", "rest"}, zz, 1, "", "重复规则无法展开: FREQ=HOURLY"},
        {{"rule", "add", "FREQ=YEARLY\x1b[31m", "rest"}, zz, 1, "", ": FREQ=YEARLY\\x1B[31m\n"},
        {{"rule", "add", "FREQ=YEARLY;BYDAY=FOO", "rest"}, zz, 1, "", "重复规则无法展开"},
        {{"rule", "add", "FREQ=YEARLY", "holiday"}, zz, 2, "", "KIND"},
        {{"rule", "remove", "9"}, zz, 1, "", "没有这条规则: 9"},
        {{"rule", "add", "FREQ=YEARLY;UNTIL=20050101", "rest"},
         zz,
         1,
         "",
         "这条规则从它的第一天起没有一天"},
        {{"rule", "add", "FREQ=YEARLY;BYMONTH=1;BYMONTHDAY=1", "rest", " New Year ", "--from",
          "2026-06-01"},
         zz,
         1,
         "",
         "已有同样的规则: 1"},
    };
    for (const Invocation& c : refused) {
        SCOPED_TRACE(Named(c));
        ExpectRun(c);
    }
    ASSERT_EQ(Column("SELECT COUNT(*) FROM t_WorkCalendarRule")[0], "5");

    ASSERT_EQ(Run({"extend", "--until", "2100-12-31"}).exitCode, 0);
    const std::string script =
        "from datetime import date, datetime\n"
        "from dateutil.rrule import rrulestr\n"
        "days = set()\n"
        "for r in ['FREQ=YEARLY;BYMONTH=1;BYMONTHDAY=1', 'FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1',\n"
        "          'FREQ=YEARLY;BYMONTH=10;BYMONTHDAY=1', 'FREQ=YEARLY;BYMONTH=11;BYDAY=+4TH',\n"
        "          'FREQ=YEARLY;BYMONTH=5;BYDAY=-1MO']:\n"
        "    days |= {d.date() for d in rrulestr(r, dtstart=datetime(2027, 1, 1))\n"
        "             .between(datetime(2027, 1, 1), datetime(2100, 12, 31), inc=True)}\n"
        "d = date(2027, 1, 1)\n"
        "while d <= date(2100, 12, 31):\n"
        "    if d.weekday() >= 5 or d in days: print(d.isoformat())\n"
        "    d = date.fromordinal(d.toordinal() + 1)\n"
        "print('turned', sum(1 for d in days if d.weekday() < 5))\n";
    const ProcessResult expected = RunProcess("/usr/bin/python3", {"-c", script});
    ASSERT_EQ(expected.exitCode, 0) << expected.err;
    std::string rest;
    for (const std::string& day :
         Column("SELECT FDay FROM t_WorkCalendar WHERE FInterID=0 AND FDay>='2027-01-01' "
                "ORDER BY FDay"))
        rest += day.substr(0, 10) + "\n";
    // Each day a rule turned has its row; a holiday on a weekend was rest already.
    rest +=
        "turned " +
        Column("SELECT COUNT(*) FROM t_WorkCalendarLog WHERE FAction='rule' AND FTo='rest'")[0] +
        "\n";
    EXPECT_EQ(rest, expected.out);
    EXPECT_EQ(Unsound(), "");
    EXPECT_EQ(Column("SELECT FNote FROM t_WorkCalendarNote WHERE FDay='2099-11-26'"),
              std::vector<std::string>{"Thanksgiving"});

    // The days the calendar held before the rules: rule apply through the swap's guards.
    const Invocation apply[] = {
        {{"rule", "apply", "2026-06-01", "2027-01-01", "--dry-run"},
         zz,
         0,
         "2026-10-01 rest National Day\n2026-11-26 rest Thanksgiving\n",
         ""},
        {{"rule", "apply", "2026-01-05", "2027-01-01"},
         zz,
         0,
         "2026-10-01 rest National Day\n2026-11-26 rest Thanksgiving\n",
         ""},
    };
    for (const Invocation& c : apply) {
        SCOPED_TRACE(Named(c));
        const ProcessResult r = Run(c.args, "2026-08-01", c.props);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
    EXPECT_EQ(Unsound(), "");

    // The export carries each rule as one recurring event, less the days the calendar
    // holds otherwise (a holiday worked again); imported with --keep-rules into a new
    // calendar and extended, it gives the same days and rules.
    ASSERT_EQ(Run({"swap", "2026-11-26"}, "2026-08-01").exitCode, 0);
    const ProcessResult exported = Run({"export", "--format", "ics"}, "2026-08-01");
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    size_t recurring = 0;
    for (size_t at = exported.out.find("RRULE:"); at != std::string::npos;
         at = exported.out.find("RRULE:", at + 1))
        ++recurring;
    EXPECT_EQ(recurring, 5u) << exported.out;
    const TempDir dir;
    std::ofstream(dir.File("plant.ics"), std::ios::binary) << exported.out;
    const std::string second = "Provider=SQLite;Data Source=" + dir.File("second.db");
    const auto there = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--props", "Language=zz;" + second});
        return RunProcess(
            ZEV_ZEVWORKCAL, args, {},
            {{"LANG", ""}, {"LC_ALL", ""}, {"ZEVWORKCAL_TEST_NOW", "2026-08-01T12:00"}});
    };
    ASSERT_EQ(there({"init"}).exitCode, 0);
    ASSERT_EQ(there({"generate", "2026-01-05", "2027-01-01"}).exitCode, 0);
    const ProcessResult imported = there({"import", dir.File("plant.ics"), "--keep-rules"});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    ASSERT_EQ(there({"extend", "--until", "2100-12-31"}).exitCode, 0);
    const auto kinds = [](const std::string& list) {
        std::string kept;  // without the ids and first days, which a new calendar gives anew
        for (size_t at = 0; at < list.size(); at = list.find('\n', at) + 1) {
            const size_t kind = list.find(' ', list.find(' ', at) + 1);
            kept += list.substr(kind, list.find('\n', at) - kind) + "\n";
        }
        return kept;
    };
    EXPECT_EQ(kinds(there({"rule", "list"}).out), kinds(Run({"rule", "list"}).out));
    EXPECT_EQ(there({"list", "2026-01-05", "2101-01-01", "--rest"}).out,
              Run({"list", "2026-01-05", "2101-01-01", "--rest"}).out);

    // A new generation keeps to the weekly rule, and says what the rules would change.
    ExpectRun({{"generate", "2026-01-05", "2027-01-01", "--replace"},
               zz,
               0,
               "工厂日历已生成\n规则可以改变新日历中的这么多天: 2 (zevworkcal rule apply "
               "2026-01-06 2027-01-01)\n",
               ""});
}

// Two writers started at once, round after round: a swap of 2027-03-03 beside another
// swap, an extension and a regeneration. Every command saves, the swaps are kept (unless a
// regeneration that came after replaced the calendar they were saved in), and the
// calendar stays numbered 1..N with calendar 999 its copy.
TEST_P(PlannerCommands, WritersAtOnceKeepEveryChangeAndTheNumberingWhole) {
    using Args = std::vector<std::string>;
    const std::string props = "Language=zz;" + Db().PropsString();
    const std::map<std::string, std::string> environment = {
        {"LANG", ""}, {"LC_ALL", ""}, {"ZEVWORKCAL_TEST_NOW", "2026-12-09T12:00"}};
    struct Other {
        Args args;
        const char* swapped;  // the day it swaps
        bool replaces;        // it replaces the calendar, swaps saved before it included
    };
    const Other others[] = {
        {{"swap", "2027-03-10"}, "2027-03-10", false},
        {{"extend", "--until", "2034-12-31"}, nullptr, false},
        {{"generate", "2026-01-05", "2030-01-01", "--replace"}, nullptr, true},
    };
    int rounds = 0;
    int swapsReplaced = 0;
    for (const auto& [other, otherDay, replaces] : others) {
        for (int round = 0; round < 4; ++round, ++rounds) {
            SCOPED_TRACE(other[0] + " round " + std::to_string(round));
            ASSERT_EQ(Run({"generate", "2026-01-05", "2030-01-01", "--replace"}).exitCode, 0);
            Args a = {"--props", props, "swap", "2027-03-03"};
            Args b = other;
            b.insert(b.begin(), {"--props", props});
            Coprocess first(ZEV_ZEVWORKCAL, a, environment);
            Coprocess second(ZEV_ZEVWORKCAL, b, environment);
            const ProcessResult ra = first.Wait();
            const ProcessResult rb = second.Wait();
            EXPECT_EQ(ra.exitCode, 0) << ra.err;
            EXPECT_EQ(rb.exitCode, 0) << rb.err;
            for (const char* day : {"2027-03-03", otherDay}) {
                if (day == nullptr) continue;
                const bool kept = Column(std::string("SELECT FInterID FROM t_WorkCalendar "
                                                     "WHERE FDay='") +
                                         day + "'") == std::vector<std::string>{"0"};
                if (replaces && !kept) {
                    ++swapsReplaced;
                } else {
                    EXPECT_TRUE(kept) << day << " lost";
                }
            }
            EXPECT_EQ(Unsound(), "");
        }
    }
    std::printf("%d rounds of two writers at once; %d swaps replaced by a later generation\n",
                rounds, swapsReplaced);
}

// The window's generation, killed with kill -9 at moments spread over its run, while the
// test reads the calendar: every reading finds days, and afterwards the calendar is the old
// one or the new one, set, whole, with calendar 999 its copy.
// Each long write (a generation, an extension that applies rules) killed with kill -9 at
// moments spread over its run: the calendar is the old one or the new one, whole, and the
// history holds the extension's rule rows all or none.
TEST_P(PlannerCommands, ALongWriteKilledAtAnyMomentLeavesTheOldCalendarOrTheNew) {
    Put("StartYear", "2026");
    Put("StartPeriod", "1");
    Put("CurrentYear", "2150");  // about 45,000 days, to the first of January 2153
    Put("CurrentPeriod", "1");
    for (const char* rule :
         {"FREQ=YEARLY;BYMONTH=1;BYMONTHDAY=1", "FREQ=YEARLY;BYMONTH=5;BYDAY=-1MO",
          "FREQ=YEARLY;BYMONTH=11;BYDAY=4TH"}) {
        ASSERT_EQ(Run({"rule", "add", rule, "rest", "--from", "2026-01-05"}).exitCode, 0);
    }
    const std::string ruleRows = "SELECT COUNT(*) FROM t_WorkCalendarLog WHERE FAction='rule'";
    const std::vector<std::string> props = {"--props", "Language=zz;" + Db().PropsString()};
    const std::vector<std::string> forms[] = {{"generate", "2026-01-05", "--replace"},
                                              {"extend", "--until", "2152-12-31"}};
    for (const std::vector<std::string>& form : forms) {
        SCOPED_TRACE(form[0]);
        std::vector<std::string> args = props;
        args.insert(args.end(), form.begin(), form.end());
        const auto restore = [&] {
            ASSERT_EQ(Run({"generate", "2026-01-05", "2030-01-01", "--replace"}).exitCode, 0);
            Exec("DELETE FROM t_WorkCalendarLog");
        };
        restore();
        const std::string oldDays = Days();
        // How long a whole write takes, which the kills are spread over.
        const auto begun = std::chrono::steady_clock::now();
        ASSERT_EQ(RunProcess(ZEV_ZEVWORKCAL, args).exitCode, 0);
        const auto whole = std::chrono::steady_clock::now() - begun;
        const std::string newDays = Days();
        const std::string newRuleRows = Column(ruleRows)[0];
        ASSERT_NE(newDays, oldDays);
        constexpr int kRounds = 8;
        int emptyReadings = 0;
        int readings = 0;
        std::map<std::string, int> ended;
        for (int round = 0; round < kRounds; ++round) {
            restore();
            {
                BackgroundProcess writer(ZEV_ZEVWORKCAL, args);
                const auto killAt =
                    std::chrono::steady_clock::now() + whole * (round + 1) / (kRounds - 2);
                do {
                    ++readings;
                    if (Column("SELECT COUNT(*) FROM t_WorkCalendar")[0] == "0") ++emptyReadings;
                } while (std::chrono::steady_clock::now() < killAt);
            }  // killed here, with kill -9, unless it has ended
            const std::string days = Days();
            EXPECT_TRUE(days == oldDays || days == newDays) << days;
            ++ended[days == oldDays ? "old" : "new"];
            EXPECT_EQ(Column(ruleRows)[0], days == oldDays ? "0" : newRuleRows);
            EXPECT_EQ(Column("SELECT FValue FROM t_SystemProfile WHERE FKey='WorkCalendarSet'"),
                      std::vector<std::string>{"1"});
            EXPECT_EQ(Unsound(), "");
        }
        EXPECT_EQ(emptyReadings, 0) << "of " << readings;
        std::printf("%s: %d readings, %d of an empty calendar; %d rounds ended old, %d new\n",
                    form[0].c_str(), readings, emptyReadings, ended["old"], ended["new"]);
    }
}

// A note with a control character (C0, DEL or C1: U+009B begins a terminal's control
// sequence as ESC [ does) is refused on every path that writes one, naming the character,
// and nothing is written; one stored before such notes were refused is shown escaped by
// every output, never as it is.
TEST_P(PlannerCommands, NoControlCharacterReachesANoteOrLeavesAnOutputRaw) {
    ASSERT_EQ(Run({"generate", "2026-01-05", "2030-01-01"}).exitCode, 0);
    const TempDir dir;
    const auto file = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir.File(name), std::ios::binary) << text;
        return dir.File(name);
    };
    const std::pair<std::string, std::string> bad[] = {{"\u009b31mred", "U+009B"},
                                                       {"a\u0085b", "U+0085"},
                                                       {"\u009d0;t\u009c", "U+009D"},
                                                       {"a\x7F", "U+007F"},
                                                       {"a\tb", "U+0009"}};
    const std::string notes = "SELECT COUNT(*) FROM t_WorkCalendarNote";
    for (const auto& [text, named] : bad) {
        const std::string ics =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\n"
            "UID:a\r\nDTSTART;VALUE=DATE:20270405\r\nSUMMARY:" +
            text + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"note", "2027-04-05", text},
                 {"import", file("n.csv", "2027-04-05,rest," + text + "\n")},
                 {"import", file("n.ics", ics)}}) {
            SCOPED_TRACE(args[0] + " " + named);
            const ProcessResult r = Run(args);
            EXPECT_EQ(r.exitCode, 1);
            // import names the day before the character
            EXPECT_NE(r.err.find("备注只能有一行，不能含有控制字符: "), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(": " + named), std::string::npos) << r.err;
            EXPECT_EQ(Column(notes)[0], "0");
        }
    }
    const std::string held = "\x1B]0;t\x07\xC2\x9Bred";
    Exec("INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES('2027-04-06','" + held + "')");
    Exec(
        "INSERT INTO t_WorkCalendarLog(FTime,FUser,FProgram,FAction,FDay,FFrom,FTo,FNote) "
        "VALUES(GETDATE(),'u','p','note','2027-04-06','','" +
        held + "','" + held + "')");
    const std::string escaped = "\\x1B]0;t\\x07\\xC2\\x9Bred";
    const std::string json = "\\u001b]0;t\\u0007\\u009bred";
    const std::pair<std::vector<std::string>, std::string> shown[] = {
        {{"list", "2027-04-06", "2027-04-07"}, escaped},
        {{"list", "2027-04-06", "2027-04-07", "--format", "json"}, json},
        {{"export"}, escaped},
        {{"export", "--format", "json"}, json},
        {{"export", "--format", "ics"},
         R"(\\x1B]0\;t\\x07\\xC2\\x9Bred)"},  // iCalendar's escapes on top
        {{"history"}, escaped},
        {{"history", "--format", "csv"}, escaped},
        {{"history", "--format", "json"}, json}};
    for (const auto& [args, expected] : shown) {
        SCOPED_TRACE(Named({args, "", 0, "", ""}));
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
        for (size_t i = 0; i < r.out.size(); ++i) {
            const auto byte = static_cast<unsigned char>(r.out[i]);
            const bool c1 = byte == 0xC2 && i + 1 < r.out.size() &&
                            (static_cast<unsigned char>(r.out[i + 1]) & 0xE0) == 0x80;
            ASSERT_FALSE((byte < 0x20 && byte != '\n' && byte != '\r') || byte == 0x7F || c1)
                << "at " << i;
        }
    }
}

// import reads a regular file, or standard input for "-", of at most 64 MiB: a FIFO, a
// device (named or through a link), a folder and a larger file, sparse or piped, are
// refused by name before anything is written.
TEST_P(PlannerCommands, ImportReadsOneRegularFileOrStandardInputWithinItsLimit) {
    ASSERT_EQ(Run({"generate", "2026-01-05", "2030-01-01"}).exitCode, 0);
    const TempDir dir;
    const std::string fifo = dir.File("f.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.File("z.csv"));
    std::filesystem::create_directory(dir.File("d.csv"));
    std::ofstream(dir.File("big.csv")) << "2027-04-05,rest\n";
    std::filesystem::resize_file(dir.File("big.csv"), (size_t{64} << 20) + 1);
    const std::string notRegular = "导入文件不是普通文件: ";
    const std::string tooLarge = "导入的内容太大，最多 64 MiB: ";
    const std::string csv = "2027-04-05,rest,清明节\n";
    const std::string ics =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\n"
        "UID:a\r\nDTSTART;VALUE=DATE:20270405\r\nSUMMARY:清明节\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int exitCode;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {{fifo}, "", 1, "", notRegular + fifo},
        {{dir.File("z.csv")}, "", 1, "", notRegular + dir.File("z.csv")},
        {{"/dev/zero"}, "", 1, "", notRegular + "/dev/zero"},
        {{dir.File("d.csv")}, "", 1, "", notRegular + dir.File("d.csv")},
        {{dir.File("big.csv")}, "", 1, "", tooLarge + dir.File("big.csv")},
        {{"-"}, std::string((size_t{64} << 20) + 1, '#'), 1, "", tooLarge + "-"},
        {{"-", "--format", "xml"}, csv, 2, "", ""},
        {{"-", "--dry-run"}, csv, 0, "2027-04-05 rest 清明节\n", ""},
        {{"-", "--dry-run"}, ics, 0, "2027-04-05 rest 清明节\n", ""},
        {{"-", "--dry-run", "--format", "csv"}, ics, 1, "", "导入文件的这一行格式不对: -:1"},
        // A refusal shows the start of a long line, not all of it.
        {{"-", "--format", "csv"},
         std::string(size_t{1} << 20, 'x'),
         1,
         "",
         "导入文件的这一行格式不对: -:1: " + std::string(80, 'x') + "...\n"},
    };
    const std::vector<std::string> before = CalendarRows();
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--props", "Language=zz;" + Db().PropsString(), "import"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(args.back());
        const ProcessResult r =
            RunProcess(ZEV_ZEVWORKCAL, args, c.input,
                       {{"LANG", ""}, {"LC_ALL", ""}, {"ZEVWORKCAL_TEST_NOW", "2009-06-15T12:00"}});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_EQ(CalendarRows(), before);
    }
}

ZEV_INSTANTIATE_DB_TEST(PlannerCommands);

}  // namespace
}  // namespace zev::test
