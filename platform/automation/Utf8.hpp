#pragma once
// UTF-8, the one encoding of every text in the system: reading it one character at a time
// (shortest forms only, no surrogates, nothing beyond U+10FFFF), the check, the exchange
// with UTF-16 that drivers speak, and input made safe to echo in a message.

#include <cstddef>
#include <string>
#include <string_view>

namespace zev::automation {

// One character read from UTF-8: its code point and its length in bytes. A byte that does
// not begin a well-formed character reads as kNotACharacter of length 1.
struct Utf8Character {
    char32_t CodePoint;
    size_t Length;
};
inline constexpr char32_t kNotACharacter = 0xFFFFFFFF;

// The character that begins at s[at] (at < s.size()).
Utf8Character ReadUtf8(std::string_view s, size_t at);

bool IsValidUtf8(std::string_view s);

// UTF-8 as UTF-16; a byte outside well-formed UTF-8 becomes U+FFFD.
std::u16string Utf16FromUtf8(std::string_view s);
// Appends UTF-16 as UTF-8; a surrogate without its pair becomes U+FFFD.
void AppendUtf8(std::string& out, std::u16string_view s);

// Text taken from the input (a date, a stream line, a file name) as a message may echo
// it: every control character (U+0000 to U+001F, U+007F to U+009F) and every byte outside
// well-formed UTF-8 is written as \xHH, byte by byte, so that no input can send a
// terminal a control sequence. All other text, Chinese included, stays as it is.
std::string EscapeControls(std::string_view input);

}  // namespace zev::automation
