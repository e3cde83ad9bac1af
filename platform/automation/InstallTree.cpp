// FolderOf (InstallTree.hpp): the folders of the installed tree from the file holding this
// code. How that file is found, and the tree's relative paths the build gives, stay private.

#include "platform/automation/InstallTree.hpp"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>

#if !defined(ZEV_BIN_TO_LIB) || !defined(ZEV_BIN_TO_DATA) || !defined(ZEV_LIB_TO_DATA)
#error \
    "the build names the tree's relative paths (ZEV_BIN_TO_LIB, ZEV_BIN_TO_DATA, ZEV_LIB_TO_DATA)"
#endif

namespace zev::automation::install {
namespace {

namespace fs = std::filesystem;

struct OwnFile {
    fs::path path;  // resolved, empty when unknown
    bool isProgram = false;
};

// A shared library is named by the path it was loaded from; the program has no name in
// the link map and is read from /proc.
OwnFile FindOwnFile() {
    OwnFile own;
    Dl_info info{};
    link_map* map = nullptr;
    fs::path file;
    if (dladdr1(reinterpret_cast<const void*>(&FindOwnFile), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) != 0 &&
        map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') {
        file = map->l_name;
    } else {
        std::error_code ec;
        file = fs::read_symlink("/proc/self/exe", ec);
        if (ec) return own;
        own.isProgram = true;
    }
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(file, ec), ec);
    if (!ec) own.path = resolved;
    return own;
}

}  // namespace

std::string FolderOf(Part part) {
    static const OwnFile own = FindOwnFile();
    if (own.path.empty()) return {};
    const fs::path folder = own.path.parent_path();
    const char* relative = nullptr;
    if (part == Part::Libraries) {
        if (!own.isProgram) return folder.string();
        relative = ZEV_BIN_TO_LIB;
    } else {
        relative = own.isProgram ? ZEV_BIN_TO_DATA : ZEV_LIB_TO_DATA;
    }
    return (folder / relative).lexically_normal().string();
}

}  // namespace zev::automation::install
