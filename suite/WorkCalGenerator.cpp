// The calendar generator (WorkCalGenerator.hpp): the generation lock, period ids, the
// weekend rule, the row writer and the generator object.
#include "suite/WorkCalGenerator.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "suite/AppConnection.hpp"

namespace zev::suite {
namespace {

namespace chr = std::chrono;
using automation::OleDaySerial;

constexpr size_t kRowsPerStatement = 500;
constexpr const char* kSource = "ZevMPlanWorkCal.WorkCal";

void SetProfile(data::Connection& connection, const char* key, const char* value) {
    const std::string where = std::string(" WHERE FCategory='IC' AND FKey='") + key + "'";
    data::Recordset rs = connection.Execute("SELECT FValue FROM t_SystemProfile" + where);
    const bool exists = !rs.Eof();
    rs.Close();
    if (exists) {
        connection.Execute(std::string("UPDATE t_SystemProfile SET FValue='") + value + "'" +
                           where);
    } else {
        connection.Execute(
            std::string("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','") + key +
            "','" + value + "')");
    }
}

bool CalendarHasRows(data::Connection& connection) {
    data::Recordset rs = connection.Execute("SELECT COUNT(*) FROM t_WorkCalendar");
    const bool hasRows = automation::CLng(rs.Fields(0).Value()) > 0;
    rs.Close();
    return hasRows;
}

class WorkCal final : public automation::Object, public host::IWorkCal {
  public:
    automation::Variant InitCal(std::string propsString, double& startDay, double& endDay,
                                automation::VBool& satNotWork, automation::VBool& sunNotWork,
                                std::string& errorText) override {
        try {
            auto connection = OpenDatabase(DatabaseNamed(
                [&](std::string_view key) { return host::MMTS::PropsValueOf(propsString, key); }));
            GenerateCalendar(*connection, startDay, endDay, satNotWork != 0, sunNotWork != 0);
            return automation::Variant(true);
        } catch (...) {
            errorText =
                host::MMTS::LoadCompoundText(automation::CurrentExceptionAsError().Description());
            return automation::Variant(false);
        }
    }
};

}  // namespace

void ClaimCalendar(data::Connection& connection) {
    switch (connection.GetDialect()) {
        case data::Dialect::SQLite:
            return;
        case data::Dialect::PostgreSQL:
            connection.Execute("LOCK TABLE t_WorkCalendar IN EXCLUSIVE MODE");
            return;
        case data::Dialect::SqlServer:
            connection.Execute("SELECT COUNT(*) FROM t_WorkCalendar WITH (TABLOCKX, HOLDLOCK)");
            return;
    }
}

namespace {
// The advisory lock's key on a server: "ZevWorkCal generate".
constexpr const char* kPgGenerationKey = "hashtext('ZevWorkCal generate')";
constexpr const char* kSqlServerResource = "'ZevWorkCal generate'";

// The folder of the database file a SQLite connection has open; empty for one in memory.
std::string SqliteFolder(data::Connection& connection) {
    data::Recordset rs = connection.Execute("PRAGMA database_list");
    for (; !rs.Eof(); rs.MoveNext()) {
        if (automation::CStr(rs.Fields(1).Value()) != "main") continue;
        const std::string file = automation::CStr(rs.Fields(2).Value());
        if (file.empty()) return {};
        const size_t slash = file.rfind('/');
        return slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    }
    return {};
}
}  // namespace

GenerationLock::GenerationLock(data::ConnectionPtr connection)
    : connection_(std::move(connection)) {
    data::Connection& c = *connection_;
    switch (c.GetDialect()) {
        case data::Dialect::SQLite: {
            const std::string folder = SqliteFolder(c);
            if (folder.empty()) return;
            folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            int locked = -1;
            if (folder_ >= 0) {
                do {
                    locked = ::flock(folder_, LOCK_EX);
                } while (locked != 0 && errno == EINTR);
            }
            if (locked != 0) {
                const int error = errno;
                if (folder_ >= 0) ::close(folder_);
                folder_ = -1;
                throw automation::ComError(
                    automation::errors::kCommandFailed, kSource,
                    automation::MarkedText("无法锁定数据库所在的文件夹",
                                           ": " + folder + ": " + std::strerror(error)));
            }
            return;
        }
        case data::Dialect::PostgreSQL:
            c.Execute(std::string("SELECT pg_advisory_lock(") + kPgGenerationKey + ")");
            return;
        case data::Dialect::SqlServer:
            c.Execute(std::string("EXEC sp_getapplock @Resource=") + kSqlServerResource +
                      ", @LockMode='Exclusive', @LockOwner='Session'");
            return;
    }
}

GenerationLock::~GenerationLock() {
    if (folder_ >= 0) {
        ::close(folder_);  // releases the flock
        return;
    }
    try {
        switch (connection_->GetDialect()) {
            case data::Dialect::SQLite:
                return;
            case data::Dialect::PostgreSQL:
                connection_->Execute(std::string("SELECT pg_advisory_unlock(") + kPgGenerationKey +
                                     ")");
                return;
            case data::Dialect::SqlServer:
                connection_->Execute(std::string("EXEC sp_releaseapplock @Resource=") +
                                     kSqlServerResource + ", @LockOwner='Session'");
                return;
        }
    } catch (...) {
        // A session lock that cannot be given back ends with the session.
    }
}

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

bool IsRestDay(double day, bool satNotWork, bool sunNotWork) {
    const int weekday = automation::OleWeekday(day);
    return (weekday == 7 && satNotWork) || (weekday == 1 && sunNotWork);
}

size_t WriteCalendarRows(data::Connection& connection, double startDay, double endDay,
                         bool satNotWork, bool sunNotWork) {
    const int32_t first = OleDaySerial(startDay);
    const int32_t last = OleDaySerial(endDay);
    int32_t workNumber = 0;
    std::string statement;
    size_t rows = 0;
    size_t written = 0;
    auto flush = [&] {
        if (rows == 0) return;
        connection.Execute(statement);
        statement.clear();
        written += rows;
        rows = 0;
    };
    for (int32_t serial = first; serial < last; ++serial) {
        const double day = serial;
        const int32_t number = IsRestDay(day, satNotWork, sunNotWork) ? 0 : ++workNumber;
        const PeriodIds ids = PeriodIdsOf(day);
        if (rows == 0) {
            statement =
                "INSERT INTO t_WorkCalendar(FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID) VALUES ";
        } else {
            statement += ",";
        }
        char row[96];
        std::snprintf(row, sizeof row, "(%d,'%s',%d,%d,%d,%d)", number,
                      automation::FormatIsoDate(day).c_str(), ids.day, ids.week, ids.month,
                      ids.year);
        statement += row;
        if (++rows == kRowsPerStatement) flush();
    }
    flush();
    return written;
}

void GenerateCalendar(data::Connection& connection, double startDay, double endDay, bool satNotWork,
                      bool sunNotWork, ExistingCalendar existing) {
    if (OleDaySerial(startDay) < OleDaySerial(endDay) &&
        IsRestDay(startDay, satNotWork, sunNotWork)) {
        throw automation::ComError(
            automation::errors::kUnspecified, kSource,
            automation::MarkedText("工厂日历开始日不能为休息日，请重新设置。"));
    }
    data::InTransaction(connection, [&] {
        ClaimCalendar(connection);
        if (existing == ExistingCalendar::Keep && CalendarHasRows(connection)) {
            throw CalendarExists(automation::errors::kUnspecified, kSource,
                                 automation::MarkedText("工厂日历已经存在"));
        }
        connection.Execute("DELETE FROM t_WorkCalendar");
        const size_t rows = WriteCalendarRows(connection, startDay, endDay, satNotWork, sunNotWork);
        // A calendar recorded as set must have days: an empty one fails every later
        // reading of the calendar.
        SetProfile(connection, "WorkCalendarSet", rows > 0 ? "1" : "0");
        SetProfile(connection, "SatNotWork", satNotWork ? "1" : "0");
        SetProfile(connection, "SunNotWork", sunNotWork ? "1" : "0");
    });
}

void RegisterWorkCalGenerator() {
    automation::RegisterFactory(host::progid::kWorkCal, [] { return std::make_shared<WorkCal>(); });
}

}  // namespace zev::suite
