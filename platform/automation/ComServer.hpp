#pragma once
// The in-process server: the table of classes a library serves, their class factories,
// and what the library's four exports do (DllGetClassObject, DllCanUnloadNow,
// DllRegisterServer, DllUnregisterServer).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "zevworkcal/automation.h"

namespace zev::automation::com {

struct ClassInfo {
    GUID Clsid{};
    std::string ProgId;
    std::string ThreadingModel;
    // A new object with one reference, as IUnknown; throws ComError on failure.
    std::function<IUnknown*()> Create;
};

// Adds a class to the library's table, replacing one with the same CLSID.
void AddClass(ClassInfo info);
std::vector<ClassInfo> Classes();

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;
// Writes the registry entry of every class, with the path of the loaded file that holds
// `addressInLibrary` as the library that serves it; with `fileName`, that file in the same
// folder instead (the versioned name that stays valid across updates of the library).
HRESULT RegisterServer(const void* addressInLibrary, std::string_view fileName = {}) noexcept;
HRESULT UnregisterServer() noexcept;

// The absolute path of the loaded file (library or program) that holds `address`.
std::string ModulePathOf(const void* address);

}  // namespace zev::automation::com
