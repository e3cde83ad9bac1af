// mdlCal::CheckSettings, the start-up settings check that Show runs before the window
// opens. Everything else in this file is private to it.

#include <string>

#include "component/WeekendRule.hpp"
#include "component/mdlCal.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/TableWrite.hpp"

namespace zev::component::mdlCal {
namespace {

using automation::Variant;
using host::MMTS::LoadLocalText;

std::string SettingQuery(const std::string& key) {
    return "SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='" + key + "'";
}

// The first field of the first row of a statement; 3021 when it returns no row.
Variant FirstField(const std::string& statement) {
    data::Recordset rs = Connection().Execute(statement);
    Variant value = rs.Fields(0).Value();
    rs.Close();
    return value;
}

bool ReturnsRow(const std::string& statement) {
    data::Recordset rs = Connection().Execute(statement);
    const bool found = !rs.Eof();
    rs.Close();
    return found;
}

// Runs the INSERT that creates a missing setting; false when another program's check,
// run at the same moment, created the row first (the INSERT fails on its key and the
// setting's query now returns a row). Any other failure is raised. On a standby, which
// takes no writes, it is refused by name: the primary's check creates the row.
bool CreatedHere(const std::string& insert, const std::string& query) {
    data::RefuseWritesOnStandby(Connection());
    try {
        Connection().Execute(insert);
        return true;
    } catch (...) {
        if (ReturnsRow(query)) return false;
        throw;
    }
}

// A setting the check creates with `defaultValue` (SQL) when it is missing, read as a
// whole number.
int32_t EnsuredNumber(const std::string& key, const std::string& defaultValue) {
    if (!ReturnsRow(SettingQuery(key))) {
        CreatedHere("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','" + key +
                        "'," + defaultValue + ")",
                    SettingQuery(key));
    }
    return automation::CLng(FirstField(SettingQuery(key)));
}

// A period setting: its own number, or `fallback` when its numeric reading is 0 (empty
// text, text that does not begin with a number).
int32_t NumberOr(const std::string& key, int32_t fallback) {
    const Variant value = FirstField(SettingQuery(key));
    return automation::Val(value) == 0 ? fallback : automation::CLng(value);
}

void LoadSettings(ComponentState& s) {
    const std::string workCalendarSet = SettingQuery("WorkCalendarSet");
    if (!ReturnsRow(workCalendarSet) &&
        CreatedHere("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) "
                    "VALUES('IC','WorkCalendarSet','0')",
                    workCalendarSet)) {
        // Only the calendar's own row: other categories may keep a key of the same name.
        if (ReturnsRow("SELECT 1 FROM t_WorkCalendar")) {
            Connection().Execute(
                "UPDATE t_SystemProfile SET FValue='1' WHERE FCategory='IC' AND "
                "FKey='WorkCalendarSet'");
        }
    }
    // A NULL value has no truth value: 94.
    const Variant set = FirstField(workCalendarSet);
    if (set.IsNull()) automation::Raise(automation::errors::kInvalidUseOfNull);
    s.IsSetWorkCalendar = automation::ToVBool(IsSwitchOn(set));
    if (s.IsSetWorkCalendar) {
        s.CalStartDay = automation::CDate(FirstField("SELECT MIN(FDay) FROM t_WorkCalendar"));
    }
    s.StartYear = EnsuredNumber("StartYear", "YEAR(GETDATE())");
    s.StartPeriod = EnsuredNumber("StartPeriod", "1");
    s.CurrentYear = NumberOr("CurrentYear", s.StartYear);
    s.CurrentPeriod = NumberOr("CurrentPeriod", s.StartPeriod);
    s.SatNotWork = automation::ToVBool(IsSwitchOn(FirstField(SettingQuery("SatNotWork"))));

    data::Recordset rs = Connection().Execute(
        "SELECT FValue,GetDate() FROM t_SystemProfile WHERE FCategory='IC' AND FKey='SunNotWork'");
    s.SunNotWork = automation::ToVBool(IsSwitchOn(rs.Fields(0).Value()));
    // The server's date at midnight.
    s.ServerDate = automation::OleDatePart(automation::CDate(rs.Fields(1).Value()));
    rs.Close();
}

}  // namespace

void CheckSettings() {
    try {
        LoadSettings(State());
    } catch (...) {
        automation::ErrorInfo failure = automation::CurrentExceptionAsError().Info();
        // Reading a field of a statement without rows: a settings row is missing.
        if (failure.Number == automation::errors::kNoCurrentRecord) {
            throw automation::ComError(kSettingsMissing, LoadLocalText("工厂日历", 0),
                                       LoadLocalText("系统核算参数没有正确设置", 0));
        }
        failure.Description = LoadLocalText(failure.Description, 0);
        throw automation::ComError(std::move(failure));
    }
}

}  // namespace zev::component::mdlCal
