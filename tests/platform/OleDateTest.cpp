// OLE dates: known values, round trips, rounding across midnight, the day bridge, and
// refusals.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "zevworkcal/zevworkcal.h"

namespace zev::automation {
namespace {

TEST(OleDate, KnownValues) {
    EXPECT_EQ(OleFromCivil(1899, 12, 30), 0.0);
    EXPECT_EQ(OleFromCivil(1900, 1, 1), 2.0);
    EXPECT_EQ(OleFromCivil(2009, 6, 1), 39965.0);
    EXPECT_EQ(OleFromCivil(1899, 12, 29, 6, 0, 0), -1.25);
    EXPECT_EQ(OleFromCivil(1899, 12, 30, 6, 0, 0), 0.25);
    EXPECT_EQ(CivilFromOle(-1.25), (CivilDateTime{1899, 12, 29, 6, 0, 0}));
    EXPECT_EQ(CivilFromOle(-0.25), (CivilDateTime{1899, 12, 30, 6, 0, 0}));
    EXPECT_EQ(OleDatePart(-1.25), -1.0);
    EXPECT_EQ(OleDatePart(39965.75), 39965.0);
    EXPECT_EQ(OleWeekday(OleFromCivil(2009, 6, 7)), 1);  // Sunday
    EXPECT_EQ(OleWeekday(OleFromCivil(2009, 6, 6)), 7);  // Saturday
    EXPECT_EQ(OleWeekday(-1.0), 6);                      // 1899-12-29, a Friday
    EXPECT_EQ(FormatIsoDate(OleFromCivil(2009, 6, 4, 14, 30)), "2009-06-04");
    EXPECT_EQ(FormatIsoAuto(OleFromCivil(2009, 6, 4, 14, 30)), "2009-06-04 14:30:00");
}

TEST(OleDate, RoundTripsEveryDayFrom1900To2100WithTimes) {
    const int times[][3] = {{0, 0, 0},  {0, 0, 1},    {6, 0, 0},
                            {12, 0, 0}, {18, 45, 30}, {23, 59, 59}};
    int checked = 0;
    double previous = -1e9;
    for (int y = 1899; y <= 2100; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= 31; ++d) {
                if (!IsValidCivil({y, m, d, 0, 0, 0})) continue;
                const double midnight = OleFromCivil(y, m, d);
                ASSERT_GT(midnight, previous) << y << "-" << m << "-" << d;
                previous = midnight;
                // The day bridge: one serial, the ISO day text both ways.
                const std::chrono::sys_days day = DayFromOle(midnight);
                ASSERT_EQ(OleFromDay(day), midnight);
                ASSERT_EQ(ParseIsoDay(FormatIsoDate(midnight)), day) << midnight;
                for (const auto& t : times) {
                    const CivilDateTime c{y, m, d, t[0], t[1], t[2]};
                    const double ole = OleFromCivil(c);
                    ASSERT_EQ(CivilFromOle(ole), c) << ole;
                    ASSERT_EQ(OleDatePart(ole), midnight) << ole;
                    ASSERT_EQ(ParseIsoDate(FormatIsoDateTime(ole)), ole) << ole;
                    ASSERT_EQ(DayFromOle(ole), day) << ole;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 73000 * 6);
}

TEST(OleDate, TimesRoundToTheSecondAcrossMidnight) {
    const double almostMidnight = OleFromCivil(2009, 6, 4) + (86400.0 - 0.2) / 86400.0;
    EXPECT_EQ(CivilFromOle(almostMidnight), (CivilDateTime{2009, 6, 5, 0, 0, 0}));
    // Before the epoch the fraction counts forward from the day's midnight as well.
    const double negative = -1.0 - (86400.0 - 0.2) / 86400.0;
    EXPECT_EQ(CivilFromOle(negative), (CivilDateTime{1899, 12, 30, 0, 0, 0}));
}

// The fast day number and the day text agree with the checked conversions at the edges:
// midnight rounding, the first and last days, and values that are no date.
TEST(OleDate, TheDayBridgeAgreesWithTheCheckedConversionsAtTheEdges) {
    const double second = 1.0 / 86400.0;
    const double values[] = {kMinOleDate - 1.0 + 1e-9,
                             kMinOleDate,
                             -1.0 - 0.4 * second,
                             -1.0 - (86400.0 - 0.4) * second,
                             -0.25,
                             0.0,
                             39965.0 + (86400.0 - 0.6) * second,
                             39965.0 + (86400.0 - 0.4) * second,
                             kMaxOleDate,
                             2958465.0 + (86400.0 - 0.4) * second,
                             2958465.0 + (86400.0 - 0.6) * second,
                             2958466.0,
                             1e10,
                             -1e10,
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()};
    for (double d : values) {
        SCOPED_TRACE(d);
        std::optional<int32_t> checked;
        try {
            checked = OleDaySerial(d);
        } catch (const ComError& e) {
            EXPECT_EQ(e.Number(), errors::kOverflow);
        }
        ASSERT_EQ(TryOleDaySerial(d), checked);
        if (!checked) continue;
        std::string text = "x";
        AppendIsoDate(text, DayOfSerial(*checked));
        EXPECT_EQ(text, "x" + FormatIsoDate(d));
        EXPECT_EQ(SerialOfDay(DayFromOle(d)), *checked);
    }
    struct Text {
        const char* text;
        bool day;
    };
    const Text texts[] = {
        {"0100-01-01", true},        {"0099-12-31", false},  {"9999-12-31", true},
        {"2008-02-29", true},        {"2009-02-29", false},  {"2009-13-01", false},
        {"2009-00-10", false},       {"2009-06-00", false},  {"2009-6-04", false},
        {"2009-06-4 ", false},       {" 2009-06-04", false}, {"2009/06/04", false},
        {"2009-06-04T00:00", false}, {"2O09-06-04", false},  {"", false}};
    for (const Text& t : texts) {
        SCOPED_TRACE(t.text);
        const std::optional<std::chrono::sys_days> day = ParseIsoDay(t.text);
        ASSERT_EQ(day.has_value(), t.day);
        if (day) {
            EXPECT_EQ(OleFromDay(*day), ParseIsoDate(t.text));
        }
    }
}

TEST(OleDate, InvalidInputsAreRefused) {
    EXPECT_FALSE(TryOleFromCivil({2009, 2, 29, 0, 0, 0}));
    EXPECT_TRUE(TryOleFromCivil({2008, 2, 29, 0, 0, 0}));
    EXPECT_FALSE(TryOleFromCivil({2009, 6, 4, 24, 0, 0}));
    EXPECT_FALSE(TryOleFromCivil({99, 1, 1, 0, 0, 0}));
    EXPECT_THROW(OleFromCivil(2009, 6, 31), ComError);
    EXPECT_THROW(CivilFromOle(1e12), ComError);
    EXPECT_THROW(CivilFromOle(std::numeric_limits<double>::quiet_NaN()), ComError);
    EXPECT_FALSE(ParseIsoDate("2009-06-04 "));
    EXPECT_FALSE(ParseIsoDate("20090604"));
    EXPECT_FALSE(ParseIsoDate("2009-06-04T1:30"));
}

// The inline helpers of the public C header agree with the library's own conversions on
// every day the component accepts, and refuse what lies outside.
TEST(OleDate, ThePublicHeadersHelpersAgreeWithTheLibraryOnEveryDay) {
    int mismatches = 0;
    for (double serial = kMinOleDate; serial <= 2958465.0; ++serial) {
        const CivilDateTime c = CivilFromOle(serial);
        DATE date = -1e9;
        int y = 0;
        int m = 0;
        int d = 0;
        time_t t = 0;
        DATE back = -1e9;
        // 18:00 of the day: the fraction counts away from zero before the epoch.
        const double evening = serial < 0 ? serial - 0.75 : serial + 0.75;
        const bool ok = ZevOleDateFromCivil(c.Year, c.Month, c.Day, &date) == 1 && date == serial &&
                        ZevOleDateToCivil(evening, &y, &m, &d) == 1 && y == c.Year &&
                        m == c.Month && d == c.Day && ZevOleDateToTime(evening, &t) == 1 &&
                        t == static_cast<time_t>((serial - 25569) * 86400) &&
                        ZevOleDateFromTime(t + 86399, &back) == 1 && back == serial;
        if (!ok && ++mismatches <= 5) ADD_FAILURE() << "day " << serial;
    }
    EXPECT_EQ(mismatches, 0);

    struct Case {
        double ole;
        int year, month, day;
    };
    // Negative dates keep their day whatever the time: -1.25 is 1899-12-29 06:00.
    for (const Case& k : {Case{-1.25, 1899, 12, 29}, Case{-0.5, 1899, 12, 30},
                          Case{-657434.9, 100, 1, 1}, Case{2958465.99, 9999, 12, 31}}) {
        int y = 0, m = 0, d = 0;
        EXPECT_EQ(ZevOleDateToCivil(k.ole, &y, &m, &d), 1) << k.ole;
        EXPECT_EQ((CivilDateTime{y, m, d}), (CivilDateTime{k.year, k.month, k.day})) << k.ole;
    }
    // Outside the range or no date at all: refused, the output left alone.
    DATE untouched = 7.0;
    int y = 7, m = 7, d = 7;
    time_t t = 7;
    for (const auto& [year, month, day] :
         {std::array{99, 12, 31}, std::array{10000, 1, 1}, std::array{2009, 2, 29},
          std::array{1900, 2, 29}, std::array{2009, 13, 1}, std::array{2009, 4, 31},
          std::array{2009, 0, 1}, std::array{2009, 1, 0}}) {
        EXPECT_EQ(ZevOleDateFromCivil(year, month, day, &untouched), 0) << year << month << day;
    }
    EXPECT_EQ(ZevOleDateFromCivil(2000, 2, 29, &untouched), 1);
    EXPECT_EQ(untouched, 36585.0);
    for (const double bad : {-657435.0, 2958466.0, std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        EXPECT_EQ(ZevOleDateToCivil(bad, &y, &m, &d), 0) << bad;
        EXPECT_EQ(ZevOleDateToTime(bad, &t), 0) << bad;
    }
    EXPECT_EQ(y + m + d + t, 28);
    DATE date = 7.0;
    EXPECT_EQ(ZevOleDateFromTime(-1, &date), 1);  // 1969-12-31 23:59:59 UTC
    EXPECT_EQ(date, 25568.0);
    EXPECT_EQ(ZevOleDateFromTime(static_cast<time_t>(2958466 - 25569) * 86400, &date), 0);
}

}  // namespace
}  // namespace zev::automation
