// clsCal.Show in a process that runs a Qt application, through the Qt module loaded at the
// first opening: the window in the language of ZEV_TEST_LANGUAGE, Show returning once the
// window closes, one window object for the thread, and Show refused from another thread.

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <map>
#include <memory>
#include <thread>

#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/ui/ScriptedUi.hpp"
#include "suite/ShareProps.hpp"
#include "tests/support/TestDatabase.hpp"
#include "tests/window/qt/QtTestMain.hpp"
#include "window/QtFrontEnd.hpp"
#include "window/frmCal.hpp"

namespace zev::test {
namespace {

struct Expected {
    const char* title;
    const char* move;
    const char* restTab;
    const char* dateHeading;
    const char* numberHeading;
    Qt::Key exitKey;
    const char* otherThread;
};

const std::map<std::string, Expected> kExpected = {
    {"zh",
     {"工厂日历", "置换(&M)", "休息日(&N)", "公历日期", "工厂日历号", Qt::Key_E,
      "工厂日历窗口只能在运行 Qt 应用程序的线程中打开"}},
    {"en",
     {"Factory Calendar", "S&wap", "&Rest Days", "Date", "Work Day No.", Qt::Key_X,
      "The factory calendar window can only be opened on the thread that runs the Qt "
      "application"}},
};

}  // namespace

class ShowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        language_ = qEnvironmentVariable("ZEV_TEST_LANGUAGE", QStringLiteral("en")).toStdString();
        QVERIFY(kExpected.count(language_) == 1);
        RegisterSuiteOnce();
        db_ = TestDatabase::Create(Backend::SQLite);
        WriteExampleCalendar(*db_->Connect());
        suite::SetProcessProperty("PropsString",
                                  "Language=" + language_ + ";" + db_->PropsString());
        window_ = std::make_unique<automation::ScopedFactory>(
            component::kFrmCalProgId, [this]() -> automation::ObjectPtr {
                ++windowsMade_;
                return std::make_shared<window::frmCal>(component::mdlCal::State(),
                                                        window::OpenQtView);
            });
    }

    void cleanupTestCase() {
        window_.reset();
        suite::ClearProcessProperties();
    }

    void showReturnsOnceTheWindowIsClosed() {
        const Expected& e = kExpected.at(language_);
        component::clsCal cal;
        cal.ActiveConnection("");
        for (int opening = 1; opening <= 2; ++opening) {
            bool seen = false;
            bool closedByKey = false;
            QTimer::singleShot(0, this, [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr) return;
                seen = true;
                Inspect(*dialog, e);
                // The exit button's access key closes the window.
                if (QTest::qWaitForWindowActive(dialog)) {
                    QTest::keyClick(dialog, e.exitKey, Qt::AltModifier);
                }
                closedByKey = QTest::qWaitFor([&] { return !dialog->isVisible(); }, 2000);
                if (!closedByKey) dialog->done(QDialog::Rejected);
            });
            cal.Show();
            QVERIFY2(seen, "the window was not shown");
            QVERIFY(closedByKey);
            QVERIFY(QApplication::activeModalWidget() == nullptr);
        }
        QCOMPARE(windowsMade_, 1);
        QVERIFY(ui_->Boxes().empty());
    }

    void showFromAnotherThreadIsRefusedThroughTheErrorReport() {
        std::thread([] {
            component::clsCal cal;
            cal.ActiveConnection("");
            cal.Show();
        }).join();
        const std::vector<ui::RecordedBox> boxes = ui_->Boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].buttons, 16);
        QVERIFY2(boxes[0].prompt.find(kExpected.at(language_).otherThread) != std::string::npos,
                 boxes[0].prompt.c_str());
    }

  private:
    void Inspect(QDialog& dialog, const Expected& e) {
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8(e.title));
        QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("cmdMove"))->text(),
                 QString::fromUtf8(e.move));
        QCOMPARE(dialog.findChild<QTabWidget*>(QStringLiteral("tabCal"))->tabText(1),
                 QString::fromUtf8(e.restTab));
        auto* work = dialog.findChild<QTableView*>(QStringLiteral("sprWork"));
        QCOMPARE(work->model()->rowCount(), 8);
        QCOMPARE(work->model()->headerData(7, Qt::Vertical).toInt(), 8);
        QCOMPARE(work->model()->headerData(0, Qt::Horizontal).toString(),
                 QString::fromUtf8(e.dateHeading));
        QCOMPARE(work->findChild<QAbstractButton*>()->text(), QString::fromUtf8(e.numberHeading));
        QCOMPARE(work->model()->data(work->model()->index(0, 0)).toString(),
                 QStringLiteral("2009-06-01"));
    }

    std::string language_;
    std::unique_ptr<TestDatabase> db_;
    std::unique_ptr<automation::ScopedFactory> window_;
    int windowsMade_ = 0;
    std::shared_ptr<ui::ScriptedUi> ui_ = std::make_shared<ui::ScriptedUi>();
    ui::ScopedUserInterface processUi_{ui_};
};

}  // namespace zev::test

ZEV_QTEST_MAIN(zev::test::ShowTest)
#include "ShowTest.moc"
