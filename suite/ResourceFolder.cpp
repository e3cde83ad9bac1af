// The search for the resource folder: ResourceDirectory; how the module holding this code
// is found stays private.

#include "suite/ResourceFolder.hpp"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <filesystem>

namespace zev::suite {
namespace {

namespace fs = std::filesystem;

std::string ModuleResourceDirectory() {
    fs::path module;
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<const void*>(&ModuleResourceDirectory), &info,
                reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 &&
        map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') {
        module = map->l_name;  // a shared library: the path it was loaded from
    } else {
        std::error_code ec;
        module = fs::read_symlink("/proc/self/exe", ec);  // the program itself
        if (ec) return {};
    }
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(fs::absolute(module, ec), ec);
    if (ec || resolved.empty()) return {};
    return (resolved.parent_path().parent_path() / "share" / "zevworkcal" / "resources").string();
}

}  // namespace

std::string ResourceDirectory() {
    if (const char* env = std::getenv(kResourcesEnvironment); env != nullptr && *env != '\0') {
        return env;
    }
    static const std::string beside = ModuleResourceDirectory();
    return beside;
}

}  // namespace zev::suite
