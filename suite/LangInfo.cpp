// Language information (LangInfo.hpp): the language of a locale and of the environment,
// and its registration; private: the object.
#include "suite/LangInfo.hpp"

#include <cstdlib>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::suite {
namespace {

class LangInfo final : public automation::Object, public host::ILangInfo {
  public:
    automation::Variant CurrentLanguage() override {
        return automation::Variant(EnvironmentLanguage());
    }
};

}  // namespace

std::string LanguageOfLocale(std::string_view locale) {
    const std::string_view part = locale.substr(0, locale.find_first_of("_.@"));
    if (part.empty() || part == "C" || part == "POSIX") return {};
    std::string language;
    for (const char c : part) {
        // Anything but letters (a path, a stray character) names no language.
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return {};
        language += static_cast<char>(c | 0x20);
    }
    return language;
}

std::string EnvironmentLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return LanguageOfLocale(value);
    }
    return {};
}

void RegisterLangInfo() {
    automation::RegisterFactory(host::progid::kLangInfo,
                                [] { return std::make_shared<LangInfo>(); });
}

}  // namespace zev::suite
