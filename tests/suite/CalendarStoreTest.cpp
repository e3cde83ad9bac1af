// The calendar store on each backend: settings of the calendar's own category only, the
// switch reading, days written from a first number across the store's statement
// boundaries, and the copy that touches calendar 999 alone; the notes of days and the
// history beside it, with and without their tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>

#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/CalendarNotes.hpp"
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

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

// A note is one line of at most 200 characters on a day of the calendar, stored without
// the spaces around it, and changed only when it differs; a refusal writes nothing. The
// notes of a range come back in date order without its end day, and a rolled-back
// change keeps neither its note nor its history row.
TEST_P(Store, NotesAreCheckedBeforeTheyAreWrittenAndReadByRange) {
    WriteExampleCalendar(Conn());  // 2009-06-01 .. 2009-06-10
    suite::CalendarNotes notes(Conn());
    using Kind = component::Outcome::Kind;
    struct Case {
        int day;  // of June 2009
        std::string text;
        Kind outcome;
        std::string refusal;  // the refusal's source text begins so
        std::string stored;   // the day's note afterwards ("" for none)
    };
    const std::string longest = Repeated("节", 200);
    const Case cases[] = {
        {1, "  端午节 ", Kind::Done, "", "端午节"},
        {1, "端午节", Kind::Unchanged, "", "端午节"},
        {1, "", Kind::Done, "", ""},
        {1, "   ", Kind::Unchanged, "", ""},
        {2, longest, Kind::Done, "", longest},
        {2, Repeated("节", 201), Kind::Refused, "备注太长", longest},
        {3, "line 1\nline 2", Kind::Refused, "备注只能有一行", ""},
        {3, "tab\there", Kind::Refused, "备注只能有一行", ""},
        {3, "\xff\xfe", Kind::Refused, "备注不是有效的 UTF-8", ""},
        {3, "Plant \"shutdown\", line 2", Kind::Done, "", "Plant \"shutdown\", line 2"},
        {11, "after the calendar", Kind::Refused, "这一天不在工厂日历之内", ""},
        {10, "last day", Kind::Done, "", "last day"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.day) + " " + c.text.substr(0, 20));
        const double day = OleFromCivil(2009, 6, c.day) + 0.5;  // a time of day does not count
        const component::Outcome outcome = notes.SetNote(day, c.text);
        EXPECT_EQ(outcome.What(), c.outcome);
        EXPECT_EQ(outcome.Text().rfind(c.refusal, 0), 0u) << outcome.Text();
        const std::vector<suite::DayNote> read = notes.Notes(day, day + 1);
        EXPECT_EQ(read.empty() ? "" : read.front().Note, c.stored);
    }
    const int32_t first = automation::OleDaySerial(OleFromCivil(2009, 6, 1));
    EXPECT_EQ(notes.Notes(first, first + 9),
              (std::vector<suite::DayNote>{{first + 1, longest},
                                           {first + 2, "Plant \"shutdown\", line 2"}}));

    EXPECT_THROW(data::InTransaction(Conn(),
                                     [&] {
                                         notes.SetNote(first + 4, "rolled back");
                                         notes.AppendHistory({"note", first + 4.0, "", "x"});
                                         throw std::runtime_error("a later step fails");
                                     }),
                 std::runtime_error);
    EXPECT_TRUE(notes.Notes(first + 4, first + 5).empty());
    EXPECT_TRUE(notes.History(std::nullopt, std::nullopt).empty());
}

// History rows come back oldest first with the database's time, the login name and
// "zevworkcal" unless given, texts cut at their columns' widths, and ranges of the time
// of the change from the first day up to before the last.
TEST_P(Store, HistoryRowsComeBackOldestFirstWithinTheirTimeRange) {
    suite::CalendarNotes notes(Conn());
    struct Entry {
        int day;  // of June 2009: the time of the change, at 10:00
        suite::HistoryEntry entry;
    };
    const std::string tooLong = Repeated("长", 230);
    const Entry entries[] = {
        {16, {"swap", OleFromCivil(2009, 7, 1), "work", "rest", "", "", "ZevPlanner"}},
        {15, {"generate", std::nullopt, "2009-06-01", "2009-12-31", "SatNotWork=1"}},
        {16, {"note", OleFromCivil(2009, 7, 1), "", tooLong, tooLong, "planner"}},
        {17, {"extend", std::nullopt, "2010-01-01", "2010-12-31"}},
    };
    for (const Entry& e : entries) {
        const automation::ScopedFixedNow now(OleFromCivil(2009, 6, e.day) + 10.0 / 24);
        EXPECT_TRUE(notes.AppendHistory(e.entry));
    }
    const std::vector<suite::HistoryRow> rows = notes.History(std::nullopt, std::nullopt);
    std::vector<std::string> read;
    for (const suite::HistoryRow& r : rows) {
        read.push_back(automation::FormatIsoDateTime(r.Time) + " " + r.User + " " + r.Program +
                       " " + r.Action + " " +
                       (r.Day ? automation::FormatIsoDate(*r.Day) : std::string("-")) + " " +
                       r.From + " " + r.To + " " + std::to_string(r.Note.size()));
    }
    const std::string me = suite::LoginName();
    const std::string cut = Repeated("长", 200);
    EXPECT_EQ(read,
              (std::vector<std::string>{
                  "2009-06-15 10:00:00 " + me + " zevworkcal generate - 2009-06-01 2009-12-31 12",
                  "2009-06-16 10:00:00 " + me + " ZevPlanner swap 2009-07-01 work rest 0",
                  "2009-06-16 10:00:00 planner zevworkcal note 2009-07-01  " + cut + " " +
                      std::to_string(cut.size()),
                  "2009-06-17 10:00:00 " + me + " zevworkcal extend - 2010-01-01 2010-12-31 0",
              }));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_LT(rows[1].Id, rows[2].Id);  // written in that order within one time
    const double june16 = OleFromCivil(2009, 6, 16);
    EXPECT_EQ(notes.History(june16, june16 + 1).size(), 2u);
    EXPECT_EQ(notes.History(june16, std::nullopt).size(), 3u);
    EXPECT_EQ(notes.History(std::nullopt, june16).size(), 1u);
}

// A database without the calendar's own tables: notes read as none, a note is refused
// naming upgrade, a history row is not written and the history cannot be read.
TEST_P(Store, WithoutItsOwnTablesNotesReadAsNoneAndWritesSayWhy) {
    WriteExampleCalendar(Conn());
    Exec("DROP TABLE t_WorkCalendarNote");
    Exec("DROP TABLE t_WorkCalendarLog");
    suite::CalendarNotes notes(Conn());
    const double day = OleFromCivil(2009, 6, 3);
    EXPECT_FALSE(notes.HasNotes());
    EXPECT_TRUE(notes.Notes(day - 10, day + 10).empty());
    const component::Outcome refused = notes.SetNote(day, "端午节");
    EXPECT_EQ(refused.What(), component::Outcome::Kind::Refused);
    EXPECT_EQ(refused.Text(), suite::kNoNoteTable);
    EXPECT_FALSE(notes.AppendHistory({"swap", day, "work", "rest"}));
    try {
        notes.History(std::nullopt, std::nullopt);
        ADD_FAILURE() << "the history was read without its table";
    } catch (const automation::ComError& e) {
        EXPECT_NE(e.Description().find("zevworkcal upgrade"), std::string::npos) << e.Description();
    }
}

ZEV_INSTANTIATE_DB_TEST(Store);

}  // namespace
}  // namespace zev::test
