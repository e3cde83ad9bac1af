// UTF-8 (Utf8.hpp): reading characters, the check, UTF-16 both ways and the escaping of
// echoed input; shared by the catalogue reader, the window's captions, the ODBC backend
// and every message that shows what the user gave.

#include "platform/automation/Utf8.hpp"

#include <cstdint>

namespace zev::automation {

Utf8Character ReadUtf8(std::string_view s, size_t at) {
    const auto lead = static_cast<unsigned char>(s[at]);
    if (lead < 0x80) return {lead, 1};
    size_t extra = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, least = 0x10000;
    } else {
        return {kNotACharacter, 1};
    }
    if (extra >= s.size() - at) return {kNotACharacter, 1};
    for (size_t k = 1; k <= extra; ++k) {
        const auto c = static_cast<unsigned char>(s[at + k]);
        if ((c & 0xC0) != 0x80) return {kNotACharacter, 1};
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {kNotACharacter, 1};
    return {cp, extra + 1};
}

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const Utf8Character c = ReadUtf8(s, i);
        if (c.CodePoint == kNotACharacter) return false;
        i += c.Length;
    }
    return true;
}

std::u16string Utf16FromUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const Utf8Character c = ReadUtf8(s, i);
        char32_t cp = c.CodePoint == kNotACharacter ? 0xFFFD : c.CodePoint;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += c.Length;
    }
    return out;
}

void AppendUtf8(std::string& out, std::u16string_view s) {
    out.reserve(out.size() + s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

size_t FindControlCharacter(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const Utf8Character c = ReadUtf8(s, i);
        if (c.CodePoint != kNotACharacter && IsControlCharacter(c.CodePoint)) return i;
        i += c.Length;
    }
    return std::string_view::npos;
}

std::string EscapeControls(std::string_view input) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(input.size());
    for (size_t i = 0; i < input.size();) {
        const Utf8Character c = ReadUtf8(input, i);
        const bool control = c.CodePoint == kNotACharacter || IsControlCharacter(c.CodePoint);
        for (size_t k = 0; k < c.Length; ++k) {
            const auto byte = static_cast<unsigned char>(input[i + k]);
            if (control) {
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
            } else {
                out += static_cast<char>(byte);
            }
        }
        i += c.Length;
    }
    return out;
}

}  // namespace zev::automation
