// Generate, swap and save clicked through the Qt window on the offscreen platform, as a
// planner does it: the window opened by clsCal.Show on a database without a calendar, the
// wait pointer and a responsive window during the display pass, the close box asking
// while changes are pending, and the saved numbering in the database.

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <memory>

#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/ui/ScriptedUi.hpp"
#include "suite/ShareProps.hpp"
#include "tests/support/TestDatabase.hpp"
#include "tests/window/qt/QtTestMain.hpp"
#include "window/QtFrontEnd.hpp"
#include "window/frmCal.hpp"

namespace zev::test {
namespace {

template <class W>
W* Child(QWidget* parent, const char* name) {
    W* w = parent->findChild<W*>(QString::fromLatin1(name));
    if (w == nullptr) qFatal("no %s", name);
    return w;
}

void ClickTab(QTabWidget* tabs, int tab) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(tab).center());
}

// Clicks the button of the message box that is up, when it comes.
void AnswerNextBox(QMessageBox::StandardButton button, QString* text) {
    QTimer::singleShot(0, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        *text = box->text();
        box->button(button)->click();
    });
}

}  // namespace

class OperationsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        RegisterSuiteOnce();
        db_ = TestDatabase::Create(Backend::SQLite);
        connection_ = db_->Connect();
        for (const auto& [key, value] : {std::pair{"StartYear", "2009"},
                                         {"StartPeriod", "6"},
                                         {"CurrentYear", "2009"},
                                         {"CurrentPeriod", "6"}}) {
            connection_->Execute(std::string("UPDATE t_SystemProfile SET FValue='") + value +
                                 "' WHERE FCategory='IC' AND FKey='" + key + "'");
            connection_->Execute(
                std::string("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) SELECT 'IC','") +
                key + "','" + value + "' WHERE NOT EXISTS (SELECT 1 FROM t_SystemProfile WHERE " +
                "FCategory='IC' AND FKey='" + key + "')");
        }
        suite::SetProcessProperty("PropsString", "Language=en;" + db_->PropsString());
        window_ = std::make_unique<automation::ScopedFactory>(
            component::kFrmCalProgId, []() -> automation::ObjectPtr {
                return std::make_shared<window::frmCal>(component::mdlCal::State(),
                                                        window::OpenQtView);
            });
    }

    void cleanupTestCase() {
        window_.reset();
        suite::ClearProcessProperties();
    }

    void generateSwapAndSaveByClicks() {
        bool shown = false;
        // A box nobody expects (an error report) is noted and closed, so that it fails
        // the test instead of waiting for a click.
        QStringList unexpected;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || expectingBox_) return;
            unexpected << box->text();
            box->buttons().front()->click();
        });
        watch.start(200);
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            shown = true;
            Plan(dialog);
            if (dialog->isVisible()) dialog->done(QDialog::Rejected);
        });
        // The server's date lies before the calendar that the planner makes.
        const automation::ScopedFixedNow now(automation::OleFromCivil(2009, 5, 1));
        component::clsCal cal;
        cal.ActiveConnection("");
        cal.Show();
        watch.stop();
        QVERIFY2(shown, "the window was not shown");
        QCOMPARE(unexpected, QStringList{});
        QVERIFY(ui_->Boxes().empty());
        QCOMPARE(Scalar("SELECT FInterID FROM t_WorkCalendar WHERE FDay='2009-06-30'"), 0);
        QCOMPARE(Scalar("SELECT FInterID FROM t_WorkCalendar WHERE FDay='2009-07-01'"), 22);
        QCOMPARE(Scalar("SELECT COUNT(*) FROM t_mutiworkcal WHERE FCalID=999"), 1096);
        QCOMPARE(Scalar("SELECT MAX(FInterID) FROM t_WorkCalendar"), 784 - 1);
    }

  private:
    void Plan(QDialog* dialog) {
        auto* tabs = Child<QTabWidget>(dialog, "tabCal");
        auto* work = Child<QTableView>(dialog, "sprWork");
        auto* rest = Child<QTableView>(dialog, "sprNotWork");
        auto* save = Child<QPushButton>(dialog, "cmdSave");
        auto* move = Child<QPushButton>(dialog, "cmdMove");
        auto* saturday = Child<QCheckBox>(dialog, "chkSatNotWork");
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        // No calendar yet: the settings are what the planner sees.
        QVERIFY(!tabs->isTabVisible(0) && tabs->currentIndex() == 2);
        Child<QDateEdit>(dialog, "dtStartDay")->setDate(QDate(2009, 6, 1));

        // During the display pass: the wait pointer, the grid filling, and the window
        // answering, but refusing to close or to take a weekend box.
        int passChecks = 0;
        QTimer during;
        connect(&during, &QTimer::timeout, this, [&] {
            // Some days into the pass, once the window has drawn what it has.
            if (++passChecks != 5) return;
            QVERIFY(QApplication::overrideCursor() != nullptr);
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            QVERIFY(work->model()->rowCount() > 0);
            QVERIFY(!dialog->close());
            QTest::mouseClick(saturday, Qt::LeftButton);
            QVERIFY(saturday->isChecked());
        });
        during.start(0);
        QTest::mouseClick(save, Qt::LeftButton);
        during.stop();
        QVERIFY(passChecks >= 5);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(dialog->isVisible());
        QVERIFY(tabs->isTabVisible(0) && tabs->isTabVisible(1));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(work->model()->rowCount() + rest->model()->rowCount(), 1096);
        QVERIFY(!save->isEnabled() && !saturday->isEnabled());

        // Swap 2009-06-30, row 22 of the work days, once a calendar tab has been chosen.
        QVERIFY(!move->isEnabled());
        ClickTab(tabs, 1);
        ClickTab(tabs, 0);
        QVERIFY(move->isEnabled());
        const QModelIndex day = work->model()->index(21, 0);
        QCOMPARE(day.data().toString(), QStringLiteral("2009-06-30"));
        work->scrollTo(day);
        QTest::mouseClick(work->viewport(), Qt::LeftButton, {}, work->visualRect(day).center());
        QTest::mouseClick(move, Qt::LeftButton);
        QCOMPARE(work->model()->index(21, 0).data().toString(), QStringLiteral("2009-07-01"));
        QCOMPARE(rest->model()->index(8, 0).data().toString(), QStringLiteral("2009-06-30"));
        QVERIFY(save->isEnabled());

        // The close box asks while the swap is unsaved; No keeps the window.
        QString question;
        expectingBox_ = true;
        AnswerNextBox(QMessageBox::No, &question);
        QVERIFY(!dialog->close());
        expectingBox_ = false;
        QVERIFY(question.startsWith(QStringLiteral("The calendar has been changed.")));
        QVERIFY(dialog->isVisible());

        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(!save->isEnabled());
        // Saved: the close box closes without a question.
        QVERIFY(dialog->close());
    }

    int Scalar(const std::string& sql) {
        return automation::CLng(connection_->Execute(sql).Fields(0).Value());
    }

    std::unique_ptr<TestDatabase> db_;
    data::ConnectionPtr connection_;
    bool expectingBox_ = false;
    std::unique_ptr<automation::ScopedFactory> window_;
    std::shared_ptr<ui::ScriptedUi> ui_ = std::make_shared<ui::ScriptedUi>();
    ui::ScopedUserInterface processUi_{ui_};
};

}  // namespace zev::test

ZEV_QTEST_MAIN(zev::test::OperationsTest)
#include "OperationsTest.moc"
