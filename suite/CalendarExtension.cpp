// ExtendCalendar (CalendarExtension.hpp): the checks, the rows and the copy for calendar
// 999, in one transaction.
#include "suite/CalendarExtension.hpp"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/WorkCalGenerator.hpp"

namespace zev::suite {

namespace {

constexpr const char* kSource = "ZevMPlanWorkCal.WorkCal";

[[noreturn]] void Refuse(std::string_view key, std::string_view rest = {}) {
    throw automation::ComError(automation::errors::kUnspecified, kSource,
                               automation::MarkedText(key, rest));
}

// The first field of a settings row of category 'IC'; std::nullopt without the row.
std::optional<automation::Variant> Setting(data::Connection& connection, const char* key) {
    data::Recordset rs = connection.Execute(
        std::string("SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='") + key +
        "'");
    if (rs.Eof()) return std::nullopt;
    return rs.Fields(0).Value();
}

bool IsOne(const std::optional<automation::Variant>& value) {
    return value && !value->IsNull() && automation::CStr(*value) == "1";
}

bool RestRule(data::Connection& connection, const char* key) {
    const std::optional<automation::Variant> value = Setting(connection, key);
    if (!value) Refuse("系统核算参数没有正确设置", std::string(": ") + key);
    return IsOne(value);
}

CalendarExtension Append(data::Connection& connection, double until) {
    ClaimCalendar(connection);
    data::Recordset rs = connection.Execute("SELECT MAX(FDay), MAX(FInterID) FROM t_WorkCalendar");
    const automation::Variant lastDay = rs.Fields(0).Value();
    const automation::Variant largest = rs.Fields(1).Value();
    rs.Close();
    if (!IsOne(Setting(connection, "WorkCalendarSet")) || lastDay.IsNull()) {
        Refuse("工厂日历尚未生成，不能延长");
    }
    const int32_t last = automation::OleDaySerial(automation::CDate(lastDay));
    const int32_t end = automation::OleDaySerial(until);
    if (end <= last) {
        Refuse("延长到的日期必须晚于工厂日历的最后一天",
               ": " + automation::FormatIsoDate(static_cast<double>(last)));
    }
    const bool satNotWork = RestRule(connection, "SatNotWork");
    const bool sunNotWork = RestRule(connection, "SunNotWork");
    CalendarExtension added{static_cast<double>(last) + 1, static_cast<double>(end), 0};
    for (int32_t day = last + 1; day <= end; ++day) {
        added.WorkDays += IsRestDay(day, satNotWork, sunNotWork) ? 0 : 1;
    }
    const int64_t numberedUpTo =
        largest.IsNull() ? 0
                         : std::max<int64_t>(0, static_cast<int64_t>(automation::CDbl(largest)));
    if (numberedUpTo + added.WorkDays > INT32_MAX) Refuse("工作日编号将超出范围");

    // The rows come numbered from 1, as generation numbers them, and move on past the
    // numbers already given.
    WriteCalendarRows(connection, added.FirstDay, added.LastDay + 1, satNotWork, sunNotWork);
    if (numberedUpTo > 0 && added.WorkDays > 0) {
        connection.Execute("UPDATE t_WorkCalendar SET FInterID=FInterID+" +
                           std::to_string(numberedUpTo) + " WHERE FInterID>0 AND FDay>'" +
                           automation::FormatIsoDate(static_cast<double>(last)) + "'");
    }
    connection.Execute(
        "Delete from t_mutiworkcal where FCalID=999 \r\n insert t_mutiworkcal select "
        "finterid,fday,fdayid,fweekid,fmonthid,fyearid,999 from t_workcalendar");
    return added;
}

}  // namespace

CalendarExtension ExtendCalendar(data::Connection& connection, double until) {
    return data::InTransaction(connection, [&] { return Append(connection, until); });
}

}  // namespace zev::suite
