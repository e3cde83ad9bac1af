// The three date members of clsCal on the embedded database, answering from the calendar
// held in memory (ours) and by their statements (literal, CalendarCache=off), each beside
// the raw sqlite3 C API running the statement texts in the same process. The ratios show
// what the fast path saves, and what the component's layers (formatter object, change
// stamp, connection, buffered result, conversions) cost on top of the engine.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>
#include <utility>
#include <vector>

#include "bench/BenchSupport.hpp"
#include "component/CalendarCache.hpp"
#include "component/clsCal.hpp"
#include "suite/Register.hpp"
#include "suite/ShareProps.hpp"

namespace zev::bench {
namespace {

// --- raw engine -----------------------------------------------------------------------

class RawEngine {
  public:
    explicit RawEngine(const std::string& file) {
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~RawEngine() { sqlite3_close_v2(db_); }

    // Runs a statement to its end, as the component's result sets do (they hold every
    // row); calls `read` with the first row when its first field is not NULL.
    template <class Read>
    void One(const std::string& sql, Read read) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW) {
            if (sqlite3_column_type(st, 0) != SQLITE_NULL) read(st);
            while (sqlite3_step(st) == SQLITE_ROW) {
            }
        }
        sqlite3_finalize(st);
    }

    [[gnu::noinline]] double Before(double day) {
        double result = day;
        One("SELECT MAX(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" + RawDateText(day) +
                "'",
            [&](sqlite3_stmt* st) {
                result = RawDay(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            });
        return result;
    }
    [[gnu::noinline]] double After(double day) {
        double result = day;
        One("SELECT MIN(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay>='" + RawDateText(day) +
                "'",
            [&](sqlite3_stmt* st) {
                result = RawDay(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            });
        return result;
    }
    [[gnu::noinline]] double WorkDay(double day, int32_t interval) {
        double result = day;
        One("SELECT Max(FInterID) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" +
                RawDateText(day) + "'",
            [&](sqlite3_stmt* st) {
                const std::string h = std::to_string(sqlite3_column_int(st, 0));
                One("SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 AND FInterID-" + h + "=" +
                        std::to_string(interval),
                    [&](sqlite3_stmt* s2) {
                        result = RawDay(reinterpret_cast<const char*>(sqlite3_column_text(s2, 0)));
                    });
            });
        return result;
    }

  private:
    sqlite3* db_ = nullptr;
};

// --- the component --------------------------------------------------------------------

// The calendar object on a calendar of `days` days, answering from memory or, with the
// property CalendarCache=off, by the statements. A new connection reads the property.
component::clsCal& Calendar(int days, bool literal) {
    static std::pair<int, bool> connectedTo{-1, false};
    static component::clsCal cal;
    if (connectedTo != std::make_pair(days, literal)) {
        suite::SetProcessProperty(
            "PropsString", std::string("Language=en;") + (literal ? "CalendarCache=off;" : "") +
                               "Provider=SQLite;Data Source={" + CalendarFile(days) + "};");
        cal.ActiveConnection("");
        // The calendar is read into memory here, outside the members timed and counted: by
        // as many questions as pay for reading it.
        const std::vector<component::WorkDayQuestion> warm(
            static_cast<size_t>(days) / component::CalendarCache::kStatementCost + 1,
            {ProbeDates(days, 1).front(), component::Dir_Forward, 1});
        std::vector<double> answers(warm.size());
        cal.WorkDays(warm, answers);
        connectedTo = {days, literal};
    }
    return cal;
}

// 64 dates per pass: enough to cover the calendar, few enough for a century's WorkDay.
constexpr size_t kProbes = 64;

void Ours(benchmark::State& state, Member member) {
    const int days = static_cast<int>(state.range(0));
    component::clsCal& cal = Calendar(days, false);
    ForEachProbe(state, ProbeDates(days, kProbes),
                 [&](double day) { return Ask(cal, member, day); });
}

void Literal(benchmark::State& state, Member member) {
    const int days = static_cast<int>(state.range(0));
    component::clsCal& cal = Calendar(days, true);
    ForEachProbe(state, ProbeDates(days, kProbes),
                 [&](double day) { return Ask(cal, member, day); });
}

void Raw(benchmark::State& state, Member member) {
    const int days = static_cast<int>(state.range(0));
    RawEngine engine(CalendarFile(days));
    ForEachProbe(state, ProbeDates(days, kProbes),
                 [&](double day) { return Ask(engine, member, day); });
}

// Each member runs on both calendar sizes, three years and a century: from memory (ours),
// by the statements (literal, CalendarCache=off) and by the raw engine.
#define ZEV_PAIR(name, member)                                                               \
    BENCHMARK_CAPTURE(Ours, name, member)->Name(#name "/ours")->Arg(1096)->Arg(36525);       \
    BENCHMARK_CAPTURE(Literal, name, member)->Name(#name "/literal")->Arg(1096)->Arg(36525); \
    BENCHMARK_CAPTURE(Raw, name, member)->Name(#name "/raw")->Arg(1096)->Arg(36525)

ZEV_PAIR(WorkDayBefore, Member::Before);
ZEV_PAIR(WorkDayAfter, Member::After);
ZEV_PAIR(WorkDay, Member::WorkDay);

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    zev::suite::RegisterSuite();
    return zev::bench::RunWithRatios(argc, argv, {"raw", "literal"});
}
