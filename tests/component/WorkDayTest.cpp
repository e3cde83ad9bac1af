#include <gtest/gtest.h>

#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/ShareProps.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/ForwardingConnection.hpp"
#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::OleFromCivil;
using component::clsCal;
using component::Dir_Backward;
using component::Dir_Forward;
using component::Enu_Direction;
namespace errors = automation::errors;

double June(int day, int hour = 0, int minute = 0) {
    return OleFromCivil(2009, 6, day, hour, minute);
}

// The date service on the example calendar: 2009-06-01 (Monday) to 2009-06-10, the
// weekend 06-06/06-07 resting, so work days 06-01..06-05 are 1..5, 06-08..06-10 are 6..8.
class WorkDayQueries : public DbTest, public WithScriptedUi {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        // A language without a catalogue: every text is shown as written.
        suite::SetProcessProperty("PropsString", "Language=zz;" + Db().PropsString());
        WriteExampleCalendar(Conn());
    }

    // Runs `body` with a clsCal connected to the test database, on a fresh thread.
    void WithCalendar(const std::function<void(clsCal&)>& body) {
        OnFreshThread([&] {
            clsCal cal;
            cal.ActiveConnection("");
            body(cal);
        });
    }
};

TEST_P(WorkDayQueries, BeforeAndAfterFindTheNearestWorkDay) {
    WithCalendar([&](clsCal& cal) {
        EXPECT_EQ(cal.WorkDayBefore(June(7)), June(5));
        EXPECT_EQ(cal.WorkDayAfter(June(7)), June(8));
        EXPECT_EQ(cal.WorkDayBefore(June(3)), June(3));
        EXPECT_EQ(cal.WorkDayAfter(June(3)), June(3));
        // A time of day is dropped from the query, and a day from the table is midnight.
        EXPECT_EQ(cal.WorkDayBefore(June(4, 14, 30)), June(4));
        EXPECT_EQ(cal.WorkDayAfter(June(4, 14, 30)), June(4));
        EXPECT_EQ(cal.WorkDayAfter(June(6, 23, 59)), June(8));
        // Outside the calendar the date comes back unchanged, time included.
        const double early = OleFromCivil(2009, 5, 31, 9, 15);
        const double late = OleFromCivil(2009, 6, 11, 9, 15);
        EXPECT_EQ(cal.WorkDayBefore(early), early);
        EXPECT_EQ(cal.WorkDayAfter(late), late);
        EXPECT_EQ(cal.WorkDayAfter(early), June(1));
        EXPECT_EQ(cal.WorkDayBefore(late), June(10));
    });
    EXPECT_TRUE(Ui().Boxes().empty());
}

TEST_P(WorkDayQueries, WorkDayStepsFromTheWorkDayOnOrBefore) {
    struct Case {
        double day;
        int32_t direction;
        int32_t interval;
        double expected;
    };
    const Case cases[] = {
        {June(3), Dir_Forward, 2, June(5)},
        {June(5), Dir_Forward, 1, June(8)},
        {June(8), Dir_Backward, 1, June(5)},
        {June(7), Dir_Forward, 1, June(8)},  // from a rest day: counts from 06-05
        {June(7), Dir_Backward, 1, June(4)},
        {June(7), Dir_Forward, 0, June(5)},
        {June(7), Dir_Backward, 0, June(5)},
        {June(5), Dir_Forward, -2, June(3)},  // negative steps the other way
        {June(3), Dir_Backward, -5, June(10)},
        {June(10), Dir_Forward, 1, June(10)},  // number 9 does not exist
        {June(2), Dir_Backward, 5, June(2)},   // number -3 does not exist
        {June(2), Dir_Backward, 2, June(2)},   // number 0 is a rest day, not a work day
        {June(20), Dir_Backward, 2, June(8)},  // after the calendar: from its last work day
        {June(4), 7, 1, June(5)},              // any direction but 0 is forward
        {June(4), -1, 1, June(5)},
        {June(4, 18, 0), Dir_Forward, 1, June(5)},
        {June(4, 18, 0), Dir_Forward, 100, June(4, 18, 0)},
        {OleFromCivil(2009, 5, 31, 8, 0), Dir_Forward, 1, OleFromCivil(2009, 5, 31, 8, 0)},
        {June(1), Dir_Forward, INT32_MAX, June(1)},
        {June(1), Dir_Backward, INT32_MIN, June(1)},
    };
    WithCalendar([&](clsCal& cal) {
        for (const Case& c : cases) {
            EXPECT_EQ(cal.WorkDay(c.day, static_cast<Enu_Direction>(c.direction), c.interval),
                      c.expected)
                << automation::FormatIsoAuto(c.day) << " dir " << c.direction << " interval "
                << c.interval;
        }
    });
    EXPECT_TRUE(Ui().Boxes().empty());
}

