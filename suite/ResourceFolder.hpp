#pragma once
// Where the text resource file sets are found, and which languages have a catalogue.

#include <string>
#include <string_view>

namespace zev::suite {

inline constexpr const char* kResourcesEnvironment = "ZEVWORKCAL_RESOURCES";

// The folder of the resource file sets: $ZEVWORKCAL_RESOURCES when set, otherwise
// share/zevworkcal/resources of the installed tree that holds this code (the program, or
// the component library loaded by a host; InstallTree.hpp).
std::string ResourceDirectory();

// Whether some file set of the resource folder has a catalogue <language>.po, a file or
// not (an unreadable one is said when it is read). `language` is a catalogue name
// (letters, "_", "@", digits), never a path.
bool HasCatalogue(std::string_view language);

}  // namespace zev::suite
