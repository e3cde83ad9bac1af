// extend by a century with 20 rules, beside the same extension without rules, in the same
// run: what the rules cost on top of writing the days (the goal: at most twice as long).
// Each run extends a fresh copy of a three-year calendar on SQLite, and, when
// ZEVWORKCAL_BENCH_PG names a server (scripts/bench-pg starts one), the same calendar on
// PostgreSQL, cut back to its three years before each run.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/BenchSupport.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/CalendarExtension.hpp"
#include "suite/CalendarRules.hpp"
#include "suite/CalendarStore.hpp"

namespace zev::bench {
namespace {

constexpr int kDays = 1096;

// Twenty holidays of the kinds real plants keep: fixed days and weekdays of a month.
constexpr const char* kRules[] = {
    "FREQ=YEARLY;BYMONTH=1;BYMONTHDAY=1",   "FREQ=YEARLY;BYMONTH=1;BYDAY=3MO",
    "FREQ=YEARLY;BYMONTH=2;BYDAY=3MO",      "FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=8",
    "FREQ=YEARLY;BYMONTH=4;BYDAY=-1FR",     "FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1",
    "FREQ=YEARLY;BYMONTH=5;BYDAY=-1MO",     "FREQ=YEARLY;BYMONTH=6;BYMONTHDAY=19",
    "FREQ=YEARLY;BYMONTH=7;BYMONTHDAY=4",   "FREQ=YEARLY;BYMONTH=8;BYDAY=1MO",
    "FREQ=YEARLY;BYMONTH=9;BYDAY=1MO",      "FREQ=YEARLY;BYMONTH=10;BYMONTHDAY=1",
    "FREQ=YEARLY;BYMONTH=10;BYMONTHDAY=2",  "FREQ=YEARLY;BYMONTH=10;BYMONTHDAY=3",
    "FREQ=YEARLY;BYMONTH=10;BYDAY=2MO",     "FREQ=YEARLY;BYMONTH=11;BYMONTHDAY=11",
    "FREQ=YEARLY;BYMONTH=11;BYDAY=4TH",     "FREQ=YEARLY;BYMONTH=11;BYDAY=4FR",
    "FREQ=YEARLY;BYMONTH=12;BYMONTHDAY=25", "FREQ=YEARLY;BYMONTH=12;BYMONTHDAY=26",
};

enum class Engine { SQLite, PostgreSQL };

// The three-year calendar, fresh: a copy of the file, or the server's calendar with what
// an earlier run added taken away.
data::ConnectionPtr FreshCalendar(Engine engine, double last) {
    if (engine == Engine::SQLite) {
        const std::filesystem::path source = CalendarFile(kDays);
        const std::filesystem::path copy = source.parent_path() / "extend.db";
        std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing);
        return data::OpenSqlite(copy.string());
    }
    auto connection = data::OpenOdbc(ServerCalendars().ConnectionString(kDays));
    connection->Execute("DELETE FROM t_WorkCalendar WHERE FDay>'" +
                        automation::FormatIsoDate(last) + "'");
    for (const char* table : {"t_WorkCalendarRule", "t_WorkCalendarNote", "t_WorkCalendarLog"})
        connection->Execute(std::string("DELETE FROM ") + table);
    connection->Execute("VACUUM ANALYZE t_WorkCalendar");
    return connection;
}

void Extend(benchmark::State& state, Engine engine, bool withRules) {
    const double last = automation::OleFromCivil(2009, 6, 1) + kDays - 1;
    const double until = automation::OleFromCivil(2112, 5, 31);
    for (auto _ : state) {
        state.PauseTiming();
        auto connection = FreshCalendar(engine, last);
        suite::CalendarStore(*connection).PutSetting("WorkCalendarSet", "1");
        if (withRules) {
            suite::CalendarRules rules(*connection);
            for (const char* r : kRules) {
                suite::CalendarRule rule{0, r, true, "holiday", last};
                rules.Add(rule);
            }
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(suite::ExtendCalendar(*connection, until));
    }
    state.counters["calls"] = 1;
}

void Register() {
    for (const auto& [engine, name] :
         {std::pair{Engine::SQLite, "sqlite"}, std::pair{Engine::PostgreSQL, "postgresql"}}) {
        if (engine == Engine::PostgreSQL && ServerString().empty()) continue;
        for (const auto& [rules, side] : {std::pair{true, "ours"}, std::pair{false, "no_rules"}}) {
            benchmark::RegisterBenchmark(
                ("ExtendCentury/" + std::string(side) + "/" + name).c_str(),
                [engine, rules](benchmark::State& s) { Extend(s, engine, rules); })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
}

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    zev::bench::Register();
    const int result = zev::bench::RunWithRatios(argc, argv, {"no_rules"});
    if (!zev::bench::ServerString().empty()) zev::bench::ServerCalendars().DropAll();
    return result;
}
