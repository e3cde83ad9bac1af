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

// A control character: C0 (U+0000 to U+001F), DEL (U+007F) or C1 (U+0080 to U+009F).
// Terminals act on them (U+001B and U+009B begin control sequences), so no stored text
// holds one and no output shows one as it is.
constexpr bool IsControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The first control character of UTF-8 text, read as characters; std::string_view::npos
// when it holds none. A byte outside well-formed UTF-8 is no character and is not found.
size_t FindControlCharacter(std::string_view s);

// Text taken from the input (a date, a stream line, a file name) or from the database (a
// note, a history row) as an output may show it: every control character and every byte
// outside well-formed UTF-8 is written as \xHH, byte by byte, so that no input can send a
// terminal a control sequence. All other text, Chinese included, stays as it is.
std::string EscapeControls(std::string_view input);

}  // namespace zev::automation
