// The window's save (frmCal::SaveCalendar) on calendars of three years and of a century,
// beside the raw engine running the same statements in one transaction in the same
// process: raw sqlite3 (prepare, step, finalize per statement) on the embedded database,
// and raw ODBC (SQLExecDirect per statement) on PostgreSQL when ZEVWORKCAL_BENCH_PG names
// a server (scripts/bench-pg starts one); on SQLite also beside the engine at its best, the
// UPDATE prepared once and run with bound values. Every save alternates between the calendar as
// generated and the same calendar with its second work day made a rest day, so that each
// one renumbers nearly every work day, as a real swap does.

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.hpp"
#include "component/mdlCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/Register.hpp"
#include "window/frmCal.hpp"

namespace zev::bench {
namespace {

enum class Engine { SQLite, PostgreSQL };

// The days of the two grids.
struct Calendar {
    std::vector<double> work;
    std::vector<double> rest;
};

// The calendar of `days` days from 2009-06-01, weekends resting, and the same with its
// second work day resting too.
const std::array<Calendar, 2>& Alternatives(int days) {
    static std::map<int, std::array<Calendar, 2>> made;
    auto it = made.find(days);
    if (it != made.end()) return it->second;
    std::array<Calendar, 2> pair;
    const double start = automation::OleFromCivil(2009, 6, 1);
    for (int i = 0; i < days; ++i) {
        const double day = start + i;
        const int weekday = automation::OleWeekday(day);
        (weekday == 1 || weekday == 7 ? pair[0].rest : pair[0].work).push_back(day);
    }
    pair[1] = pair[0];
    const double swapped = pair[1].work[1];
    pair[1].work.erase(pair[1].work.begin() + 1);
    pair[1].rest.insert(std::upper_bound(pair[1].rest.begin(), pair[1].rest.end(), swapped),
                        swapped);
    return made.emplace(days, std::move(pair)).first->second;
}

// The statements a save runs, in its order, without the transaction around them.
std::vector<std::string> Statements(const Calendar& c) {
    std::vector<std::string> out;
    char text[96];
    for (double day : c.rest) {
        std::snprintf(text, sizeof text, "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='%s'",
                      automation::FormatIsoDate(day).c_str());
        out.emplace_back(text);
    }
    for (size_t r = 0; r < c.work.size(); ++r) {
        std::snprintf(text, sizeof text, "UPDATE t_WorkCalendar SET FInterID=%zu WHERE FDay='%s'",
                      r + 1, automation::FormatIsoDate(c.work[r]).c_str());
        out.emplace_back(text);
    }
    out.emplace_back("DELETE FROM t_mutiworkcal WHERE FCalID=999");
    out.emplace_back(
        "INSERT INTO t_mutiworkcal SELECT finterid,fday,fdayid,fweekid,fmonthid,fyearid,999 "
        "FROM t_workcalendar");
    return out;
}

data::ConnectionPtr Open(Engine engine, int days) {
    return engine == Engine::SQLite ? data::OpenSqlite(CalendarFile(days))
                                    : data::OpenOdbc(ServerCalendars().ConnectionString(days));
}

void Ours(benchmark::State& state, Engine engine) {
    const int days = static_cast<int>(state.range(0));
    const std::array<Calendar, 2>& calendars = Alternatives(days);
    component::ComponentState component;
    component.ActiveConnection = Open(engine, days);
    window::frmCal form(component, [] { return std::unique_ptr<window::FrmCalView>(); });
    size_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const Calendar& c = calendars[i++ % 2];
        // The grids as the window loads them from the saved calendar, then as the planner
        // leaves them: the other calendar.
        if (!form.LoadCalendarGrids().IsDone()) {
            state.SkipWithError("the load failed");
            break;
        }
        form.sprWork.Clear();
        form.sprNotWork.Clear();
        for (double day : c.work)
            form.sprWork.Append({day, {}});
        for (double day : c.rest)
            form.sprNotWork.Append({day, {}});
        component.CalChanged = automation::kTrue;
        state.ResumeTiming();
        form.SaveCalendar();
        if (component.CalChanged) {
            state.SkipWithError("the save failed");
            break;
        }
    }
}

void RawSqlite(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const std::array<Calendar, 2>& calendars = Alternatives(days);
    sqlite3* db = nullptr;
    sqlite3_open_v2(CalendarFile(days).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 10000);
    const auto run = [&](const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) !=
                SQLITE_OK ||
            sqlite3_step(st) != SQLITE_DONE) {
            state.SkipWithError(sqlite3_errmsg(db));
        }
        sqlite3_finalize(st);
    };
    size_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::vector<std::string> statements = Statements(calendars[i++ % 2]);
        state.ResumeTiming();
        run("BEGIN IMMEDIATE");
        for (const std::string& sql : statements)
            run(sql);
        run("COMMIT");
    }
    sqlite3_close_v2(db);
}

