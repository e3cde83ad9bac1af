// The start-up settings check on every backend: which rows it creates, how it reads each
// setting, and how it fails.

#include <gtest/gtest.h>

#include <optional>

#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/ShareProps.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::OleFromCivil;
using component::ComponentState;
namespace errors = automation::errors;
using Value = std::optional<std::string>;  // nullopt: NULL

constexpr int32_t kMissing = component::mdlCal::kSettingsMissing;

struct Outcome {
    int32_t number = 0;
    automation::ErrorInfo error;
    ComponentState state;
};

class SettingsCheck : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        suite::SetProcessProperty("PropsString", "Language=zz;" + Db().PropsString());
    }

    // Runs the check on a fresh thread whose state holds StartYear 1 and CurrentYear 1,
    // so that what the check leaves untouched shows.
    Outcome Check() {
        Outcome out;
        OnFreshThread([&] {
            component::clsCal cal;
            cal.ActiveConnection("");
            ComponentState& s = component::mdlCal::State();
            s.CalStartDay = 1.0;
            s.CurrentYear = 1;
            s.SatNotWork = automation::kTrue;
            s.SunNotWork = automation::kTrue;
            try {
                component::mdlCal::CheckSettings();
            } catch (const automation::ComError& e) {
                out.number = e.Number();
                out.error = e.Info();
            }
            out.state = s;
            out.state.ActiveConnection.reset();
        });
        return out;
    }

    void Put(const std::string& key, const Value& value, const std::string& category = "IC") {
        Exec("DELETE FROM t_SystemProfile WHERE FCategory='" + category + "' AND FKey='" + key +
             "'");
        Exec("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('" + category + "','" +
             key + "'," + (value ? "'" + *value + "'" : std::string("NULL")) + ")");
    }
    void Remove(const std::string& key) {
        Exec("DELETE FROM t_SystemProfile WHERE FCategory='IC' AND FKey='" + key + "'");
    }
    // The stored value of a key; "<none>" when the row is missing.
    std::string Stored(const std::string& key, const std::string& category = "IC") {
        data::Recordset rs = Conn().Execute("SELECT FValue FROM t_SystemProfile WHERE FCategory='" +
                                            category + "' AND FKey='" + key + "'");
        if (rs.Eof()) return "<none>";
        return rs.Fields(0).Value().IsNull() ? "<null>" : automation::CStr(rs.Fields(0).Value());
    }
    int32_t Scalar(const std::string& sql) {
        return automation::CLng(Conn().Execute(sql).Fields(0).Value());
    }
};

TEST_P(SettingsCheck, CreatesTheCalendarsOwnRowsOnceAndOnlyInItsCategory) {
    struct Case {
        bool calendarRows;
        Value storedFlag;  // WorkCalendarSet before the check; "-" for no row
        std::string expectedFlag;
        bool isSet;
    };
    const Case cases[] = {
        {false, "-", "0", false},
        {true, "-", "1", true},
        {true, "0", "0", false},  // an existing value stays, whatever the calendar holds
        {true, "1", "1", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("rows ") + (c.calendarRows ? "yes" : "no") + ", flag " +
                     c.storedFlag.value_or("NULL"));
        Exec("DELETE FROM t_WorkCalendar");
        Exec(
            "DELETE FROM t_SystemProfile WHERE FKey IN "
            "('WorkCalendarSet','StartYear','StartPeriod')");
        if (c.calendarRows) WriteExampleCalendar(Conn());
        if (c.storedFlag != "-") Put("WorkCalendarSet", c.storedFlag);
        // Another category's key of the same name is not the calendar's.
        Put("WorkCalendarSet", "0", "XX");

        const Outcome first = Check();
        ASSERT_EQ(first.number, 0) << first.error.Description;
        EXPECT_EQ(Stored("WorkCalendarSet"), c.expectedFlag);
        EXPECT_EQ(Stored("WorkCalendarSet", "XX"), "0");
        EXPECT_EQ(first.state.IsSetWorkCalendar, automation::ToVBool(c.isSet));
        EXPECT_EQ(first.state.CalStartDay, c.isSet ? OleFromCivil(2009, 6, 1) : 1.0);
        EXPECT_EQ(first.state.StartYear, Scalar("SELECT YEAR(GETDATE())"));
        EXPECT_EQ(first.state.StartPeriod, 1);
        EXPECT_EQ(Stored("StartPeriod"), "1");
        EXPECT_EQ(first.state.CurrentYear, Scalar("SELECT YEAR(GETDATE())"));  // seeded by init
        EXPECT_EQ(first.state.SatNotWork, automation::kTrue);
        EXPECT_EQ(first.state.SunNotWork, automation::kTrue);

        const int32_t rows = Scalar("SELECT COUNT(*) FROM t_SystemProfile");
        const Outcome second = Check();
        EXPECT_EQ(second.number, 0);
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_SystemProfile"), rows);
    }
}

