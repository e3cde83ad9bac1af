#pragma once
// Language information "ZevLangInfo.LangInfo": the user's language code from the
// locale of the environment.

#include <string>
#include <string_view>

namespace zev::suite {

// The language code of a locale name: "en_US.UTF-8" gives "en", "zh_CN" gives "zh".
// "C", "POSIX", an empty name or one whose language part is not letters give "".
std::string LanguageOfLocale(std::string_view locale);

// The language of the messages locale: the first of LC_ALL, LC_MESSAGES and LANG that
// is set and not empty, as LanguageOfLocale reads it.
std::string EnvironmentLanguage();

// Registers "ZevLangInfo.LangInfo".
void RegisterLangInfo();

}  // namespace zev::suite
