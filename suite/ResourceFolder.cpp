// The search for the resource folder and its catalogues: ResourceDirectory, HasCatalogue.

#include "suite/ResourceFolder.hpp"

#include <cstdlib>
#include <filesystem>

#include "platform/automation/InstallTree.hpp"

namespace zev::suite {

namespace fs = std::filesystem;

std::string ResourceDirectory() {
    if (const char* env = std::getenv(kResourcesEnvironment); env != nullptr && *env != '\0') {
        return env;
    }
    static const std::string beside = [] {
        const std::string data = automation::install::FolderOf(automation::install::Part::Data);
        if (data.empty()) return std::string();
        return (fs::path(data) / "zevworkcal" / "resources").string();
    }();
    return beside;
}

bool HasCatalogue(std::string_view language) {
    const std::string folder = ResourceDirectory();
    if (folder.empty() || language.empty()) return false;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code exists;
        if (fs::exists(it->path() / (std::string(language) + ".po"), exists)) return true;
    }
    return false;
}

}  // namespace zev::suite
