// The year sheet without a toolkit: where each month's days fall in weeks from Monday,
// how each day is marked against the stored weekly rule, and the terminal text's widths.

#include <gtest/gtest.h>

#include "platform/automation/OleDate.hpp"
#include "tests/support/TestDatabase.hpp"
#include "window/YearPlanner.hpp"
#include "window/YearText.hpp"

namespace zev::test {
namespace {

using component::CalendarDay;
using window::DayMark;

// Months whose first day falls on every weekday, the longest and shortest months, a leap
// February, and a run over a year's end: the first and last day's cell and the weeks used.
TEST(YearSheet, LaysOutEveryMonthInWeeksFromMonday) {
    struct Case {
        int year;
        unsigned month;
        size_t firstColumn;  // Monday 0
        size_t lastRow;
        int lastDay;
    };
    const Case cases[] = {
        {2026, 6, 0, 4, 30},   // starts on a Monday
        {2026, 2, 6, 4, 28},   // on a Sunday
        {2026, 8, 5, 5, 31},   // on a Saturday, 31 days: six weeks
        {2024, 2, 3, 4, 29},   // a leap February
        {2015, 2, 6, 4, 28},   // 28 days from a Sunday end on a Saturday
        {2009, 12, 1, 4, 31},  // the last month of a run into the next year
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month));
        window::YearRequest request;
        request.Run = {c.year, c.month, 2};
        request.Days.resize(static_cast<size_t>(window::DayCountOf(request.Run)));
        const window::YearSheet sheet = window::BuildYearSheet(request);
        ASSERT_EQ(sheet.Months.size(), 2u);
        const auto& weeks = sheet.Months[0].Weeks;
        EXPECT_EQ(weeks[0][c.firstColumn].Day, 1);
        if (c.firstColumn > 0) {
            EXPECT_EQ(weeks[0][c.firstColumn - 1].Mark, DayMark::None);
        }
        int last = 0;
        size_t lastRow = 0;
        for (size_t r = 0; r < 6; ++r) {
            for (const window::SheetDay& d : weeks[r]) {
                if (d.Day == 0) continue;
                EXPECT_EQ(d.Day, last + 1);
                last = d.Day;
                lastRow = r;
            }
        }
        EXPECT_EQ(last, c.lastDay);
        EXPECT_EQ(lastRow, c.lastRow);
        // The second month's first day follows the first month's last in the week.
        const size_t next = (c.firstColumn + static_cast<size_t>(c.lastDay)) % 7;
        EXPECT_EQ(sheet.Months[1].Weeks[0][next].Day, 1);
    }
    window::YearRequest overYears;
    overYears.Run = {2009, 12, 2};
    overYears.Days.resize(62);
    const window::YearSheet sheet = window::BuildYearSheet(overYears);
    EXPECT_EQ(sheet.Months[0].Title, "2009年十二月");
    EXPECT_EQ(sheet.Months[1].Title, "2010年一月");
}

// A day's mark follows its kind and the stored rule: rest on a day the rule works is a
// holiday, work on a day the rule rests a worked weekend; outside days are outside.
TEST(YearSheet, MarksEachDayAgainstTheWeeklyRule) {
    const CalendarDay work{CalendarDay::Work, 1};
    const CalendarDay rest{CalendarDay::Rest, 0};
    const CalendarDay outside{};
    struct Case {
        bool satNotWork, sunNotWork;
        CalendarDay friday, saturday, sunday;
        DayMark fri, sat, sun;
    };
    const Case cases[] = {
        {true, true, work, rest, rest, DayMark::Work, DayMark::Rest, DayMark::Rest},
        {true, true, rest, work, rest, DayMark::Holiday, DayMark::WorkedWeekend, DayMark::Rest},
        {false, true, work, rest, work, DayMark::Work, DayMark::Holiday, DayMark::WorkedWeekend},
        {false, false, work, work, rest, DayMark::Work, DayMark::Work, DayMark::Holiday},
        {true, false, outside, rest, work, DayMark::Outside, DayMark::Rest, DayMark::Work},
    };
    for (const Case& c : cases) {
        window::YearRequest request;
        request.Run = {2026, 5, 1};  // Friday 05-01, Saturday 05-02, Sunday 05-03
        request.Days.assign(31, work);
        request.Days[0] = c.friday;
        request.Days[1] = c.saturday;
        request.Days[2] = c.sunday;
        request.SatNotWork = c.satNotWork;
        request.SunNotWork = c.sunNotWork;
        request.Today = automation::OleFromCivil(2026, 5, 2, 15, 30);
        const window::YearSheet sheet = window::BuildYearSheet(request);
        const auto& week = sheet.Months[0].Weeks[0];
        EXPECT_EQ(week[4].Mark, c.fri);
        EXPECT_EQ(week[5].Mark, c.sat);
        EXPECT_EQ(week[6].Mark, c.sun);
        EXPECT_TRUE(week[5].Today);
        EXPECT_FALSE(week[4].Today || week[6].Today);
        // The exceptions are the holidays and worked weekends, in date order.
        std::vector<std::string> expected;
        for (const auto& [mark, date] :
             {std::pair{c.fri, "2026-05-01"}, {c.sat, "2026-05-02"}, {c.sun, "2026-05-03"}}) {
            if (mark == DayMark::Holiday || mark == DayMark::WorkedWeekend) {
                expected.push_back(date);
            }
        }
        std::vector<std::string> listed;
        for (const window::SheetException& e : sheet.Exceptions) {
            if (e.Date <= "2026-05-03") listed.push_back(e.Date);  // the rest all work
        }
        EXPECT_EQ(listed, expected);
    }
}

// Every line of a year keeps to three blocks of 21 columns, whatever the language's
// characters, so the blocks stand in columns on a terminal.
TEST(YearSheet, TerminalLinesKeepTheirColumns) {
    EXPECT_EQ(window::DisplayWidth("一 二"), 5u);
    EXPECT_EQ(window::DisplayWidth("Mo Tu"), 5u);
    EXPECT_EQ(window::DisplayWidth("２０"), 4u);
    window::YearRequest request;
    request.Run = {2026, 1, 12};
    request.Days.assign(365, CalendarDay{CalendarDay::Rest, 0});
    const std::string text = window::YearText(window::BuildYearSheet(request), false);
    size_t month = 0;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end - at);
        EXPECT_LE(window::DisplayWidth(line), 21u * 3 + 6) << line;
        if (line.find("一 二 三 四 五 六 日") != std::string::npos) {
            EXPECT_EQ(line, "一 二 三 四 五 六 日    一 二 三 四 五 六 日    一 二 三 四 五 六 日");
            ++month;
        }
    }
    EXPECT_EQ(month, 4u);
    // Every day rests: each carries its "*".
    EXPECT_EQ(std::count(text.begin(), text.end(), '*'), 365 + 1);
}

}  // namespace
}  // namespace zev::test
