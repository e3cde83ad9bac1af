#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "component/clsCalDispatch.hpp"
#include "component/mdlCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/ShareProps.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::CallByName;
using automation::DispatchError;
using automation::DispatchFault;
using automation::Variant;
using component::clsCalDispatch;
namespace errors = automation::errors;

constexpr uint16_t kMethod = automation::kInvokeMethod;
constexpr uint16_t kGet = automation::kInvokePropertyGet;
constexpr uint16_t kPut = automation::kInvokePropertyPut;

Variant June(int day) {
    return Variant::FromDate(automation::OleFromCivil(2009, 6, day));
}

// The fault and number a call is refused with; fails the test when it is not refused.
std::pair<DispatchFault, int32_t> Refusal(const std::function<void()>& call) {
    try {
        call();
    } catch (const DispatchError& e) {
        return {e.Fault(), e.Number()};
    }
    ADD_FAILURE() << "the call was not refused";
    return {};
}

// clsCal called through its member table, on the example calendar.
class ClsCalDispatch : public DbTest, public WithScriptedUi {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        suite::SetProcessProperty("PropsString", "Language=zz;" + Db().PropsString());
        WriteExampleCalendar(Conn());
    }

    // Runs `body` with a connected clsCal on a fresh thread.
    void Connected(const std::function<void(clsCalDispatch&)>& body) {
        OnFreshThread([&] {
            clsCalDispatch cal;
            CallByName(cal, "ActiveConnection", kPut, std::vector<Variant>{Variant("")});
            body(cal);
        });
    }
};

TEST_P(ClsCalDispatch, MembersHaveTheirDispidsAndAnswerByNameInAnyCase) {
    const std::vector<std::pair<std::string, int32_t>> expected{{"ActiveConnection", 0x68030002},
                                                                {"SystemName", 0x68030001},
                                                                {"Show", 0x60030003},
                                                                {"IsSetWorkCalendar", 0x68030000},
                                                                {"WorkDayBefore", 0x60030004},
                                                                {"WorkDayAfter", 0x60030005},
                                                                {"WorkDay", 0x60030006}};
    const automation::MemberTable& table = component::clsCalMembers();
    ASSERT_EQ(table.Members().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        std::string lower = expected[i].first;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_EQ(table.Members()[i].Name, expected[i].first) << "slot order";
        EXPECT_EQ(table.IdOfName(expected[i].first), expected[i].second);
        EXPECT_EQ(table.IdOfName(lower), expected[i].second);
    }

    Connected([&](clsCalDispatch& cal) {
        const std::vector<Variant> sunday{June(7)};
        const Variant before = CallByName(cal, "WORKDAYBEFORE", kMethod | kGet, sunday);
        EXPECT_EQ(before.Type(), automation::VarType::Date);
        EXPECT_EQ(before, June(5));
        EXPECT_EQ(automation::Invoke(cal, 0x60030005, kMethod, sunday), June(8));
        EXPECT_EQ(automation::Invoke(cal, 0x60030006, kMethod,
                                     std::vector<Variant>{June(3), Variant(1), Variant(2)}),
                  June(5));
        const Variant flag = CallByName(cal, "isSetWorkCalendar", kGet);
        EXPECT_EQ(flag.Type(), automation::VarType::Boolean);
        EXPECT_EQ(flag, Variant::FromVBool(automation::kFalse));
        CallByName(cal, "systemname", kPut, std::vector<Variant>{Variant(123)});
        EXPECT_EQ(component::mdlCal::State().SystemName, "123");
    });
}

TEST_P(ClsCalDispatch, ArgumentsAreConvertedAsBasicDoesBeforeTheMemberRuns) {
    Connected([&](clsCalDispatch& cal) {
        auto call = [&](std::string_view name, std::vector<Variant> args) {
            return CallByName(cal, name, kMethod, args);
        };
        EXPECT_EQ(call("WorkDayBefore", {Variant("2009-06-07")}), June(5));
        EXPECT_EQ(call("WorkDayAfter", {Variant(" 2009-06-07 ")}), June(8));
        // Direction and Interval go through CLng: texts, halves to even, Booleans.
        EXPECT_EQ(call("WorkDay", {Variant("2009-06-05"), Variant("1"), Variant(1.5)}), June(9));
        EXPECT_EQ(call("WorkDay", {June(7), Variant(true), Variant(int16_t{1})}), June(8));
        EXPECT_EQ(call("WorkDay", {June(7), Variant(), Variant(1)}), June(4));

        // A value that does not convert fails towards the caller; WorkDay's own error
        // report never sees it, since the member has not started.
        EXPECT_EQ(ErrorNumberOf([&] { call("WorkDayBefore", {Variant::Null()}); }),
                  errors::kInvalidUseOfNull);
        EXPECT_EQ(ErrorNumberOf([&] { call("WorkDayAfter", {Variant("next monday")}); }),
                  errors::kTypeMismatch);
        EXPECT_EQ(ErrorNumberOf([&] {
                      call("WorkDay", {June(5), Variant::Null(), Variant(1)});
                  }),
                  errors::kInvalidUseOfNull);
        EXPECT_EQ(ErrorNumberOf([&] {
                      call("WorkDay", {June(5), Variant(1), Variant(3e9)});
                  }),
                  errors::kOverflow);
        EXPECT_TRUE(Ui().Boxes().empty());

        // A Null connection text fails before a new connection replaces the old one.
        EXPECT_EQ(ErrorNumberOf([&] {
                      CallByName(cal, "ActiveConnection", kPut,
                                 std::vector<Variant>{Variant::Null()});
                  }),
                  errors::kInvalidUseOfNull);
        EXPECT_EQ(call("WorkDayBefore", {June(7)}), June(5));
    });
}

