// Opening the maintenance window through clsCal.Show until it is shown (the start-up
// check, the load with both grids, the Qt dialog), on a calendar of three years and of a
// century, beside the bare cost of the same rows: the two statements through raw sqlite3
// and their days with weekday names filled into a QStandardItemModel. And the display pass
// of a generation of 1,096 days in the window (Save clicked while no calendar is set, timed
// from the generator's return to the end of the click), beside a QTableView whose
// QStandardItemModel takes the same days one by one, processing pending events before
// each, on a tab that is not shown, as the window's grids are not during the pass. Runs on
// the offscreen platform unless QT_QPA_PLATFORM names another. And, in one window on a
// calendar of a century, a day turned there and back from the year view (the view opened
// on the day's row, Space twice, the view closed) beside the same day swapped there and
// back on the lists (its row selected, Swap, the rest-day tab, its row, Swap, the first
// tab), each drawn after it.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <chrono>
#include <string>
#include <string_view>

#include "bench/BenchSupport.hpp"
#include "component/clsCal.hpp"
#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/AppConnection.hpp"
#include "suite/Register.hpp"
#include "suite/Schema.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"
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

// The suite's generator, noting when it returns: the display pass begins there.
class TimedGenerator final : public automation::Object, public host::IWorkCal {
  public:
    explicit TimedGenerator(chr::steady_clock::time_point& returned) : returned_(returned) {}
    automation::Variant InitCal(std::string props, double& start, double& end,
                                automation::VBool& sat, automation::VBool& sun,
                                std::string&) override {
        auto connection = suite::OpenDatabase(suite::DatabaseNamed(
            [&](std::string_view key) { return host::MMTS::PropsValueOf(props, key); }));
        suite::GenerateCalendar(*connection, start, end, sat != 0, sun != 0);
        returned_ = chr::steady_clock::now();
        return automation::Variant(true);
    }

  private:
    chr::steady_clock::time_point& returned_;
};

