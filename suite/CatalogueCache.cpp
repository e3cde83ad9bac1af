// The catalogue file cache: CachedCatalogue; reading one file into its slot stays
// private.

#include "suite/CatalogueCache.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unordered_map>

#include "platform/automation/Utf8.hpp"

namespace zev::suite {
namespace {

namespace fs = std::filesystem;
using automation::ComError;

[[noreturn]] void Unreadable(const std::string& file, const std::string& reason) {
    throw ComError(automation::errors::kUnspecified, kResLoaderSource,
                   automation::MarkedText("无法读取翻译文件",
                                          ": " + automation::EscapeControls(file) + ": " + reason));
}

std::shared_ptr<const CatalogueSlot> LoadCatalogueFile(const std::string& path) {
    auto slot = std::make_shared<CatalogueSlot>();
    try {
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (status.type() == fs::file_type::not_found) return slot;
        if (ec) Unreadable(path, ec.message());
        if (status.type() == fs::file_type::directory) Unreadable(path, std::strerror(EISDIR));
        if (status.type() != fs::file_type::regular) {
            // A device or pipe could block or never end; only plain files are read.
            throw ComError(automation::errors::kUnspecified, kResLoaderSource,
                           automation::MarkedText("无法读取翻译文件",
                                                  ": " + automation::EscapeControls(path) + ": ") +
                               "^|^~$~不是普通文件");
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) Unreadable(path, std::strerror(errno));
        std::ostringstream content;
        content << in.rdbuf();
        if (in.bad()) Unreadable(path, std::strerror(errno));
        slot->catalogue =
            std::make_shared<const PoCatalogue>(ParsePoCatalogue(content.str(), path));
    } catch (const ComError& e) {
        slot->error = e.Info();
    }
    return slot;
}

}  // namespace

std::shared_ptr<const CatalogueSlot> CachedCatalogue(const std::string& path) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::shared_ptr<const CatalogueSlot>> slots;
    const std::lock_guard lock(mutex);
    auto it = slots.find(path);
    if (it == slots.end()) it = slots.emplace(path, LoadCatalogueFile(path)).first;
    return it->second;
}

}  // namespace zev::suite
