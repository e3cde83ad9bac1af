#pragma once
// The text resource loader "ZevResLoader.Loader": answers a source text with its
// translation from the gettext PO catalogue <resources>/<ResFileBaseName>/<LanguageID>.po.
// A key the catalogue lacks, an empty translation, or a language without a catalogue
// give the key back unchanged; a malformed catalogue is an error of the loader.

#include <string>
#include <string_view>
#include <unordered_map>

namespace zev::suite {

inline constexpr const char* kResLoaderSource = "ZevResLoader.Loader";
inline constexpr const char* kResourcesEnvironment = "ZEVWORKCAL_RESOURCES";

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

// The folder of the resource file sets: $ZEVWORKCAL_RESOURCES when set, otherwise
// share/zevworkcal/resources beside the bin/ or lib/ folder of the module holding this
// code (the program, or the component library loaded by a host).
std::string ResourceDirectory();

// Registers "ZevResLoader.Loader".
void RegisterResLoader();

}  // namespace zev::suite
