// zevworkcal_screenshot DIR LANGUAGE: opens the maintenance window through clsCal.Show on
// two sample databases, a calendar around today and one with no calendar yet, and writes
// what the display shows as PNG files: LANGUAGE-calendar.png, LANGUAGE-restdays.png,
// LANGUAGE-settings.png (the three tabs), LANGUAGE-grown.png, LANGUAGE-year.png and
// LANGUAGE-year-grown.png (the year view, five days chosen), LANGUAGE-nocalendar.png, and on
// that database LANGUAGE-generated.png (Save has generated the calendar) and LANGUAGE-swapped.png
// (a day swapped, Save enabled). Run on a real display (scripts/screenshot starts Xvfb for it).
// Exits with 1 when a window did not show.

#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QKeyEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "component/clsCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/Register.hpp"
#include "suite/Schema.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"
#include "window/QtFrontEnd.hpp"
#include "window/frmCal.hpp"

namespace {

using namespace zev;

// Lets the window paint and the display take it in.
void Settle() {
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(30);
    }
}

bool Grab(QWidget* window, const QString& file) {
    Settle();
    const QPixmap picture = window->screen()->grabWindow(window->winId());
    const bool ok = !picture.isNull() && picture.save(file, "PNG");
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write",
                 file.toLocal8Bit().constData());
    return ok;
}

// A sample database: the tables, and a calendar from January of last year to three years
// on, weekends resting, when `calendar` is set; in it the first weekday from three days
// on rests and the Saturday after it is worked, each with a note in `language`.
std::string SampleDatabase(const QTemporaryDir& dir, const char* name, bool calendar,
                           const std::string& language = {}) {
    const std::string file = dir.filePath(QString::fromLatin1(name)).toStdString();
    auto connection = data::OpenSqlite(file, data::OpenMode::Create);
    suite::InitDatabase(*connection);
    if (calendar) {
        const double today = automation::OleDatePart(window::ClientToday());
        const int year = automation::CivilFromOle(today).Year;
        suite::GenerateCalendar(*connection, automation::OleFromCivil(year - 1, 1, 1),
                                automation::OleFromCivil(year + 3, 1, 1), true, true);
        double rest = today + 3;
        while (automation::OleWeekday(rest) == 1 || automation::OleWeekday(rest) == 7)
            rest += 1;
        double worked = rest;
        while (automation::OleWeekday(worked) != 7)
            worked += 1;
        const bool english = language == "en";
        const auto day = [](double d) { return "'" + automation::FormatIsoDate(d) + "'"; };
        connection->Execute("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay=" + day(rest));
        connection->Execute("UPDATE t_WorkCalendar SET FInterID=99999 WHERE FDay=" + day(worked));
        connection->Execute("INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES(" + day(rest) +
                            ",'" + (english ? "Dragon Boat Festival" : "端午节") + "')");
        connection->Execute("INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES(" + day(worked) +
                            ",'" + (english ? "Make-up work day" : "调休上班") + "')");
        connection->Execute("INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES(" + day(today + 1) +
                            ",'" + (english ? "Stocktaking in the afternoon" : "下午盘点") + "')");
    }
    return file;
}

// Brings the first row of a grid from today on to its top.
void ScrollToToday(QWidget* window, const char* grid) {
    auto* view = window->findChild<QTableView*>(QString::fromLatin1(grid));
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QModelIndex day = view->model()->index(row, 0);
        if (day.data().toString() < today) continue;
        view->scrollTo(day, QAbstractItemView::PositionAtTop);
        return;
    }
}

// Makes the first work day from today on the current row, as the planner picks it, opens the
// year view on its year and chooses it and the four days after it with Shift and the
// arrow key; the year view, or nullptr when it did not open.
QWidget* OpenYearOnToday(QWidget* window) {
    auto* view = window->findChild<QTableView*>(QStringLiteral("sprWork"));
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QModelIndex day = view->model()->index(row, 0);
        if (day.data().toString() < today) continue;
        view->selectionModel()->setCurrentIndex(
            day, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        break;
    }
    window->findChild<QPushButton*>(QStringLiteral("cmdYear"))->click();
    auto* year = window->findChild<QDialog*>(QStringLiteral("yearView"));
    if (year == nullptr || !year->isVisible()) return nullptr;
    QWidget* sheet = year->findChild<QWidget*>(QStringLiteral("yearSheet"));
    sheet->setFocus();
    for (int i = 0; i < 4; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::ShiftModifier);
        QApplication::sendEvent(sheet, &press);
    }
    return year;
}

