#pragma once
// A year sheet as terminal text: month blocks three across, rest days, holidays and
// worked weekend days in colours of their own and today reversed when colour is on; with
// colour off a "*" after every rest day's number. The legend and the exceptions follow.

#include <string>
#include <string_view>

#include "window/YearSheet.hpp"

namespace zev::window {

// The columns a text takes on a terminal: East Asian wide characters take two.
size_t DisplayWidth(std::string_view utf8);

// The sheet as lines of text, each ending in "\n"; with ANSI colour sequences when
// `colour` is set.
std::string YearText(const YearSheet& sheet, bool colour);

}  // namespace zev::window
