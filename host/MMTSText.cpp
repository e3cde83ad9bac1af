// MMTS, the localised text lookup: LoadLocalText and LoadCompoundText.

#include "host/MMTS.hpp"

#include "host/MMTSCaches.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::host::MMTS {
namespace {

constexpr std::string_view kResourceSet = "ZevManufacture";
constexpr std::string_view kPieceSeparator = "^|^";
constexpr std::string_view kTranslateMark = "~$~";

}  // namespace

std::string LoadLocalText(std::string_view source, int SpaceMode) {
    // Work on a copy: the caller may pass a view of the pending error's own description
    // (the error report does), whose storage restoring the error after a nested lookup
    // replaces.
    const std::string text(source);
    const automation::PendingErrorGuard keepCallersError;
    try {
        Caches& c = ThreadCaches();
        if (c.LanguageCode.empty()) c.LanguageCode = GetPropsValue("Language");
        if (c.LanguageCode.empty()) {
            auto info = automation::CreateObjectAs<ILangInfo>(progid::kLangInfo);
            c.LanguageCode = automation::CStr(info->CurrentLanguage());
        }
        if (!c.TextLoader)
            c.TextLoader = automation::CreateObjectAs<IResLoader>(progid::kResLoader);
        IResLoader& loader = *c.TextLoader;
        if (loader.GetResFileBaseName() != kResourceSet) {
            loader.SetResFileBaseName(std::string(kResourceSet));
        }
        if (loader.GetLanguageID() != c.LanguageCode) loader.SetLanguageID(c.LanguageCode);

        if (text.find(kPieceSeparator) != std::string_view::npos) return LoadCompoundText(text);

        const size_t first = text.find_first_not_of(' ');
        std::string leading;
        std::string core;
        std::string trailing;
        if (first == std::string_view::npos) {
            trailing = text;
        } else {
            const size_t last = text.find_last_not_of(' ');
            leading = text.substr(0, first);
            core = text.substr(first, last - first + 1);
            trailing = text.substr(last + 1);
        }
        if (c.LanguageCode == "en") {
            if ((SpaceMode == 1 || SpaceMode == 3) && leading.empty()) leading.push_back(' ');
            if ((SpaceMode == 2 || SpaceMode == 3) && trailing.empty()) trailing.push_back(' ');
        }
        return leading + loader.LoadString(core) + trailing;
    } catch (...) {
        return text;
    }
}

std::string LoadCompoundText(std::string_view source) {
    const std::string copy(source);  // see LoadLocalText
    const std::string_view text = copy;
    std::string result;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(kPieceSeparator, start);
        const std::string_view piece =
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start);
        if (piece.substr(0, kTranslateMark.size()) == kTranslateMark) {
            result += LoadLocalText(piece.substr(kTranslateMark.size()), 0);
        } else {
            result += piece;
        }
        if (at == std::string_view::npos) break;
        start = at + kPieceSeparator.size();
    }
    return result;
}

}  // namespace zev::host::MMTS