// A database without a calendar, whose current period is June 2009: Save generates the
// 1,096 days from 2009-06-01 to 2012-05-31.
std::string EmptyCalendarFile() {
    const std::string file = CalendarFile(1) + ".empty.db";
    auto connection = data::OpenSqlite(file, data::OpenMode::Create);
    suite::InitDatabase(*connection);
    for (const char* key : {"CurrentYear", "CurrentPeriod"}) {
        connection->Execute(std::string("DELETE FROM t_SystemProfile WHERE FKey='") + key + "'");
    }
    connection->Execute(
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','CurrentYear','2009')\r\n"
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','CurrentPeriod','6')\r\n"
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','StartYear','2009')\r\n"
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','StartPeriod','6')");
    return file;
}

void DisplayPass(benchmark::State& state) {
    static const std::string file = EmptyCalendarFile();
    suite::SetProcessProperty("PropsString",
                              "Language=en;Provider=SQLite;Data Source={" + file + "};");
    chr::steady_clock::time_point generated;
    const automation::ScopedFactory generator(
        host::progid::kWorkCal, [&] { return std::make_shared<TimedGenerator>(generated); });
    auto side = data::OpenSqlite(file);
    component::clsCal cal;
    cal.ActiveConnection("");
    for (auto _ : state) {
        // The calendar no longer counts as set: the window opens ready to generate.
        side->Execute("UPDATE t_SystemProfile SET FValue='0' WHERE FKey='WorkCalendarSet'");
        double seconds = -1.0;
        int rows = 0;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            dialog->findChild<QDateEdit*>(QStringLiteral("dtStartDay"))->setDate({2009, 6, 1});
            dialog->findChild<QPushButton*>(QStringLiteral("cmdSave"))->click();
            seconds = chr::duration<double>(chr::steady_clock::now() - generated).count();
            for (const char* grid : {"sprWork", "sprNotWork"}) {
                rows +=
                    dialog->findChild<QTableView*>(QString::fromLatin1(grid))->model()->rowCount();
            }
            dialog->done(QDialog::Rejected);
        });
        cal.Show();
        if (seconds < 0 || rows != 1096) {
            state.SkipWithError("the window did not generate the calendar");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void FillShownModel(benchmark::State& state) {
    static const char* const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    // As in the window during the pass: the grid on a tab of its own, the other tab shown.
    QDialog dialog;
    QTabWidget tabs(&dialog);
    auto* view = new QTableView;
    tabs.addTab(view, QStringLiteral("Days"));
    tabs.addTab(new QWidget, QStringLiteral("Settings"));
    tabs.setCurrentIndex(1);
    dialog.resize(453, 365);
    tabs.resize(330, 340);
    dialog.show();
    const double first = automation::OleFromCivil(2009, 6, 1);
    for (auto _ : state) {
        const auto start = chr::steady_clock::now();
        QStandardItemModel model(0, 2);
        view->setModel(&model);
        for (int n = 0; n < 1096; ++n) {
            QApplication::processEvents();
            const double day = first + n;
            model.appendRow(
                {new QStandardItem(QString::fromStdString(automation::FormatIsoDate(day))),
                 new QStandardItem(
                     QString::fromLatin1(kWeekdays[automation::OleWeekday(day) - 1]))});
        }
        view->setModel(nullptr);
        state.SetIterationTime(chr::duration<double>(chr::steady_clock::now() - start).count());
    }
}

// The row of the model that shows `day`, or -1.
int RowOf(QAbstractItemModel* model, double day) {
    const QString text = QString::fromStdString(automation::FormatIsoDate(day));
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->index(r, 0).data().toString() == text) return r;
    return -1;
}

void Select(QTableView* view, int row) {
    view->selectionModel()->setCurrentIndex(
        view->model()->index(row, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// A day turned there and back from the year view (`fromYear`) or on the lists, in the
// window opened on a century.
void TurnDay(benchmark::State& state, bool fromYear) {
    suite::SetProcessProperty(
        "PropsString", "Language=en;Provider=SQLite;Data Source={" + CalendarFile(36525) + "};");
    double day = automation::OleFromCivil(2060, 6, 1);
    while (automation::OleWeekday(day) == 1 || automation::OleWeekday(day) == 7)
        day += 1;
    component::clsCal cal;
    cal.ActiveConnection("");
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        auto* work = dialog->findChild<QTableView*>(QStringLiteral("sprWork"));
        auto* rest = dialog->findChild<QTableView*>(QStringLiteral("sprNotWork"));
        auto* tabs = dialog->findChild<QTabWidget*>(QStringLiteral("tabCal"));
        auto* move = dialog->findChild<QPushButton*>(QStringLiteral("cmdMove"));
        auto* year = dialog->findChild<QPushButton*>(QStringLiteral("cmdYear"));
        const int workRow = RowOf(work->model(), day);
        if (workRow < 0) return;
        // Where the day stands among the rest days once it rests.
        Select(work, workRow);
        move->click();
        const int restRow = RowOf(rest->model(), day);
        tabs->setCurrentIndex(1);
        Select(rest, restRow);
        move->click();
        tabs->setCurrentIndex(0);
        if (RowOf(work->model(), day) != workRow) return;
        ran = true;
        for (auto _ : state) {
            Select(work, workRow);
            const auto start = chr::steady_clock::now();
            if (fromYear) {
                year->click();
                auto* view = dialog->findChild<QDialog*>(QStringLiteral("yearView"));
                QWidget* sheet = view->findChild<QWidget*>(QStringLiteral("yearSheet"));
                for (int i = 0; i < 2; ++i) {
                    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
                    QApplication::sendEvent(sheet, &space);
                    QApplication::processEvents();
                }
                view->close();
            } else {
                move->click();
                QApplication::processEvents();
                tabs->setCurrentIndex(1);
                Select(rest, restRow);
                move->click();
                tabs->setCurrentIndex(0);
            }
            QApplication::processEvents();
            state.SetIterationTime(chr::duration<double>(chr::steady_clock::now() - start).count());
        }
        if (RowOf(work->model(), day) != workRow) state.SkipWithError("the day did not turn back");
        dialog->done(QDialog::Rejected);
    });
    // The turns are left unsaved; the window is closed by the program, which asks nothing.
    cal.Show();
    if (!ran) state.SkipWithError("the window did not show the day");
}

BENCHMARK_CAPTURE(TurnDay, year, true)
    ->Name("TurnDay/ours/36525")
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TurnDay, lists, false)
    ->Name("TurnDay/list_swap/36525")
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(DisplayPass)
    ->Name("DisplayPass/ours/1096")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(FillShownModel)
    ->Name("DisplayPass/qt_model/1096")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
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
    return zev::bench::RunWithRatios(argc, argv, {"qt_model", "list_swap"});
}
