#include <gtest/gtest.h>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "tests/support/ErrorNumber.hpp"

namespace zev::automation {
namespace {

using test::ErrorNumberOf;

TEST(VariantConversion, ToLongReadsNumbersAndRoundsHalfToEven) {
    EXPECT_EQ(CLng(Variant("  42 ")), 42);
    EXPECT_EQ(CLng(Variant("-7")), -7);
    EXPECT_EQ(CLng(Variant("1e3")), 1000);
    EXPECT_EQ(CLng(Variant("&H10")), 16);
    EXPECT_EQ(CLng(Variant(2.5)), 2);
    EXPECT_EQ(CLng(Variant(3.5)), 4);
    EXPECT_EQ(CLng(Variant(-2.5)), -2);
    EXPECT_EQ(CLng(Variant()), 0);
    EXPECT_EQ(CLng(Variant(true)), -1);
    EXPECT_EQ(CLng(Variant::FromDate(40000.75)), 40001);
}

TEST(VariantConversion, ToLongFailuresCarryTheirNumbers) {
    EXPECT_EQ(ErrorNumberOf([] { CLng(Variant("2009x")); }), errors::kTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([] { CLng(Variant("")); }), errors::kTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([] { CLng(Variant("abc")); }), errors::kTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([] { CLng(Variant::Null()); }), errors::kInvalidUseOfNull);
    EXPECT_EQ(ErrorNumberOf([] { CLng(Variant("2147483648")); }), errors::kOverflow);
    EXPECT_EQ(ErrorNumberOf([] { CLng(Variant(-2147483649.0)); }), errors::kOverflow);
    EXPECT_EQ(CLng(Variant("-2147483648")), INT32_MIN);
    EXPECT_EQ(ErrorNumberOf([] { CInt(Variant(40000)); }), errors::kOverflow);
    EXPECT_EQ(ErrorNumberOf([] { CLng(Variant(ObjectPtr())); }), errors::kTypeMismatch);
}

TEST(VariantConversion, ToDateReadsIsoTextAndFailsOnAnythingElse) {
    EXPECT_EQ(CDate(Variant("2009-06-04")), OleFromCivil(2009, 6, 4));
    EXPECT_EQ(CDate(Variant("2009-1-01")), OleFromCivil(2009, 1, 1));
    EXPECT_EQ(CDate(Variant("2009-06-04 14:30")), OleFromCivil(2009, 6, 4, 14, 30));
    EXPECT_EQ(CDate(Variant("2009-06-04T14:30:15")), OleFromCivil(2009, 6, 4, 14, 30, 15));
    EXPECT_EQ(CDate(Variant("2026-12-08 09:15:02.123")), OleFromCivil(2026, 12, 8, 9, 15, 2));
    EXPECT_EQ(CDate(Variant(39968.0)), 39968.0);
    EXPECT_EQ(ErrorNumberOf([] { CDate(Variant::Null()); }), errors::kInvalidUseOfNull);
    for (const char* bad : {"", "2009-02-30", "2009-13-01", "04/06/2009", "2009-06-04x",
                            "2009-06-04 25:00", "tomorrow"}) {
        EXPECT_EQ(ErrorNumberOf([&] { CDate(Variant(bad)); }), errors::kTypeMismatch) << bad;
    }
    EXPECT_EQ(ErrorNumberOf([] { CDate(Variant(1e9)); }), errors::kOverflow);
}

TEST(VariantConversion, ToText) {
    EXPECT_EQ(CStr(Variant(int32_t{-5})), "-5");
    EXPECT_EQ(CStr(Variant(2.5)), "2.5");
    EXPECT_EQ(CStr(Variant(3.0)), "3");
    EXPECT_EQ(CStr(Variant(true)), "True");
    EXPECT_EQ(CStr(Variant()), "");
    EXPECT_EQ(CStr(Variant::FromDate(OleFromCivil(2009, 6, 4))), "2009-06-04");
    EXPECT_EQ(CStr(Variant::FromDate(OleFromCivil(2009, 6, 4, 14, 30))), "2009-06-04 14:30:00");
    EXPECT_EQ(ErrorNumberOf([] { CStr(Variant::Null()); }), errors::kInvalidUseOfNull);
}

TEST(VariantVal, ReadsTheLeadingNumberOnly) {
    EXPECT_EQ(Val("2009x"), 2009);
    EXPECT_EQ(Val("  12.5abc"), 12.5);
    EXPECT_EQ(Val("-3"), -3);
    EXPECT_EQ(Val("1 2"), 12);  // blanks inside the number are skipped
    EXPECT_EQ(Val("1e2"), 100);
    EXPECT_EQ(Val("1e"), 1);
    EXPECT_EQ(Val("&H1F"), 31);
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val("0"), 0);
    EXPECT_EQ(Val(Variant(int32_t{7})), 7);
    EXPECT_EQ(ErrorNumberOf([] { Val(Variant::Null()); }), errors::kInvalidUseOfNull);
}

TEST(VariantCompare, EqualityWithTextIsNullForNull) {
    EXPECT_TRUE(CBool(EqualsText(Variant("1"), "1")));
    EXPECT_FALSE(CBool(EqualsText(Variant("1 "), "1")));
    EXPECT_FALSE(CBool(EqualsText(Variant("01"), "1")));
    EXPECT_TRUE(CBool(EqualsText(Variant(int32_t{1}), "1")));
    EXPECT_FALSE(CBool(EqualsText(Variant(), "1")));
    const Variant null = EqualsText(Variant::Null(), "1");
    EXPECT_TRUE(null.IsNull());
    // Testing the result as a condition fails as Basic's If does.
    EXPECT_EQ(ErrorNumberOf([&] { CBool(null); }), errors::kInvalidUseOfNull);
}

TEST(PendingError, IsPerThreadAndCanBeSavedAndRestored) {
    ClearErr();
    Err() = ErrorInfo{13, "src", "desc", "help.chm", 7};
    const ErrorInfo saved = Err();
    {
        PendingErrorGuard guard;
        Err() = ErrorInfo{91, "other", "x", "", 0};
    }
    EXPECT_EQ(Err(), saved);
    std::thread([] { EXPECT_EQ(Err().Number, 0); }).join();
    ClearErr();
    EXPECT_EQ(Err(), ErrorInfo{});
}

TEST(PendingError, ForeignExceptionsBecomeRuntimeErrors) {
    auto convert = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            return CurrentExceptionAsError();
        }
        return ComError(0, "", "");
    };
    EXPECT_EQ(convert([] { throw std::bad_alloc(); }).Number(), errors::kOutOfMemory);
    const ComError e = convert([] { throw std::runtime_error("boom"); });
    EXPECT_EQ(e.Number(), errors::kInternalError);
    EXPECT_NE(e.Description().find("boom"), std::string::npos);
}

}  // namespace
}  // namespace zev::automation
