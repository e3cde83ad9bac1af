// The PO catalogue reader: ParsePoCatalogue; the line parser and its checks (UTF-8,
// keywords, escapes, plural forms, duplicates, the header's character set) stay private.

#include "suite/PoCatalogue.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <unordered_set>

#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/Utf8.hpp"

namespace zev::suite {
namespace {

using automation::ComError;
using automation::EqualsNoCase;
using automation::IsValidUtf8;

// PO lines are trimmed of spaces and tabs only.
std::string_view TrimBlanks(std::string_view s) {
    return automation::Trim(s, " \t");
}

// Descriptions are compound texts, so the fixed parts are translated and the file name
// and line are shown as they stand.
[[noreturn]] void Malformed(const std::string& file, size_t line, std::string_view problem) {
    std::string description =
        automation::MarkedText("翻译文件格式不对", ": " + automation::EscapeControls(file) + ":" +
                                                       std::to_string(line) + ": ");
    description += "^|^~$~";
    description += problem;
    throw ComError(automation::errors::kUnspecified, kResLoaderSource, std::move(description));
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

class PoParser {
  public:
    PoParser(std::string_view text, const std::string& file) : text_(text), file_(file) {}

    PoCatalogue Run() {
        size_t pos = 0;
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
        while (pos < text_.size()) {
            const size_t end = std::min(text_.find('\n', pos), text_.size());
            std::string_view line = text_.substr(pos, end - pos);
            pos = end + 1;
            ++line_;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            ReadLine(line);
        }
        if (entry_.hasContext || entry_.hasId) {
            if (!entry_.hasStr) Malformed(file_, entry_.line, "缺少 msgstr");
            Finish();
        }
        return std::move(catalogue_);
    }

  private:
    enum class Field { None, Context, Id, Plural, Str, OtherPluralStr };

    struct Entry {
        bool hasContext = false;
        bool hasId = false;
        bool hasPlural = false;
        bool hasStr = false;
        int pluralForms = 0;
        bool fuzzy = false;
        size_t line = 0;
        std::string context;
        std::string id;
        std::string str;
    };

    void ReadLine(std::string_view raw) {
        if (!IsValidUtf8(raw)) Fail("不是有效的 UTF-8 文本");
        const std::string_view line = TrimBlanks(raw);
        if (line.empty()) return;
        if (line.front() == '#') {
            // "#, fuzzy" marks the next entry as unreviewed; other comments say nothing
            // the lookup needs.
            if (line.substr(0, 2) == "#," && line.find("fuzzy") != std::string_view::npos) {
                nextFuzzy_ = true;
            }
            return;
        }
        if (line.front() == '"') {
            if (field_ == Field::None) Fail("续行前没有关键字");
            Append(ReadString(line));
            return;
        }
        size_t k = 0;
        while (k < line.size() && !IsBlank(line[k]) && line[k] != '"')
            ++k;
        const std::string_view keyword = line.substr(0, k);
        const std::string_view rest = line.substr(k);
        if (keyword == "msgctxt") {
            StartEntry();
            if (entry_.hasId) Fail("缺少 msgstr");
            if (entry_.hasContext) Fail("关键字位置不对");
            entry_.hasContext = true;
            field_ = Field::Context;
        } else if (keyword == "msgid") {
            StartEntry();
            if (entry_.hasId) Fail("缺少 msgstr");
            entry_.hasId = true;
            field_ = Field::Id;
        } else if (keyword == "msgid_plural") {
            if (!entry_.hasId || entry_.hasPlural || entry_.hasStr) Fail("关键字位置不对");
            entry_.hasPlural = true;
            field_ = Field::Plural;
        } else if (keyword == "msgstr") {
            if (!entry_.hasId) Fail("缺少 msgid");
            if (entry_.hasPlural || entry_.hasStr) Fail("关键字位置不对");
            entry_.hasStr = true;
            field_ = Field::Str;
        } else if (keyword.substr(0, 7) == "msgstr[" && keyword.back() == ']') {
            if (!entry_.hasId) Fail("缺少 msgid");
            if (!entry_.hasPlural) Fail("关键字位置不对");
            const std::string_view digits = keyword.substr(7, keyword.size() - 8);
            if (digits.empty() || digits.size() > 3 ||
                digits.find_first_not_of("0123456789") != std::string_view::npos ||
                std::stoi(std::string(digits)) != entry_.pluralForms) {
                Fail("复数形式的序号不对");
            }
            // The singular form stands for the entry; the other forms are read and dropped.
            field_ = entry_.pluralForms == 0 ? Field::Str : Field::OtherPluralStr;
            ++entry_.pluralForms;
            entry_.hasStr = true;
        } else {
            Fail("无法识别的行");
        }
        Append(ReadString(rest));
    }

    // A msgctxt or msgid after a complete entry begins the next one.
    void StartEntry() {
        if (entry_.hasStr) Finish();
        if (!entry_.hasContext && !entry_.hasId) {
            entry_.fuzzy = nextFuzzy_;
            entry_.line = line_;
            nextFuzzy_ = false;
        }
    }

    void Finish() {
        Entry e = std::move(entry_);
        entry_ = Entry{};
        field_ = Field::None;
        std::string key = e.hasContext ? e.context + '\x04' + e.id : e.id;
        if (!seen_.insert(key).second) Malformed(file_, e.line, "重复的条目");
        if (!e.hasContext && e.id.empty()) {
            CheckHeader(e);
            return;
        }
        if (e.fuzzy || e.str.empty()) return;
        catalogue_.messages.emplace(std::move(key), std::move(e.str));
    }

    // The header may name the file's character set; only UTF-8 is read.
    void CheckHeader(const Entry& header) {
        std::string_view h = header.str;
        for (size_t at = 0; at + 8 <= h.size(); ++at) {
            if (!EqualsNoCase(h.substr(at, 8), "charset=")) continue;
            size_t end = at + 8;
            while (end < h.size() && !IsBlank(h[end]) && h[end] != '\n' && h[end] != ';')
                ++end;
            const std::string_view charset = h.substr(at + 8, end - at - 8);
            if (!EqualsNoCase(charset, "UTF-8") && !EqualsNoCase(charset, "UTF8")) {
                Malformed(file_, header.line, "字符集不是 UTF-8");
            }
            return;
        }
    }

    void Append(const std::string& s) {
        switch (field_) {
            case Field::Context:
                entry_.context += s;
                break;
            case Field::Id:
                entry_.id += s;
                break;
            case Field::Str:
                entry_.str += s;
                break;
            case Field::Plural:
            case Field::OtherPluralStr:
            case Field::None:
                break;
        }
    }

    // A quoted string with C escapes, alone on the rest of its line.
    std::string ReadString(std::string_view s) {
        s = TrimBlanks(s);
        if (s.empty() || s.front() != '"') Fail("此处应为带引号的字符串");
        std::string out;
        size_t i = 1;
        for (;;) {
            if (i >= s.size()) Fail("字符串没有结束的引号");
            const char c = s[i++];
            if (c == '"') break;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i >= s.size()) Fail("字符串没有结束的引号");
            const char e = s[i++];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'a':
                    out += '\a';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'v':
                    out += '\v';
                    break;
                case '"':
                case '\\':
                case '\'':
                case '?':
                    out += e;
                    break;
                case 'x': {
                    int value = 0;
                    int digits = 0;
                    while (digits < 2 && i < s.size() &&
                           std::isxdigit(static_cast<unsigned char>(s[i]))) {
                        const char h = s[i++];
                        value = value * 16 + (h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                        ++digits;
                    }
                    if (digits == 0) Fail("不认识的转义序列");
                    out += static_cast<char>(value);
                    break;
                }
                default: {
                    if (e < '0' || e > '7') Fail("不认识的转义序列");
                    int value = e - '0';
                    for (int digits = 1; digits < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7';
                         ++digits) {
                        value = value * 8 + (s[i++] - '0');
                    }
                    if (value > 0xFF) Fail("不认识的转义序列");
                    out += static_cast<char>(value);
                    break;
                }
            }
        }
        if (!TrimBlanks(s.substr(i)).empty()) Fail("引号后有多余的内容");
        return out;
    }

    [[noreturn]] void Fail(std::string_view problem) { Malformed(file_, line_, problem); }

    std::string_view text_;
    const std::string& file_;
    size_t line_ = 0;
    Entry entry_;
    Field field_ = Field::None;
    bool nextFuzzy_ = false;
    std::unordered_set<std::string> seen_;
    PoCatalogue catalogue_;
};

}  // namespace

PoCatalogue ParsePoCatalogue(std::string_view text, const std::string& fileName) {
    return PoParser(text, fileName).Run();
}

}  // namespace zev::suite
