// Language information from the locale and the window font for a language.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

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

TEST(LangInfo, TheCataloguesALocaleNameMayBeServedBy) {
    using List = std::vector<std::string>;
    const std::pair<const char*, List> cases[] = {
        {"en_US.UTF-8@euro", {"en_US@euro", "en_US", "en@euro", "en"}},
        {"en_US.UTF-8", {"en_US", "en"}},
        {"EN_us", {"en_US", "en"}},
        {"es_419", {"es_419", "es"}},
        {"sr@latin", {"sr@latin", "sr"}},
        {"en", {"en"}},
        {"en.po", {"en"}},
        // Parts that could leave the folder are left out, the language kept.
        {"en_US/../x", {"en"}},
        {"en@../x", {"en"}},
        {"C", {}},
        {"../en", {}},
        {"", {}},
    };
    for (const auto& [locale, candidates] : cases) {
        EXPECT_EQ(suite::LocaleCandidates(locale), candidates) << locale;
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
    static void Locale(const char* all, const char* messages, const char* lang,
                       const char* language = nullptr) {
        const char* values[] = {all, messages, lang, language};
        for (int i = 0; i < 4; ++i) {
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

    static constexpr const char* kNames[4] = {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// The catalogues of the build hold English only; Chinese is the source language.
TEST_F(LocaleEnvironment, TheFirstVariableSetWins) {
    Locale(nullptr, nullptr, nullptr);
    EXPECT_EQ(Current(), "");
    Locale(nullptr, nullptr, "en_US.UTF-8");
    EXPECT_EQ(Current(), "en");
    // The variable that is set decides; a language without a catalogue gives the source's.
    Locale(nullptr, "de_DE.UTF-8", "en_US.UTF-8");
    EXPECT_EQ(Current(), "zh");
    Locale("fr_FR", "de_DE.UTF-8", "en_US.UTF-8");
    EXPECT_EQ(Current(), "zh");
    Locale(nullptr, "de_DE.UTF-8", nullptr, "fr:en_GB:zh");
    EXPECT_EQ(Current(), "en");
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
