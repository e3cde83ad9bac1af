// Extending the calendar: the days appended are the days one generation of the whole
// range would have written, numbered on from the largest number, the copy of calendar 999
// follows, and a refusal or a failure part-way leaves the database as it was.

#include <gtest/gtest.h>

#include <functional>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/CalendarExtension.hpp"
#include "suite/WorkCalGenerator.hpp"
#include "tests/support/ErrorNumber.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::OleFromCivil;

std::vector<std::string> Rows(data::Connection& c, const std::string& from) {
    data::Recordset rs = c.Execute("SELECT FInterID, FDay, FDayID, FWeekID, FMonthID, FYearID " +
                                   from + " ORDER BY FDay");
    std::vector<std::string> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        std::string row = automation::FormatIsoDate(automation::CDate(rs.Fields(1).Value()));
        for (size_t i : {0, 2, 3, 4, 5})
            row += " " + automation::CStr(rs.Fields(i).Value());
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Calendar(data::Connection& c) {
    return Rows(c, "FROM t_WorkCalendar");
}
std::vector<std::string> Mirror(data::Connection& c) {
    return Rows(c, "FROM t_mutiworkcal WHERE FCalID=999");
}

class Extension : public DbTest {};

// December 2009 extended into 2010 crosses a year, a month and ISO week 2009-53; the rows
// equal those of one generation from the same start, and the copy equals the table.
TEST_P(Extension, AppendsWhatOneGenerationOfTheWholeRangeWrites) {
    struct Case {
        const char* what;
        bool saturdayRests;
        double until;
    };
    const Case cases[] = {
        {"weekends resting, into the new year", true, OleFromCivil(2010, 1, 12, 15, 30)},
        {"Saturdays working, one day", false, OleFromCivil(2010, 1, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const double start = OleFromCivil(2009, 12, 1);
        suite::GenerateCalendar(Conn(), start, OleFromCivil(2010, 1, 1), c.saturdayRests, true);
        const suite::CalendarExtension added = suite::ExtendCalendar(Conn(), c.until);
        EXPECT_EQ(added.FirstDay, OleFromCivil(2010, 1, 1));
        EXPECT_EQ(added.LastDay, automation::OleDatePart(c.until));

        auto whole = TestDatabase::Create(GetParam());
        auto reference = whole->Connect();
        suite::GenerateCalendar(*reference, start, added.LastDay + 1, c.saturdayRests, true);
        EXPECT_EQ(Calendar(Conn()), Calendar(*reference));
        EXPECT_EQ(Mirror(Conn()), Calendar(Conn()));
        int32_t appended = 0;
        for (const std::string& row : Calendar(*reference)) {
            appended += row.compare(0, 4, "2010") == 0 && row.compare(11, 2, "0 ") != 0;
        }
        EXPECT_EQ(added.WorkDays, appended);
    }
}

// Numbers go on from the largest, wherever it stands; the weekend rules are the stored
// ones, whatever the calendar was generated with.
TEST_P(Extension, NumbersOnFromTheLargestNumberByTheStoredRules) {
    suite::GenerateCalendar(Conn(), OleFromCivil(2009, 6, 1), OleFromCivil(2009, 6, 11), true,
                            true);
    Exec("UPDATE t_WorkCalendar SET FInterID=40 WHERE FDay='2009-06-03'");
    Exec("UPDATE t_SystemProfile SET FValue='0' WHERE FCategory='IC' AND FKey='SatNotWork'");
    suite::ExtendCalendar(Conn(), OleFromCivil(2009, 6, 15));
    const std::vector<std::string> rows = Calendar(Conn());
    ASSERT_EQ(rows.size(), 15u);
    const std::vector<std::string> appended(rows.end() - 5, rows.end());
    EXPECT_EQ(appended, (std::vector<std::string>{
                            "2009-06-11 41 20090611 200924 200906 2009",
                            "2009-06-12 42 20090612 200924 200906 2009",
                            "2009-06-13 43 20090613 200924 200906 2009",
                            "2009-06-14 0 20090614 200924 200906 2009",
                            "2009-06-15 44 20090615 200925 200906 2009",
                        }));
}

// Each refusal and a failure in the last step leave the calendar and its copy as they
// were.
TEST_P(Extension, IsRefusedOrFailsWithoutWritingAnything) {
    suite::GenerateCalendar(Conn(), OleFromCivil(2009, 6, 1), OleFromCivil(2009, 6, 11), true,
                            true);
    Exec(
        "Delete from t_mutiworkcal where FCalID=999 \r\n insert t_mutiworkcal select "
        "finterid,fday,fdayid,fweekid,fmonthid,fyearid,999 from t_workcalendar");
    const double later = OleFromCivil(2009, 6, 20);
    struct Case {
        const char* what;
        std::function<void()> prepare;
        double until;
        const char* names;  // in the failure's description
        std::function<void()> undo;
    };
    const Case cases[] = {
        {"the calendar is not set",
         [&] { Exec("UPDATE t_SystemProfile SET FValue='0' WHERE FKey='WorkCalendarSet'"); }, later,
         "工厂日历尚未生成，不能延长",
         [&] { Exec("UPDATE t_SystemProfile SET FValue='1' WHERE FKey='WorkCalendarSet'"); }},
        {"the date is the last day", [] {}, OleFromCivil(2009, 6, 10, 23, 0),
         "延长到的日期必须晚于工厂日历的最后一天", [] {}},
        {"the date is before the last day", [] {}, OleFromCivil(2009, 5, 1), "2009-06-10", [] {}},
        {"a weekend setting is missing",
         [&] { Exec("DELETE FROM t_SystemProfile WHERE FKey='SunNotWork'"); }, later, "SunNotWork",
         [&] {
             Exec(
                 "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) "
                 "VALUES('IC','SunNotWork','1')");
         }},
        {"the copy for calendar 999 fails after the rows are written",
         [&] { Exec("ALTER TABLE t_mutiworkcal RENAME TO t_mutiworkcal_away"); }, later,
         "t_mutiworkcal", [&] { Exec("ALTER TABLE t_mutiworkcal_away RENAME TO t_mutiworkcal"); }},
    };
    const std::vector<std::string> calendar = Calendar(Conn());
    const std::vector<std::string> mirror = Mirror(Conn());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        try {
            suite::ExtendCalendar(Conn(), c.until);
            ADD_FAILURE() << "not refused";
        } catch (const automation::ComError& e) {
            EXPECT_NE(e.Description().find(c.names), std::string::npos) << e.Description();
        }
        EXPECT_EQ(Calendar(Conn()), calendar);
        c.undo();
        EXPECT_EQ(Mirror(Conn()), mirror);
    }
    // The connection is outside any transaction: the last refusal left none open.
    Exec("BEGIN TRANSACTION");
    Exec("ROLLBACK");
    // Without rows the calendar is not set either, whatever the setting says.
    Exec("DELETE FROM t_WorkCalendar");
    EXPECT_EQ(ErrorNumberOf([&] { suite::ExtendCalendar(Conn(), later); }),
              automation::errors::kUnspecified);
}

ZEV_INSTANTIATE_DB_TEST(Extension);

}  // namespace
}  // namespace zev::test
