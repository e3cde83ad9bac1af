// OLE dates (OleDate.hpp): civil dates and times to and from OLE dates, their checks,
// the weekday, the ISO texts and their reading; private: the split into day and second.
#include "platform/automation/OleDate.hpp"

#include <cmath>
#include <cstdio>

#include "platform/automation/ComError.hpp"

namespace zev::automation {
namespace {

namespace chr = std::chrono;

int64_t SerialFromCivilDay(int y, int m, int d) {
    const chr::year_month_day ymd{chr::year{y}, chr::month{static_cast<unsigned>(m)},
                                  chr::day{static_cast<unsigned>(d)}};
    return SerialOfDay(chr::sys_days{ymd});
}

// Splits an OLE date into its day number and its second of the day, rounded to the
// nearest second; a time that rounds up to midnight moves to the next day.
void Split(double d, int64_t& serial, int64_t& seconds) {
    const double whole = std::trunc(d);
    serial = static_cast<int64_t>(whole);
    seconds = std::llround(std::fabs(d - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        serial += 1;
    }
}

bool ReadDigits(std::string_view text, size_t& pos, size_t minDigits, size_t maxDigits,
                int& value) {
    size_t n = 0;
    value = 0;
    while (pos < text.size() && n < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++n;
    }
    return n >= minDigits;
}

}  // namespace

bool IsValidCivil(const CivilDateTime& c) {
    if (c.Year < 100 || c.Year > 9999 || c.Month < 1 || c.Month > 12 || c.Day < 1) return false;
    if (c.Hour < 0 || c.Hour > 23 || c.Minute < 0 || c.Minute > 59 || c.Second < 0 || c.Second > 59)
        return false;
    const chr::year_month_day ymd{chr::year{c.Year}, chr::month{static_cast<unsigned>(c.Month)},
                                  chr::day{static_cast<unsigned>(c.Day)}};
    return ymd.ok();
}

std::optional<double> TryOleFromCivil(const CivilDateTime& c) {
    if (!IsValidCivil(c)) return std::nullopt;
    const int64_t serial = SerialFromCivilDay(c.Year, c.Month, c.Day);
    const double time = (c.Hour * 3600 + c.Minute * 60 + c.Second) / 86400.0;
    return serial >= 0 ? static_cast<double>(serial) + time : static_cast<double>(serial) - time;
}

double OleFromCivil(const CivilDateTime& c) {
    if (auto d = TryOleFromCivil(c)) return *d;
    Raise(errors::kInvalidProcedureCall);
}

bool IsValidOleDate(double d) {
    // The day part truncates towards zero, so any value above -657435 is in 0100-01-01.
    return std::isfinite(d) && d > kMinOleDate - 1.0 && d < 2958466.0;
}

CivilDateTime CivilFromOle(double d) {
    if (!IsValidOleDate(d)) Raise(errors::kOverflow);
    int64_t serial = 0;
    int64_t seconds = 0;
    Split(d, serial, seconds);
    const chr::year_month_day ymd{DayOfSerial(static_cast<int32_t>(serial))};
    CivilDateTime c;
    c.Year = static_cast<int>(ymd.year());
    c.Month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    c.Day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    c.Hour = static_cast<int>(seconds / 3600);
    c.Minute = static_cast<int>(seconds / 60 % 60);
    c.Second = static_cast<int>(seconds % 60);
    if (c.Year < 100 || c.Year > 9999) Raise(errors::kOverflow);
    return c;
}

int32_t OleDaySerial(double d) {
    // 9999-12-31 23:59:59.6 would round into the year 10000, and fails too.
    if (const std::optional<int32_t> serial = TryOleDaySerial(d)) return *serial;
    Raise(errors::kOverflow);
}

chr::sys_days DayFromOle(double d) {
    return DayOfSerial(OleDaySerial(d));
}

double OleDatePart(double d) {
    return static_cast<double>(OleDaySerial(d));
}

bool HasTimeOfDay(double d) {
    const CivilDateTime c = CivilFromOle(d);
    return c.Hour != 0 || c.Minute != 0 || c.Second != 0;
}

int OleWeekday(double d) {
    // 1899-12-30 was a Saturday (7).
    const int64_t serial = OleDaySerial(d);
    return static_cast<int>(((serial + 6) % 7 + 7) % 7) + 1;
}

std::string FormatIsoDate(double d) {
    std::string text;
    AppendIsoDate(text, DayFromOle(d));
    return text;
}

std::string FormatIsoDateTime(double d) {
    const CivilDateTime c = CivilFromOle(d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.Year, c.Month, c.Day, c.Hour,
                  c.Minute, c.Second);
    return buf;
}

std::string FormatIsoAuto(double d) {
    return HasTimeOfDay(d) ? FormatIsoDateTime(d) : FormatIsoDate(d);
}

std::optional<double> ParseIsoDate(std::string_view text) {
    CivilDateTime c;
    size_t pos = 0;
    if (!ReadDigits(text, pos, 4, 4, c.Year)) return std::nullopt;
    if (pos >= text.size() || text[pos++] != '-') return std::nullopt;
    if (!ReadDigits(text, pos, 1, 2, c.Month)) return std::nullopt;
    if (pos >= text.size() || text[pos++] != '-') return std::nullopt;
    if (!ReadDigits(text, pos, 1, 2, c.Day)) return std::nullopt;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
        ++pos;
        if (!ReadDigits(text, pos, 2, 2, c.Hour)) return std::nullopt;
        if (pos >= text.size() || text[pos++] != ':') return std::nullopt;
        if (!ReadDigits(text, pos, 2, 2, c.Minute)) return std::nullopt;
        if (pos < text.size()) {
            if (text[pos++] != ':') return std::nullopt;
            if (!ReadDigits(text, pos, 2, 2, c.Second)) return std::nullopt;
            if (pos < text.size()) {
                // Fractions of a second are read and dropped.
                if (text[pos++] != '.') return std::nullopt;
                int fraction = 0;
                if (!ReadDigits(text, pos, 1, 9, fraction)) return std::nullopt;
            }
        }
    }
    if (pos != text.size()) return std::nullopt;
    return TryOleFromCivil(c);
}

}  // namespace zev::automation
