// OLE dates: known values, round trips, rounding across midnight, the day bridge, and
// refusals.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <optional>
#include <string>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"

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

}  // namespace
}  // namespace zev::automation
