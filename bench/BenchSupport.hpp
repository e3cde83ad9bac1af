#pragma once
// What the benchmarks share: calendars in temporary SQLite files, probe dates, and a
// reporter that prints each pair of benchmarks as a ratio, ours over the baseline.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "component/clsCal.hpp"

namespace zev::bench {

// The three date questions, each asked with the same forward step.
enum class Member { Before, After, WorkDay };
inline constexpr int32_t kInterval = 5;

inline double Ask(component::clsCal& cal, Member member, double day) {
    switch (member) {
        case Member::Before:
            return cal.WorkDayBefore(day);
        case Member::After:
            return cal.WorkDayAfter(day);
        case Member::WorkDay:
            return cal.WorkDay(day, component::Dir_Forward, kInterval);
    }
    return 0.0;
}

// The same questions to a baseline engine with Before, After and WorkDay(day, interval).
template <class Engine>
double Ask(Engine& engine, Member member, double day) {
    switch (member) {
        case Member::Before:
            return engine.Before(day);
        case Member::After:
            return engine.After(day);
        case Member::WorkDay:
            return engine.WorkDay(day, kInterval);
    }
    return 0.0;
}

// The date text the statements write for the whole part of an OLE date, as a raw program
// forms it with the date bridge; and the OLE date of such a text read back.
std::string RawDateText(double ole);
double RawDay(const char* text);

// A SQLite database in a temporary folder holding the suite's tables and a calendar of
// `days` days from 2009-06-01, weekends resting. Made once per
// size and removed at exit.
const std::string& CalendarFile(int days);

// The ODBC connection string of a PostgreSQL role that may create databases, from
// ZEVWORKCAL_BENCH_PG; empty when unset (scripts/bench-pg starts a server and sets it).
std::string ServerString();

// Databases on that server, one per calendar size, made on first use like CalendarFile.
class ServerDatabases {
  public:
    // The connection string of the database holding a calendar of `days` days.
    const std::string& ConnectionString(int days);
    // Drops them all. Call before main returns: the driver's libraries are already being
    // torn down when static objects are destroyed.
    void DropAll();

  private:
    std::map<int, std::string> names_;
    std::map<int, std::string> strings_;
};
ServerDatabases& ServerCalendars();

// `count` dates spread over the calendar and a little beyond it, some with a time of day;
// the same sequence for every benchmark.
const std::vector<double>& ProbeDates(int days, size_t count);

// Runs `call` on every probe date once per benchmark iteration, so that ours and the
// baseline always answer the same mix of dates; the reporter divides by the count.
template <class Call>
void ForEachProbe(benchmark::State& state, const std::vector<double>& probes, Call call) {
    for (auto _ : state) {
        for (double day : probes)
            benchmark::DoNotOptimize(call(day));
    }
    state.counters["calls"] = static_cast<double>(probes.size());
}

// Collects the time per call of every run (the medians, when runs are repeated)
// and, at the end, prints for each name ".../ours/..." the ratio to ".../<baseline>/..."
// with the rest of the name equal, in wall-clock and in CPU time.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    explicit RatioReporter(std::vector<std::string> baselines) : baselines_(std::move(baselines)) {}
    void ReportRuns(const std::vector<Run>& runs) override;
    // A time per call measured outside the benchmarks (another program's), in their unit.
    void AddTime(const std::string& name, double real, double cpu) { times_[name] = {real, cpu}; }
    void PrintRatios() const;

  private:
    struct Times {
        double real;
        double cpu;
    };
    std::vector<std::string> baselines_;
    std::map<std::string, Times> times_;
    bool medians_ = false;
};

// Runs the registered benchmarks with the ratio reporter; returns the exit code.
// `external`, when given, adds times measured elsewhere before the ratios are printed.
int RunWithRatios(int argc, char** argv, std::vector<std::string> baselines,
                  const std::function<void(RatioReporter&)>& external = {});

}  // namespace zev::bench