TEST_P(SettingsCheck, ServerDateIsTheServersDayAtMidnight) {
    const double before = automation::OleDatePart(
        automation::CDate(Conn().Execute("SELECT GETDATE()").Fields(0).Value()));
    const Outcome out = Check();
    const double after = automation::OleDatePart(
        automation::CDate(Conn().Execute("SELECT GETDATE()").Fields(0).Value()));
    ASSERT_EQ(out.number, 0);
    EXPECT_FALSE(automation::HasTimeOfDay(out.state.ServerDate));
    EXPECT_TRUE(out.state.ServerDate == before || out.state.ServerDate == after)
        << automation::FormatIsoAuto(out.state.ServerDate);
}

TEST_P(SettingsCheck, ReadsEachSettingAsStored) {
    struct Case {
        std::string key;
        Value stored;
        int32_t number;  // the failure, 0 for none
        int32_t ComponentState::*field;
        int32_t expected;
    };
    // StartYear 2009 and StartPeriod 4 are the fallbacks of the current period.
    const Case numbers[] = {
        {"CurrentYear", "0", 0, &ComponentState::CurrentYear, 2009},
        {"CurrentYear", "", 0, &ComponentState::CurrentYear, 2009},
        {"CurrentYear", "abc", 0, &ComponentState::CurrentYear, 2009},
        {"CurrentYear", "2010", 0, &ComponentState::CurrentYear, 2010},
        {"CurrentYear", "2009x", errors::kTypeMismatch, nullptr, 0},
        {"CurrentYear", std::nullopt, errors::kInvalidUseOfNull, nullptr, 0},
        {"CurrentPeriod", "0", 0, &ComponentState::CurrentPeriod, 4},
        {"CurrentPeriod", "11", 0, &ComponentState::CurrentPeriod, 11},
        {"StartYear", "x", errors::kTypeMismatch, nullptr, 0},
        {"WorkCalendarSet", std::nullopt, errors::kInvalidUseOfNull, nullptr, 0},
    };
    for (const Case& c : numbers) {
        SCOPED_TRACE(c.key + "=" + c.stored.value_or("NULL"));
        Put("StartYear", "2009");
        Put("StartPeriod", "4");
        Put("WorkCalendarSet", "0");
        Put("CurrentYear", "2012");
        Put("CurrentPeriod", "6");
        Put(c.key, c.stored);
        const Outcome out = Check();
        EXPECT_EQ(out.number, c.number) << out.error.Description;
        if (c.field != nullptr) {
            EXPECT_EQ(out.state.*c.field, c.expected);
        }
        if (c.number != 0) {
            // Re-raised with its own number, source and (looked-up) description.
            EXPECT_EQ(out.error.Source, automation::kRuntimeSource);
            EXPECT_EQ(out.error.Description, automation::StandardDescription(c.number));
        }
    }

    const std::pair<Value, automation::VBool> switches[] = {
        {"1", automation::kTrue},   {"0", automation::kFalse},          {"01", automation::kFalse},
        {" 1", automation::kFalse}, {std::nullopt, automation::kFalse},
    };
    for (const auto& [stored, expected] : switches) {
        SCOPED_TRACE("SatNotWork=" + stored.value_or("NULL"));
        Put("WorkCalendarSet", "0");
        Put("SatNotWork", stored);
        Put("SunNotWork", stored);
        const Outcome out = Check();
        ASSERT_EQ(out.number, 0) << out.error.Description;
        EXPECT_EQ(out.state.SatNotWork, expected);
        EXPECT_EQ(out.state.SunNotWork, expected);
    }
}

TEST_P(SettingsCheck, AMissingAccountingSettingFailsAfterTheEarlierStepsAreDone) {
    for (const std::string key : {"CurrentYear", "CurrentPeriod", "SatNotWork", "SunNotWork"}) {
        SCOPED_TRACE(key);
        Exec("DELETE FROM t_SystemProfile");
        Put("CurrentYear", "2012");
        Put("CurrentPeriod", "6");
        Put("SatNotWork", "0");
        Put("SunNotWork", "1");
        Remove(key);

        const Outcome out = Check();
        EXPECT_EQ(out.number, kMissing);
        EXPECT_EQ(out.error.Source, "工厂日历");
        EXPECT_EQ(out.error.Description, "系统核算参数没有正确设置");
        // The rows it inserted stay, and the fields of the earlier steps are loaded.
        EXPECT_EQ(Stored("WorkCalendarSet"), "0");
        EXPECT_EQ(Stored("StartPeriod"), "1");
        EXPECT_EQ(out.state.StartPeriod, 1);
        EXPECT_EQ(out.state.CurrentYear, key == "CurrentYear" ? 1 : 2012);
        if (key == "SunNotWork") {
            EXPECT_EQ(out.state.SatNotWork, automation::kFalse);
            EXPECT_EQ(out.state.ServerDate, 0.0);
        }
    }
}

TEST_P(SettingsCheck, ACalendarMarkedSetButEmptyFailsWithInvalidUseOfNull) {
    Put("WorkCalendarSet", "1");
    const Outcome out = Check();
    EXPECT_EQ(out.number, errors::kInvalidUseOfNull);
    EXPECT_EQ(out.state.IsSetWorkCalendar, automation::kTrue);
    EXPECT_EQ(out.state.CalStartDay, 1.0);
}

ZEV_INSTANTIATE_DB_TEST(SettingsCheck);

}  // namespace
}  // namespace zev::test
