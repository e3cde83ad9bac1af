#pragma once
// OLE Automation dates: a double counting days since 1899-12-30. The whole part is the
// day (negative before the epoch), the fraction the time of day, always read as its
// absolute value: -1.25 is 1899-12-29 06:00.
//
// The one bridge between them and civil days: a day is a std::chrono::sys_days, its day
// number (serial) the days since 1899-12-30, and there is one conversion each way, with
// the ISO day text ("YYYY-MM-DD") that statements, answers and streams write. This is
// the only place that knows the epoch. The bridge's first part is inline and needs no
// other part of the system, so that the Qt front end can use it.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zev::automation {

struct CivilDateTime {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;

    bool operator==(const CivilDateTime&) const = default;
};

inline constexpr double kMinOleDate = -657434.0;            // 0100-01-01
inline constexpr double kMaxOleDate = 2958465.99998842592;  // 9999-12-31 23:59:59

// ---- Days ----------------------------------------------------------------------------

inline constexpr std::chrono::sys_days kOleEpoch{std::chrono::year{1899} / 12 / 30};
inline constexpr int32_t kMinOleDaySerial = -657434;  // 0100-01-01
inline constexpr int32_t kMaxOleDaySerial = 2958465;  // 9999-12-31

// The civil day of a day number, and the day number of a civil day.
constexpr std::chrono::sys_days DayOfSerial(int32_t serial) noexcept {
    return kOleEpoch + std::chrono::days{serial};
}
constexpr int32_t SerialOfDay(std::chrono::sys_days day) noexcept {
    return static_cast<int32_t>((day - kOleEpoch).count());
}

// The day number of an OLE date between 0100-01-01 and 9999-12-31 23:59:59 (the range of
// IsValidOleDate up to kMaxOleDate, unchecked): its whole part, and the next day when the
// time rounds up to midnight.
inline int32_t RoundedDaySerial(double d) noexcept {
    const auto whole = static_cast<int32_t>(d);  // towards zero, as the day part is read
    return whole + (std::fabs(d - whole) * 86400.0 >= 86399.5 ? 1 : 0);
}

// The day number of an OLE date as OleDaySerial gives it; std::nullopt where OleDaySerial
// raises: not finite, or not a day between 0100-01-01 and 9999-12-31.
inline std::optional<int32_t> TryOleDaySerial(double d) noexcept {
    if (!(d > kMinOleDate - 1.0 && d < kMaxOleDaySerial + 1.0)) return std::nullopt;
    if (d <= kMaxOleDate) return RoundedDaySerial(d);
    // The last second of 9999-12-31 rounds into the year 10000 from half a second on.
    const int32_t serial = RoundedDaySerial(d);
    if (serial > kMaxOleDaySerial) return std::nullopt;
    return serial;
}

// OLE date -> day: the day of `d`, its time rounded to the second. Raises 6 (overflow)
// when `d` is not a valid date.
std::chrono::sys_days DayFromOle(double d);
// Day -> OLE date: the midnight that starts `day`.
constexpr double OleFromDay(std::chrono::sys_days day) noexcept {
    return static_cast<double>(SerialOfDay(day));
}

// Reads exactly "YYYY-MM-DD", a day that exists in the years 0100 to 9999: the form every
// statement writes and the stream reads. Anything else gives std::nullopt.
inline std::optional<std::chrono::sys_days> ParseIsoDay(std::string_view text) noexcept {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    // Each position's digit value; a character that is no digit gives more than 9.
    const auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]) - 48u; };
    const unsigned y0 = at(0), y1 = at(1), y2 = at(2), y3 = at(3);
    const unsigned m0 = at(5), m1 = at(6), d0 = at(8), d1 = at(9);
    if ((y0 > 9) | (y1 > 9) | (y2 > 9) | (y3 > 9) | (m0 > 9) | (m1 > 9) | (d0 > 9) | (d1 > 9)) {
        return std::nullopt;
    }
    const int y = static_cast<int>(y0 * 1000 + y1 * 100 + y2 * 10 + y3);
    const std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{m0 * 10 + m1},
                                          std::chrono::day{d0 * 10 + d1}};
    if (y < 100 || !ymd.ok()) return std::nullopt;
    return std::chrono::sys_days{ymd};
}

// Appends "YYYY-MM-DD" of a day of the years 0 to 9999.
inline void AppendIsoDate(std::string& out, std::chrono::sys_days day) {
    const std::chrono::year_month_day ymd{day};
    const int y = static_cast<int>(ymd.year());
    const unsigned m = static_cast<unsigned>(ymd.month());
    const unsigned d = static_cast<unsigned>(ymd.day());
    const char text[] = {static_cast<char>('0' + y / 1000),
                         static_cast<char>('0' + y / 100 % 10),
                         static_cast<char>('0' + y / 10 % 10),
                         static_cast<char>('0' + y % 10),
                         '-',
                         static_cast<char>('0' + m / 10),
                         static_cast<char>('0' + m % 10),
                         '-',
                         static_cast<char>('0' + d / 10),
                         static_cast<char>('0' + d % 10)};
    out.append(text, sizeof text);
}

// ---- Dates and times -----------------------------------------------------------------

// Whether the fields form a real date and time between the years 100 and 9999.
bool IsValidCivil(const CivilDateTime& c);

// The OLE date of a civil date and time; nullopt when the fields are not a valid date.
std::optional<double> TryOleFromCivil(const CivilDateTime& c);
// The same, raising run-time error 5 (invalid argument) for an invalid date.
double OleFromCivil(const CivilDateTime& c);
inline double OleFromCivil(int year, int month, int day, int hour = 0, int minute = 0,
                           int second = 0) {
    return OleFromCivil(CivilDateTime{year, month, day, hour, minute, second});
}

// Whether an OLE date can be turned into a civil date (finite and within the years
// 100 to 9999).
bool IsValidOleDate(double d);
// The civil date and time of an OLE date, rounded to the second. Raises 6 (overflow)
// when the value is not a valid date.
CivilDateTime CivilFromOle(double d);

// The day number of an OLE date (its whole part: days since 1899-12-30).
int32_t OleDaySerial(double d);
// The OLE date of the midnight that starts the day of `d`.
double OleDatePart(double d);
// Whether `d` carries a time of day other than midnight.
bool HasTimeOfDay(double d);
// Day of the week, 1 = Sunday to 7 = Saturday.
int OleWeekday(double d);

// "YYYY-MM-DD" of the day of `d`, the text every statement writes into SQL.
std::string FormatIsoDate(double d);
// "YYYY-MM-DD HH:MM:SS".
std::string FormatIsoDateTime(double d);
// "YYYY-MM-DD", with " HH:MM:SS" added when `d` carries a time of day.
std::string FormatIsoAuto(double d);

// Reads "YYYY-M[M]-D[D]" with an optional time "HH:MM[:SS[.fff]]" after a space or a
// "T". Anything else, and dates that do not exist, give nullopt.
std::optional<double> ParseIsoDate(std::string_view text);

}  // namespace zev::automation
