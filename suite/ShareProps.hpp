#pragma once
// The per-process property manager "PropsMgr.ShareProps". The process's own properties
// are set by its host (the command line sets "PropsString"); a process that sets none
// gets "PropsString" from the environment variable ZEVWORKCAL_PROPS.

#include <string>

#include "platform/automation/Variant.hpp"

namespace zev::suite {

inline constexpr const char* kPropsEnvironment = "ZEVWORKCAL_PROPS";

// Sets a property of this process (names compared without regard to case).
void SetProcessProperty(const std::string& name, automation::Variant value);
// Removes every property set for this process.
void ClearProcessProperties();

// Registers "PropsMgr.ShareProps".
void RegisterShareProps();

}  // namespace zev::suite
