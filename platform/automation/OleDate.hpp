#pragma once
// OLE Automation dates: a double counting days since 1899-12-30. The whole part is the
// day (negative before the epoch), the fraction the time of day, always read as its
// absolute value: -1.25 is 1899-12-29 06:00.

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
