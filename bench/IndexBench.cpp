// The in-memory calendar index beside a plain binary search over a sorted vector of the
// same work days, for the questions schedulers ask in bulk.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bench/BenchSupport.hpp"
#include "component/WorkCalendarIndex.hpp"
#include "platform/data/SqliteConnection.hpp"

namespace zev::bench {
namespace {

constexpr int32_t kInterval = 5;

component::WorkCalendarIndex& Index(int days) {
    static std::map<int, component::WorkCalendarIndex> indexes;
    auto it = indexes.find(days);
    if (it == indexes.end()) {
        it = indexes
                 .emplace(days, component::WorkCalendarIndex(data::OpenSqlite(CalendarFile(days))))
                 .first;
    }
    return it->second;
}

// The work days as midnight dates in ascending order, read from the same table.
const std::vector<double>& SortedWorkDays(int days) {
    static std::map<int, std::vector<double>> vectors;
    auto it = vectors.find(days);
    if (it != vectors.end()) return it->second;
    auto connection = data::OpenSqlite(CalendarFile(days));
    data::Recordset rs =
        connection->Execute("SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 ORDER BY FDay");
    std::vector<double> v;
    for (; !rs.Eof(); rs.MoveNext())
        v.push_back(automation::CDate(rs.Fields(0).Value()));
    return vectors.emplace(days, std::move(v)).first->second;
}

constexpr size_t kProbes = 4096;

void WorkDayOurs(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const component::WorkCalendarIndex& index = Index(days);
    ForEachProbe(state, ProbeDates(days, kProbes),
                 [&](double day) { return index.WorkDay(day, component::Dir_Forward, kInterval); });
}

void WorkDayLowerBound(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const std::vector<double>& v = SortedWorkDays(days);
    ForEachProbe(state, ProbeDates(days, kProbes), [&](double day) {
        const auto it = std::upper_bound(v.begin(), v.end(), std::floor(day));
        if (it == v.begin()) return day;
        const size_t target = static_cast<size_t>(it - v.begin()) - 1 + kInterval;
        return target < v.size() ? v[target] : day;
    });
}

void BeforeOurs(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const component::WorkCalendarIndex& index = Index(days);
    ForEachProbe(state, ProbeDates(days, kProbes),
                 [&](double day) { return index.WorkDayBefore(day); });
}

void BeforeLowerBound(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const std::vector<double>& v = SortedWorkDays(days);
    ForEachProbe(state, ProbeDates(days, kProbes), [&](double day) {
        const auto it = std::upper_bound(v.begin(), v.end(), std::floor(day));
        return it == v.begin() ? day : *(it - 1);
    });
}

BENCHMARK(WorkDayOurs)->Name("IndexWorkDay/ours")->Arg(1096)->Arg(36525);
BENCHMARK(WorkDayLowerBound)->Name("IndexWorkDay/lower_bound")->Arg(1096)->Arg(36525);
BENCHMARK(BeforeOurs)->Name("IndexWorkDayBefore/ours")->Arg(1096)->Arg(36525);
BENCHMARK(BeforeLowerBound)->Name("IndexWorkDayBefore/lower_bound")->Arg(1096)->Arg(36525);

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    return zev::bench::RunWithRatios(argc, argv, {"lower_bound"});
}
