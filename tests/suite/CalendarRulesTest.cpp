// A rule's days as an independent expansion (python3-dateutil's rrule) gives them from the
// rule's first day: rules whose days follow from their first day (a weekly rule, a yearly
// one without a month, an interval), a COUNT, and the centuries after the year 2582, where
// libical expands no recurrence.

#include <gtest/gtest.h>

#include <string>

#include "platform/automation/OleDate.hpp"
#include "suite/CalendarRules.hpp"
#include "tests/support/Subprocess.hpp"

namespace zev::test {
namespace {

TEST(CalendarRules, DaysAreTheIndependentExpansionsFromTheRulesFirstDay) {
    struct Case {
        const char* rule;
        const char* start;
        const char* from;
        const char* to;
    };
    const Case cases[] = {
        {"FREQ=WEEKLY", "2027-01-01", "2027-01-01", "2027-03-01"},
        {"FREQ=WEEKLY;BYDAY=MO", "2027-01-07", "2027-01-01", "2027-03-01"},
        {"FREQ=YEARLY", "2027-06-01", "2027-01-01", "2031-01-01"},
        {"FREQ=DAILY;INTERVAL=10", "2027-01-04", "2027-01-01", "2027-06-01"},
        {"FREQ=MONTHLY;INTERVAL=3;BYMONTHDAY=1", "2027-01-04", "2027-01-01", "2029-06-01"},
        {"FREQ=DAILY;COUNT=3", "2027-01-01", "2026-12-01", "2027-02-01"},
        {"FREQ=MONTHLY;BYDAY=-1FR", "2027-01-01", "2574-06-01", "2591-06-01"},
        {"FREQ=YEARLY;BYMONTH=6;BYMONTHDAY=1;UNTIL=29990101", "2027-01-01", "2570-01-01",
         "3100-12-31"},
        {"FREQ=YEARLY;INTERVAL=2;BYMONTH=11;BYDAY=4TH", "2027-01-01", "2575-01-01", "3300-12-31"},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=SA", "2300-01-01", "2576-01-01", "2600-12-31"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const auto day = [](const char* iso) { return *automation::ParseIsoDate(iso); };
        const suite::CalendarRule rule{0, c.rule, true, "", day(c.start)};
        std::string got;
        for (const int32_t serial : suite::RuleDays(rule, day(c.from), day(c.to)))
            got += automation::FormatIsoDate(serial) + "\n";
        const std::string script = std::string(
            "import sys\n"
            "from datetime import datetime\n"
            "from dateutil.rrule import rrulestr\n"
            "a = [datetime.fromisoformat(x) for x in sys.argv[2:5]]\n"
            "for d in rrulestr(sys.argv[1], dtstart=a[0]).between(max(a[0], a[1]),"
            " a[2], inc=True):\n"
            "    print(d.date().isoformat())\n");
        const ProcessResult expected =
            RunProcess("/usr/bin/python3", {"-c", script, c.rule, c.start, c.from, c.to});
        ASSERT_EQ(expected.exitCode, 0) << expected.err;
        ASSERT_FALSE(expected.out.empty());
        EXPECT_EQ(got, expected.out);
    }

    // The days a rule leaves out, kept after its RRULE as iCalendar dates; a list that is
    // no list of dates is no recurrence.
    const suite::CalendarRule leaving{0,
                                      "FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1 EXDATE:20280501,29990501",
                                      true, "", *automation::ParseIsoDate("2027-01-01")};
    std::string kept;
    for (const int32_t serial : suite::RuleDays(leaving, *automation::ParseIsoDate("2027-01-01"),
                                                *automation::ParseIsoDate("2029-12-31")))
        kept += automation::FormatIsoDate(serial) + " ";
    EXPECT_EQ(kept, "2027-05-01 2029-05-01 ");
    EXPECT_EQ(suite::RuleDays(leaving, *automation::ParseIsoDate("2999-01-01"),
                              *automation::ParseIsoDate("2999-12-31")),
              std::vector<int32_t>{});
    EXPECT_EQ(
        suite::RecurrenceOf(leaving.Recurrence),
        std::optional<std::string>("FREQ=YEARLY;BYMONTHDAY=1;BYMONTH=5 EXDATE:20280501,29990501"));
    for (const char* bad : {"FREQ=YEARLY EXDATE:2028", "FREQ=YEARLY EXDATE:20281340",
                            "FREQ=YEARLY EXDATE:20280501T120000", "FREQ=YEARLY EXDATE:"}) {
        EXPECT_EQ(suite::RecurrenceOf(bad), std::nullopt) << bad;
    }

    // A rule that cannot be carried on past the library's end says where its days end.
    const struct {
        const char* rule;
        bool ends;
    } ends[] = {{"FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1", false},
                {"FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1;UNTIL=25000101", false},
                {"FREQ=DAILY;COUNT=3", false},
                {"FREQ=YEARLY;COUNT=700", true},
                {"FREQ=YEARLY;INTERVAL=3;BYMONTH=11;BYDAY=4TH", true}};
    for (const auto& [text, limited] : ends) {
        SCOPED_TRACE(text);
        const suite::CalendarRule rule{0, text, true, "", *automation::ParseIsoDate("2027-01-01")};
        const std::optional<double> end = suite::RuleDaysEnd(rule);
        EXPECT_EQ(end.has_value(), limited);
        if (end) {
            EXPECT_EQ(automation::FormatIsoDate(*end), "2579-12-31");
            EXPECT_TRUE(suite::RuleDays(rule, *end + 1, *end + 3000).empty());
        }
    }
}

}  // namespace
}  // namespace zev::test
