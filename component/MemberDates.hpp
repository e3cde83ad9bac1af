#pragma once
// How clsCal's questions turn a date into the date text of their statements: through the
// suite's formatter (automation::TryOleDaySerial gives the same day without it, wherever
// the formatter cannot fail).

#include <string>

namespace zev::component {

// The day of `dtDay` as the date text of the statements, from a formatter object made
// for this one call and released before any statement runs.
std::string DateText(double dtDay);

}  // namespace zev::component
