// The far end of the calendar through the command line: every command on a calendar that
// reaches 9999-12-31, where "the day after" is no date; and the one-day questions on a
// calendar of 2.9 million days, answered as the literal statements answer them.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "platform/automation/OleDate.hpp"
#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

namespace chr = std::chrono;

struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string out;  // the whole of stdout, or, ending in "...", its beginning
    std::string input = {};
};

class FarEnd : public DbTest {
  protected:
    ProcessResult Run(std::vector<std::string> args, const std::string& input = {},
                      const std::string& props = {}) {
        args.insert(args.begin(), {"--props", props + Db().PropsString(), "--lang", "en"});
        return RunProcess(
            ZEV_ZEVWORKCAL, args, input,
            {{"LANG", ""}, {"LC_ALL", ""}, {"ZEVWORKCAL_TEST_NOW", "2026-06-15T12:00"}});
    }
    void Expect(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::PrintToString(c.args));
            const ProcessResult r = Run(c.args, c.input);
            EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
            if (c.out.ends_with("...")) {
                EXPECT_TRUE(r.out.starts_with(c.out.substr(0, c.out.size() - 3))) << r.out;
            } else {
                EXPECT_EQ(r.out, c.out);
            }
            // A command that succeeds reports nothing; no overflow from the far end.
            if (c.exitCode == 0) {
                EXPECT_EQ(r.err, "");
            }
        }
    }
    // The calendar from 2026-01-01 (Thursday) to 9999-12-31, weekends at rest, work days
    // numbered from 1: by the commands on the embedded database, where extend takes seconds;
    // the same rows by one statement on the server.
    void WriteLongCalendar() {
        ASSERT_EQ(Run({"generate", "2026-01-01", "2029-01-01"}).exitCode, 0);
        if (GetParam() == Backend::SQLite) {
            const ProcessResult r = Run({"extend", "--until", "9999-12-31"});
            ASSERT_EQ(r.exitCode, 0) << r.err;
            return;
        }
        Exec(
            "INSERT INTO t_WorkCalendar(FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID) "
            "SELECT CASE WHEN EXTRACT(ISODOW FROM d) < 6 THEN m + SUM(CASE WHEN "
            "EXTRACT(ISODOW FROM d) < 6 THEN 1 ELSE 0 END) OVER (ORDER BY d) ELSE 0 END, d, "
            "to_char(d,'YYYYMMDD')::int, to_char(d,'IYYY')::int*100 + to_char(d,'IW')::int, "
            "to_char(d,'YYYYMM')::int, EXTRACT(YEAR FROM d)::int FROM (SELECT "
            "g::date AS d FROM generate_series(date '2029-01-01', date '9999-12-31', "
            "interval '1 day') AS g) AS days, (SELECT MAX(FInterID) AS m FROM t_WorkCalendar) "
            "AS numbered");
    }
};

// The work-day number of a work day of the long calendar: the weekdays from its first day.
std::string NumberOf(const std::string& iso) {
    const chr::sys_days day = *automation::ParseIsoDay(iso);
    int64_t number = 0;
    for (chr::sys_days d = chr::sys_days{chr::year{2026} / 1 / 1}; d <= day; d += chr::days{1}) {
        number += chr::weekday{d}.iso_encoding() < 6 ? 1 : 0;
    }
    return std::to_string(number);
}

// Every command works on a calendar whose last day is 9999-12-31: answers that would fall
// after it are "outside the calendar", and writers commit without an overflow report.
TEST_P(FarEnd, EveryCommandWorksOnACalendarReachingTheLastDate) {
    ASSERT_EQ(Run({"generate", "9999-06-01", "9999-12-01"}).exitCode, 0);
    ASSERT_EQ(Run({"extend", "--until", "9999-12-31"}).exitCode, 0);
    const std::string csv = ::testing::TempDir() + "farend-holidays.csv";
    std::ofstream(csv) << "date,kind,note\n9999-12-29,rest,end of days\n";
    Expect({
        {{"is-workday", "9999-12-31"}, 0, "work\n"},
        {{"workday", "9999-12-31", "1"}, 3, "9999-12-31\n"},
        {{"workday", "9999-12-30", "1"}, 0, "9999-12-31\n"},
        {{"after", "9999-12-25"}, 0, "9999-12-27\n"},
        {{"count", "9999-12-01", "9999-12-31"}, 0, "22\n"},
        {{"workday", "--stdin"}, 3, "9999-12-31\n9999-12-31 ?\n", "9999-12-30 1\n9999-12-31 1\n"},
        {{"note", "9999-12-31", "last"}, 0, "9999-12-31 last\n"},
        {{"swap", "9999-12-30"}, 0, "9999-12-30 rest\n"},
        {{"import", csv}, 0, "9999-12-29 rest end of days\n"},
        {{"is-workday", "9999-12-30"}, 4, "rest\n"},
        {{"list", "9999-12-28", "9999-12-31"},
         0,
         "9999-12-28 work 151\n9999-12-29 rest end of days\n9999-12-30 rest\n"},
        {{"export"},
         0,
         "date,kind,note\n9999-12-29,rest,end of days\n9999-12-30,rest,\n9999-12-31,work,last\n"},
        {{"cal", "9999"}, 0, "..."},
        {{"status"}, 0, "..."},
        {{"history"}, 0, "..."},
    });
}

// On 2.9 million days: the one-day questions near both ends answer as the literal
// statements do (CalendarCache=off), and count, list, cal and export near the end work.
TEST_P(FarEnd, OneDayQuestionsOnTwoPointNineMillionDaysAnswerAsTheStatements) {
    WriteLongCalendar();
    const std::vector<std::vector<std::string>> questions = {
        {"is-workday", "9999-12-31"},    {"is-workday", "2027-03-06"},
        {"before", "9999-12-26"},        {"after", "9999-12-31"},
        {"after", "2026-01-03"},         {"workday", "9999-12-31", "1"},
        {"workday", "9999-12-31", "-1"}, {"workday", "9999-12-31", "3", "--backward"},
        {"workday", "2027-03-06", "5"},  {"workday", "2026-01-01", "-1"},
        {"workday", "6000-01-01", "10"}, {"workday", "2027-03-06", "2000000"},
    };
    for (const std::vector<std::string>& q : questions) {
        SCOPED_TRACE(::testing::PrintToString(q));
        const ProcessResult literal = Run(q, {}, "CalendarCache=off;");
        const ProcessResult indexed = Run(q);
        EXPECT_EQ(indexed.exitCode, literal.exitCode);
        EXPECT_EQ(indexed.out, literal.out);
        EXPECT_NE(indexed.out, "");
    }
    Expect({
        {{"workday", "9999-12-30", "1"}, 0, "9999-12-31\n"},
        {{"workday", "2026-01-01", "2"}, 0, "2026-01-05\n"},
        {{"count", "9999-12-01", "9999-12-31"}, 0, "22\n"},
        {{"list", "9999-12-30", "9999-12-31"},
         0,
         "9999-12-30 work " + NumberOf("9999-12-30") + "\n"},
        {{"is-workday", "9999-12-31", "--format", "csv"},
         0,
         "date,kind,number,note\n9999-12-31,work," + NumberOf("9999-12-31") + ",\n"},
        {{"cal", "9999"}, 0, "..."},
        {{"export"}, 0, "date,kind,note\n"},
    });
}

ZEV_INSTANTIATE_DB_TEST(FarEnd);

}  // namespace
}  // namespace zev::test
