#pragma once
// gettext PO catalogues as the text resource loader reads them.

#include <string>
#include <string_view>
#include <unordered_map>

namespace zev::suite {

// The source of the loader's errors, the catalogues' included.
inline constexpr const char* kResLoaderSource = "ZevResLoader.Loader";

// The translations of one catalogue. Entries with a context are kept under
// context + "\x04" + msgid, as gettext keys them, so a plain key never finds them.
struct PoCatalogue {
    std::unordered_map<std::string, std::string> messages;

    // The translation of `key`, or nullptr when the catalogue has none.
    const std::string* Find(const std::string& key) const {
        const auto it = messages.find(key);
        return it == messages.end() ? nullptr : &it->second;
    }
};

// Reads the text of a PO catalogue. Comments, msgctxt, continuation lines, C escapes
// and plural forms are understood; fuzzy entries and empty translations are left out,
// as msgfmt leaves them out. A malformed text raises a ComError from the loader whose
// description names `fileName` and the line.
PoCatalogue ParsePoCatalogue(std::string_view text, const std::string& fileName);

}  // namespace zev::suite
