// Language information from the locale and the window font for a language.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "suite/FrmResLoader.hpp"
#include "suite/LangInfo.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

TEST(LangInfo, LanguageOfALocaleName) {
    const std::pair<const char*, const char*> cases[] = {
        {"en_US.UTF-8", "en"},
        {"en", "en"},
        {"en_GB", "en"},
        {"de_DE@euro", "de"},
        {"zh_CN.GB18030", "zh"},
        {"sr@latin", "sr"},
        {"EN_us", "en"},
        {"fr.UTF-8", "fr"},
        {"C", ""},
        {"C.UTF-8", ""},
        {"POSIX", ""},
        {"", ""},
        {"_US", ""},
        {"../en", ""},
        {"/usr/lib/x", ""},
        {"e1_US", ""},
    };
    for (const auto& [locale, language] : cases) {
        EXPECT_EQ(suite::LanguageOfLocale(locale), language) << locale;
    }
}

// Sets the three locale variables for one test and puts them back afterwards.
class LocaleEnvironment : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterSuiteOnce();
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name, value->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
    }
    static void Locale(const char* all, const char* messages, const char* lang) {
        const char* values[] = {all, messages, lang};
        for (int i = 0; i < 3; ++i) {
            if (values[i]) {
                setenv(kNames[i], values[i], 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
    }
    static std::string Current() {
        auto info = automation::CreateObjectAs<host::ILangInfo>(host::progid::kLangInfo);
        return automation::CStr(info->CurrentLanguage());
    }

    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(LocaleEnvironment, TheFirstVariableSetWins) {
    Locale(nullptr, nullptr, nullptr);
    EXPECT_EQ(Current(), "");
    Locale(nullptr, nullptr, "en_US.UTF-8");
    EXPECT_EQ(Current(), "en");
    Locale(nullptr, "de_DE.UTF-8", "en_US.UTF-8");
    EXPECT_EQ(Current(), "de");
    Locale("fr_FR", "de_DE.UTF-8", "en_US.UTF-8");
    EXPECT_EQ(Current(), "fr");
    // An empty variable counts as not set.
    Locale("", "", "en_US.UTF-8");
    EXPECT_EQ(Current(), "en");
    // A variable that is set decides, also when it names no language.
    Locale("C", nullptr, "en_US.UTF-8");
    EXPECT_EQ(Current(), "");
    Locale(nullptr, "POSIX", "en_US.UTF-8");
    EXPECT_EQ(Current(), "");
}

TEST(FrmResLoader, FontsForLanguages) {
    struct Case {
        const char* language;
        const char* family;
        int charset;
    };
    const Case cases[] = {
        {"", "Noto Sans CJK SC", 134},      {"zh", "Noto Sans CJK SC", 134},
        {"zh_CN", "Noto Sans CJK SC", 134}, {"zh-Hans", "Noto Sans CJK SC", 134},
        {"zh_TW", "Noto Sans CJK TC", 136}, {"zh-Hant", "Noto Sans CJK TC", 136},
        {"ZH_hk", "Noto Sans CJK TC", 136}, {"ja", "Noto Sans CJK JP", 128},
        {"ko_KR", "Noto Sans CJK KR", 129}, {"en", "DejaVu Sans", 0},
        {"en_US", "DejaVu Sans", 0},        {"de", "DejaVu Sans", 0},
        {"ru", "DejaVu Sans", 204},         {"el", "DejaVu Sans", 161},
        {"tr", "DejaVu Sans", 162},         {"unknown", "DejaVu Sans", 0},
    };
    for (const Case& c : cases) {
        host::FormFont start;
        start.Bold = true;
        start.Size = 20;
        const host::FormFont font = suite::FontForLanguage(c.language, start);
        EXPECT_EQ(font.Name, c.family) << c.language;
        EXPECT_EQ(font.Charset, c.charset) << c.language;
        EXPECT_EQ(font.Size, 9.0) << c.language;
        EXPECT_TRUE(font.Bold) << c.language;
    }
}

TEST(FrmResLoader, SetsTheWindowsFont) {
    RegisterSuiteOnce();
    struct Window final : host::IFontWindow {
        host::FormFont font;
        host::FormFont& WindowFont() override { return font; }
    } window;
    auto loader = automation::CreateObjectAs<host::IFrmResLoader>(host::progid::kFrmResLoader);
    std::string language = "en";
    loader->SetFrmFont(window, language);
    EXPECT_EQ(window.font.Name, "DejaVu Sans");
    EXPECT_EQ(window.font.Charset, 0);
    EXPECT_EQ(language, "en");
    language = "";
    loader->SetFrmFont(window, language);
    EXPECT_EQ(window.font.Name, "Noto Sans CJK SC");
    EXPECT_EQ(window.font.Charset, 134);
}

}  // namespace
}  // namespace zev::test
