// The planner's operations on the command line, as a user runs them, on every backend:
// generate from a start day as the window's Save does, swap days past the window's guards
// all or nothing, and a reader that never sees half a numbering while swap saves.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

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
        {{{"generate", "2009-06-01"}, zz, 2, "", "--replace"}, "2009-06-06 2012-05-31 1091"},
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
            ASSERT_EQ(codes, (std::vector<int>{0, 2})) << ra.err << rb.err;
            const std::string raced = calendar();
            // The winner again, alone, over what it made.
            Args alone = ra.exitCode == 0 ? one : other;
            alone.push_back("--replace");
            ASSERT_EQ(Run(alone).exitCode, 0);
            EXPECT_EQ(raced, calendar());
        }
    }
}

ZEV_INSTANTIATE_DB_TEST(PlannerCommands);

}  // namespace
}  // namespace zev::test
