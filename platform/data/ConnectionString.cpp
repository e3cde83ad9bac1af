// Reading ODBC connection strings and hiding their passwords (ConnectionString.hpp).
#include "platform/data/ConnectionString.hpp"

#include <algorithm>

#include "platform/automation/AsciiText.hpp"

namespace zev::data {

namespace {

constexpr std::string_view kMask = "***";

bool IsPasswordKey(std::string_view key) {
    return automation::EqualsNoCase(key, "PWD") || automation::EqualsNoCase(key, "PASSWORD");
}

// The text of a value as written, without its braces.
std::string_view WrittenInner(std::string_view text, const ConnectionAttribute& a) {
    std::string_view written = text.substr(a.ValueBegin, a.ValueEnd - a.ValueBegin);
    if (!written.empty() && written.front() == '{') {
        written.remove_prefix(1);
        if (!written.empty() && written.back() == '}') written.remove_suffix(1);
    }
    return written;
}

void CollectPasswords(std::string_view text, std::vector<std::string>& found) {
    for (const ConnectionAttribute& a : ParseConnectionString(text)) {
        if (IsPasswordKey(a.Key)) {
            found.push_back(a.Value);
            found.emplace_back(text.substr(a.ValueBegin, a.ValueEnd - a.ValueBegin));
        } else if (a.Value.find('=') != std::string::npos) {
            CollectPasswords(WrittenInner(text, a), found);
        }
    }
}

}  // namespace

std::vector<ConnectionAttribute> ParseConnectionString(std::string_view text) {
    std::vector<ConnectionAttribute> attributes;
    size_t at = 0;
    while (at < text.size()) {
        const size_t equals = text.find('=', at);
        const size_t semicolon = text.find(';', at);
        if (equals == std::string_view::npos) break;
        if (semicolon < equals) {
            at = semicolon + 1;
            continue;
        }
        ConnectionAttribute a{std::string(automation::Trim(text.substr(at, equals - at), " ")),
                              {},
                              equals + 1,
                              equals + 1};
        size_t next = semicolon;
        if (a.ValueBegin < text.size() && text[a.ValueBegin] == '{') {
            size_t i = a.ValueBegin + 1;
            for (; i < text.size(); ++i) {
                if (text[i] != '}') {
                    a.Value += text[i];
                } else if (i + 1 < text.size() && text[i + 1] == '}') {
                    a.Value += '}';
                    ++i;
                } else {
                    break;
                }
            }
            a.ValueEnd = std::min(i + 1, text.size());
            next = text.find(';', a.ValueEnd);
        } else {
            a.ValueEnd = std::min(semicolon, text.size());
            a.Value = text.substr(a.ValueBegin, a.ValueEnd - a.ValueBegin);
        }
        attributes.push_back(std::move(a));
        if (next == std::string_view::npos) break;
        at = next + 1;
    }
    return attributes;
}

std::string WithAttribute(std::string_view text, std::string_view key, std::string_view value) {
    std::string out;
    for (const ConnectionAttribute& a : ParseConnectionString(text)) {
        if (automation::EqualsNoCase(a.Key, key)) continue;
        out.append(a.Key).append("=");
        out.append(text.substr(a.ValueBegin, a.ValueEnd - a.ValueBegin)).append(";");
    }
    out.append(key).append("=");
    if (value.find_first_of(";{}") == std::string_view::npos) return out.append(value) + ";";
    out += '{';
    for (const char c : value)
        out.append(c == '}' ? "}}" : std::string(1, c));
    return out + "};";
}

std::string MaskPasswords(std::string_view text) {
    std::string masked;
    size_t copied = 0;
    const auto replace = [&](size_t begin, size_t end, std::string_view by) {
        masked.append(text.substr(copied, begin - copied));
        masked += by;
        copied = end;
    };
    for (const ConnectionAttribute& a : ParseConnectionString(text)) {
        if (IsPasswordKey(a.Key)) {
            replace(a.ValueBegin, a.ValueEnd, kMask);
        } else if (a.Value.find('=') != std::string::npos) {
            // A value that is a connection string itself is masked inside its braces.
            const std::string_view inner = WrittenInner(text, a);
            const std::string maskedInner = MaskPasswords(inner);
            const auto begin = static_cast<size_t>(inner.data() - text.data());
            if (maskedInner != inner) replace(begin, begin + inner.size(), maskedInner);
        }
    }
    masked.append(text.substr(copied));
    return masked;
}

std::string RedactPasswords(std::string_view message, std::string_view connectionString) {
    std::vector<std::string> passwords;
    CollectPasswords(connectionString, passwords);
    // Longest first, so that a password holding another is hidden whole.
    std::sort(passwords.begin(), passwords.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    std::string text(message);
    for (const std::string& password : passwords) {
        if (password.empty()) continue;
        for (size_t at = text.find(password); at != std::string::npos;
             at = text.find(password, at + kMask.size())) {
            text.replace(at, password.size(), kMask);
        }
    }
    return text;
}

}  // namespace zev::data
