// Language information: LanguageOfLocale, LocaleCandidates, EnvironmentLanguages and
// EnvironmentLanguage, and the object "ZevLangInfo.LangInfo" that answers with the last.

#include "suite/LangInfo.hpp"

#include <algorithm>
#include <cstdlib>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "suite/ResourceFolder.hpp"

namespace zev::suite {
namespace {

class LangInfo final : public automation::Object, public host::ILangInfo {
  public:
    automation::Variant CurrentLanguage() override {
        return automation::Variant(EnvironmentLanguage());
    }
};

bool IsLetters(std::string_view text) {
    for (const char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    }
    return true;
}

bool IsSourceLanguage(std::string_view candidate) {
    return LanguageOfLocale(candidate) == kSourceLanguage;
}

std::string Getenv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string LanguageOfLocale(std::string_view locale) {
    const std::string_view part = locale.substr(0, locale.find_first_of("_.@"));
    // Anything but letters (a path, a stray character) names no language.
    if (part.empty() || part == "C" || part == "POSIX" || !IsLetters(part)) return {};
    std::string language;
    for (const char c : part)
        language += static_cast<char>(c | 0x20);  // letters only: ASCII lower case
    return language;
}

std::vector<std::string> LocaleCandidates(std::string_view locale) {
    const std::string language = LanguageOfLocale(locale);
    if (language.empty()) return {};
    const size_t at = locale.find('@');
    const std::string_view modifier = at == std::string_view::npos ? "" : locale.substr(at + 1);
    const std::string_view head = locale.substr(0, at);
    std::string_view territory;
    if (const size_t underscore = head.find('_'); underscore != std::string_view::npos) {
        territory = head.substr(underscore + 1);
        territory = territory.substr(0, territory.find('.'));
    }
    // A territory or modifier that is not letters (or digits, for a territory such as 419)
    // is left out rather than put into a file name.
    const auto plain = [](std::string_view text) {
        for (const char c : text) {
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                return false;
        }
        return !text.empty();
    };
    const std::string region = plain(territory) ? "_" + automation::UpperAscii(territory) : "";
    const std::string variant = plain(modifier) ? "@" + std::string(modifier) : "";
    std::vector<std::string> candidates;
    for (const std::string& name :
         {language + region + variant, language + region, language + variant, language}) {
        bool seen = false;
        for (const std::string& c : candidates)
            seen |= c == name;
        if (!seen) candidates.push_back(name);
    }
    return candidates;
}

std::vector<std::string> EnvironmentLanguages() {
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = Getenv(name);
        if (!locale.empty()) break;
    }
    if (LanguageOfLocale(locale).empty()) return {};
    std::vector<std::string> languages;
    const std::string list = Getenv("LANGUAGE");
    for (size_t start = 0; start <= list.size();) {
        const size_t colon = std::min(list.find(':', start), list.size());
        if (colon > start) languages.push_back(list.substr(start, colon - start));
        start = colon + 1;
    }
    languages.push_back(locale);
    return languages;
}

std::string EnvironmentLanguage() {
    const std::vector<std::string> languages = EnvironmentLanguages();
    for (const std::string& language : languages) {
        for (const std::string& candidate : LocaleCandidates(language)) {
            if (IsSourceLanguage(candidate) || HasCatalogue(candidate)) return candidate;
        }
    }
    return languages.empty() ? std::string() : std::string(kSourceLanguage);
}

void RegisterLangInfo() {
    automation::RegisterFactory(host::progid::kLangInfo,
                                [] { return std::make_shared<LangInfo>(); });
}

}  // namespace zev::suite
