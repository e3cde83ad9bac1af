#pragma once
// The date formatter "ZevCultureInfo.ZevDateTimeFormatInfo".

#include <string>
#include <string_view>

namespace zev::suite {

// Formats an OLE date with a pattern of the letters Y (year), M (month), D (day),
// H (hour), N (minute) and S (second), in either case: "YYYY-MM-DD" gives 2009-06-04.
// A run of two or more letters is padded with zeros to its length (YY gives the last two
// digits of the year); a single letter gives the number without padding. Other
// characters are copied.
std::string FormatDatePattern(double date, std::string_view pattern);

// Registers "ZevCultureInfo.ZevDateTimeFormatInfo".
void RegisterDateFormatter();

}  // namespace zev::suite
