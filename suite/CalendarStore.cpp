// CalendarStore (CalendarStore.hpp): the suite's statements on the calendar's tables and
// the period ids of a day. Everything else here is private to them.
#include "suite/CalendarStore.hpp"

#include <chrono>
#include <climits>
#include <cstdio>
#include <random>
#include <string>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::suite {
namespace {

namespace chr = std::chrono;
using automation::Variant;

constexpr const char* kSource = "ZevMPlanWorkCal.WorkCal";
// The calendar's category of settings, and its number among the copies of calendars.
constexpr const char* kCategory = "IC";
constexpr const char* kIdentityKey = "WorkCalendarID";
constexpr int32_t kCopyNumber = 999;
// Days per INSERT: a run of days reaches the server in few statements, each within the
// parameter limits of every engine (SQL Server takes 2,100 values at most).
constexpr size_t kRowsPerInsert = 300;
constexpr size_t kValuesPerRow = 6;

constexpr const char* kSelectSetting =
    "SELECT FValue FROM t_SystemProfile WHERE FCategory=? AND FKey=?";
constexpr const char* kUpdateSetting =
    "UPDATE t_SystemProfile SET FValue=? WHERE FCategory=? AND FKey=?";
constexpr const char* kInsertSetting =
    "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES(?,?,?)";
constexpr const char* kSelectSettings =
    "SELECT FKey, FValue FROM t_SystemProfile WHERE FCategory=? ORDER BY FKey";
constexpr const char* kDeleteCopy = "DELETE FROM t_mutiworkcal WHERE FCalID=?";
constexpr const char* kInsertCopy =
    "INSERT INTO t_mutiworkcal(FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID,FCalID) "
    "SELECT FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID,? FROM t_WorkCalendar";

// The INSERT of `rows` days.
std::string InsertDays(size_t rows) {
    std::string statement =
        "INSERT INTO t_WorkCalendar(FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID) VALUES ";
    for (size_t r = 0; r < rows; ++r)
        statement += r == 0 ? "(?,?,?,?,?,?)" : ",(?,?,?,?,?,?)";
    return statement;
}

}  // namespace

PeriodIds PeriodIdsOf(double day) {
    const chr::sys_days d = automation::DayFromOle(day);
    const chr::year_month_day ymd{d};
    const int y = static_cast<int>(ymd.year());
    const int m = static_cast<int>(static_cast<unsigned>(ymd.month()));
    const int dd = static_cast<int>(static_cast<unsigned>(ymd.day()));
    // ISO week: the week belongs to the year of its Thursday.
    const chr::weekday wd{d};
    const int isoDay = wd.iso_encoding();  // Monday 1 .. Sunday 7
    const chr::sys_days thursday = d + chr::days{4 - isoDay};
    const chr::year isoYear = chr::year_month_day{thursday}.year();
    const chr::sys_days firstOfYear{isoYear / chr::January / 1};
    const int week = static_cast<int>((thursday - firstOfYear).count() / 7) + 1;
    return {y * 10000 + m * 100 + dd, static_cast<int>(isoYear) * 100 + week, y * 100 + m, y};
}

std::optional<Variant> CalendarStore::Setting(std::string_view key) {
    const Variant where[] = {Variant(kCategory), Variant(key)};
    data::Recordset rs = connection_.ExecuteWith(kSelectSetting, where);
    if (rs.Eof()) return std::nullopt;
    return rs.Fields(0).Value();
}

bool CalendarStore::SwitchIsOn(std::string_view key) {
    const std::optional<Variant> value = Setting(key);
    return value && component::IsSwitchOn(*value);
}

void CalendarStore::PutSetting(std::string_view key, std::string_view value) {
    if (Setting(key)) {
        const Variant values[] = {Variant(value), Variant(kCategory), Variant(key)};
        connection_.ExecuteWith(kUpdateSetting, values);
    } else {
        const Variant values[] = {Variant(kCategory), Variant(key), Variant(value)};
        connection_.ExecuteWith(kInsertSetting, values);
    }
}

