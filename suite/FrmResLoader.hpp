#pragma once
// The window-font loader "FrmRes.FrmResLoader": gives a window a font family, size and
// character set that can show the texts of the user's language.

#include <string_view>

#include "host/SuiteInterfaces.hpp"

namespace zev::suite {

// `font` with the family, size and character set for `language` (a code such as "en",
// "zh_CN" or "ja"); its weight is kept. Chinese, and the empty language in which the
// source texts are shown, get a simplified-Chinese CJK family; Latin-script languages a
// Latin family.
host::FormFont FontForLanguage(std::string_view language, host::FormFont font);

// Registers "FrmRes.FrmResLoader".
void RegisterFrmResLoader();

}  // namespace zev::suite
