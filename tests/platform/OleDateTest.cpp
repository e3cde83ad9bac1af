#include <gtest/gtest.h>

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
                for (const auto& t : times) {
                    const CivilDateTime c{y, m, d, t[0], t[1], t[2]};
                    const double ole = OleFromCivil(c);
                    ASSERT_EQ(CivilFromOle(ole), c) << ole;
                    ASSERT_EQ(OleDatePart(ole), midnight) << ole;
                    ASSERT_EQ(ParseIsoDate(FormatIsoDateTime(ole)), ole) << ole;
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
