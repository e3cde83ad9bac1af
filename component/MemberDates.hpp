#pragma once
// How clsCal's questions turn a date into the day their statements name: the suite
// formatter's date text, and the day number wherever the formatter cannot fail on it.

#include <cstdint>
#include <optional>
#include <string>

namespace zev::component {

// The day of `dtDay` as the date text of the statements, from a formatter object made
// for this one call and released before any statement runs.
std::string DateText(double dtDay);

// The day the formatter writes for a date; std::nullopt where it fails (or could).
std::optional<int32_t> FormattedDay(double dtDay);

}  // namespace zev::component
