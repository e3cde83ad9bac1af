#pragma once
// What the benchmarks share: calendars in temporary SQLite files, probe dates, and a
// reporter that prints each pair of benchmarks as a ratio, ours over the baseline.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace zev::bench {

// A SQLite database in a temporary folder holding the suite's tables and a calendar of
// `days` days from 2009-06-01, weekends resting. Made once per
// size and removed at exit.
const std::string& CalendarFile(int days);

// Dates spread over the calendar and a little beyond it, some with a time of day; the
// same sequence for every benchmark.
const std::vector<double>& ProbeDates(int days);

// Collects the time per iteration of every run and, at the end, prints for each name
// ".../ours/..." the ratio to ".../<baseline>/..." with the rest of the name equal.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    explicit RatioReporter(std::vector<std::string> baselines) : baselines_(std::move(baselines)) {}
    void ReportRuns(const std::vector<Run>& runs) override;
    void PrintRatios() const;

  private:
    std::vector<std::string> baselines_;
    std::map<std::string, double> times_;
};

// Runs the registered benchmarks with the ratio reporter; returns the exit code.
int RunWithRatios(int argc, char** argv, std::vector<std::string> baselines);

}  // namespace zev::bench