std::vector<std::pair<std::string, Variant>> CalendarStore::Settings() {
    const Variant category[] = {Variant(kCategory)};
    std::vector<std::pair<std::string, Variant>> settings;
    for (data::Recordset rs = connection_.ExecuteWith(kSelectSettings, category); !rs.Eof();
         rs.MoveNext()) {
        settings.emplace_back(automation::CStr(rs.Fields(0).Value()), rs.Fields(1).Value());
    }
    return settings;
}

std::optional<std::string> CalendarStore::Identity() {
    const std::optional<Variant> value = Setting(kIdentityKey);
    if (!value || value->IsNull()) return std::nullopt;
    std::string text = automation::CStr(*value);
    if (text.empty()) return std::nullopt;
    return text;
}

void CalendarStore::EnsureIdentity() {
    if (Identity()) return;
    std::random_device random;
    std::string text;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        text += part;
    }
    PutSetting(kIdentityKey, text);
}

bool CalendarStore::HasDays() {
    data::Recordset rs = connection_.ExecuteWith("SELECT COUNT(*) FROM t_WorkCalendar", {});
    return automation::CLng(rs.Fields(0).Value()) > 0;
}

CalendarEnd CalendarStore::End() {
    data::Recordset rs =
        connection_.ExecuteWith("SELECT MAX(FDay), MAX(FInterID) FROM t_WorkCalendar", {});
    return {rs.Fields(0).Value(), rs.Fields(1).Value()};
}

void CalendarStore::DeleteDays() {
    connection_.ExecuteWith("DELETE FROM t_WorkCalendar", {});
}

WrittenDays CalendarStore::WriteDays(double startDay, double endDay, component::WeekendRule rule,
                                     int32_t firstNumber) {
    return WriteDays(
        startDay, endDay, [rule](int32_t day) { return rule.IsRestDay(day); }, firstNumber);
}

WrittenDays CalendarStore::WriteDays(double startDay, double endDay,
                                     const std::function<bool(int32_t)>& rests,
                                     int32_t firstNumber) {
    const int32_t first = automation::OleDaySerial(startDay);
    // The number of the day after the last, read from the last: 10000-01-01, the day
    // after the latest, is no date of its own.
    const int32_t last = endDay > startDay ? automation::OleDaySerial(endDay - 1.0) + 1 : first;
    WrittenDays written;
    std::vector<Variant> values;
    values.reserve(kRowsPerInsert * kValuesPerRow);
    const auto flush = [&] {
        if (values.empty()) return;
        const size_t rows = values.size() / kValuesPerRow;
        static const std::string full = InsertDays(kRowsPerInsert);
        connection_.ExecuteWith(rows == kRowsPerInsert ? full : InsertDays(rows), values);
        values.clear();
    };
    int64_t number = firstNumber;
    for (int32_t serial = first; serial < last; ++serial) {
        const double day = serial;
        const bool rest = rests(serial);
        if (!rest && number > INT32_MAX) automation::Raise(automation::errors::kOverflow, kSource);
        const PeriodIds ids = PeriodIdsOf(day);
        values.emplace_back(rest ? int32_t{0} : static_cast<int32_t>(number));
        values.push_back(Variant::FromDate(day));
        values.emplace_back(ids.day);
        values.emplace_back(ids.week);
        values.emplace_back(ids.month);
        values.emplace_back(ids.year);
        if (!rest) ++number;
        ++written.Days;
        written.WorkDays += rest ? 0 : 1;
        if (values.size() == kRowsPerInsert * kValuesPerRow) flush();
    }
    flush();
    return written;
}

void CalendarStore::RefreshCopy() {
    const Variant copy[] = {Variant(kCopyNumber)};
    connection_.ExecuteWith(kDeleteCopy, copy);
    connection_.ExecuteWith(kInsertCopy, copy);
}

}  // namespace zev::suite