TEST_P(WorkDayQueries, AnEmptyCalendarGivesTheDateBack) {
    Exec("DELETE FROM t_WorkCalendar");
    WithCalendar([&](clsCal& cal) {
        const double day = June(4, 10, 0);
        EXPECT_EQ(cal.WorkDayBefore(day), day);
        EXPECT_EQ(cal.WorkDayAfter(day), day);
        EXPECT_EQ(cal.WorkDay(day, Dir_Forward, 3), day);
    });
}

TEST_P(WorkDayQueries, ChangesAreSeenAtOnce) {
    WithCalendar([&](clsCal& cal) {
        EXPECT_EQ(cal.WorkDay(June(5), Dir_Forward, 1), June(8));
        // Another connection turns 06-08 into a rest day and renumbers the days after it.
        Exec(
            "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-08'\r\n"
            "UPDATE t_WorkCalendar SET FInterID=6 WHERE FDay='2009-06-09'\r\n"
            "UPDATE t_WorkCalendar SET FInterID=7 WHERE FDay='2009-06-10'");
        EXPECT_EQ(cal.WorkDay(June(5), Dir_Forward, 1), June(9));
        EXPECT_EQ(cal.WorkDayAfter(June(6)), June(9));
    });
}

TEST_P(WorkDayQueries, ARejectedStatementFailsTowardsTheCallerOrIsReported) {
    Exec("DROP TABLE t_WorkCalendar");
    WithCalendar([&](clsCal& cal) {
        try {
            cal.WorkDayBefore(June(7));
            FAIL() << "no error";
        } catch (const automation::ComError& e) {
            EXPECT_NE(e.Description().find("SELECT MAX(FDay) FROM t_WorkCalendar"),
                      std::string::npos)
                << e.Description();
        }
        EXPECT_TRUE(Ui().Boxes().empty());

        EXPECT_EQ(cal.WorkDay(June(7, 9, 0), Dir_Forward, 1), 0.0);
        ASSERT_EQ(Ui().Boxes().size(), 1u);
        const ui::RecordedBox box = Ui().Boxes()[0];
        EXPECT_EQ(box.buttons, 16);
        EXPECT_EQ(box.title, "Halvor提示");
        EXPECT_NE(box.prompt.find("错误代码:"), std::string::npos);
        EXPECT_NE(box.prompt.find("SELECT Max(FInterID)"), std::string::npos) << box.prompt;
        EXPECT_EQ(automation::Err().Number, 0);
    });
}

TEST_P(WorkDayQueries, AFormatterThatCannotBeCreatedFailsBeforeAnyStatement) {
    WithCalendar([&](clsCal& cal) {
        automation::ScopedFactory none(host::progid::kDateTimeFormatInfo, nullptr);
        EXPECT_EQ(ErrorNumberOf([&] { cal.WorkDayAfter(June(7)); }), errors::kCannotCreateObject);
        EXPECT_EQ(cal.WorkDay(June(7), Dir_Forward, 1), 0.0);
        ASSERT_EQ(Ui().Boxes().size(), 1u);
        EXPECT_NE(Ui().Boxes()[0].prompt.find("429"), std::string::npos);
    });
}

TEST_P(WorkDayQueries, AFormatterIsMadeForEachCallAndReleasedBeforeTheStatement) {
    struct CountingFormatter : automation::Object, host::IDateTimeFormatInfo {
        std::string ZevDateFormat(double& date, std::string_view pattern) override {
            EXPECT_EQ(pattern, "YYYY-MM-DD");
            return automation::FormatIsoDate(date);
        }
    };
    int created = 0;
    std::weak_ptr<automation::Object> lastMade;
    automation::ScopedFactory counting(host::progid::kDateTimeFormatInfo,
                                       [&]() -> automation::ObjectPtr {
                                           ++created;
                                           auto f = std::make_shared<CountingFormatter>();
                                           lastMade = f;
                                           return f;
                                       });
    WithCalendar([&](clsCal& cal) {
        cal.WorkDayBefore(June(7));
        cal.WorkDayAfter(June(7));
        cal.WorkDay(June(7), Dir_Forward, 1);
        EXPECT_EQ(created, 3);
        EXPECT_TRUE(lastMade.expired());
    });
}