// Opens the window on a database and runs `shoot` on it once it is shown; false when no
// window showed.
bool Photograph(const std::string& language, const std::string& database,
                const std::function<void(QWidget*)>& shoot) {
    suite::SetProcessProperty(
        "PropsString", "Language=" + language + ";Provider=SQLite;Data Source={" + database + "};");
    bool shown = false;
    QTimer::singleShot(0, [&] {
        QWidget* window = QApplication::activeModalWidget();
        if (window == nullptr) return;
        shown = true;
        shoot(window);
        // Leave as the planner does; nothing was changed, so nothing is asked.
        window->findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
    });
    component::clsCal cal;
    cal.ActiveConnection("");
    cal.Show();
    return shown;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: zevworkcal_screenshot DIR LANGUAGE\n");
        return 2;
    }
    QApplication application(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const std::string language = argv[2];
    const QString prefix = out.filePath(QString::fromStdString(language) + QStringLiteral("-"));
    suite::RegisterSuite();
    window::RegisterQtWindow();
    QTemporaryDir dir;

    bool ok = true;
    ok &= Photograph(
        language, SampleDatabase(dir, "calendar.db", true, language), [&](QWidget* window) {
            QTabBar* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabCal"))->tabBar();
            const char* names[] = {"calendar", "restdays", "settings"};
            for (int tab = 0; tab < 3; ++tab) {
                // As the planner picks the tab.
                tabs->setCurrentIndex(tab);
                // The rest days around today.
                if (tab == 1) ScrollToToday(window, "sprNotWork");
                ok &=
                    Grab(window, prefix + QString::fromLatin1(names[tab]) + QStringLiteral(".png"));
            }
            // Grown by the planner (a display without a window manager maximises
            // nothing), on the calendar tab.
            tabs->setCurrentIndex(0);
            // Moved to the screen's corner first, so that all of it stays on the screen.
            window->move(0, 0);
            window->resize(window->size() + QSize(360, 160));
            ok &= Grab(window, prefix + QStringLiteral("grown.png"));
            // The year view beside the lists, at its designed size and grown.
            window->resize(window->minimumSize());
            QWidget* year = OpenYearOnToday(window);
            if (year == nullptr) {
                std::fprintf(stderr, "the year view did not open\n");
                ok = false;
                return;
            }
            year->move(0, 0);
            ok &= Grab(year, prefix + QStringLiteral("year.png"));
            year->resize(year->size() + QSize(150, 90));
            ok &= Grab(year, prefix + QStringLiteral("year-grown.png"));
            year->close();
        });
    ok &= Photograph(language, SampleDatabase(dir, "none.db", false), [&](QWidget* window) {
        ok &= Grab(window, prefix + QStringLiteral("nocalendar.png"));
        // The planner generates from the first weekday of the proposed start period ...
        auto* picker = window->findChild<QDateEdit*>(QStringLiteral("dtStartDay"));
        QDate start = picker->date();
        while (start.dayOfWeek() > 5)
            start = start.addDays(1);
        picker->setDate(start);
        window->findChild<QPushButton*>(QStringLiteral("cmdSave"))->click();
        ok &= Grab(window, prefix + QStringLiteral("generated.png"));
        // ... swaps a work day a week from now to a rest day, once a calendar tab is chosen ...
        QTabBar* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabCal"))->tabBar();
        tabs->setCurrentIndex(1);
        tabs->setCurrentIndex(0);
        auto* work = window->findChild<QTableView*>(QStringLiteral("sprWork"));
        const QString target = QDate::currentDate().addDays(7).toString(Qt::ISODate);
        for (int row = 0; row < work->model()->rowCount(); ++row) {
            const QModelIndex day = work->model()->index(row, 0);
            if (day.data().toString() < target) continue;
            work->scrollTo(day);
            work->selectionModel()->setCurrentIndex(
                day, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            break;
        }
        window->findChild<QPushButton*>(QStringLiteral("cmdMove"))->click();
        ok &= Grab(window, prefix + QStringLiteral("swapped.png"));
        // ... and saves, so that leaving asks nothing.
        window->findChild<QPushButton*>(QStringLiteral("cmdSave"))->click();
    });
    return ok ? 0 : 1;
}
