// Random property strings: the reader must end, stay inside the text and keep its
// promises for whatever the property manager hands it. The seed is fixed so that a
// failure repeats.

#include <gtest/gtest.h>

#include <random>

#include "host/MMTS.hpp"
#include "tests/host/MMTSFakes.hpp"

namespace zev::test {
namespace {

using host::MMTS::CutToken;
using host::MMTS::GetPropsValue;
using host::MMTS::NextPropKey;
using host::MMTS::NextPropValue;

// Mostly the characters the reader reacts to, some letters, and bytes of UTF-8 and
// of broken UTF-8.
std::string RandomPropsString(std::mt19937& rng) {
    static const std::vector<std::string> pieces = {"=",
                                                    ";",
                                                    "{",
                                                    "}",
                                                    " ",
                                                    "\t",
                                                    "a",
                                                    "L",
                                                    "Language",
                                                    "language",
                                                    "en",
                                                    "^|^",
                                                    "\xE5\xB7\xA5",
                                                    "\xFF",
                                                    std::string(1, '\0'),
                                                    "\r\n",
                                                    "==",
                                                    ";;",
                                                    "{ ",
                                                    " }"};
    std::uniform_int_distribution<size_t> count(0, 40);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::string s;
    for (size_t n = count(rng); n > 0; --n)
        s += pieces[pick(rng)];
    return s;
}

bool HasOuterSpace(const std::string& s) {
    return !s.empty() && (s.front() == ' ' || s.back() == ' ');
}

TEST(PropsStringFuzz, RandomStringsAreReadSafely) {
    ShareProps manager;
    std::mt19937 rng(20090601);
    for (int i = 0; i < 20000; ++i) {
        const std::string props = RandomPropsString(rng);
        manager.state->answer = Variant(props);
        for (const char* key : {"Language", "a", "", ";Language"}) {
            const std::string value = GetPropsValue(key);
            EXPECT_FALSE(HasOuterSpace(value)) << props;
            // A value is always a piece of the string.
            EXPECT_NE(props.find(value), std::string::npos) << props;
        }

        // Cutting entries by hand uses the text up, one entry at a time.
        std::string rest = props;
        for (size_t steps = 0; !rest.empty(); ++steps) {
            ASSERT_LE(steps, props.size()) << props;
            const size_t before = rest.size();
            EXPECT_FALSE(HasOuterSpace(NextPropKey(rest)));
            EXPECT_FALSE(HasOuterSpace(NextPropValue(rest)));
            ASSERT_LT(rest.size(), before) << props;
        }

        // CutToken returns the part before the separator and keeps what follows it.
        std::string text = props;
        const std::string head = CutToken(text, "=");
        if (props.find('=') != std::string::npos) {
            EXPECT_EQ(head + "=" + text, props);
        } else {
            EXPECT_EQ(head, props);
            EXPECT_EQ(text, "");
        }
    }
}

}  // namespace
}  // namespace zev::test
