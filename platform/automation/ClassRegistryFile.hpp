#pragma once
// The class registry: a text file that maps a ProgID to its CLSID, the library that
// serves it and its threading model, one section per ProgID:
//
//   [ZevWorkCal.clsCal]
//   CLSID={C332ACDB-200B-42DD-AF4E-014C5EA6F05C}
//   InprocServer=/usr/lib/libZevWorkCal.so
//   ThreadingModel=Apartment
//
// Several libraries share the file, so an edit touches only its own section and keeps
// every other line as it stands. Edits are written to a temporary file that replaces
// the registry in one rename, under a lock file, so that readers never see half a file
// and two registrations at once do not lose each other's entries.

#include <optional>
#include <string>
#include <string_view>

#include "zevworkcal/automation.h"

namespace zev::automation::com {

inline constexpr const char* kRegistryEnvironment = "ZEVWORKCAL_REGISTRY";

struct RegistryEntry {
    std::string ProgId;
    std::string Clsid;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    std::string Library;
    std::string ThreadingModel;

    bool operator==(const RegistryEntry&) const = default;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string GuidText(const GUID& guid);

// The registry file: ZEVWORKCAL_REGISTRY when set, else zevworkcal/registry under
// $XDG_CONFIG_HOME, or under ~/.config when that is not set.
std::string RegistryFilePath();

// The text of a registry with `entry` in place: a section of the same ProgID (any case)
// is replaced where it stands, further ones are dropped, otherwise it is appended.
std::string WithEntry(std::string_view text, const RegistryEntry& entry);
// The text without the sections of `progId` that name `clsid`; a section of the same
// ProgID that another class has taken since is left alone.
std::string WithoutEntry(std::string_view text, std::string_view progId, std::string_view clsid);
// The entry of `progId` in a registry text.
std::optional<RegistryEntry> FindEntry(std::string_view text, std::string_view progId);

// Applies WithEntry / WithoutEntry to the file; a missing file is created. Failures throw
// std::system_error (also for a registry that is not a regular file: a FIFO, a folder, a
// device) or std::invalid_argument (a value that cannot be written, such as a path with a
// line break).
void WriteEntry(const std::string& file, const RegistryEntry& entry);
void RemoveEntry(const std::string& file, std::string_view progId, std::string_view clsid);

}  // namespace zev::automation::com
