// The catalogue file cache: CachedCatalogue; reading one file into its slot stays
// private.

#include "suite/CatalogueCache.hpp"

#include <errno.h>

#include <cerrno>
#include <cstdio>
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

// A marked text (automation::MarkedText) in its source words: the marks left out.
std::string SourceWords(std::string text) {
    for (const std::string_view mark : {"^|^", "~$~"}) {
        for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at))
            text.erase(at, mark.size());
    }
    return text;
}

// Says once, when the file is first read, that a catalogue cannot be used, in English and
// in the source language: the catalogue's own texts are what is missing.
void SayUnusable(const std::string& path, const std::string& description) {
    const char* program = program_invocation_short_name;
    std::fprintf(stderr, "%s: %s: %s\n%s: %s: %s\n", program,
                 "the translation catalogue cannot be used", path.c_str(), program,
                 "翻译文件无法使用", SourceWords(description).c_str());
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
        SayUnusable(path, e.Description());
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
