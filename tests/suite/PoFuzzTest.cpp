// Random and mutated catalogues: the reader either gives a catalogue or raises its own
// error naming the file; it never crashes, hangs or reads outside the text. The seed is
// fixed so that a failure repeats.

#include <gtest/gtest.h>

#include <random>

#include "platform/automation/ComError.hpp"
#include "suite/ResLoader.hpp"

namespace zev::test {
namespace {

const std::string kValid =
    "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
    "#, fuzzy\nmsgctxt \"c\"\nmsgid \"工厂日历\"\nmsgstr \"Factory \"\n\"Calendar\"\n\n"
    "msgid \"a\\tb\\\\c\\\"d\\101\\x41\"\nmsgid_plural \"p\"\nmsgstr[0] \"x\"\nmsgstr[1] \"y\"\n"
    "#~ msgid \"old\"\nmsgid \"休息日\"\nmsgstr \"Rest Days\\n\"\n";

// Pieces of PO syntax and bytes that break it.
const std::vector<std::string> kPieces = {
    "msgid",    "msgstr", "msgctxt",     "msgid_plural", "msgstr[0]",    "msgstr[1]",
    "msgstr[",  "\"",     "\\",          "\\n",          "\\x",          "\\777",
    "\\0",      " ",      "\t",          "\n",           "\r\n",         "#",
    "#, fuzzy", "#~",     "charset=GBK", "\xE5\xB7",     "\xE5\xB7\xA5", "\xFF",
    "\xC0\xAF", "a",      "]",           "\xEF\xBB\xBF"};

void ReadSafely(const std::string& text) {
    try {
        const suite::PoCatalogue catalogue = suite::ParsePoCatalogue(text, "fuzz.po");
        for (const auto& [key, value] : catalogue.messages) {
            EXPECT_FALSE(value.empty());
            EXPECT_EQ(catalogue.Find(key), &value);
        }
    } catch (const automation::ComError& e) {
        EXPECT_EQ(e.Source(), suite::kResLoaderSource);
        EXPECT_NE(e.Description().find("fuzz.po:"), std::string::npos) << e.Description();
    }
}

TEST(PoReaderFuzz, RandomTokenSequences) {
    std::mt19937 rng(4061);
    std::uniform_int_distribution<size_t> count(0, 30);
    std::uniform_int_distribution<size_t> pick(0, kPieces.size() - 1);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (size_t n = count(rng); n > 0; --n)
            text += kPieces[pick(rng)];
        ReadSafely(text);
    }
}

TEST(PoReaderFuzz, MutationsOfAValidCatalogue) {
    EXPECT_EQ(suite::ParsePoCatalogue(kValid, "fuzz.po").messages.size(), 2u);
    std::mt19937 rng(1899);
    std::uniform_int_distribution<int> edits(1, 4);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<size_t> pick(0, kPieces.size() - 1);
    for (int i = 0; i < 20000; ++i) {
        std::string text = kValid;
        for (int e = edits(rng); e > 0; --e) {
            std::uniform_int_distribution<size_t> at(0, text.size());
            const size_t pos = at(rng);
            switch (byte(rng) % 4) {
                case 0:
                    text.insert(pos, kPieces[pick(rng)]);
                    break;
                case 1:
                    text.insert(pos, 1, static_cast<char>(byte(rng)));
                    break;
                case 2:
                    text.erase(pos, 1 + byte(rng) % 8);
                    break;
                default:
                    text = text.substr(0, pos);
                    break;  // cut short
            }
        }
        ReadSafely(text);
    }
}

}  // namespace
}  // namespace zev::test
