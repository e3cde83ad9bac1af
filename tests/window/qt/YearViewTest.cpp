// The year view through the Qt window on the offscreen platform, opened by clsCal.Show on
// a calendar with a holiday and a worked Saturday: the colours drawn are the sheet's
// marks, and clicks and keys reach frmCal, whose lists follow at once.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolTip>
#include <QWindow>
#include <QtTest>

#include <memory>

#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"
#include "tests/support/TestDatabase.hpp"
#include "tests/window/qt/QtTestMain.hpp"
#include "window/QtFrontEnd.hpp"
#include "window/frmCal.hpp"
#include "window/qt/YearViewDialog.hpp"

namespace zev::test {
namespace {

using window::DayMark;
using window::qt::YearSheetWidget;

double Day(int y, int m, int d) {
    return automation::OleFromCivil(y, m, d);
}

// The calendar written: 2009-06-01 up to 2010-02-28, weekends resting, 2009-10-01 resting
// and the Saturday 2009-10-10 worked.
DayMark Expected(double day) {
    if (day < Day(2009, 6, 1) || day >= Day(2010, 3, 1)) return DayMark::Outside;
    if (day == Day(2009, 10, 1)) return DayMark::Holiday;
    if (day == Day(2009, 10, 10)) return DayMark::WorkedWeekend;
    const int weekday = automation::OleWeekday(day);
    return weekday == 1 || weekday == 7 ? DayMark::Rest : DayMark::Work;
}

// The colour drawn near the top-left corner of a day's cell, clear of its number and of
// the frames of today and the cursor.
QColor Drawn(YearSheetWidget* sheet, double day) {
    const QRect cell = sheet->CellRect(day);
    return sheet->grab().toImage().pixelColor(cell.topLeft() + QPoint(5, 5));
}

int Rows(QDialog* dialog, const char* grid) {
    return dialog->findChild<QTableView*>(QString::fromLatin1(grid))->model()->rowCount();
}

}  // namespace

class YearViewTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        RegisterSuiteOnce();
        db_ = TestDatabase::Create(Backend::SQLite);
        auto connection = db_->Connect();
        suite::WriteCalendarRows(*connection, Day(2009, 6, 1), Day(2010, 3, 1), true, true);
        connection->Execute(
            "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-10-01'\r\n"
            "UPDATE t_WorkCalendar SET FInterID=1 WHERE FDay='2009-10-10'\r\n"
            "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) "
            "VALUES('IC','WorkCalendarSet','1')");
        suite::SetProcessProperty("PropsString", "Language=en;" + db_->PropsString());
        window_ = std::make_unique<automation::ScopedFactory>(
            component::kFrmCalProgId, []() -> automation::ObjectPtr {
                return std::make_shared<window::frmCal>(
                    component::mdlCal::State(), window::OpenQtView, [] { return Day(2009, 6, 3); });
            });
    }

    void cleanupTestCase() {
        window_.reset();
        suite::ClearProcessProperties();
    }

    void theMarksDrawnAreTheSheetsAndClicksAndKeysReachTheWindow() {
        // The server's date lies before the calendar: every day may be turned.
        const automation::ScopedFixedNow now(Day(2009, 5, 1) + 0.5);
        bool shown = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            shown = true;
            Plan(dialog);
            dialog->done(QDialog::Rejected);
        });
        component::clsCal cal;
        cal.ActiveConnection("");
        cal.Show();
        QVERIFY(shown);
    }

  private:
    void Plan(QDialog* dialog) {
        auto* open = dialog->findChild<QPushButton*>(QStringLiteral("cmdYear"));
        QVERIFY(open != nullptr && open->isEnabled());
        QTest::mouseClick(open, Qt::LeftButton);
        auto* year = dialog->findChild<QDialog*>(QStringLiteral("yearView"));
        QVERIFY(year != nullptr && year->isVisible());
        // A window of the modal window's own, which its modality leaves open to the planner.
        QVERIFY(
            dialog->windowHandle()->isAncestorOf(year->windowHandle(), QWindow::IncludeTransients));
        auto* sheet =
            static_cast<YearSheetWidget*>(year->findChild<QWidget*>(QStringLiteral("yearSheet")));
        auto* title = year->findChild<QLabel*>(QStringLiteral("yearTitle"));
        // Opened on the year of the work-day grid's current row, its first.
        QCOMPARE(title->text(), QStringLiteral("Factory Calendar 2009"));
        QVERIFY(!year->findChild<QPushButton*>(QStringLiteral("cmdPrevYear"))->isEnabled());

        // Every day but the one chosen at the opening, 2009-06-01.
        for (double day = Day(2009, 1, 1); day <= Day(2009, 12, 31); ++day) {
            if (day == Day(2009, 6, 1)) continue;
            QCOMPARE(Drawn(sheet, day), YearSheetWidget::FillOf(Expected(day)));
        }
        const int work = Rows(dialog, "sprWork");
        const int rest = Rows(dialog, "sprNotWork");

        // A click turns its day once no double click follows; the arrow moves the cursor
        // and its choice on, and Space turns that day too.
        const double first = Day(2009, 9, 15);
        QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->CellRect(first).center());
        QTRY_COMPARE(Rows(dialog, "sprWork"), work - 1);
        QTest::keyClick(sheet, Qt::Key_Right);
        QCOMPARE(Drawn(sheet, first), YearSheetWidget::FillOf(DayMark::Holiday));
        QTest::keyClick(sheet, Qt::Key_Space);
        QCOMPARE(Rows(dialog, "sprWork"), work - 2);
        QCOMPARE(Rows(dialog, "sprNotWork"), rest + 2);
        auto* save = dialog->findChild<QPushButton*>(QStringLiteral("cmdSave"));
        QVERIFY(save->isEnabled());

        // Shift with the arrows chooses the 15th to the 17th, turned together.
        QTest::keyClick(sheet, Qt::Key_Left);
        QTest::keyClick(sheet, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(sheet, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(sheet, Qt::Key_Space);
        QCOMPARE(Rows(dialog, "sprWork"), work - 1);
        QTest::keyClick(sheet, Qt::Key_Down);
        for (const auto& [day, mark] :
             {std::pair{first, DayMark::Work}, std::pair{first + 1, DayMark::Work},
              std::pair{first + 2, DayMark::Holiday}}) {
            QCOMPARE(Drawn(sheet, day), YearSheetWidget::FillOf(mark));
        }

        // A double click edits the day's note, which the rest-day list shows.
        const double holiday = Day(2009, 10, 1);
        QTest::mouseDClick(sheet, Qt::LeftButton, {}, sheet->CellRect(holiday).center());
        auto* note = year->findChild<QLineEdit*>(QStringLiteral("yearNote"));
        QTRY_VERIFY(note->hasFocus());
        QTest::keyClicks(note, QStringLiteral("National Day"));
        QTest::keyClick(note, Qt::Key_Return);
        auto* restDays = dialog->findChild<QTableView*>(QStringLiteral("sprNotWork"));
        QString shownNote;
        for (int r = 0; r < restDays->model()->rowCount(); ++r) {
            if (restDays->model()->index(r, 0).data().toString() == QStringLiteral("2009-10-01"))
                shownNote = restDays->model()->index(r, 1).data().toString();
        }
        QCOMPARE(shownNote, QStringLiteral("Thursday  National Day"));
        // Hovering over the day shows its note; over no day, nothing.
        const auto hover = [&](QPoint at) {
            QHelpEvent help(QEvent::ToolTip, at, sheet->mapToGlobal(at));
            QApplication::sendEvent(sheet, &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QVERIFY2(hover(sheet->CellRect(holiday).center()).contains(QStringLiteral("National Day")),
                 qPrintable(QToolTip::text()));
        QVERIFY(!hover(sheet->CellRect(holiday + 1).center()).contains(QStringLiteral("National")));
        // The double click turned nothing.
        QCOMPARE(Rows(dialog, "sprWork"), work - 1);

        // Page Down shows the next year, the calendar's last.
        QTest::keyClick(sheet, Qt::Key_PageDown);
        QCOMPARE(title->text(), QStringLiteral("Factory Calendar 2010"));
        QVERIFY(!year->findChild<QPushButton*>(QStringLiteral("cmdNextYear"))->isEnabled());
        QCOMPARE(Drawn(sheet, Day(2010, 3, 1)), YearSheetWidget::FillOf(DayMark::Outside));
        QTest::keyClick(sheet, Qt::Key_PageUp);
        QCOMPARE(title->text(), QStringLiteral("Factory Calendar 2009"));
    }

    std::unique_ptr<TestDatabase> db_;
    std::unique_ptr<automation::ScopedFactory> window_;
};

}  // namespace zev::test

ZEV_QTEST_MAIN(zev::test::YearViewTest)
#include "YearViewTest.moc"
