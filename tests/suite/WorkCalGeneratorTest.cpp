// The calendar generator on each backend: the rows and period ids it writes, what it
// records, what it refuses, and that a failure part-way leaves the caller's connection
// with the calendar it had.

#include <gtest/gtest.h>

#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "suite/WorkCalGenerator.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::OleFromCivil;
using suite::ExistingCalendar;

class Generator : public DbTest {
  protected:
    std::string Scalar(const std::string& sql) {
        data::Recordset rs = Conn().Execute(sql);
        return rs.Eof() || rs.Fields(0).Value().IsNull() ? std::string("NULL")
                                                         : automation::CStr(rs.Fields(0).Value());
    }
    std::string Setting(const std::string& key) {
        return Scalar("SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='" + key +
                      "'");
    }
    std::string Rows() { return Scalar("SELECT COUNT(*) FROM t_WorkCalendar"); }
    std::string FirstDay() {
        data::Recordset rs = Conn().Execute("SELECT MIN(FDay) FROM t_WorkCalendar");
        return automation::FormatIsoDate(automation::CDate(rs.Fields(0).Value()));
    }
    void Generate(double start, double end, bool satNotWork = true, bool sunNotWork = true,
                  ExistingCalendar existing = ExistingCalendar::Replace) {
        suite::GenerateCalendar(Conn(), start, end, satNotWork, sunNotWork, existing);
    }
};

TEST_P(Generator, PeriodIdsFollowTheIsoWeekOfTheThursday) {
    Generate(OleFromCivil(2008, 12, 29), OleFromCivil(2021, 1, 5), false, false);
    // FDay -> FDayID, FWeekID, FMonthID, FYearID. A week belongs to the ISO year of its
    // Thursday, so days around the new year can carry the other year's week.
    const struct {
        const char* day;
        const char* ids;
    } cases[] = {
        {"2008-12-29", "20081229 200901 200812 2008"},  // Monday of the first week of 2009
        {"2009-06-01", "20090601 200923 200906 2009"},
        {"2009-06-07", "20090607 200923 200906 2009"},  // Sunday: the week of its Monday
        {"2010-01-03", "20100103 200953 201001 2010"},  // 2009 has 53 weeks
        {"2010-01-04", "20100104 201001 201001 2010"},
        {"2016-01-03", "20160103 201553 201601 2016"},
        {"2021-01-01", "20210101 202053 202101 2021"},  // a Friday in the last week of 2020
        {"2021-01-04", "20210104 202101 202101 2021"},
    };
    for (const auto& c : cases) {
        data::Recordset rs = Conn().Execute(
            std::string("SELECT FDayID, FWeekID, FMonthID, FYearID FROM t_WorkCalendar "
                        "WHERE FDay='") +
            c.day + "'");
        ASSERT_FALSE(rs.Eof()) << c.day;
        std::string ids;
        for (int i = 0; i < 4; ++i) {
            if (i > 0) ids += ' ';
            ids += automation::CStr(rs.Fields(i).Value());
        }
        EXPECT_EQ(ids, c.ids) << c.day;
    }
}

TEST_P(Generator, RecordsTheCalendarAsSetOnlyWhenItHasDays) {
    Generate(OleFromCivil(2009, 6, 1), OleFromCivil(2009, 6, 11), true, false);
    EXPECT_EQ(Rows(), "10");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_WorkCalendar WHERE FInterID>0"), "9");
    EXPECT_EQ(Setting("WorkCalendarSet") + Setting("SatNotWork") + Setting("SunNotWork"), "110");

    // A range without a day empties the calendar, which then no longer counts as set.
    Generate(OleFromCivil(2009, 6, 11), OleFromCivil(2009, 6, 11));
    EXPECT_EQ(Rows(), "0");
    EXPECT_EQ(Setting("WorkCalendarSet"), "0");
}

TEST_P(Generator, RefusesWithoutTouchingTheCalendar) {
    Generate(OleFromCivil(2009, 6, 1), OleFromCivil(2009, 6, 11));
    const std::string before =
        FirstDay() + Scalar("SELECT MAX(FInterID) FROM t_WorkCalendar") + Rows();

    // A start day that is a rest day by the rules.
    EXPECT_THROW(Generate(OleFromCivil(2009, 6, 6), OleFromCivil(2009, 7, 1)),
                 automation::ComError);
    EXPECT_THROW(Generate(OleFromCivil(2009, 6, 7), OleFromCivil(2009, 7, 1), false, true),
                 automation::ComError);
    // A calendar with rows, when it is to be kept.
    EXPECT_THROW(Generate(OleFromCivil(2009, 7, 1), OleFromCivil(2009, 8, 1), true, true,
                          ExistingCalendar::Keep),
                 suite::CalendarExists);
    EXPECT_EQ(FirstDay() + Scalar("SELECT MAX(FInterID) FROM t_WorkCalendar") + Rows(), before);

    // A Saturday start is a work day when Saturdays are.
    Generate(OleFromCivil(2009, 6, 6), OleFromCivil(2009, 6, 8), false, true);
    EXPECT_EQ(Scalar("SELECT FInterID FROM t_WorkCalendar WHERE FDay='2009-06-06'"), "1");
}

TEST_P(Generator, AFailurePartWayLeavesTheCallersConnectionWithTheOldCalendar) {
    Generate(OleFromCivil(2009, 6, 1), OleFromCivil(2009, 6, 11));
    // The settings table is gone: the rows are written, recording the settings fails.
    Exec("DROP TABLE t_SystemProfile");
    EXPECT_THROW(Generate(OleFromCivil(2010, 1, 4), OleFromCivil(2012, 1, 1)),
                 automation::ComError);
    // Read on the caller's own connection, which must have left the transaction.
    EXPECT_EQ(FirstDay() + " " + Rows(), "2009-06-01 10");
    Exec("BEGIN TRANSACTION");
    Exec("DELETE FROM t_WorkCalendar");
    Exec("ROLLBACK");
    EXPECT_EQ(Db().Connect()->Execute("SELECT COUNT(*) FROM t_WorkCalendar").Fields(0).Value(),
              automation::Variant(10));
}

ZEV_INSTANTIATE_DB_TEST(Generator);

}  // namespace
}  // namespace zev::test
