#pragma once
// Where the text resource file sets are found.

#include <string>

namespace zev::suite {

inline constexpr const char* kResourcesEnvironment = "ZEVWORKCAL_RESOURCES";

// The folder of the resource file sets: $ZEVWORKCAL_RESOURCES when set, otherwise
// share/zevworkcal/resources beside the bin/ or lib/ folder of the module holding this
// code (the program, or the component library loaded by a host).
std::string ResourceDirectory();

}  // namespace zev::suite
