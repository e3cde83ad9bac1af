#pragma once
// Whether a byte string is well-formed UTF-8, the one encoding of every text in the
// system: shortest forms only, no surrogates, nothing beyond U+10FFFF.

#include <string_view>

namespace zev::automation {

bool IsValidUtf8(std::string_view s);

}  // namespace zev::automation
