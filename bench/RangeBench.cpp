// The range questions for schedulers and scripts, from the calendar held in memory:
// clsCal::WorkDaysBetween per pair of dates and clsCal::DayKinds per day, and the list
// command per day written out, beside numpy's business-day functions on the same calendar
// (numpy_busday_bench.py, run once per calendar after the benchmarks): busday_count for
// the pairs, a loop over busday_offset and is_busday for the days.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "apps/zevworkcal/Cli.hpp"
#include "bench/BenchSupport.hpp"
#include "component/clsCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/Register.hpp"
#include "suite/Schema.hpp"
#include "suite/ShareProps.hpp"

#ifndef ZEV_NUMPY_BENCH
#error "ZEV_NUMPY_BENCH names bench/numpy_busday_bench.py"
#endif

namespace zev::bench {
namespace {

const double kStart = automation::OleFromCivil(2009, 6, 1);
constexpr size_t kPairs = 4096;
constexpr int kSizes[] = {1096, 36525};

// A calendar of `days` days from 2009-06-01 with weekends resting and, as a factory's
// calendar has them, holidays: every weekday whose day number is a multiple of 23.
const std::string& HolidayCalendar(int days) {
    static std::map<int, std::string> files;
    auto it = files.find(days);
    if (it != files.end()) return it->second;
    const std::string file = CalendarFile(days) + ".holidays.db";
    std::filesystem::remove(file);
    auto connection = data::OpenSqlite(file, data::OpenMode::Create);
    suite::InitDatabase(*connection);
    std::string batch = "BEGIN TRANSACTION";
    int number = 0;
    for (int d = 0; d < days; ++d) {
        const double day = kStart + d;
        const int weekday = automation::OleWeekday(day);
        const bool rest = weekday == 1 || weekday == 7 || static_cast<int>(day) % 23 == 0;
        batch += "\r\nINSERT INTO t_WorkCalendar(FInterID,FDay) VALUES (" +
                 std::to_string(rest ? 0 : ++number) + ",'" + automation::FormatIsoDate(day) + "')";
    }
    connection->Execute(batch + "\r\nCOMMIT");
    return files.emplace(days, file).first->second;
}

const std::vector<component::DayRange>& Pairs(int days) {
    static std::map<int, std::vector<component::DayRange>> pairs;
    auto it = pairs.find(days);
    if (it != pairs.end()) return it->second;
    std::mt19937 random(20090601);
    std::uniform_int_distribution<int> day(-10, days + 10);
    std::vector<component::DayRange> v;
    for (size_t i = 0; i < kPairs; ++i)
        v.push_back({kStart + day(random), kStart + day(random)});
    return pairs.emplace(days, std::move(v)).first->second;
}

component::clsCal& Calendar(int days) {
    static int connectedTo = -1;
    static component::clsCal cal;
    if (connectedTo != days) {
        suite::SetProcessProperty("PropsString", "Language=en;Provider=SQLite;Data Source={" +
                                                     HolidayCalendar(days) + "};");
        cal.ActiveConnection("");
        connectedTo = days;
    }
    return cal;
}

void CountOurs(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    component::clsCal& cal = Calendar(days);
    const std::vector<component::DayRange>& pairs = Pairs(days);
    std::vector<component::WorkDayCount> counts(pairs.size());
    for (auto _ : state) {
        const component::WorkDaysResult r = cal.WorkDaysBetween(pairs, counts);
        if (r.Failure) state.SkipWithError(r.Failure->Description.c_str());
        benchmark::DoNotOptimize(counts.data());
        benchmark::ClobberMemory();
    }
    state.counters["calls"] = static_cast<double>(pairs.size());
}

void ListOurs(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    component::clsCal& cal = Calendar(days);
    std::vector<component::CalendarDay> kinds(static_cast<size_t>(days));
    for (auto _ : state) {
        const component::WorkDaysResult r = cal.DayKinds(kStart, kinds);
        if (r.Failure) state.SkipWithError(r.Failure->Description.c_str());
        benchmark::DoNotOptimize(kinds.data());
        benchmark::ClobberMemory();
    }
    state.counters["calls"] = static_cast<double>(days);
}

// `zevworkcal list` over the whole calendar, in this process, its lines to /dev/null.
void ListCommandOurs(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const std::vector<std::string> args = {"--db", HolidayCalendar(days), "list",
                                           automation::FormatIsoDate(kStart),
                                           automation::FormatIsoDate(kStart + days)};
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        if (cli::Run(args, sink, stderr, stdin) != 0) state.SkipWithError("list failed");
    }
    std::fclose(sink);
    state.counters["calls"] = static_cast<double>(days);
}

BENCHMARK(CountOurs)->Name("Count/ours")->Arg(1096)->Arg(36525);
BENCHMARK(ListOurs)->Name("List/ours")->Arg(1096)->Arg(36525);
BENCHMARK(ListCommandOurs)->Name("ListCommand/ours")->Arg(1096)->Arg(36525);

// numpy's times on each calendar, per pair and per day, added under the names of ours.
void AddNumpyTimes(RatioReporter& reporter) {
    for (int days : kSizes) {
        const std::string pairsFile = HolidayCalendar(days) + ".pairs";
        {
            std::ofstream out(pairsFile);
            for (const component::DayRange& p : Pairs(days))
                out << automation::FormatIsoDate(p.From) << " " << automation::FormatIsoDate(p.To)
                    << "\n";
        }
        const std::string command = std::string("/usr/bin/python3 ") + ZEV_NUMPY_BENCH + " '" +
                                    HolidayCalendar(days) + "' '" + pairsFile + "'";
        std::FILE* numpy = ::popen(command.c_str(), "r");
        if (numpy == nullptr) continue;
        char name[32];
        double real = 0.0;
        double cpu = 0.0;
        const std::string size = "/" + std::to_string(days);
        while (std::fscanf(numpy, "%31s %lf %lf", name, &real, &cpu) == 3) {
            std::printf("numpy %-12s %6d days: %10.1f ns real %10.1f ns cpu\n", name, days, real,
                        cpu);
            const std::string what = name;
            if (what == "count") reporter.AddTime("Count/numpy" + size, real, cpu);
            for (const char* list : {"List/numpy_", "ListCommand/numpy_"}) {
                if (what != "count") reporter.AddTime(list + what + size, real, cpu);
            }
        }
        if (::pclose(numpy) != 0) std::fprintf(stderr, "numpy_busday_bench.py failed\n");
    }
}

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    zev::suite::RegisterSuite();
    return zev::bench::RunWithRatios(argc, argv, {"numpy", "numpy_offset_loop", "numpy_is_busday"},
                                     zev::bench::AddNumpyTimes);
}
