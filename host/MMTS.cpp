#include "host/MMTS.hpp"
#include "platform/automation/AsciiText.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::host::MMTS {

using automation::ComError;
using automation::Variant;

namespace {

constexpr const char* kPropertySource = "ZevShopRpt.MMTS.GetConnectionProperty";

// Spaces only, as the property string is read.
std::string TrimSpaces(std::string_view s) {
    return std::string(automation::Trim(s, " "));
}

}  // namespace

Variant GetConnectionProperty(const std::string& name) {
    try {
        int32_t processId = static_cast<int32_t>(::getpid());
        std::string propertyName = name;
        auto manager = automation::CreateObjectAs<IShareProps>(progid::kShareProps);
        // The manager is asked twice: once to learn whether the property is an object,
        // once for the value returned.
        Variant first = manager->GetProperty(processId, propertyName);
        (void)first;
        return manager->GetProperty(processId, propertyName);
    } catch (...) {
        const ComError inner = automation::CurrentExceptionAsError();
        automation::ErrorInfo info = inner.Info();
        info.Source = std::string(kPropertySource) + "\r\n" + inner.Source();
        throw ComError(std::move(info));
    }
}

std::string GetPropsString() {
    return automation::CStr(GetConnectionProperty("PropsString"));
}

std::string CutToken(std::string& text, std::string_view separator) {
    try {
        if (text.empty()) return {};
        const size_t at = automation::FindNoCase(text, separator);
        if (at == std::string_view::npos) {
            std::string whole = std::move(text);
            text.clear();
            return whole;
        }
        std::string first = text.substr(0, at);
        text.erase(0, at + separator.size());
        return first;
    } catch (...) {
        text.clear();
        return {};
    }
}

std::string NextPropKey(std::string& text) {
    return TrimSpaces(CutToken(text, "="));
}

std::string NextPropValue(std::string& text) {
    text = TrimSpaces(text);
    std::string value;
    if (!text.empty() && text.front() == '{') {
        text.erase(0, 1);
        value = CutToken(text, "}");
        CutToken(text, ";");
    } else {
        value = CutToken(text, ";");
    }
    return TrimSpaces(value);
}

std::string PropsValueOf(std::string props, std::string_view name) {
    try {
        const std::string wanted = automation::UpperAscii(name);
        for (;;) {
            const std::string key = NextPropKey(props);
            std::string value = NextPropValue(props);
            // An empty key ends the reading; its value belongs to no key asked for, not
            // even to an empty name.
            if (key.empty()) return {};
            if (automation::UpperAscii(key) == wanted) return value;
        }
    } catch (...) {
        return {};
    }
}

std::string GetPropsValue(std::string_view name) {
    std::string props;
    try {
        props = GetPropsString();
    } catch (...) {
        props.clear();
    }
    return PropsValueOf(std::move(props), name);
}

}  // namespace zev::host::MMTS

namespace zev::host::MMTS {
namespace {

// Per-thread caches, filled on first use and never cleared.
struct Caches {
    std::string LanguageCode;
    std::shared_ptr<IResLoader> TextLoader;
    std::shared_ptr<IFrmResLoader> FontLoader;
};

Caches& ThreadCaches() {
    thread_local Caches caches;
    return caches;
}

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

void ApplyFormFont(IFontWindow& window) {
    Caches& c = ThreadCaches();
    if (c.LanguageCode.empty()) c.LanguageCode = GetPropsValue("Language");
    if (!c.FontLoader) {
        c.FontLoader = automation::CreateObjectAs<IFrmResLoader>(progid::kFrmResLoader);
    }
    std::string language = c.LanguageCode;
    c.FontLoader->SetFrmFont(window, language);
}

}  // namespace zev::host::MMTS
