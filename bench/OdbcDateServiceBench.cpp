// The three date members of clsCal on PostgreSQL through Provider=ODBC, answering from
// the calendar held in memory (ours) and by their statements (literal,
// CalendarCache=off), each beside raw ODBC calls (SQLExecDirect, SQLFetch, SQLGetData)
// running the statement texts in the same process, and beside a bare SELECT 1 on a raw
// connection (select_one), the least a question that asks the server anything costs. The ratios
// show what the fast path saves, and what the component's layers (formatter object, change stamp,
// connection, buffered result, conversions) cost on top of the driver and the server, in wall-clock
// time (what a caller waits) and in this process's CPU time (the layers' own work).
//
// Runs when ZEVWORKCAL_BENCH_PG holds an ODBC connection string of a role that may create
// databases; it makes a database of its own there and drops it at the end.
// scripts/bench-pg starts a throwaway server and runs it.

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "bench/BenchSupport.hpp"
#include "component/clsCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "suite/Register.hpp"
#include "suite/Schema.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"

namespace zev::bench {
namespace {

// --- raw ODBC -------------------------------------------------------------------------

class RawOdbc {
  public:
    explicit RawOdbc(const std::string& cs) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        std::string text = cs;
        const SQLRETURN rc = SQLDriverConnect(
            dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
            static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            std::fprintf(stderr, "raw ODBC connection failed\n");
            std::exit(1);
        }
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
    }
    ~RawOdbc() {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    RawOdbc(const RawOdbc&) = delete;
    RawOdbc& operator=(const RawOdbc&) = delete;

    // Runs a one-row statement; calls `read` when its first field is not NULL.
    template <class Read>
    void One(std::string sql, Read read) {
        SQLExecDirect(stmt_, reinterpret_cast<SQLCHAR*>(sql.data()),
                      static_cast<SQLINTEGER>(sql.size()));
        if (SQL_SUCCEEDED(SQLFetch(stmt_))) read();
        SQLCloseCursor(stmt_);
    }
    // The first field as a date; false for NULL.
    bool Day(double& out) {
        SQL_DATE_STRUCT d{};
        SQLLEN indicator = 0;
        SQLGetData(stmt_, 1, SQL_C_TYPE_DATE, &d, sizeof d, &indicator);
        if (indicator == SQL_NULL_DATA) return false;
        out = automation::OleFromCivil(d.year, d.month, d.day);
        return true;
    }

    double Before(double day) {
        double result = day;
        One("SELECT MAX(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" + RawDateText(day) +
                "'",
            [&] { Day(result); });
        return result;
    }
    double After(double day) {
        double result = day;
        One("SELECT MIN(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay>='" + RawDateText(day) +
                "'",
            [&] { Day(result); });
        return result;
    }
    // A bare round trip: what one question costs at the least when it asks the server
    // anything at all.
    double SelectOne(double day) {
        SQLINTEGER one = 0;
        SQLLEN indicator = 0;
        One("SELECT 1", [&] { SQLGetData(stmt_, 1, SQL_C_SLONG, &one, sizeof one, &indicator); });
        return day + one;
    }
    double WorkDay(double day, int32_t interval) {
        double result = day;
        SQLINTEGER h = 0;
        SQLLEN indicator = SQL_NULL_DATA;
        One("SELECT Max(FInterID) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" +
                RawDateText(day) + "'",
            [&] { SQLGetData(stmt_, 1, SQL_C_SLONG, &h, sizeof h, &indicator); });
        if (indicator == SQL_NULL_DATA) return result;
        One("SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 AND FInterID-" + std::to_string(h) +
                "=" + std::to_string(interval),
            [&] { Day(result); });
        return result;
    }

  private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

// --- the component --------------------------------------------------------------------

// The calendar object of the benchmarks; released before main returns.
std::unique_ptr<component::clsCal>& CalendarObject() {
    static std::unique_ptr<component::clsCal> cal;
    return cal;
}

// The calendar object on a calendar of `days` days, answering from memory or, with the
// property CalendarCache=off, by the statements. A new connection reads the property.
component::clsCal& Calendar(int days, bool literal) {
    static std::pair<int, bool> connectedTo{-1, false};
    std::unique_ptr<component::clsCal>& cal = CalendarObject();
    if (!cal) cal = std::make_unique<component::clsCal>();
    if (connectedTo != std::make_pair(days, literal)) {
        suite::SetProcessProperty(
            "PropsString", std::string("Language=en;") + (literal ? "CalendarCache=off;" : "") +
                               "Provider=ODBC;Data Source={" +
                               ServerCalendars().ConnectionString(days) + "};");
        cal->ActiveConnection("");
        connectedTo = {days, literal};
    }
    return *cal;
}

// Times `call` over the probe dates, after a few untimed calls: the first calls of a
// connection pay for the server's plan and catalogue caches.
template <class Call>
void Measure(benchmark::State& state, int days, Call& call) {
    const std::vector<double>& probes = ProbeDates(days, 64);
    for (int warm = 0; warm < 50; ++warm)
        benchmark::DoNotOptimize(call(probes[warm]));
    ForEachProbe(state, probes, call);
}

void Ours(benchmark::State& state, Member member) {
    const int days = static_cast<int>(state.range(0));
    component::clsCal& cal = Calendar(days, false);
    auto call = [&](double day) { return Ask(cal, member, day); };
    Measure(state, days, call);
}

void Literal(benchmark::State& state, Member member) {
    const int days = static_cast<int>(state.range(0));
    component::clsCal& cal = Calendar(days, true);
    auto call = [&](double day) { return Ask(cal, member, day); };
    Measure(state, days, call);
}

void Raw(benchmark::State& state, Member member) {
    const int days = static_cast<int>(state.range(0));
    RawOdbc raw(ServerCalendars().ConnectionString(days));
    auto call = [&](double day) { return Ask(raw, member, day); };
    Measure(state, days, call);
}

// SELECT 1 on a raw connection to the same database, per question: the floor of a
// question that takes one round trip.
void SelectOne(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    RawOdbc raw(ServerCalendars().ConnectionString(days));
    auto call = [&](double day) { return raw.SelectOne(day); };
    Measure(state, days, call);
}

// Wall-clock time decides the iterations: most of a call is spent waiting for the server.
#define ZEV_PAIR(name, member)               \
    BENCHMARK_CAPTURE(Ours, name, member)    \
        ->Name(#name "/ours")                \
        ->Arg(1096)                          \
        ->Arg(36525)                         \
        ->UseRealTime()                      \
        ->Unit(benchmark::kMicrosecond);     \
    BENCHMARK_CAPTURE(Literal, name, member) \
        ->Name(#name "/literal")             \
        ->Arg(1096)                          \
        ->Arg(36525)                         \
        ->UseRealTime()                      \
        ->Unit(benchmark::kMicrosecond);     \
    BENCHMARK_CAPTURE(Raw, name, member)     \
        ->Name(#name "/raw")                 \
        ->Arg(1096)                          \
        ->Arg(36525)                         \
        ->UseRealTime()                      \
        ->Unit(benchmark::kMicrosecond);     \
    BENCHMARK(SelectOne)                     \
        ->Name(#name "/select_one")          \
        ->Arg(1096)                          \
        ->Arg(36525)                         \
        ->UseRealTime()                      \
        ->Unit(benchmark::kMicrosecond)

ZEV_PAIR(WorkDayBefore, Member::Before);
ZEV_PAIR(WorkDayAfter, Member::After);
ZEV_PAIR(WorkDay, Member::WorkDay);

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    if (zev::bench::ServerString().empty()) {
        std::fprintf(stderr,
                     "odbc_date_service_bench: set ZEVWORKCAL_BENCH_PG to an ODBC connection "
                     "string (scripts/bench-pg starts a server and runs it)\n");
        return 0;
    }
    zev::suite::RegisterSuite();
    benchmark::Initialize(&argc, argv);
    zev::bench::RatioReporter reporter({"raw", "literal", "select_one"});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    std::fflush(stdout);
    zev::bench::CalendarObject().reset();
    zev::bench::ServerCalendars().DropAll();
    benchmark::Shutdown();
    return 0;
}
