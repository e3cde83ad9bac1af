// The localised text lookup and the window font. MMTS keeps its caches per thread for
// the life of the thread, so every scenario runs on a thread of its own.

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "host/MMTS.hpp"
#include "tests/host/MMTSFakes.hpp"

namespace zev::test {
namespace {

using host::MMTS::ApplyFormFont;
using host::MMTS::LoadLocalText;

void OnFreshThread(const std::function<void()>& scenario) {
    std::thread thread(scenario);
    thread.join();
}

class TextLookup : public ::testing::Test {
  protected:
    TextLookup() {
        loader_.state->texts = {{"工厂日历", "Factory Calendar"}, {"休息日", "Rest Days"}};
        Props("Language=en;");
    }
    void Props(const std::string& props) { manager_.state->answer = Variant(props); }

    ShareProps manager_;
    ResLoader loader_;
    LangInfo langInfo_;
    FontLoader fontLoader_;
};

TEST_F(TextLookup, TheLanguageOfThePropertyStringComesFirstAndIsKept) {
    OnFreshThread([&] {
        EXPECT_EQ(LoadLocalText("工厂日历"), "Factory Calendar");
        EXPECT_EQ(LoadLocalText("休息日"), "Rest Days");
    });
    EXPECT_EQ(langInfo_.state->created, 0);
    EXPECT_EQ(manager_.state->created, 1);
    EXPECT_EQ(loader_.state->creations, 1);
    EXPECT_EQ(loader_.Last().base_, "ZevManufacture");
    EXPECT_EQ(loader_.Last().language_, "en");
    EXPECT_EQ(loader_.state->keys, (std::vector<std::string>{"工厂日历", "休息日"}));
}

TEST_F(TextLookup, WithoutALanguageBothSourcesAreAskedOnEveryLookup) {
    Props("Provider=SQLite;");
    OnFreshThread([&] {
        LoadLocalText("休息日");
        EXPECT_EQ(loader_.Last().language_, "");  // written, although empty
        LoadLocalText("休息日");
        EXPECT_EQ(manager_.state->created, 2);
        EXPECT_EQ(langInfo_.state->created, 2);
        EXPECT_EQ(loader_.state->setLanguage, 1);

        langInfo_.state->answer = Variant("de");
        LoadLocalText("休息日");
        EXPECT_EQ(loader_.Last().language_, "de");
        LoadLocalText("休息日");
        EXPECT_EQ(manager_.state->created, 3);
        EXPECT_EQ(langInfo_.state->created, 3);
    });
    EXPECT_EQ(loader_.state->creations, 1);
}

TEST_F(TextLookup, AFailingLanguageObjectIsAskedAgainNextTime) {
    Props("");
    langInfo_.state->failCreate = true;
    OnFreshThread([&] {
        EXPECT_EQ(LoadLocalText("休息日"), "休息日");
        langInfo_.state->failCreate = false;
        langInfo_.state->answer = Variant("en");
        EXPECT_EQ(LoadLocalText("休息日"), "Rest Days");
    });
    EXPECT_EQ(langInfo_.state->created, 2);
}

TEST_F(TextLookup, TheLoadersPropertiesAreWrittenOnlyWhenTheyDiffer) {
    OnFreshThread([&] {
        LoadLocalText("休息日");
        LoadLocalText("工厂日历");
        EXPECT_EQ(loader_.state->getBase, 2);
        EXPECT_EQ(loader_.state->getLanguage, 2);
        EXPECT_EQ(loader_.state->setBase, 1);
        EXPECT_EQ(loader_.state->setLanguage, 1);

        loader_.Last().base_ = "Other";
        loader_.Last().language_ = "fr";
        LoadLocalText("休息日");
        EXPECT_EQ(loader_.state->setBase, 2);
        EXPECT_EQ(loader_.state->setLanguage, 2);
        EXPECT_EQ(loader_.Last().base_, "ZevManufacture");
        EXPECT_EQ(loader_.Last().language_, "en");
    });
}

TEST_F(TextLookup, SpacesAroundTheKeyArePutBackAroundTheAnswer) {
    OnFreshThread([&] {
        EXPECT_EQ(LoadLocalText("  休息日 "), "  Rest Days ");
        EXPECT_EQ(loader_.state->keys.back(), "休息日");
        // Tabs and line breaks are part of the key.
        EXPECT_EQ(LoadLocalText("\t休息日\r\n"), "\t休息日\r\n");
        EXPECT_EQ(loader_.state->keys.back(), "\t休息日\r\n");
        // Spaces alone: an empty key, all spaces behind the answer.
        loader_.state->texts[""] = "<empty>";
        EXPECT_EQ(LoadLocalText("   "), "<empty>   ");
        EXPECT_EQ(LoadLocalText(""), "<empty>");
        EXPECT_EQ(loader_.state->keys.back(), "");
    });
}

TEST_F(TextLookup, SpaceModeAddsMissingSpacesInEnglishOnly) {
    OnFreshThread([&] {
        EXPECT_EQ(LoadLocalText("休息日", 0), "Rest Days");
        EXPECT_EQ(LoadLocalText("休息日", 1), " Rest Days");
        EXPECT_EQ(LoadLocalText("休息日", 2), "Rest Days ");
        EXPECT_EQ(LoadLocalText("休息日", 3), " Rest Days ");
        EXPECT_EQ(LoadLocalText("休息日", 4), "Rest Days");
        EXPECT_EQ(LoadLocalText("休息日", -1), "Rest Days");
        // Spaces that are there already stay as they are.
        EXPECT_EQ(LoadLocalText("  休息日", 3), "  Rest Days ");
        EXPECT_EQ(LoadLocalText("休息日  ", 1), " Rest Days  ");
    });
    for (const char* language : {"de", "EN", "en_US"}) {
        Props(std::string("Language=") + language);
        OnFreshThread([&] {
            EXPECT_EQ(LoadLocalText("休息日", 3), "Rest Days") << language;
            EXPECT_EQ(loader_.Last().language_, language);
        });
    }
}

TEST_F(TextLookup, CompoundTextsTranslateOnlyTheirMarkedPieces) {
    OnFreshThread([&] {
        EXPECT_EQ(LoadLocalText("~$~工厂日历^|^: ^|^~$~ 休息日 "), "Factory Calendar:  Rest Days ");
        EXPECT_EQ(loader_.state->keys, (std::vector<std::string>{"工厂日历", "休息日"}));
        // A mark that is not the piece's very first character is copied with it.
        EXPECT_EQ(LoadLocalText(" ~$~休息日^|^~$~工厂日历"), " ~$~休息日Factory Calendar");
        // Marks at either end and two in a row give empty pieces.
        EXPECT_EQ(LoadLocalText("^|^~$~休息日^|^^|^x^|^"), "Rest Daysx");
        EXPECT_EQ(LoadLocalText("^|^"), "");
        // "^|^" only counts whole; a piece without a mark is not looked up.
        EXPECT_EQ(LoadLocalText("a^|b^|^休息日"), "a^|b休息日");
        EXPECT_EQ(loader_.state->keys.size(), 4u);
        // Pieces are looked up with SpaceMode 0.
        EXPECT_EQ(LoadLocalText("~$~休息日^|^", 3), "Rest Days");
    });
}

TEST_F(TextLookup, ALoaderThatCannotBeCreatedIsTriedAgainOnTheNextLookup) {
    loader_.state->failCreations = 2;
    OnFreshThread([&] {
        EXPECT_EQ(LoadLocalText(" 休息日 ", 3), " 休息日 ");
        EXPECT_EQ(LoadLocalText("~$~工厂日历^|^: "), "~$~工厂日历^|^: ");
        EXPECT_EQ(LoadLocalText("休息日"), "Rest Days");
        EXPECT_EQ(LoadLocalText("工厂日历"), "Factory Calendar");
    });
    EXPECT_EQ(loader_.state->creations, 3);
}

TEST_F(TextLookup, AFailingKeyGivesItsSourceTextAndOtherPiecesStillTranslate) {
    loader_.state->failingKeys = {"休息日"};
    OnFreshThread([&] {
        EXPECT_EQ(LoadLocalText("  休息日 "), "  休息日 ");
        EXPECT_EQ(LoadLocalText("~$~工厂日历^|^: ^|^~$~ 休息日 "), "Factory Calendar:  休息日 ");
    });
}

TEST_F(TextLookup, ThePendingErrorSurvivesEveryLookup) {
    const ErrorInfo pending{-2147221502, "工厂日历", "系统核算参数没有正确设置", "zev.chm", 42};
    const auto lookups = [&] {
        EXPECT_EQ(LoadLocalText("休息日"), "Rest Days");
        EXPECT_EQ(automation::Err(), pending);
        EXPECT_EQ(LoadLocalText("~$~工厂日历^|^x^|^~$~休息日"), "Factory CalendarxRest Days");
        EXPECT_EQ(automation::Err(), pending);
    };
    OnFreshThread([&] {
        automation::Err() = pending;
        lookups();  // the caches are filled here
        lookups();  // and used here
        loader_.state->failingKeys = {"休息日"};
        EXPECT_EQ(LoadLocalText("休息日"), "休息日");
        EXPECT_EQ(automation::Err(), pending);
        // The error report looks up the pending error's own description; restoring the
        // error inside must not pull the text from under the lookup.
        loader_.state->failingKeys.clear();
        automation::Err().Description = "~$~工厂日历^|^: a file name^|^~$~休息日";
        const ErrorInfo describing = automation::Err();
        EXPECT_EQ(LoadLocalText(automation::Err().Description),
                  "Factory Calendar: a file nameRest Days");
        EXPECT_EQ(automation::Err(), describing);
        // With nothing pending, a failure inside leaves nothing pending either.
        loader_.state->failingKeys = {"休息日"};
        automation::ClearErr();
        EXPECT_EQ(LoadLocalText("休息日"), "休息日");
        EXPECT_EQ(automation::Err(), ErrorInfo{});
    });
    loader_.state->failCreations = 1;
    loader_.state->creations = 0;
    Props("");
    langInfo_.state->failCreate = true;
    OnFreshThread([&] {
        automation::Err() = pending;
        EXPECT_EQ(LoadLocalText("休息日"), "休息日");
        EXPECT_EQ(automation::Err(), pending);
    });
}

TEST_F(TextLookup, EachThreadHasItsOwnCaches) {
    OnFreshThread([&] { LoadLocalText("休息日"); });
    Props("Language=de;");
    OnFreshThread([&] {
        LoadLocalText("休息日");
        EXPECT_EQ(loader_.Last().language_, "de");
    });
    EXPECT_EQ(loader_.state->creations, 2);
    EXPECT_EQ(manager_.state->created, 2);
}

TEST_F(TextLookup, TheWindowFontUsesThePropertyStringAloneAndSharesTheLanguage) {
    OnFreshThread([&] {
        Window window;
        ApplyFormFont(window);
        ApplyFormFont(window);
        EXPECT_EQ(window.font.Name, "Font for en");
        ASSERT_EQ(fontLoader_.state->calls.size(), 2u);
        EXPECT_EQ(fontLoader_.state->calls[0].first, &window);
        EXPECT_EQ(fontLoader_.state->calls[0].second, "en");
        // The language found for the font serves the lookup: no second read.
        Props("Language=de;");
        LoadLocalText("休息日");
        EXPECT_EQ(loader_.Last().language_, "en");
    });
    EXPECT_EQ(fontLoader_.state->created, 1);
    EXPECT_EQ(manager_.state->created, 1);

    Props("Provider=SQLite;");
    langInfo_.state->answer = Variant("fr");
    OnFreshThread([&] {
        Window window;
        ApplyFormFont(window);
        EXPECT_EQ(fontLoader_.state->calls.back().second, "");
        EXPECT_EQ(langInfo_.state->created, 0);
        // The lookup still looks further for the language the font did not find.
        LoadLocalText("休息日");
        EXPECT_EQ(langInfo_.state->created, 1);
        ApplyFormFont(window);
        EXPECT_EQ(fontLoader_.state->calls.back().second, "fr");
    });
}

TEST_F(TextLookup, WindowFontFailuresReachTheCaller) {
    fontLoader_.state->failCreate = true;
    OnFreshThread([&] {
        Window window;
        EXPECT_THROW(ApplyFormFont(window), ComError);
        fontLoader_.state->failCreate = false;
        fontLoader_.state->failCall = true;
        try {
            ApplyFormFont(window);
            ADD_FAILURE() << "no error";
        } catch (const ComError& e) {
            EXPECT_EQ(e.Number(), -7);
            EXPECT_EQ(e.Source(), "FrmRes");
        }
        EXPECT_EQ(window.font, host::FormFont{});
    });
    EXPECT_EQ(fontLoader_.state->created, 2);
}

}  // namespace
}  // namespace zev::test