// The engine at its best: the UPDATE prepared once and run with bound values.
void RawSqliteBound(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const std::array<Calendar, 2>& calendars = Alternatives(days);
    sqlite3* db = nullptr;
    sqlite3_open_v2(CalendarFile(days).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 10000);
    const auto run = [&](const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            state.SkipWithError(sqlite3_errmsg(db));
        }
    };
    size_t i = 0;
    for (auto _ : state) {
        const Calendar& c = calendars[i++ % 2];
        run("BEGIN IMMEDIATE");
        sqlite3_stmt* update = nullptr;
        sqlite3_prepare_v2(db, "UPDATE t_WorkCalendar SET FInterID=?1 WHERE FDay=?2", -1, &update,
                           nullptr);
        const auto number = [&](double day, int64_t n) {
            const std::string text = automation::FormatIsoDate(day);
            sqlite3_bind_int64(update, 1, n);
            sqlite3_bind_text(update, 2, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
            if (sqlite3_step(update) != SQLITE_DONE) state.SkipWithError(sqlite3_errmsg(db));
            sqlite3_reset(update);
        };
        for (double day : c.rest)
            number(day, 0);
        for (size_t r = 0; r < c.work.size(); ++r)
            number(c.work[r], static_cast<int64_t>(r + 1));
        sqlite3_finalize(update);
        run("DELETE FROM t_mutiworkcal WHERE FCalID=999");
        run("INSERT INTO t_mutiworkcal SELECT finterid,fday,fdayid,fweekid,fmonthid,fyearid,999 "
            "FROM t_workcalendar");
        run("COMMIT");
    }
    sqlite3_close_v2(db);
}

void RawOdbc(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const std::array<Calendar, 2>& calendars = Alternatives(days);
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string cs = ServerCalendars().ConnectionString(days);
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()),
                                        static_cast<SQLSMALLINT>(cs.size()), nullptr, 0, nullptr,
                                        SQL_DRIVER_NOPROMPT))) {
        state.SkipWithError("raw ODBC connection failed");
        return;
    }
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                      0);
    size_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> statements = Statements(calendars[i++ % 2]);
        state.ResumeTiming();
        for (std::string& sql : statements) {
            const SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()),
                                               static_cast<SQLINTEGER>(sql.size()));
            if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) state.SkipWithError("statement failed");
            SQLFreeStmt(stmt, SQL_CLOSE);
        }
        SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

void Register() {
    using Run = std::function<void(benchmark::State&)>;
    const auto pair = [](const std::string& engine, Run ours, Run raw, Run bound = nullptr) {
        for (const auto& [side, run] :
             {std::pair{"ours", ours}, std::pair{"raw", raw}, std::pair{"raw_bound", bound}}) {
            if (!run) continue;
            benchmark::RegisterBenchmark(
                ("SaveCalendar/" + std::string(side) + "/" + engine).c_str(), run)
                ->Arg(1096)
                ->Arg(36525)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    };
    pair(
        "sqlite", [](benchmark::State& s) { Ours(s, Engine::SQLite); }, RawSqlite, RawSqliteBound);
    if (!ServerString().empty()) {
        pair(
            "postgresql", [](benchmark::State& s) { Ours(s, Engine::PostgreSQL); }, RawOdbc);
    }
}

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    zev::suite::RegisterSuite();
    zev::bench::Register();
    const int result = zev::bench::RunWithRatios(argc, argv, {"raw", "raw_bound"});
    if (!zev::bench::ServerString().empty()) zev::bench::ServerCalendars().DropAll();
    return result;
}
