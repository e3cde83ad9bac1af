// The three date members of clsCal on the embedded database, each beside the raw sqlite3
// C API running the same statement texts in the same process. The ratio shows what the
// component's layers (formatter object, connection, buffered result, conversions) cost on
// top of the engine.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "bench/BenchSupport.hpp"
#include "component/clsCal.hpp"
#include "suite/Register.hpp"
#include "suite/ShareProps.hpp"

namespace zev::bench {
namespace {

namespace chr = std::chrono;

constexpr int32_t kInterval = 5;
const chr::sys_days kOleEpoch = chr::sys_days{chr::year{1899} / 12 / 30};

// --- raw engine -----------------------------------------------------------------------

std::string RawDateText(double ole) {
    const chr::year_month_day ymd{kOleEpoch + chr::days{static_cast<int>(std::trunc(ole))}};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return buf;
}

double RawDay(const unsigned char* text) {
    int y = 0, m = 0, d = 0;
    std::sscanf(reinterpret_cast<const char*>(text), "%d-%d-%d", &y, &m, &d);
    const chr::sys_days day{chr::year{y} / chr::month{static_cast<unsigned>(m)} /
                            chr::day{static_cast<unsigned>(d)}};
    return static_cast<double>((day - kOleEpoch).count());
}

class RawEngine {
  public:
    explicit RawEngine(const std::string& file) {
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~RawEngine() { sqlite3_close_v2(db_); }

    // Runs a one-row statement; calls `read` with the statement when its first field is
    // not NULL.
    template <class Read>
    void One(const std::string& sql, Read read) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL) read(st);
        sqlite3_finalize(st);
    }

    double Before(double day) {
        double result = day;
        One("SELECT MAX(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" + RawDateText(day) +
                "'",
            [&](sqlite3_stmt* st) { result = RawDay(sqlite3_column_text(st, 0)); });
        return result;
    }
    double After(double day) {
        double result = day;
        One("SELECT MIN(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay>='" + RawDateText(day) +
                "'",
            [&](sqlite3_stmt* st) { result = RawDay(sqlite3_column_text(st, 0)); });
        return result;
    }
    double WorkDay(double day, int32_t interval) {
        double result = day;
        One("SELECT Max(FInterID) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" +
                RawDateText(day) + "'",
            [&](sqlite3_stmt* st) {
                const std::string h = std::to_string(sqlite3_column_int(st, 0));
                One("SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 AND FInterID-" + h + "=" +
                        std::to_string(interval),
                    [&](sqlite3_stmt* s2) { result = RawDay(sqlite3_column_text(s2, 0)); });
            });
        return result;
    }

  private:
    sqlite3* db_ = nullptr;
};

// --- the component --------------------------------------------------------------------

component::clsCal& Calendar(int days) {
    static int connectedTo = -1;
    static component::clsCal cal;
    if (connectedTo != days) {
        suite::SetProcessProperty(
            "PropsString", "Language=en;Provider=SQLite;Data Source={" + CalendarFile(days) + "};");
        cal.ActiveConnection("");
        connectedTo = days;
    }
    return cal;
}

enum class Member { Before, After, WorkDay };

void Ours(benchmark::State& state, Member member) {
    const int days = static_cast<int>(state.range(0));
    component::clsCal& cal = Calendar(days);
    const std::vector<double>& probes = ProbeDates(days);
    size_t i = 0;
    for (auto _ : state) {
        const double day = probes[i++ % probes.size()];
        double result = 0;
        switch (member) {
            case Member::Before:
                result = cal.WorkDayBefore(day);
                break;
            case Member::After:
                result = cal.WorkDayAfter(day);
                break;
            case Member::WorkDay:
                result = cal.WorkDay(day, component::Dir_Forward, kInterval);
                break;
        }
        benchmark::DoNotOptimize(result);
    }
}

void Raw(benchmark::State& state, Member member) {
    const int days = static_cast<int>(state.range(0));
    RawEngine engine(CalendarFile(days));
    const std::vector<double>& probes = ProbeDates(days);
    size_t i = 0;
    for (auto _ : state) {
        const double day = probes[i++ % probes.size()];
        double result = 0;
        switch (member) {
            case Member::Before:
                result = engine.Before(day);
                break;
            case Member::After:
                result = engine.After(day);
                break;
            case Member::WorkDay:
                result = engine.WorkDay(day, kInterval);
                break;
        }
        benchmark::DoNotOptimize(result);
    }
}

// Each pair runs on both calendar sizes: three years and a century.
#define ZEV_PAIR(name, member)                                                         \
    BENCHMARK_CAPTURE(Ours, name, member)->Name(#name "/ours")->Arg(1096)->Arg(36525); \
    BENCHMARK_CAPTURE(Raw, name, member)->Name(#name "/raw")->Arg(1096)->Arg(36525)

ZEV_PAIR(WorkDayBefore, Member::Before);
ZEV_PAIR(WorkDayAfter, Member::After);
ZEV_PAIR(WorkDay, Member::WorkDay);

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    zev::suite::RegisterSuite();
    return zev::bench::RunWithRatios(argc, argv, {"raw"});
}
