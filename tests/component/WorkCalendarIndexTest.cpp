#include <gtest/gtest.h>

#include "component/WorkCalendarIndex.hpp"
#include "component/clsCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::FormatIsoDate;
using automation::OleFromCivil;
using component::Dir_Backward;
using component::Dir_Forward;
using component::WorkCalendarIndex;

class CalendarIndex : public DbTest, public WithScriptedUi {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        suite::SetProcessProperty("PropsString", "Language=zz;" + Db().PropsString());
        // June 2009 with weekend rest days, then swaps: Wednesday 06-10 and Friday 06-26
        // become rest days, Saturday 06-13 a work day.
        suite::WriteCalendarRows(Conn(), OleFromCivil(2009, 6, 1), OleFromCivil(2009, 7, 1), true,
                                 true);
        Exec(
            "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-10'\r\n"
            "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-26'\r\n"
            "UPDATE t_WorkCalendar SET FInterID=1 WHERE FDay='2009-06-13'");
    }

    // Numbers the work days 1..N in date order, as saving the swaps does.
    void Renumber() {
        data::Recordset rs =
            Conn().Execute("SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 ORDER BY FDay");
        std::string batch;
        for (int n = 1; !rs.Eof(); rs.MoveNext(), ++n) {
            batch += "UPDATE t_WorkCalendar SET FInterID=" + std::to_string(n) + " WHERE FDay='" +
                     FormatIsoDate(automation::CDate(rs.Fields(0).Value())) + "'\r\n";
        }
        Exec(batch);
    }

    // Every date from a month before the calendar to a month after it, every interval
    // from -10 to 10, both directions: the index answers as the members do.
    void ExpectAgreement() {
        OnFreshThread([&] {
            component::clsCal cal;
            cal.ActiveConnection("");
            WorkCalendarIndex index(Db().Connect());
            int compared = 0;
            for (double day = OleFromCivil(2009, 5, 1); day < OleFromCivil(2009, 8, 1); ++day) {
                const double withTime = day + 0.5;
                ASSERT_EQ(index.WorkDayBefore(withTime), cal.WorkDayBefore(withTime))
                    << FormatIsoDate(day);
                ASSERT_EQ(index.WorkDayAfter(withTime), cal.WorkDayAfter(withTime))
                    << FormatIsoDate(day);
                for (int32_t interval = -10; interval <= 10; ++interval) {
                    for (auto direction : {Dir_Backward, Dir_Forward}) {
                        ASSERT_EQ(index.WorkDay(withTime, direction, interval),
                                  cal.WorkDay(withTime, direction, interval))
                            << FormatIsoDate(day) << " " << direction << " " << interval;
                        ++compared;
                    }
                }
            }
            EXPECT_EQ(compared, 92 * 21 * 2);
        });
        EXPECT_TRUE(Ui().Boxes().empty());
    }
};

TEST_P(CalendarIndex, AgreesWithTheMembersOnASavedCalendar) {
    Renumber();
    ExpectAgreement();
}

TEST_P(CalendarIndex, AgreesWithTheMembersWhenTheNumbersHaveGapsAndRepeats) {
    // Left as the updates made it: 06-13 repeats number 1 and numbers are missing.
    ExpectAgreement();
}

TEST_P(CalendarIndex, NoticesChangesAndReloads) {
    Renumber();
    WorkCalendarIndex index(Db().Connect());
    EXPECT_FALSE(index.IsStale());
    EXPECT_FALSE(index.Refresh());
    EXPECT_EQ(index.WorkDayAfter(OleFromCivil(2009, 6, 10)), OleFromCivil(2009, 6, 11));

    auto other = Db().Connect();
    other->Execute("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-11'");
    EXPECT_TRUE(index.IsStale());
    EXPECT_TRUE(index.Refresh());
    EXPECT_FALSE(index.IsStale());
    EXPECT_EQ(index.WorkDayAfter(OleFromCivil(2009, 6, 10)), OleFromCivil(2009, 6, 12));

    other->Execute("DELETE FROM t_WorkCalendar");
    EXPECT_TRUE(index.Refresh());
    EXPECT_EQ(index.WorkDayCount(), 0u);
    const double day = OleFromCivil(2009, 6, 10, 8, 0);
    EXPECT_EQ(index.WorkDay(day, Dir_Forward, 1), day);
}

ZEV_INSTANTIATE_DB_TEST(CalendarIndex);

}  // namespace
}  // namespace zev::test