// Regenerations by another process, alternating the Saturday rule, while WorkDay answers:
// every answer comes from one of the two calendars, never from a number of one paired
// with the days of the other; and a change committed between its two statements, on
// purpose, is not seen by the second.
TEST_P(WorkDayQueries, AnswersComeFromOneCalendarWhileAnotherProcessRegeneratesIt) {
    const std::string props = "Language=zz;" + Db().PropsString();
    auto generate = [&](const char* saturday) {
        return std::string("\"$0\" --props \"$1\" generate 1957-01-01 1959-01-01 --replace ") +
               saturday + " >/dev/null || exit 1";
    };
    const double from = OleFromCivil(1958, 1, 29);
    double answers[2] = {};
    for (int saturdayWork = 0; saturdayWork < 2; ++saturdayWork) {
        const ProcessResult r = RunProcess(
            "/bin/sh",
            {"-c", generate(saturdayWork ? "--saturday-work" : ""), ZEV_ZEVWORKCAL, props});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        WithCalendar(
            [&](clsCal& cal) { answers[saturdayWork] = cal.WorkDay(from, Dir_Backward, 21); });
    }
    ASSERT_NE(answers[0], answers[1]);

    // Bounded by the writer's work, not by time: 15 rounds of two regenerations.
    const std::string rounds = "i=0; while [ $i -lt 15 ]; do " + generate("") + "; " +
                               generate("--saturday-work") + "; i=$((i+1)); done";
    BackgroundProcess writer("/bin/sh", {"-c", rounds, ZEV_ZEVWORKCAL, props});
    WithCalendar([&](clsCal& cal) {
        while (writer.Running()) {
            const double answer = cal.WorkDay(from, Dir_Backward, 21);
            ASSERT_TRUE(answer == answers[0] || answer == answers[1])
                << automation::FormatIsoAuto(answer) << " belongs to neither calendar";
        }
    });
    EXPECT_EQ(writer.Wait(), 0);
    EXPECT_TRUE(Ui().Boxes().empty());

    // The same guarantee broken on purpose: by the statements (the copy in memory turned
    // off), another connection doubles every number right after WorkDay's first statement.
    // Its second statement still reads the first one's calendar; the next call sees the
    // doubled numbers, where no odd target exists.
    suite::SetProcessProperty("PropsString", "CalendarCache=off;" + props);
    std::shared_ptr<CommitsBetweenStatements> spoiler;
    automation::ScopedFactory spoiling(
        host::progid::kAppConnection, [&]() -> automation::ObjectPtr {
            spoiler = std::make_shared<CommitsBetweenStatements>(
                Db().Connect(), Db().Connect(), "SELECT Max(FInterID)",
                "UPDATE t_WorkCalendar SET FInterID=FInterID*2 WHERE FInterID>0");
            return spoiler;
        });
    WithCalendar([&](clsCal& cal) {
        EXPECT_EQ(cal.WorkDay(from, Dir_Backward, 21), answers[1]);
        ASSERT_TRUE(spoiler->Committed());
        EXPECT_EQ(cal.WorkDay(from, Dir_Backward, 21), from);
    });
    EXPECT_TRUE(Ui().Boxes().empty());
}

// The snapshot of WorkDay's two statements ends with the member, whether it answers or
// fails, and inside a transaction of the caller's it neither ends nor hides it.
TEST_P(WorkDayQueries, TheSnapshotEndsWithTheMemberAndLeavesTheCallersTransactionOpen) {
    WithCalendar([&](clsCal& cal) {
        data::Connection& own = component::mdlCal::Connection();
        EXPECT_EQ(cal.WorkDay(June(5), Dir_Forward, 1), June(8));
        // Nothing is left open: the connection can begin a transaction of its own.
        own.Execute("BEGIN TRANSACTION");
        // Inside it WorkDay reads the caller's uncommitted change ...
        own.Execute("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-08'");
        own.Execute("UPDATE t_WorkCalendar SET FInterID=6 WHERE FDay='2009-06-09'");
        EXPECT_EQ(cal.WorkDay(June(5), Dir_Forward, 1), June(9));
        // ... and leaves the transaction to the caller, who can still roll it back.
        own.Execute("ROLLBACK");
        EXPECT_EQ(cal.WorkDay(June(5), Dir_Forward, 1), June(8));

        Exec("DROP TABLE t_WorkCalendar");
        EXPECT_EQ(cal.WorkDay(June(5), Dir_Forward, 1), 0.0);
        EXPECT_EQ(Ui().Boxes().size(), 1u);
        own.Execute("BEGIN TRANSACTION");
        own.Execute("ROLLBACK");
    });
}

ZEV_INSTANTIATE_DB_TEST(WorkDayQueries);

}  // namespace
}  // namespace zev::test
