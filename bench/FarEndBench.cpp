// One question as a one-shot command asks it: a new connection, then one date question,
// on calendars of 1,096, 36,525 and 2,918,501 days (2009-06-01 to 9999-12-31). Each size
// prints its ratio to the same question on the 1,096-day calendar (at1096), which is what
// a one-day question should cost at any size, and to the raw sqlite3 C API opening the
// file and running the literal statements (raw). The process's peak memory after each run
// (getrusage ru_maxrss, in kB) is the counter peak_kB: the runs go from the smallest
// calendar to the largest, so a run that read a whole calendar raises it for good.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <string>

#include "bench/BenchSupport.hpp"
#include "component/clsCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/Register.hpp"
#include "suite/ShareProps.hpp"

namespace zev::bench {
namespace {

constexpr int kSmall = 1096;
constexpr int kToTheLastDate = 2918501;  // 2009-06-01 .. 9999-12-31
const double kFirstDay = automation::OleFromCivil(2009, 6, 1);

// Where in the calendar the day asked lies: near its first day, or its last.
enum class Where { Early, Late };

double DayAsked(int days, Where where) {
    return where == Where::Early ? kFirstDay + 500 : kFirstDay + days - 3;
}

double PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss);
}

// The question on a fresh connection, as a new process asks it.
double AskOnce(component::clsCal& cal, Member member, double day, bool isWorkday) {
    cal.ActiveConnection("");
    if (!isWorkday) return Ask(cal, member, day);
    component::CalendarDay kind;
    cal.DayKinds(day, {&kind, 1});
    return static_cast<double>(kind.Number);
}

void Component(benchmark::State& state, int days, Member member, bool isWorkday, Where where) {
    suite::SetProcessProperty(
        "PropsString", "Language=en;Provider=SQLite;Data Source={" + CalendarFile(days) + "};");
    component::clsCal cal;
    const double day = DayAsked(days, where);
    for (auto _ : state)
        benchmark::DoNotOptimize(AskOnce(cal, member, day, isWorkday));
    state.counters["peak_kB"] = PeakKilobytes();
}

// The literal statements through the raw C API on a newly opened file.
double RawOnce(const std::string& file, Member member, double day, bool isWorkday) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const std::string text = RawDateText(day);
    auto one = [&](const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
        int64_t value = 0;
        if (sqlite3_step(st) == SQLITE_ROW) value = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return value;
    };
    int64_t answer = 0;
    if (isWorkday) {
        answer = one("SELECT MAX(FInterID) FROM t_WorkCalendar WHERE FDay='" + text + "'");
    } else if (member == Member::Before) {
        answer =
            one("SELECT MAX(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" + text + "'");
    } else {
        const int64_t h = one(
            "SELECT Max(FInterID) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" + text + "'");
        answer = one("SELECT FInterID FROM t_WorkCalendar WHERE FInterID>0 AND FInterID-" +
                     std::to_string(h) + "=" + std::to_string(kInterval));
    }
    sqlite3_close_v2(db);
    return static_cast<double>(answer);
}

void Raw(benchmark::State& state, int days, Member member, bool isWorkday, Where where) {
    const std::string& file = CalendarFile(days);
    const double day = DayAsked(days, where);
    for (auto _ : state)
        benchmark::DoNotOptimize(RawOnce(file, member, day, isWorkday));
}

// A question on every size (ours), on the small calendar under each size's name (at1096),
// and by the raw engine (raw).
void Register(const std::string& question, Member member, bool isWorkday, Where where) {
    for (const int days : {kSmall, 36525, kToTheLastDate}) {
        const std::string name = "FirstQuestion/" + question + "/";
        const std::string size = "/" + std::to_string(days);
        benchmark::RegisterBenchmark((name + "ours" + size).c_str(), Component, days, member,
                                     isWorkday, where);
        benchmark::RegisterBenchmark((name + "at1096" + size).c_str(), Component, kSmall, member,
                                     isWorkday, where);
        benchmark::RegisterBenchmark((name + "raw" + size).c_str(), Raw, days, member, isWorkday,
                                     where);
    }
}

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    using zev::bench::Member;
    using zev::bench::Where;
    zev::suite::RegisterSuite();
    zev::bench::Register("IsWorkdayLate", Member::Before, true, Where::Late);
    zev::bench::Register("WorkDayBeforeLate", Member::Before, false, Where::Late);
    zev::bench::Register("WorkDayEarly", Member::WorkDay, false, Where::Early);
    zev::bench::Register("WorkDayLate", Member::WorkDay, false, Where::Late);
    return zev::bench::RunWithRatios(argc, argv, {"at1096", "raw"});
}
