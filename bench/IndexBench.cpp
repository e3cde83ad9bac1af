// The calendar held in memory, for the questions schedulers ask in bulk: clsCal::WorkDays
// answering a block of questions (one change stamp for the block) and the index's single
// answers, each beside a plain binary search over a sorted vector of the same work days.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "bench/BenchSupport.hpp"
#include "component/WorkCalendarIndex.hpp"
#include "component/clsCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/Register.hpp"
#include "suite/ShareProps.hpp"

namespace zev::bench {
namespace {

const component::WorkCalendarIndex& Index(int days) {
    static std::map<int, component::WorkCalendarIndex> indexes;
    auto it = indexes.find(days);
    if (it == indexes.end()) {
        const auto connection = data::OpenSqlite(CalendarFile(days));
        it = indexes.emplace(days, component::WorkCalendarIndex::Load(*connection)).first;
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

double LowerBoundWorkDay(const std::vector<double>& v, double day) {
    const auto it = std::upper_bound(v.begin(), v.end(), std::floor(day));
    if (it == v.begin()) return day;
    const size_t target = static_cast<size_t>(it - v.begin()) - 1 + kInterval;
    return target < v.size() ? v[target] : day;
}

constexpr size_t kProbes = 4096;

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

void BulkOurs(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    component::clsCal& cal = Calendar(days);
    std::vector<component::WorkDayQuestion> questions;
    for (double day : ProbeDates(days, kProbes))
        questions.push_back({day, component::Dir_Forward, kInterval});
    std::vector<double> answers(questions.size());
    for (auto _ : state) {
        const component::WorkDaysResult result = cal.WorkDays(questions, answers);
        if (result.Failure) state.SkipWithError(result.Failure->Description.c_str());
        benchmark::DoNotOptimize(answers.data());
        benchmark::ClobberMemory();
    }
    state.counters["calls"] = static_cast<double>(questions.size());
}

void BulkLowerBound(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const std::vector<double>& v = SortedWorkDays(days);
    ForEachProbe(state, ProbeDates(days, kProbes),
                 [&](double day) { return LowerBoundWorkDay(v, day); });
}

void WorkDayOurs(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const component::WorkCalendarIndex& index = Index(days);
    ForEachProbe(state, ProbeDates(days, kProbes), [&](double day) {
        return *index.WorkDay(automation::OleDaySerial(day), day, component::Dir_Forward,
                              kInterval);
    });
}

void BeforeOurs(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const component::WorkCalendarIndex& index = Index(days);
    ForEachProbe(state, ProbeDates(days, kProbes), [&](double day) {
        return *index.WorkDayBefore(automation::OleDaySerial(day), day);
    });
}

void BeforeLowerBound(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    const std::vector<double>& v = SortedWorkDays(days);
    ForEachProbe(state, ProbeDates(days, kProbes), [&](double day) {
        const auto it = std::upper_bound(v.begin(), v.end(), std::floor(day));
        return it == v.begin() ? day : *(it - 1);
    });
}

BENCHMARK(BulkOurs)->Name("BulkWorkDays/ours")->Arg(1096)->Arg(36525);
BENCHMARK(BulkLowerBound)->Name("BulkWorkDays/lower_bound")->Arg(1096)->Arg(36525);
BENCHMARK(WorkDayOurs)->Name("IndexWorkDay/ours")->Arg(1096)->Arg(36525);
BENCHMARK(BulkLowerBound)->Name("IndexWorkDay/lower_bound")->Arg(1096)->Arg(36525);
BENCHMARK(BeforeOurs)->Name("IndexWorkDayBefore/ours")->Arg(1096)->Arg(36525);
BENCHMARK(BeforeLowerBound)->Name("IndexWorkDayBefore/lower_bound")->Arg(1096)->Arg(36525);

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    zev::suite::RegisterSuite();
    return zev::bench::RunWithRatios(argc, argv, {"lower_bound"});
}
