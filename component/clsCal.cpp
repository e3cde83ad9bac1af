#include "component/clsCal.hpp"

#include <string>

#include "component/mdlCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::component {

using automation::Variant;

namespace {

// The day of `dtDay` as the date text of the statements, from a formatter object made
// for this one call and released before any statement runs.
std::string DateText(double dtDay) {
    auto formatter =
        automation::CreateObjectAs<host::IDateTimeFormatInfo>(host::progid::kDateTimeFormatInfo);
    double day = dtDay;
    return formatter->ZevDateFormat(day, "YYYY-MM-DD");
}

// The first field of a statement that returns one value: the day it names, or dtDay
// when it is NULL.
double DayOrFallback(const std::string& statement, double dtDay) {
    data::Recordset rs = mdlCal::Connection().Execute(statement);
    const Variant& value = rs.Fields(0).Value();
    const double result = value.IsNull() ? dtDay : automation::CDate(value);
    rs.Close();
    return result;
}

}  // namespace

clsCal::~clsCal() {
    try {
        mdlCal::State().ActiveConnection.reset();
    } catch (...) {
        // Final release never fails.
    }
}

void clsCal::ActiveConnection(std::string_view /*text*/) {
    auto connection = automation::CreateObjectAs<data::Connection>(host::progid::kAppConnection);
    mdlCal::State().ActiveConnection = std::move(connection);
}

void clsCal::SystemName(std::string_view text) {
    mdlCal::State().SystemName = text;
}

void clsCal::Show() {
    automation::ClearErr();
    try {
        mdlCal::CheckSettings();
        mdlCal::FormWindow().ShowModal();
    } catch (...) {
        mdlCal::ReportCaughtFailure();
        return;
    }
    // With nothing pending the report only resets the mouse pointer.
    mdlCal::ShowError();
}

automation::VBool clsCal::IsSetWorkCalendar() const {
    return mdlCal::State().IsSetWorkCalendar;
}

double clsCal::WorkDayBefore(double dtDay) {
    const std::string text = DateText(dtDay);
    return DayOrFallback(
        "SELECT MAX(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" + text + "'", dtDay);
}

double clsCal::WorkDayAfter(double dtDay) {
    const std::string text = DateText(dtDay);
    return DayOrFallback(
        "SELECT MIN(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay>='" + text + "'", dtDay);
}

double clsCal::WorkDay(double dtDay, Enu_Direction Direction, int32_t Interval) {
    double result = 0.0;
    try {
        const std::string text = DateText(dtDay);
        // Both statements read one committed calendar: a regeneration committed between
        // them would pair a number of the old calendar with the days of the new one.
        const data::ReadSnapshot snapshot(mdlCal::Connection());
        data::Recordset rs = mdlCal::Connection().Execute(
            "SELECT Max(FInterID) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" + text + "'");
        const Variant& number = rs.Fields(0).Value();
        if (number.IsNull()) {
            result = dtDay;
            rs.Close();
            return result;
        }
        const std::string h = std::to_string(automation::CLng(number));
        rs.Close();

        const std::string interval = std::to_string(Interval);
        const std::string statement =
            Direction == Dir_Backward
                ? "SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 AND " + h +
                      "-FInterID=" + interval
                : "SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 AND FInterID-" + h + "=" +
                      interval;
        data::Recordset target;
        target.Open(statement, mdlCal::State().ActiveConnection, -1, -1, -1);
        if (target.Eof() || target.Fields(0).Value().IsNull()) {
            result = dtDay;
        } else {
            result = automation::CDate(target.Fields(0).Value());
        }
        target.Close();
        return result;
    } catch (...) {
        mdlCal::ReportCaughtFailure();
        return result;
    }
}

}  // namespace zev::component
