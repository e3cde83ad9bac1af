// Opening the maintenance window through clsCal.Show until it is shown (the start-up
// check, the load with both grids, the Qt dialog), on a calendar of three years and of a
// century, beside the bare cost of the same rows: the two statements through raw sqlite3
// and their days with weekday names filled into a QStandardItemModel. Runs on the offscreen
// platform unless QT_QPA_PLATFORM names another.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <QApplication>
#include <QDialog>
#include <QStandardItemModel>
#include <QTimer>

#include <chrono>
#include <string>

#include "bench/BenchSupport.hpp"
#include "component/clsCal.hpp"
#include "suite/Register.hpp"
#include "suite/ShareProps.hpp"
#include "window/QtFrontEnd.hpp"

namespace zev::bench {
namespace {

namespace chr = std::chrono;

void OpenWindow(benchmark::State& state) {
    const int days = static_cast<int>(state.range(0));
    suite::SetProcessProperty(
        "PropsString", "Language=en;Provider=SQLite;Data Source={" + CalendarFile(days) + "};");
    component::clsCal cal;
    cal.ActiveConnection("");
    for (auto _ : state) {
        const auto start = chr::steady_clock::now();
        double shownAfter = -1.0;
        QTimer::singleShot(0, [&] {
            shownAfter = chr::duration<double>(chr::steady_clock::now() - start).count();
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                dialog->done(QDialog::Rejected);
            }
        });
        cal.Show();
        if (shownAfter < 0) {
            state.SkipWithError("the window was not shown");
            break;
        }
        state.SetIterationTime(shownAfter);
    }
}

void FillBareModel(benchmark::State& state) {
    static const char* const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    const int days = static_cast<int>(state.range(0));
    sqlite3* db = nullptr;
    sqlite3_open_v2(CalendarFile(days).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        const auto start = chr::steady_clock::now();
        QStandardItemModel model(0, 2);
        for (const char* sql : {"SELECT FDay FROM t_WorkCalendar WHERE FInterID=0 ORDER BY FDay",
                                "SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 ORDER BY FDay"}) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                int y = 0, m = 0, d = 0;
                std::sscanf(text, "%d-%d-%d", &y, &m, &d);
                const chr::weekday weekday{chr::sys_days{chr::year{y} / m / d}};
                model.appendRow(
                    {new QStandardItem(QString::fromLatin1(text)),
                     new QStandardItem(QString::fromLatin1(kWeekdays[weekday.c_encoding()]))});
            }
            sqlite3_finalize(st);
        }
        benchmark::DoNotOptimize(model.rowCount());
        state.SetIterationTime(chr::duration<double>(chr::steady_clock::now() - start).count());
    }
    sqlite3_close_v2(db);
}

BENCHMARK(OpenWindow)
    ->Name("OpenWindow/ours")
    ->Arg(1096)
    ->Arg(36525)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(FillBareModel)
    ->Name("OpenWindow/qt_model")
    ->Arg(1096)
    ->Arg(36525)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zev::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    zev::suite::RegisterSuite();
    zev::window::RegisterQtWindow();
    return zev::bench::RunWithRatios(argc, argv, {"qt_model"});
}