TEST_P(ClsCalDispatch, CallsThatDoNotFitTheTableAreRefusedBeforeTheMemberRuns) {
    OnFreshThread([&] {
        clsCalDispatch cal;
        const std::vector<Variant> none;
        const std::vector<Variant> one{Variant("")};
        const std::vector<Variant> two{June(5), Variant(1)};
        using P = std::pair<DispatchFault, int32_t>;

        EXPECT_EQ(Refusal([&] { CallByName(cal, "WorkDays", kMethod, one); }),
                  P(DispatchFault::UnknownName, errors::kNoSuchMember));
        EXPECT_EQ(Refusal([&] { automation::Invoke(cal, 0x60030007, kMethod, one); }),
                  P(DispatchFault::UnknownMember, errors::kNoSuchMember));

        const P badCount{DispatchFault::BadArgCount, errors::kWrongArgCount};
        EXPECT_EQ(Refusal([&] { CallByName(cal, "WorkDay", kMethod, two); }), badCount);
        EXPECT_EQ(Refusal([&] { CallByName(cal, "WorkDayBefore", kMethod, none); }), badCount);
        EXPECT_EQ(Refusal([&] { CallByName(cal, "Show", kMethod, one); }), badCount);
        EXPECT_EQ(Refusal([&] { CallByName(cal, "IsSetWorkCalendar", kGet, one); }), badCount);
        EXPECT_EQ(Refusal([&] { CallByName(cal, "ActiveConnection", kPut, two); }), badCount);

        EXPECT_EQ(Refusal([&] { CallByName(cal, "IsSetWorkCalendar", kPut, one); }),
                  P(DispatchFault::WrongKind, errors::kReadOnlyProperty));
        EXPECT_EQ(Refusal([&] { CallByName(cal, "SystemName", kMethod | kGet, none); }),
                  P(DispatchFault::WrongKind, errors::kWriteOnlyProperty));
        EXPECT_EQ(Refusal([&] { CallByName(cal, "WorkDayBefore", kPut, one); }),
                  P(DispatchFault::WrongKind, errors::kNoSuchMember));
        EXPECT_EQ(Refusal([&] { CallByName(cal, "Show", kGet, none); }),
                  P(DispatchFault::WrongKind, errors::kNoSuchMember));
        EXPECT_EQ(Refusal([&] { CallByName(cal, "ActiveConnection", kMethod, one); }),
                  P(DispatchFault::WrongKind, errors::kNoSuchMember));

        // None of them reached the member: still no connection.
        EXPECT_FALSE(component::mdlCal::State().ActiveConnection);
        try {
            CallByName(cal, "IsSetWorkCalendar", kPut, one);
        } catch (const DispatchError& e) {
            EXPECT_NE(e.Description().find("IsSetWorkCalendar"), std::string::npos)
                << "the refusal names the member: " << e.Description();
        }
    });
}

TEST_P(ClsCalDispatch, MemberFailuresCarryNumberSourceAndDescription) {
    OnFreshThread([&] {
        clsCalDispatch cal;
        try {
            CallByName(cal, "WorkDayBefore", kMethod, std::vector<Variant>{June(7)});
            ADD_FAILURE() << "WorkDayBefore without a connection succeeded";
        } catch (const automation::ComError& e) {
            EXPECT_EQ(e.Number(), errors::kObjectNotSet);
            EXPECT_EQ(e.Source(), automation::kRuntimeSource);
            EXPECT_EQ(e.Description(), automation::StandardDescription(errors::kObjectNotSet));
        }

        const automation::ErrorInfo refused{static_cast<int32_t>(0x80004005u), "TestServer",
                                            "server refused", "server.chm", 17};
        automation::ScopedFactory failing(
            host::progid::kAppConnection,
            [&]() -> automation::ObjectPtr { throw automation::ComError(refused); });
        try {
            CallByName(cal, "ActiveConnection", kPut, std::vector<Variant>{Variant("")});
            ADD_FAILURE() << "ActiveConnection succeeded without a connection object";
        } catch (const automation::ComError& e) {
            EXPECT_EQ(e.Info(), refused);
        }
    });
}

ZEV_INSTANTIATE_DB_TEST(ClsCalDispatch);

}  // namespace
}  // namespace zev::test
