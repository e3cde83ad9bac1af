#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "component/ZevEnum.hpp"
#include "component/clsCalCom.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComObject.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/ShareProps.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/TestDatabase.hpp"
#include "zevworkcal/zevworkcal.h"

namespace zev::test {
namespace {

double June(int day) {
    return automation::OleFromCivil(2009, 6, day);
}

VARIANT DateArg(double d) {
    VARIANT v{};
    v.vt = VT_DATE;
    v.date = d;
    return v;
}

VARIANT TextArg(char* text) {
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = text;
    return v;
}

// What one Invoke gave back; frees the texts of EXCEPINFO.
struct Outcome {
    HRESULT hr = S_OK;
    VARIANT result{};
    SCODE scode = 0;
    std::string source;
    std::string description;
    bool helpFile = false;
    UINT argErr = 12345;
};

Outcome Call(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> argsLastFirst,
             std::vector<DISPID> named = {}) {
    DISPPARAMS params{argsLastFirst.data(), named.data(), static_cast<UINT>(argsLastFirst.size()),
                      static_cast<UINT>(named.size())};
    Outcome o;
    EXCEPINFO e{};
    o.hr = object->lpVtbl->Invoke(object, id, &IID_NULL, 0x409, flags, &params, &o.result, &e,
                                  &o.argErr);
    o.scode = e.scode;
    if (e.bstrSource != nullptr) o.source = e.bstrSource;
    if (e.bstrDescription != nullptr) o.description = e.bstrDescription;
    o.helpFile = e.bstrHelpFile != nullptr;
    std::free(e.bstrSource);
    std::free(e.bstrDescription);
    std::free(e.bstrHelpFile);
    return o;
}

Outcome Put(IDispatch* object, DISPID id, VARIANT value) {
    return Call(object, id, DISPATCH_PROPERTYPUT, {value}, {DISPID_PROPERTYPUT});
}

// The calling thread's error object, taken through the object; nullopt when there is none.
struct TakenError {
    HRESULT number = S_OK;
    std::string source;
    std::string description;
    bool helpFile = false;
    bool namesClsCal = false;
};
std::optional<TakenError> TakeError(IDispatch* object) {
    IZevSupportErrorInfo* support = nullptr;
    EXPECT_EQ(object->lpVtbl->QueryInterface(object, &IID_IZevSupportErrorInfo,
                                             reinterpret_cast<void**>(&support)),
              S_OK);
    IErrorInfo* info = nullptr;
    const HRESULT hr = support->lpVtbl->GetErrorInfo(support, 0, &info);
    support->lpVtbl->Release(support);
    if (hr == S_FALSE && info == nullptr) return std::nullopt;
    EXPECT_EQ(hr, S_OK);
    IZevErrorInfo* numbered = nullptr;
    EXPECT_EQ(
        info->lpVtbl->QueryInterface(info, &IID_IZevErrorInfo, reinterpret_cast<void**>(&numbered)),
        S_OK);
    TakenError e;
    numbered->lpVtbl->GetNumber(numbered, &e.number);
    numbered->lpVtbl->Release(numbered);
    BSTR texts[3] = {};
    info->lpVtbl->GetSource(info, &texts[0]);
    info->lpVtbl->GetDescription(info, &texts[1]);
    info->lpVtbl->GetHelpFile(info, &texts[2]);
    e.source = texts[0] ? texts[0] : "";
    e.description = texts[1] ? texts[1] : "";
    e.helpFile = texts[2] != nullptr;
    for (BSTR t : texts)
        std::free(t);
    GUID iid{};
    info->lpVtbl->GetGUID(info, &iid);
    e.namesClsCal = IsEqualGUID(&iid, &IID_clsCal);
    EXPECT_EQ(info->lpVtbl->Release(info), 0u);
    return e;
}

// A text loader that knows one translation, to see which texts go through the lookup.
class OneWordLoader final : public automation::Object, public host::IResLoader {
  public:
    std::string GetResFileBaseName() override { return base_; }
    void SetResFileBaseName(const std::string& name) override { base_ = name; }
    std::string GetLanguageID() override { return language_; }
    void SetLanguageID(const std::string& language) override { language_ = language; }
    std::string LoadString(std::string& key) override {
        return key == "工厂日历" ? "Factory Calendar" : key;
    }

