#pragma once
// Language information "ZevLangInfo.LangInfo": the user's language as gettext chooses it
// from the environment, and the reading of locale names that the resource loader shares.

#include <string>
#include <string_view>
#include <vector>

namespace zev::suite {

// The language of the source texts: a language of this code needs no catalogue.
inline constexpr std::string_view kSourceLanguage = "zh";

// The language code of a locale name: "en_US.UTF-8" gives "en", "zh_CN" gives "zh".
// "C", "POSIX", an empty name or one whose language part is not letters give "".
std::string LanguageOfLocale(std::string_view locale);

// The catalogue names a locale name may be served by, most specific first, as gettext
// tries them: "en_US.UTF-8@euro" gives en_US@euro, en_US, en@euro, en (the codeset never
// names a catalogue). A name LanguageOfLocale reads as no language gives none.
std::vector<std::string> LocaleCandidates(std::string_view locale);

// The languages the environment asks for, in gettext's order: the messages locale (the
// first of LC_ALL, LC_MESSAGES and LANG that is set and not empty) decides; when it is
// C or POSIX (or none is set) nothing is asked, LANGUAGE included; otherwise the entries
// of LANGUAGE (a colon-separated list), then the messages locale itself.
std::vector<std::string> EnvironmentLanguages();

// The language to show: the first catalogue name of EnvironmentLanguages that has a
// catalogue (or is the source language); the source language when the environment asks
// only for languages without one; "" when it asks for none.
std::string EnvironmentLanguage();

// Registers "ZevLangInfo.LangInfo".
void RegisterLangInfo();

}  // namespace zev::suite
