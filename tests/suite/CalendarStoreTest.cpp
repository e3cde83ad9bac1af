// The calendar store on each backend: settings of the calendar's own category only, the
// switch reading, days written from a first number across the store's statement
// boundaries, and the copy that touches calendar 999 alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/CalendarStore.hpp"
#include "tests/support/ErrorNumber.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::OleFromCivil;
using automation::Variant;

class Store : public DbTest {
  protected:
    std::vector<std::string> Rows(const std::string& sql) {
        std::vector<std::string> rows;
        for (data::Recordset rs = Conn().Execute(sql); !rs.Eof(); rs.MoveNext()) {
            std::string row;
            for (size_t c = 0; c < rs.FieldCount(); ++c) {
                const Variant& v = rs.Fields(c).Value();
                row +=
                    (c == 0 ? "" : " ") + (v.IsNull() ? std::string("NULL") : automation::CStr(v));
            }
            rows.push_back(row);
        }
        return rows;
    }
};

TEST_P(Store, SettingsAreTheCalendarsCategoryAloneAndOnlyTheTextOneSwitchesOn) {
    suite::CalendarStore store(Conn());
    struct Case {
        const char* stored;  // nullptr: no row; "NULL": a NULL value
        bool on;
    };
    const Case cases[] = {{"1", true}, {"1 ", false},   {"01", false},   {"0", false},
                          {"", false}, {"NULL", false}, {nullptr, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "no row");
        Exec("DELETE FROM t_SystemProfile WHERE FKey='ZevSwitch'");
        // Another category's row of the same key is not the calendar's.
        Exec("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('XX','ZevSwitch','1')");
        if (c.stored) {
            const std::string value =
                std::string(c.stored) == "NULL" ? "NULL" : "'" + std::string(c.stored) + "'";
            Exec("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','ZevSwitch'," +
                 value + ")");
        }
        EXPECT_EQ(store.SwitchIsOn("ZevSwitch"), c.on);
        const std::optional<Variant> read = store.Setting("ZevSwitch");
        ASSERT_EQ(read.has_value(), c.stored != nullptr);
        if (read) {
            EXPECT_EQ(read->IsNull(), std::string(c.stored) == "NULL");
        }
    }
    // Written twice: the row is added, then changed; the other category keeps its value.
    Exec("DELETE FROM t_SystemProfile WHERE FCategory='IC' AND FKey='ZevSwitch'");
    store.PutSetting("ZevSwitch", "it's");
    store.PutSetting("ZevSwitch", "0");
    EXPECT_EQ(Rows("SELECT FCategory, FValue FROM t_SystemProfile WHERE FKey='ZevSwitch' "
                   "ORDER BY FCategory"),
              (std::vector<std::string>{"IC 0", "XX 1"}));
    std::vector<std::string> listed;
    for (const auto& [key, value] : store.Settings())
        listed.push_back(key);
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "ZevSwitch"), 1);
}

// Runs of days around the store's statements of 300 days, from a first number, and the
// copy for calendar 999, which leaves every other calendar's copy alone.
TEST_P(Store, DaysAreWrittenOnceEachNumberedFromTheFirstNumberAndCopiedAs999Alone) {
    suite::CalendarStore store(Conn());
    const double start = OleFromCivil(2009, 6, 1);  // a Monday
    struct Case {
        int32_t days;
        int32_t firstNumber;
    };
    const Case cases[] = {{1, 1}, {299, 1}, {300, 7}, {301, 1}, {601, 1000}, {0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.days) + " days from number " + std::to_string(c.firstNumber));
        Exec("DELETE FROM t_WorkCalendar");
        Exec("DELETE FROM t_mutiworkcal");
        Exec(
            "INSERT INTO t_mutiworkcal(FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID,FCalID) "
            "VALUES(1,'2001-01-01',1,1,1,1,998)");
        const suite::WrittenDays written =
            store.WriteDays(start, start + c.days, {true, true}, c.firstNumber);
        std::vector<std::string> expected;
        int32_t number = c.firstNumber;
        int32_t workDays = 0;
        for (int32_t k = 0; k < c.days; ++k) {
            const double day = start + k;
            const int weekday = automation::OleWeekday(day);
            const bool rest = weekday == 1 || weekday == 7;
            workDays += rest ? 0 : 1;
            const suite::PeriodIds ids = suite::PeriodIdsOf(day);
            expected.push_back(std::to_string(rest ? 0 : number++) + " " +
                               automation::FormatIsoDate(day) + " " + std::to_string(ids.day) +
                               " " + std::to_string(ids.week));
        }
        const std::vector<std::string> rows =
            Rows("SELECT FInterID, FDay, FDayID, FWeekID FROM t_WorkCalendar ORDER BY FDay");
        EXPECT_EQ(rows, expected);
        EXPECT_EQ(written.Days, static_cast<size_t>(c.days));
        EXPECT_EQ(written.WorkDays, workDays);

        store.RefreshCopy();
        store.RefreshCopy();
        EXPECT_EQ(Rows("SELECT FInterID, FDay, FDayID, FWeekID FROM t_mutiworkcal WHERE "
                       "FCalID=999 ORDER BY FDay"),
                  rows);
        EXPECT_EQ(Rows("SELECT FDay FROM t_mutiworkcal WHERE FCalID<>999"),
                  std::vector<std::string>{"2001-01-01"});
    }
    // Numbers end at the largest 32-bit number: a work day past it fails, after a first
    // statement of days has gone out, and the caller's rollback keeps nothing.
    Exec("DELETE FROM t_WorkCalendar");
    Exec("BEGIN TRANSACTION");
    EXPECT_EQ(ErrorNumberOf([&] {
                  store.WriteDays(start, start + 400, {true, true}, INT32_MAX - 250);
              }),
              automation::errors::kOverflow);
    Exec("ROLLBACK");
    EXPECT_TRUE(Rows("SELECT FDay FROM t_WorkCalendar").empty());
}

ZEV_INSTANTIATE_DB_TEST(Store);

}  // namespace
}  // namespace zev::test