  private:
    std::string base_;
    std::string language_;
};

// clsCal through its binary interface, on the example calendar.
class ClsCalObject : public DbTest, public WithScriptedUi {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        suite::SetProcessProperty("PropsString", "Language=xx;" + Db().PropsString());
        WriteExampleCalendar(Conn());
        // After the suite's registration, so that this loader is the one created.
        loader_ = std::make_unique<automation::ScopedFactory>(
            host::progid::kResLoader, [] { return std::make_shared<OneWordLoader>(); });
    }
    void TearDown() override {
        loader_.reset();
        DbTest::TearDown();
    }

    // Runs `body` on a fresh thread with a new object, released afterwards.
    void WithObject(const std::function<void(IDispatch*)>& body) {
        OnFreshThread([&] {
            IDispatch* object = component::CreateClsCalObject();
            body(object);
            EXPECT_EQ(object->lpVtbl->Release(object), 0u);
        });
    }

    std::unique_ptr<automation::ScopedFactory> loader_;
    char empty_[1] = "";
};

TEST_P(ClsCalObject, InvokeReadsArgumentsLastToFirstAndByReference) {
    WithObject([&](IDispatch* cal) {
        ASSERT_EQ(Put(cal, DISPID_clsCal_ActiveConnection, TextArg(empty_)).hr, S_OK);

        // WorkDay(dtDay, Direction, Interval) arrives as Interval, Direction, dtDay.
        VARIANT direction{};
        direction.vt = VT_I4;
        direction.lVal = component::Dir_Forward;
        VARIANT interval{};
        interval.vt = VT_I2;
        interval.iVal = 2;
        Outcome o = Call(cal, DISPID_clsCal_WorkDay, DISPATCH_METHOD,
                         {interval, direction, DateArg(June(3))});
        ASSERT_EQ(o.hr, S_OK) << o.description;
        EXPECT_EQ(o.result.vt, VT_DATE);
        EXPECT_EQ(o.result.date, June(5));

        double sunday = June(7);
        VARIANT byRef{};
        byRef.vt = VT_BYREF | VT_DATE;
        byRef.pdate = &sunday;
        o = Call(cal, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {byRef});
        EXPECT_EQ(o.hr, S_OK);
        EXPECT_EQ(o.result.date, June(5));

        char text[] = "2009-06-07";
        VARIANT inner = TextArg(text);
        VARIANT variantRef{};
        variantRef.vt = VT_BYREF | VT_VARIANT;
        variantRef.pvarVal = &inner;
        o = Call(cal, DISPID_clsCal_WorkDayAfter, DISPATCH_METHOD, {variantRef});
        EXPECT_EQ(o.hr, S_OK);
        EXPECT_EQ(o.result.date, June(8));

        o = Call(cal, DISPID_clsCal_IsSetWorkCalendar, DISPATCH_PROPERTYGET, {});
        EXPECT_EQ(o.hr, S_OK);
        EXPECT_EQ(o.result.vt, VT_BOOL);
        EXPECT_EQ(o.result.boolVal, VARIANT_FALSE);
    });
}

TEST_P(ClsCalObject, MalformedCallsGetTheirDispatchCodes) {
    WithObject([&](IDispatch* cal) {
        char name[] = "workdaybefore";
        char unknown[] = "WorkDays";
        char parameter[] = "dtDay";
        char* names[] = {name, parameter};
        DISPID ids[2] = {0, 0};
        EXPECT_EQ(cal->lpVtbl->GetIDsOfNames(cal, &IID_NULL, names, 1, 0x409, ids), S_OK);
        EXPECT_EQ(ids[0], DISPID_clsCal_WorkDayBefore);
        // Parameter names are not known; the member's DISPID is still given.
        EXPECT_EQ(cal->lpVtbl->GetIDsOfNames(cal, &IID_NULL, names, 2, 0x409, ids),
                  DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids[0], DISPID_clsCal_WorkDayBefore);
        EXPECT_EQ(ids[1], DISPID_UNKNOWN);
        names[0] = unknown;
        EXPECT_EQ(cal->lpVtbl->GetIDsOfNames(cal, &IID_NULL, names, 1, 0x409, ids),
                  DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids[0], DISPID_UNKNOWN);

        const VARIANT day = DateArg(June(7));
        EXPECT_EQ(Call(cal, 0x60030042, DISPATCH_METHOD, {day}).hr, DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(Call(cal, DISPID_clsCal_WorkDay, DISPATCH_METHOD, {day}).hr,
                  DISP_E_BADPARAMCOUNT);
        EXPECT_EQ(Put(cal, DISPID_clsCal_IsSetWorkCalendar, day).hr, DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(Call(cal, DISPID_clsCal_SystemName, DISPATCH_PROPERTYGET, {}).hr,
                  DISP_E_MEMBERNOTFOUND);
        // A put names its value; nothing else takes named arguments.
        EXPECT_EQ(Call(cal, DISPID_clsCal_SystemName, DISPATCH_PROPERTYPUT, {day}).hr,
                  DISP_E_PARAMNOTFOUND);
        EXPECT_EQ(Call(cal, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD, {day}, {0}).hr,
                  DISP_E_NONAMEDARGS);

        VARIANT strange{};
        strange.vt = 0x1234;
        VARIANT one{};
        one.vt = VT_I4;
        one.lVal = 1;
        Outcome o = Call(cal, DISPID_clsCal_WorkDay, DISPATCH_METHOD, {one, strange, day});
        EXPECT_EQ(o.hr, DISP_E_BADVARTYPE);
        EXPECT_EQ(o.argErr, 1u);
        VARIANT missing{};
        missing.vt = VT_ERROR;
        missing.scode = DISP_E_PARAMNOTFOUND;
        o = Call(cal, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD, {missing});
        EXPECT_EQ(o.hr, DISP_E_PARAMNOTOPTIONAL);
        EXPECT_EQ(o.argErr, 0u);
        VARIANT nullRef{};
        nullRef.vt = VT_BYREF | VT_DATE;
        EXPECT_EQ(Call(cal, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD, {nullRef}).hr,
                  E_INVALIDARG);
        VARIANT loop{};
        loop.vt = VT_BYREF | VT_VARIANT;
        loop.pvarVal = &loop;
        EXPECT_EQ(Call(cal, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD, {loop}).hr,
                  DISP_E_BADVARTYPE);

        DISPPARAMS none{nullptr, nullptr, 0, 0};
        EXPECT_EQ(cal->lpVtbl->Invoke(cal, DISPID_clsCal_Show, &IID_IDispatch, 0, DISPATCH_METHOD,
                                      &none, nullptr, nullptr, nullptr),
                  DISP_E_UNKNOWNINTERFACE);
        EXPECT_TRUE(Ui().Boxes().empty()) << "Show ran";
    });
}

TEST_P(ClsCalObject, FailuresComeBackAsExceptionInfo) {
    WithObject([&](IDispatch* cal) {
        // No connection yet: run-time error 91 in the facility of run-time errors.
        Outcome o = Call(cal, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD, {DateArg(June(7))});
        EXPECT_EQ(o.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(o.scode, static_cast<SCODE>(0x800A005Bu));
        EXPECT_EQ(o.source, automation::kRuntimeSource);
        EXPECT_EQ(o.description, automation::StandardDescription(91));
        EXPECT_FALSE(o.helpFile);
        EXPECT_EQ(o.result.vt, VT_EMPTY);

        // Values that are no date fail as overflow, through either path, before any query.
        const double notADate = std::numeric_limits<double>::quiet_NaN();
        EXPECT_EQ(
            Call(cal, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD, {DateArg(notADate)}).scode,
            static_cast<SCODE>(0x800A0006u));
        VARIANT huge{};
        huge.vt = VT_R8;
        huge.dblVal = 1e300;
        EXPECT_EQ(Call(cal, DISPID_clsCal_WorkDayAfter, DISPATCH_METHOD, {huge}).scode,
                  static_cast<SCODE>(0x800A0006u));
        ZevClsCal* dual = reinterpret_cast<ZevClsCal*>(cal);
        double day = 1;
        EXPECT_EQ(dual->lpVtbl->WorkDayAfter(dual, notADate, &day),
                  static_cast<HRESULT>(0x800A0006u));

        VARIANT null{};
        null.vt = VT_NULL;
        EXPECT_EQ(Call(cal, DISPID_clsCal_WorkDayAfter, DISPATCH_METHOD, {null}).scode,
                  static_cast<SCODE>(0x800A005Eu));

        // A failure numbered as an HRESULT keeps its number; the description users read
        // has been through the text lookup; the help file comes along.
        int32_t number = static_cast<int32_t>(0x80040E4Du);
        automation::ScopedFactory failing(
            host::progid::kAppConnection, [&]() -> automation::ObjectPtr {
                throw automation::ComError(automation::ErrorInfo{
                    number, "TestServer", automation::MarkedText("工厂日历", ": offline"),
                    "server.chm", 3});
            });
        o = Put(cal, DISPID_clsCal_ActiveConnection, TextArg(empty_));
        EXPECT_EQ(o.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(o.scode, number);
        EXPECT_EQ(o.source, "TestServer");
        EXPECT_EQ(o.description, "Factory Calendar: offline");
        EXPECT_TRUE(o.helpFile);

        // Numbers that would read as success still travel as failures.
        for (int32_t success : {0, 65536}) {
            number = success;
            o = Put(cal, DISPID_clsCal_ActiveConnection, TextArg(empty_));
            EXPECT_EQ(o.hr, DISP_E_EXCEPTION);
            EXPECT_EQ(o.scode, E_FAIL) << success;
        }
        number = 65535;
        EXPECT_EQ(Put(cal, DISPID_clsCal_ActiveConnection, TextArg(empty_)).scode,
                  static_cast<SCODE>(0x800AFFFFu));
    });
}

TEST_P(ClsCalObject, FailuresLeaveTheirThreadAnErrorObjectUntilTheNextCall) {
    WithObject([&](IDispatch* cal) {
        auto* dual = reinterpret_cast<ZevClsCal*>(cal);
        const ZevClsCalVtbl& v = *dual->lpVtbl;
        double day = 0;
        EXPECT_EQ(v.WorkDayAfter(dual, June(7), &day), static_cast<HRESULT>(0x800A005Bu));
        std::optional<TakenError> e = TakeError(cal);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->number, static_cast<HRESULT>(0x800A005Bu));
        EXPECT_EQ(e->source, automation::kRuntimeSource);
        EXPECT_EQ(e->description, automation::StandardDescription(91));
        EXPECT_TRUE(e->namesClsCal);
        EXPECT_FALSE(TakeError(cal)) << "handed out twice";

        // Each thread has its own; a call that succeeds, or fails without one, clears it.
        EXPECT_NE(v.WorkDayBefore(dual, June(7), &day), S_OK);
        std::thread([&] { EXPECT_FALSE(TakeError(cal)); }).join();
        EXPECT_EQ(v.WorkDayBefore(dual, June(7), nullptr), E_POINTER);
        EXPECT_FALSE(TakeError(cal));
        EXPECT_NE(v.WorkDayBefore(dual, June(7), &day), S_OK);
        EXPECT_EQ(v.put_SystemName(dual, empty_), S_OK);
        EXPECT_FALSE(TakeError(cal));

        // Invoke records it as well, the description as users read it.
        automation::ScopedFactory failing(
            host::progid::kAppConnection, [&]() -> automation::ObjectPtr {
                throw automation::ComError(automation::ErrorInfo{
                    static_cast<int32_t>(0x80040E4Du), "TestServer",
                    automation::MarkedText("工厂日历", ": offline"), "server.chm", 3});
            });
        EXPECT_EQ(Put(cal, DISPID_clsCal_ActiveConnection, TextArg(empty_)).hr, DISP_E_EXCEPTION);
        e = TakeError(cal);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->number, static_cast<HRESULT>(0x80040E4Du));
        EXPECT_EQ(e->source, "TestServer");
        EXPECT_EQ(e->description, "Factory Calendar: offline");
        EXPECT_TRUE(e->helpFile);
    });
}

TEST_P(ClsCalObject, DualSlotsCallTheMembersAndReturnTheirHresults) {
    WithObject([&](IDispatch* cal) {
        ZevClsCal* dual = nullptr;
        ASSERT_EQ(cal->lpVtbl->QueryInterface(cal, &IID_clsCal, reinterpret_cast<void**>(&dual)),
                  S_OK);
        EXPECT_EQ(static_cast<void*>(dual), static_cast<void*>(cal));
        const ZevClsCalVtbl& v = *dual->lpVtbl;
        double day = 0;
        EXPECT_EQ(v.WorkDayBefore(dual, June(7), &day), static_cast<HRESULT>(0x800A005Bu));
        EXPECT_EQ(v.WorkDayBefore(dual, June(7), nullptr), E_POINTER);
        // WorkDay shows its failure itself and returns the date 0 with success.
        EXPECT_EQ(v.WorkDay(dual, June(7), component::Dir_Forward, 1, &day), S_OK);
        EXPECT_EQ(day, 0.0);
        EXPECT_EQ(Ui().Boxes().size(), 1u);

        EXPECT_EQ(v.put_ActiveConnection(dual, nullptr), S_OK);
        EXPECT_EQ(v.put_SystemName(dual, empty_), S_OK);
        EXPECT_EQ(v.WorkDayBefore(dual, June(7), &day), S_OK);
        EXPECT_EQ(day, June(5));
        EXPECT_EQ(v.WorkDayAfter(dual, June(7), &day), S_OK);
        EXPECT_EQ(day, June(8));
        EXPECT_EQ(v.WorkDay(dual, June(7), 7, 1, &day), S_OK);  // any non-zero is forward
        EXPECT_EQ(day, June(8));
        EXPECT_EQ(v.WorkDay(dual, June(7), component::Dir_Backward, 1, &day), S_OK);
        EXPECT_EQ(day, June(4));
        VARIANT_BOOL set = 1;
        EXPECT_EQ(v.get_IsSetWorkCalendar(dual, &set), S_OK);
        EXPECT_EQ(set, VARIANT_FALSE);
        EXPECT_EQ(v.GetTypeInfoCount(dual, nullptr), E_INVALIDARG);
        EXPECT_EQ(v.Release(dual), 1u);
    });
}

TEST_P(ClsCalObject, FinalReleaseTakesTheThreadsConnectionFromEveryObject) {
    OnFreshThread([&] {
        IDispatch* first = component::CreateClsCalObject();
        IDispatch* second = component::CreateClsCalObject();
        ASSERT_EQ(Put(first, DISPID_clsCal_ActiveConnection, TextArg(empty_)).hr, S_OK);
        EXPECT_EQ(Call(second, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD, {DateArg(June(7))})
                      .result.date,
                  June(5));

        // A release that is not the last one changes nothing.
        EXPECT_EQ(first->lpVtbl->AddRef(first), 2u);
        EXPECT_EQ(first->lpVtbl->Release(first), 1u);
        EXPECT_EQ(Call(second, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD, {DateArg(June(7))}).hr,
                  S_OK);

        EXPECT_EQ(first->lpVtbl->Release(first), 0u);
        const Outcome o =
            Call(second, DISPID_clsCal_WorkDayBefore, DISPATCH_METHOD, {DateArg(June(7))});
        EXPECT_EQ(o.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(o.scode, static_cast<SCODE>(0x800A005Bu));
        EXPECT_EQ(second->lpVtbl->Release(second), 0u);
    });
}

ZEV_INSTANTIATE_DB_TEST(ClsCalObject);

}  // namespace
}  // namespace zev::test
