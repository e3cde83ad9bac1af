#pragma once
// Case rules for names, keys and keywords: ASCII letters only, so that UTF-8 text (the
// Chinese texts among it) passes through unchanged.

#include <algorithm>
#include <string>
#include <string_view>

namespace zev::automation {

inline char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = UpperAscii(c);
    return out;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

// Position of `what` in `text`, letters compared without regard to case; npos if absent.
inline size_t FindNoCase(std::string_view text, std::string_view what) {
    if (what.empty() || what.size() > text.size()) return std::string_view::npos;
    const auto it = std::search(text.begin(), text.end(), what.begin(), what.end(),
                                [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
    return it == text.end() ? std::string_view::npos : static_cast<size_t>(it - text.begin());
}

// The blanks of names, keys and statements: space, tab and the line ends.
inline constexpr std::string_view kBlanks = " \t\r\n";
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// `s` without the characters of `blanks` at either end.
inline std::string_view Trim(std::string_view s, std::string_view blanks = kBlanks) {
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

}  // namespace zev::automation
