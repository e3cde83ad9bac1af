// Every Chinese text in the sources must have an English translation: the string
// literals of the programs' sources are read, compound texts split into their pieces,
// and each Chinese piece looked up in the English catalogue.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "suite/ResLoader.hpp"

namespace zev::test {
namespace {

namespace fs = std::filesystem;

struct Literal {
    std::string text;
    int line;
};

// The string literals of a C++ source, adjacent literals joined as the compiler joins
// them; comments and character literals are skipped.
std::vector<Literal> StringLiterals(const std::string& src) {
    std::vector<Literal> out;
    size_t i = 0;
    int line = 1;
    bool joinable = false;  // only blanks and comments since the last literal
    const auto advance = [&](size_t n) {
        for (size_t k = 0; k < n && i < src.size(); ++k)
            line += src[i++] == '\n';
    };
    while (i < src.size()) {
        const char c = src[i];
        if (src.compare(i, 2, "//") == 0) {
            while (i < src.size() && src[i] != '\n')
                advance(1);
            continue;
        }
        if (src.compare(i, 2, "/*") == 0) {
            const size_t end = src.find("*/", i + 2);
            advance((end == std::string::npos ? src.size() : end + 2) - i);
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            advance(1);
            continue;
        }
        // Prefixes: L, u, U, u8, then R for a raw string.
        size_t p = i;
        if (src.compare(p, 2, "u8") == 0) {
            p += 2;
        } else if (c == 'L' || c == 'u' || c == 'U') {
            ++p;
        }
        const bool raw = p < src.size() && src[p] == 'R' && p + 1 < src.size() && src[p + 1] == '"';
        if (raw) ++p;
        const bool prefixOk =
            i == 0 || !(std::isalnum(static_cast<unsigned char>(src[i - 1])) || src[i - 1] == '_');
        if (p < src.size() && src[p] == '"' && (p == i || prefixOk)) {
            const int startLine = line;
            std::string text;
            if (raw) {
                const size_t open = src.find('(', p);
                // Appended piece by piece: ")" + substr + "\"" trips a false -Wrestrict of
                // GCC 12 at -O3.
                std::string close = ")";
                close.append(src, p + 1, open - p - 1);
                close += '"';
                const size_t end = src.find(close, open);
                text = src.substr(open + 1, end - open - 1);
                advance(end + close.size() - i);
            } else {
                advance(p + 1 - i);
                while (i < src.size() && src[i] != '"') {
                    if (src[i] == '\\' && i + 1 < src.size()) {
                        const char e = src[i + 1];
                        switch (e) {
                            case 'n':
                                text += '\n';
                                break;
                            case 't':
                                text += '\t';
                                break;
                            case 'r':
                                text += '\r';
                                break;
                            case '0':
                                text += '\0';
                                break;
                            default:
                                text += e;
                                break;  // \\ \" \' and the rare rest
                        }
                        advance(2);
                    } else {
                        text += src[i];
                        advance(1);
                    }
                }
                advance(1);
            }
            if (joinable && !out.empty()) {
                out.back().text += text;
            } else {
                out.push_back({text, startLine});
            }
            joinable = true;
            continue;
        }
        if (c == '\'' && !(i > 0 && std::isalnum(static_cast<unsigned char>(src[i - 1])))) {
            advance(1);
            while (i < src.size() && src[i] != '\'')
                advance(src[i] == '\\' ? 2 : 1);
            advance(1);
        } else {
            advance(1);
        }
        joinable = false;
    }
    return out;
}

bool HasChinese(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        uint32_t cp = c;
        size_t n = 1;
        if (c >= 0xF0 && i + 3 < s.size()) {
            cp = ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                 (s[i + 3] & 0x3Fu);
            n = 4;
        } else if (c >= 0xE0 && i + 2 < s.size()) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            n = 3;
        } else if (c >= 0xC0) {
            n = 2;
        }
        if ((cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
            (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x20000 && cp <= 0x2FFFF)) {
            return true;
        }
        i += n;
    }
    return false;
}

// The pieces of a text that the lookup asks the catalogue for.
std::vector<std::string> LookupKeys(const std::string& text) {
    std::vector<std::string> keys;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find("^|^", start);
        std::string piece = text.substr(start, at == std::string::npos ? at : at - start);
        if (piece.rfind("~$~", 0) == 0) piece.erase(0, 3);
        const size_t first = piece.find_first_not_of(' ');
        piece = first == std::string::npos
                    ? ""
                    : piece.substr(first, piece.find_last_not_of(' ') - first + 1);
        keys.push_back(piece);
        if (at == std::string::npos) return keys;
        start = at + 3;
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CatalogueCoverage, TheExtractorReadsLiteralsAsTheCompilerDoes) {
    const std::string src =
        "// \"注释\" is no literal\n"
        "/* \"块注释\" */ f(\"一\" \"二\", '\"', 1'000'000, \"三\\\"x\\n\");\n"
        "g(u8\"四\", R\"x(五\")x\", L\"六\"); h(\"七\" // between\n \"八\");\n";
    std::vector<std::string> texts;
    std::vector<int> lines;
    for (const Literal& l : StringLiterals(src)) {
        texts.push_back(l.text);
        lines.push_back(l.line);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"一二", "三\"x\n", "四", "五\"", "六", "七八"}));
    EXPECT_EQ(lines, (std::vector<int>{2, 2, 3, 3, 3, 3}));
    EXPECT_EQ(LookupKeys("~$~工厂日历^|^: ^|^~$~ 休息日 "),
              (std::vector<std::string>{"工厂日历", ":", "休息日"}));
    EXPECT_TRUE(HasChinese("Halvor提示"));
    EXPECT_FALSE(HasChinese("“}”：，。"));
}

TEST(CatalogueCoverage, EveryChineseTextOfTheSourcesHasAnEnglishEntry) {
    const fs::path root = ZEV_SOURCE_DIR;
    const fs::path catalogueFile = root / "resources" / "ZevManufacture" / "en.po";
    const suite::PoCatalogue english =
        suite::ParsePoCatalogue(ReadFile(catalogueFile), catalogueFile.string());

    std::vector<fs::path> files;
    for (const char* folder : {"component", "host", "suite", "platform", "apps", "window"}) {
        if (!fs::exists(root / folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".cpp" || ext == ".hpp")) {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());

    size_t checked = 0;
    std::string missing;
    for (const fs::path& file : files) {
        for (const Literal& literal : StringLiterals(ReadFile(file))) {
            for (const std::string& key : LookupKeys(literal.text)) {
                if (!HasChinese(key)) continue;
                ++checked;
                if (english.Find(key) == nullptr) {
                    missing += "\n  " + fs::relative(file, root).string() + ":" +
                               std::to_string(literal.line) + ": \"" + key + "\"";
                }
            }
        }
    }
    EXPECT_TRUE(missing.empty()) << "Chinese texts without an entry in " << catalogueFile.string()
                                 << ":" << missing;
    // The sources hold the window's and the error report's texts at the least.
    EXPECT_GE(checked, 20u);
}

}  // namespace
}  // namespace zev::test
