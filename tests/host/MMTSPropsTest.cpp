// Reading the shared properties of the process and the connection property string.

#include <gtest/gtest.h>
#include <unistd.h>

#include "host/MMTS.hpp"
#include "tests/host/MMTSFakes.hpp"

namespace zev::test {
namespace {

using host::MMTS::CutToken;
using host::MMTS::GetConnectionProperty;
using host::MMTS::GetPropsString;
using host::MMTS::GetPropsValue;
using host::MMTS::NextPropKey;
using host::MMTS::NextPropValue;

class PropsString : public ::testing::Test {
  protected:
    // The value of `key` when the property string is `props`.
    std::string ValueIn(const std::string& props, const std::string& key) {
        manager_.state->answer = Variant(props);
        return GetPropsValue(key);
    }

    ShareProps manager_;
};

TEST_F(PropsString, KeysMatchInAnyCaseAndLoseTheSpacesAroundThem) {
    const std::string props = "Provider=SQLite;  lAnGuAgE  =   en  ;Data Source = cal.db ;";
    EXPECT_EQ(ValueIn(props, "Language"), "en");
    EXPECT_EQ(ValueIn(props, "LANGUAGE"), "en");
    EXPECT_EQ(ValueIn(props, "data source"), "cal.db");
    EXPECT_EQ(ValueIn(props, "provider"), "SQLite");
    EXPECT_EQ(ValueIn(props, "Missing"), "");
    // Only spaces are cut off a value; a tab is part of it.
    EXPECT_EQ(ValueIn("Language=\ten ;", "Language"), "\ten");
}

TEST_F(PropsString, BracesKeepSeparatorsAndDropTheRestOfTheirEntry) {
    const std::string props = "Data Source={ a;b=c } lost;Language=en";
    EXPECT_EQ(ValueIn(props, "Data Source"), "a;b=c");
    EXPECT_EQ(ValueIn(props, "Language"), "en");
    // The first "}" ends the value: braces do not nest.
    EXPECT_EQ(ValueIn("A={x{y}z};Language=en", "A"), "x{y");
    EXPECT_EQ(ValueIn("A={x{y}z};Language=en", "Language"), "en");
    // Only a "{" as the value's first character opens braces.
    EXPECT_EQ(ValueIn("A=x{y;z};Language=en", "A"), "x{y");
    EXPECT_EQ(ValueIn("A=x{y;z};Language=en", "z};Language"), "en");
}

TEST_F(PropsString, BraceWithoutItsEndTakesTheRestAndEndsTheReading) {
    const std::string props = "A={x;Language=de;B=y";
    EXPECT_EQ(ValueIn(props, "A"), "x;Language=de;B=y");
    EXPECT_EQ(ValueIn(props, "Language"), "");
    EXPECT_EQ(ValueIn(props, "B"), "");
}

TEST_F(PropsString, EntryBoundaries) {
    // The last entry needs no ";".
    EXPECT_EQ(ValueIn("A=1;Language=en", "Language"), "en");
    // An empty entry ends up in front of the next key.
    EXPECT_EQ(ValueIn("A=1;;Language=en;", "Language"), "");
    EXPECT_EQ(ValueIn("A=1;;Language=en;", ";Language"), "en");
    // An entry without "=" is read with what follows it, up to the next "=", as one key.
    EXPECT_EQ(ValueIn("junk;Language=en;B=2", "Language"), "");
    EXPECT_EQ(ValueIn("junk;Language=en;B=2", "junk;Language"), "en");
    EXPECT_EQ(ValueIn("junk;Language=en;B=2", "B"), "2");
    // A key that occurs twice gives its first value.
    EXPECT_EQ(ValueIn("Language=en;B=1;LANGUAGE=de", "Language"), "en");
    EXPECT_EQ(ValueIn("Language=;Language=de", "Language"), "");
}

TEST_F(PropsString, AnEmptyKeyEndsTheReadingWithTheEmptyText) {
    EXPECT_EQ(ValueIn("A=1; =x;Language=en", "Language"), "");
    EXPECT_EQ(ValueIn("A=1; =x;Language=en", "A"), "1");
    // Its value belongs to no key asked for, not even to the empty name.
    EXPECT_EQ(ValueIn("=x;A=1", ""), "");
    EXPECT_EQ(ValueIn("A=1", ""), "");
}

TEST_F(PropsString, NothingToReadGivesTheEmptyText) {
    EXPECT_EQ(ValueIn("", "Language"), "");
    EXPECT_EQ(ValueIn("   ", "Language"), "");
    manager_.state->answer = Variant();  // the property was never set
    EXPECT_EQ(GetPropsValue("Language"), "");
    manager_.state->answer = Variant::Null();
    EXPECT_EQ(GetPropsValue("Language"), "");
}

TEST_F(PropsString, AFailingManagerGivesTheEmptyTextFromTheValueReader) {
    manager_.state->failure = ErrorInfo{-9, "PropsMgr", "down", "", 0};
    EXPECT_EQ(GetPropsValue("Language"), "");
    manager_.state->failure.reset();
    manager_.state->failCreate = true;
    EXPECT_EQ(GetPropsValue("Language"), "");
}

TEST_F(PropsString, ThePropertyIsAskedForTwiceWithTheProcessIdAndName) {
    manager_.state->answer = Variant("Language=en");
    EXPECT_EQ(GetPropsString(), "Language=en");
    EXPECT_EQ(manager_.state->created, 1);
    const std::pair<int32_t, std::string> expected{static_cast<int32_t>(::getpid()), "PropsString"};
    EXPECT_EQ(manager_.state->calls,
              (std::vector<std::pair<int32_t, std::string>>{expected, expected}));

    // An object property comes back as the same object.
    auto object = std::make_shared<automation::Object>();
    manager_.state->answer = Variant(object);
    const Variant got = GetConnectionProperty("Connection");
    ASSERT_TRUE(got.IsObject());
    EXPECT_EQ(got.ObjectRef(), object);
    EXPECT_EQ(manager_.state->calls.size(), 4u);
    EXPECT_EQ(manager_.state->calls.back().second, "Connection");
}

TEST_F(PropsString, FailuresCarryTheReadersNameInFrontOfTheirSource) {
    const auto errorOf = [] {
        try {
            GetPropsString();
        } catch (const ComError& e) {
            return e.Info();
        }
        return ErrorInfo{};
    };
    manager_.state->failure = ErrorInfo{-9, "PropsMgr.ShareProps", "down", "props.hlp", 12};
    ErrorInfo e = errorOf();
    EXPECT_EQ(e.Number, -9);
    EXPECT_EQ(e.Description, "down");
    EXPECT_EQ(e.Source, "ZevShopRpt.MMTS.GetConnectionProperty\r\nPropsMgr.ShareProps");
    EXPECT_EQ(manager_.state->calls.size(), 1u);

    manager_.state->failure.reset();
    manager_.state->failCreate = true;
    e = errorOf();
    EXPECT_EQ(e.Number, 429);
    EXPECT_EQ(e.Description, "not installed");
    EXPECT_EQ(e.Source, "ZevShopRpt.MMTS.GetConnectionProperty\r\nPropsMgr");
}

TEST(CutToken, SplitsAtTheFirstSeparatorInAnyCase) {
    std::string text = "abXcdxef";
    EXPECT_EQ(CutToken(text, "x"), "ab");
    EXPECT_EQ(text, "cdxef");
    EXPECT_EQ(CutToken(text, "X"), "cd");
    EXPECT_EQ(text, "ef");
    EXPECT_EQ(CutToken(text, "x"), "ef");
    EXPECT_EQ(text, "");
    EXPECT_EQ(CutToken(text, "x"), "");
    EXPECT_EQ(text, "");

    text = "a^|^b";
    EXPECT_EQ(CutToken(text, "^|^"), "a");
    EXPECT_EQ(text, "b");
    text = ";rest";
    EXPECT_EQ(CutToken(text, ";"), "");
    EXPECT_EQ(text, "rest");
}

TEST(CutToken, KeyAndValueCutters) {
    std::string text = "  Data Source  =  { a;b } lost ;Next=1";
    EXPECT_EQ(NextPropKey(text), "Data Source");
    EXPECT_EQ(NextPropValue(text), "a;b");
    EXPECT_EQ(text, "Next=1");
    EXPECT_EQ(NextPropKey(text), "Next");
    EXPECT_EQ(NextPropValue(text), "1");
    EXPECT_EQ(text, "");
    text = "{ open";
    EXPECT_EQ(NextPropValue(text), "open");
    EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace zev::test
