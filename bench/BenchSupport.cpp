#include "bench/BenchSupport.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/automation/OleDate.hpp"
#include "platform/data/ConnectionString.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/Schema.hpp"
#include "suite/WorkCalGenerator.hpp"

namespace zev::bench {
namespace {

struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zevworkcal-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

TempFolder& Folder() {
    static TempFolder folder;
    return folder;
}

}  // namespace

std::string RawDateText(double ole) {
    std::string text;
    automation::AppendIsoDate(text, automation::DayOfSerial(static_cast<int32_t>(ole)));
    return text;
}

double RawDay(const char* text) {
    const auto day = automation::ParseIsoDay(text);
    return day ? automation::OleFromDay(*day) : 0.0;
}

const std::string& CalendarFile(int days) {
    static std::map<int, std::string> files;
    auto it = files.find(days);
    if (it != files.end()) return it->second;
    const std::string file = (Folder().path / ("cal" + std::to_string(days) + ".db")).string();
    auto connection = data::OpenSqlite(file, data::OpenMode::Create);
    suite::InitDatabase(*connection);
    const double start = automation::OleFromCivil(2009, 6, 1);
    connection->Execute("BEGIN TRANSACTION");
    suite::WriteCalendarRows(*connection, start, start + days, true, true);
    connection->Execute("COMMIT");
    return files.emplace(days, file).first->second;
}

std::string ServerString() {
    const char* s = std::getenv("ZEVWORKCAL_BENCH_PG");
    return s ? s : "";
}

const std::string& ServerDatabases::ConnectionString(int days) {
    auto it = strings_.find(days);
    if (it != strings_.end()) return it->second;
    const std::string name = "zev_bench_" + std::to_string(::getpid()) + "_" + std::to_string(days);
    data::OpenOdbc(ServerString())->Execute("CREATE DATABASE " + name);
    names_[days] = name;
    const std::string cs = data::WithAttribute(ServerString(), "Database", name);
    auto connection = data::OpenOdbc(cs);
    suite::InitDatabase(*connection);
    const double start = automation::OleFromCivil(2009, 6, 1);
    connection->Execute("BEGIN TRANSACTION");
    suite::WriteCalendarRows(*connection, start, start + days, true, true);
    connection->Execute("COMMIT");
    connection->Execute("ANALYZE t_WorkCalendar");
    return strings_.emplace(days, cs).first->second;
}

void ServerDatabases::DropAll() {
    try {
        auto admin = data::OpenOdbc(ServerString());
        for (const auto& [days, name] : names_) {
            admin->Execute("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "could not drop the benchmark databases: %s\n", e.what());
    }
    names_.clear();
    strings_.clear();
}

ServerDatabases& ServerCalendars() {
    static ServerDatabases databases;
    return databases;
}

const std::vector<double>& ProbeDates(int days, size_t count) {
    static std::map<std::pair<int, size_t>, std::vector<double>> probes;
    auto it = probes.find({days, count});
    if (it != probes.end()) return it->second;
    std::mt19937 random(20090601);
    const double start = automation::OleFromCivil(2009, 6, 1);
    std::uniform_int_distribution<int> day(-10, days + 10);
    std::uniform_int_distribution<int> withTime(0, 3);
    std::vector<double> dates;
    for (size_t i = 0; i < count; ++i) {
        dates.push_back(start + day(random) + (withTime(random) == 0 ? 0.625 : 0.0));
    }
    return probes.emplace(std::make_pair(days, count), std::move(dates)).first->second;
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if ((run.run_type == Run::RT_Iteration && run.iterations > 0) || median) {
            medians_ = medians_ || median;
            const auto calls = run.counters.find("calls");
            const double perIteration =
                calls == run.counters.end() || calls->second.value <= 0 ? 1 : calls->second.value;
            times_[run.benchmark_name()] = {run.GetAdjustedRealTime() / perIteration,
                                            run.GetAdjustedCPUTime() / perIteration};
        }
    }
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::PrintRatios() const {
    std::printf("\n%-44s %-14s %10s %10s %8s %10s %10s %8s\n", "ours", "baseline", "real ours",
                "real base", "ratio", "cpu ours", "cpu base", "ratio");
    for (const auto& [name, ours] : times_) {
        const size_t at = name.find("/ours");
        if (at == std::string::npos) continue;
        // With repetitions, the medians stand for the runs.
        if (medians_ && name.find("_median") == std::string::npos) continue;
        for (const std::string& baseline : baselines_) {
            std::string other = name;
            other.replace(at, 5, "/" + baseline);
            auto it = times_.find(other);
            if (it == times_.end() || it->second.real <= 0 || it->second.cpu <= 0) continue;
            std::printf("%-44s %-14s %10.1f %10.1f %7.3fx %10.1f %10.1f %7.3fx\n", name.c_str(),
                        baseline.c_str(), ours.real, it->second.real, ours.real / it->second.real,
                        ours.cpu, it->second.cpu, ours.cpu / it->second.cpu);
        }
    }
    std::printf("(times per call, in the benchmarks' unit)\n");
    std::fflush(stdout);
}

int RunWithRatios(int argc, char** argv, std::vector<std::string> baselines,
                  const std::function<void(RatioReporter&)>& external) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter(std::move(baselines));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (external) external(reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}

}  // namespace zev::bench
