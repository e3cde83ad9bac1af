// The Qt front end on its own: the grid model, and the dialog drawing control records
// and forwarding what the planner does, checked against a recording of the events.

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <string>
#include <vector>

#include "tests/window/qt/QtTestMain.hpp"
#include "window/Controls.hpp"
#include "window/FrmCalView.hpp"
#include "window/qt/DateGridModel.hpp"
#include "window/qt/FrmCalDialog.hpp"
#include "window/qt/QtUserInterface.hpp"

namespace zev::test {
namespace {

using window::CheckBoxId;
using window::FrmCalControls;
using window::GridId;
using window::qt::DateGridModel;
using window::qt::FrmCalDialog;

double Day(int y, int m, int d) {
    return FrmCalDialog::OleDateOf(QDate(y, m, d));
}

// The events a planner's actions became, as text; frmCal's part is played minimally:
// selections are taken, Exit closes, a close request is refused while `refuseClose`.
class RecordedEvents final : public window::FrmCalEvents {
  public:
    explicit RecordedEvents(FrmCalControls& c) : c_(c) {}
    void SelectTab(int tab) noexcept override {
        Note("tab " + std::to_string(tab));
        c_.tabCal.Tab = tab;
    }
    void SetCheckBox(CheckBoxId box, int value) noexcept override {
        Note(std::string(box == CheckBoxId::SatNotWork ? "sat " : "sun ") + std::to_string(value));
    }
    void PickStartDay(double day) noexcept override {
        Note("pick " + FrmCalDialog::QDateOf(day).toString(Qt::ISODate).toStdString());
        c_.dtStartDay.Value = day;
    }
    void SelectGridRow(GridId grid, int32_t row) noexcept override {
        Note(std::string(grid == GridId::Work ? "work row " : "rest row ") + std::to_string(row));
        (grid == GridId::Work ? c_.sprWork : c_.sprNotWork).ActiveRow = row;
    }
    void EditNote(GridId grid, int32_t row, const std::string& text) noexcept override {
        Note(std::string(grid == GridId::Work ? "work note " : "rest note ") + std::to_string(row) +
             " " + text);
        (grid == GridId::Work ? c_.sprWork : c_.sprNotWork).SetNote(row, text);
    }
    void cmdMove_Click() noexcept override { Note("move"); }
    void cmdSave_Click() noexcept override { Note("save"); }
    void cmdExit_Click() noexcept override {
        Note("exit");
        c_.Me.Open = false;
    }
    void Form_QueryUnload(bool& cancel, window::UnloadMode mode) noexcept override {
        Note("close " + std::to_string(mode));
        cancel = refuseClose;
    }

    void cmdYear_Click() noexcept override { Note("year"); }
    void CloseYearView() noexcept override { Note("close year"); }
    void SelectYear(int year) noexcept override { Note("show " + std::to_string(year)); }
    void MoveYearCursor(int days, bool extend) noexcept override {
        Note("cursor " + std::to_string(days) + (extend ? " extend" : ""));
    }
    void ChooseYearDay(double, window::YearChoice) noexcept override { Note("choose"); }
    void cmdTurn_Click() noexcept override { Note("turn"); }
    void EditYearNote(double, const std::string& text) noexcept override {
        Note("year note " + text);
    }
    void PrintYearTo(const std::string& file) noexcept override { Note("print " + file); }

    QStringList calls;
    bool refuseClose = false;

  private:
    void Note(const std::string& call) { calls << QString::fromStdString(call); }
    FrmCalControls& c_;
};

// The controls as frmCal designs them, with the texts of one language.
FrmCalControls Controls(bool english) {
    FrmCalControls c;
    c.Me = {english ? "Factory Calendar" : "工厂日历",
            english ? host::FormFont{"DejaVu Sans", 9.0, 0, false} : host::FormFont{},
            {0, 0, 6795, 5475},
            true};
    c.tabCal.Tabs = {window::Tab{english ? "Factory &Calendar" : "工厂日历(&C)"},
                     window::Tab{english ? "&Rest Days" : "休息日(&N)"},
                     window::Tab{english ? "Se&ttings" : "设置(&O)"}};
    c.tabCal.Rect = {120, 240, 4935, 5055};
    c.sprWork.Headings = {english ? "Work Day No." : "工厂日历号", english ? "Date" : "公历日期",
                          english ? "Remarks" : "备注"};
    c.sprWork.ColumnWidths = {8.25, 13.5, 13.0};
    c.sprWork.Rect = {240, 600, 4500, 4275};
    c.sprWork.TabIndex = 1;
    for (int d = 1; d <= 5; ++d)
        c.sprWork.Append({Day(2009, 6, d), english ? "Weekday" : "工作日"});
    c.sprNotWork.Headings = {"", "", ""};
    c.sprNotWork.Rect = {240, 600, 4500, 4215};
    c.sprNotWork.TabIndex = 2;
    c.cmdSave = {english ? "&Save" : "保存(&S)", true, {5370, 885, 1275, 375}, 3};
    c.cmdExit = {english ? "E&xit" : "退出(&E)", true, {5370, 1485, 1275, 375}, 4};
    c.lblStartDay = {
        english ? "Calendar start day: " : "工厂日历起始日：", {240, 840, 2535, 285}, 5};
    c.chkSatNotWork = {
        english ? "Saturday is a rest day" : "周六是休息日", true, 1, {240, 1560, 4215, 255}, 6};
    c.chkSunNotWork = {
        english ? "Sunday is a rest day" : "周日是休息日", false, 0, {240, 1920, 4335, 255}, 7};
    c.dtStartDay = {true, Day(2009, 6, 1), Day(2009, 5, 1), {2760, 840, 1335, 255}, 8};
    c.cmdMove = {english ? "S&wap" : "置换(&M)", true, {5355, 270, 1275, 375}, 9};
    return c;
}

// The dialog over the controls of one language, drawn and shown.
struct ShownDialog {
    explicit ShownDialog(bool english) : c(Controls(english)), events(c), dialog(c, events) {
        dialog.Render();
        dialog.show();
    }
    FrmCalControls c;
    RecordedEvents events;
    FrmCalDialog dialog;
};

}  // namespace

class FrontEndTest : public QObject {
    Q_OBJECT

  private slots:
    void theGridModelReadsTheRowsOfItsGrid() {
        window::Grid grid;
        grid.Headings = {"No.", "Date", "Remarks"};
        DateGridModel model(grid);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        for (int d = 1; d <= 3; ++d)
            grid.Append({Day(2009, 6, d), "day " + std::to_string(d)});
        QCOMPARE(model.rowCount(), 0);  // until the model reads the grid again
        model.Sync();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 2);
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("2009-06-02"));
        QCOMPARE(model.data(model.index(2, 1)).toString(), QStringLiteral("day 3"));
        QCOMPARE(model.headerData(0, Qt::Vertical).toInt(), 1);
        QCOMPARE(model.headerData(2, Qt::Vertical).toInt(), 3);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Date"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Remarks"));
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsSelectable);

        QSignalSpy headings(&model, &QAbstractItemModel::headerDataChanged);
        grid.Headings[1] = "Day";
        grid.Clear();
        grid.Append({Day(1899, 12, 30), "epoch"});
        model.Sync();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1899-12-30"));
        QCOMPARE(headings.count(), 1);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Day"));
    }

    void theGridMarksItsRowsAndEditsOnlyTheNotePart() {
        // Weekends rest; today is Monday 2009-06-22.
        window::DayMarks marks{true, true, Day(2009, 6, 22)};
        window::Grid rest;
        rest.RestDays = true;
        rest.Append({Day(2009, 6, 25), "Thursday", "Dragon Boat"});  // rests on a weekday
        rest.Append({Day(2009, 6, 28), "Sunday"});                   // rests by the rule
        window::Grid work;
        work.Append({Day(2009, 6, 22), "Monday"});                   // today
        work.Append({Day(2009, 6, 27), "Saturday", "make-up day"});  // a worked weekend
        QStringList edits;
        DateGridModel restModel(rest, &marks);
        DateGridModel workModel(work, &marks);
        for (DateGridModel* model : {&restModel, &workModel}) {
            model->SetNoteEditor([&](int32_t row, const std::string& note) {
                edits << QString::number(row) + QLatin1Char(' ') + QString::fromStdString(note);
            });
        }
        const auto background = [](DateGridModel& m, int row) {
            return m.data(m.index(row, 1), Qt::BackgroundRole).value<QColor>();
        };
        QCOMPARE(background(restModel, 0),
                 DateGridModel::Background(window::RowKind::RestException));
        QVERIFY(!restModel.data(restModel.index(1, 0), Qt::BackgroundRole).isValid());
        QCOMPARE(background(workModel, 1),
                 DateGridModel::Background(window::RowKind::WorkedWeekend));
        QVERIFY(DateGridModel::Background(window::RowKind::RestException) !=
                DateGridModel::Background(window::RowKind::WorkedWeekend));
        QVERIFY(workModel.data(workModel.index(0, 0), Qt::FontRole).value<QFont>().bold());
        QVERIFY(!workModel.data(workModel.index(1, 0), Qt::FontRole).isValid());
        // The weekday and the note, and in the editor the note alone.
        QCOMPARE(restModel.data(restModel.index(0, 1)).toString(),
                 QStringLiteral("Thursday  Dragon Boat"));
        QCOMPARE(restModel.data(restModel.index(1, 1)).toString(), QStringLiteral("Sunday"));
        QCOMPARE(restModel.data(restModel.index(0, 1), Qt::EditRole).toString(),
                 QStringLiteral("Dragon Boat"));

        // Editable only where the window allows it, and never the date.
        QVERIFY(!(workModel.flags(workModel.index(1, 1)) & Qt::ItemIsEditable));
        QVERIFY(!workModel.setData(workModel.index(1, 1), QStringLiteral("no")));
        work.NotesEditable = true;
        QVERIFY(!(workModel.flags(workModel.index(1, 0)) & Qt::ItemIsEditable));
        QVERIFY(!workModel.setData(workModel.index(1, 0), QStringLiteral("2009-06-28")));
        QVERIFY(workModel.flags(workModel.index(1, 1)) & Qt::ItemIsEditable);
        QVERIFY(workModel.setData(workModel.index(1, 1), QStringLiteral("盘点")));
        QCOMPARE(edits, QStringList{QStringLiteral("2 盘点")});

        // A note changed in the grid is drawn again without a reset; a rule changed too.
        QSignalSpy changed(&workModel, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&workModel, &QAbstractItemModel::modelReset);
        work.SetNote(2, "盘点");
        workModel.Sync();
        QCOMPARE(workModel.data(workModel.index(1, 1)).toString(),
                 QStringLiteral("Saturday  盘点"));
        marks.SatNotWork = false;
        workModel.Sync();
        QVERIFY(!workModel.data(workModel.index(1, 1), Qt::BackgroundRole).isValid());
        QCOMPARE(changed.count(), 2);
        QCOMPARE(reset.count(), 0);
    }

    void aGrownWindowGrowsItsGridsAndKeepsTheButtonsAtTheRightEdge() {
        ShownDialog shown(false);
        FrmCalDialog& dialog = shown.dialog;
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const FrmCalControls designed = shown.c;
        auto* work = dialog.findChild<QTableView*>(QStringLiteral("sprWork"));
        auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("tabCal"));
        auto* exit = dialog.findChild<QPushButton*>(QStringLiteral("cmdExit"));
        const QSize grid = work->size();
        const QSize tab = tabs->size();
        const QRect button = exit->geometry();
        const int right = dialog.width() - button.right();
        QVERIFY(dialog.minimumSize() == dialog.size());
        dialog.resize(dialog.size() + QSize(300, 200));
        QTRY_COMPARE(work->size(), grid + QSize(300, 200));
        QCOMPARE(tabs->size(), tab + QSize(300, 200));
        QCOMPARE(exit->size(), button.size());
        QCOMPARE(dialog.width() - exit->geometry().right(), right);
        QCOMPARE(exit->y(), button.y());
        // The remark column takes the room; the records keep their design rectangles.
        const QHeaderView* columns = work->horizontalHeader();
        QVERIFY(columns->sectionPosition(1) + columns->sectionSize(1) >=
                work->viewport()->width() - 1);
        QVERIFY(shown.c == designed);
        dialog.showMaximized();
        QTRY_VERIFY(work->width() > grid.width());
    }

    void theInterfaceShowsBoxesByTheirFlags_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("result");
        QTest::newRow("error report")
            << 16 << int(QMessageBox::Critical) << QStringList{"好"} << 0 << 1;
        QTest::newRow("refusal") << 48 << int(QMessageBox::Warning) << QStringList{"好"} << 0 << 1;
        QTest::newRow("generator")
            << 64 << int(QMessageBox::Information) << QStringList{"好"} << 0 << 1;
        QTest::newRow("leave, yes")
            << 52 << int(QMessageBox::Warning) << QStringList{"是", "否"} << 0 << 6;
        QTest::newRow("leave, no")
            << 52 << int(QMessageBox::Warning) << QStringList{"是", "否"} << 1 << 7;
    }
    void theInterfaceShowsBoxesByTheirFlags() {
        QFETCH(int, flags);
        QFETCH(int, icon);
        QFETCH(QStringList, buttons);
        QFETCH(int, press);
        QFETCH(int, result);
        window::qt::QtUserInterface ui({"好", "取消", "是", "否", ""});
        QStringList shown;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            QCOMPARE(int(box->icon()), icon);
            QCOMPARE(box->text(), QStringLiteral("line 1\nline 2"));
            QCOMPARE(box->windowTitle(), QStringLiteral("提示"));
            // Buttons in the order of the flags, whatever order the style lays them out in.
            for (QAbstractButton* b : box->buttons())
                shown << b->text();
            QStringList ordered;
            for (const QString& text : buttons) {
                for (QAbstractButton* b : box->buttons()) {
                    if (b->text() == text) ordered << text;
                }
            }
            QCOMPARE(ordered, buttons);
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == buttons[press]) b->click();
            }
        });
        QCOMPARE(ui.MsgBox("line 1\r\nline 2", flags, "提示"), result);
        QCOMPARE(shown.size(), buttons.size());

        // The wait pointer is the application's, and comes off again.
        ui.SetMousePointer(11);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ui.SetMousePointer(0);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        int drawn = 0;
        ui.SetBeforeEvents([&] { ++drawn; });
        ui.DoEvents();
        QCOMPARE(drawn, 1);
    }

    void theDialogDrawsTheControlsAtTheirPlaces_data() {
        QTest::addColumn<bool>("english");
        QTest::newRow("Chinese") << false;
        QTest::newRow("English") << true;
    }
    void theDialogDrawsTheControlsAtTheirPlaces() {
        QFETCH(bool, english);
        ShownDialog shown(english);
        const FrmCalControls& c = shown.c;
        FrmCalDialog& dialog = shown.dialog;
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        // Twips at the screen's logical dpi: 15 twips to the pixel at 96 dpi.
        const double scale = dialog.logicalDpiX() / 1440.0;
        const auto px = [&](int twips) { return qRound(twips * scale); };
        QCOMPARE(dialog.size(), QSize(px(6795), px(5475)));
        auto* move = dialog.findChild<QPushButton*>(QStringLiteral("cmdMove"));
        QCOMPARE(move->geometry(), QRect(px(5355), px(270), px(1275), px(375)));
        auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("tabCal"));
        auto* work = dialog.findChild<QTableView*>(QStringLiteral("sprWork"));
        // On a tab, places count from the tab control's corner, below its strip.
        QCOMPARE(work->mapTo(tabs, QPoint(0, 0)), QPoint(px(240), px(600)));
        QVERIFY(tabs->tabBar()->geometry().bottom() < px(600));
        QCOMPARE(work->size(), QSize(px(4500), px(4275)));
        for (const char* name : {"chkSatNotWork", "chkSunNotWork", "lblStartDay", "dtStartDay"}) {
            auto* w = dialog.findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(w->width() >= w->sizeHint().width(), name);
            QVERIFY2(w->mapTo(tabs, QPoint(w->width(), 0)).x() <= tabs->width(), name);
        }

        QCOMPARE(dialog.windowTitle(), QString::fromStdString(c.Me.Caption));
        QCOMPARE(dialog.font().family(), QString::fromStdString(c.Me.Font.Name));
        QCOMPARE(tabs->tabText(1), QString::fromStdString(c.tabCal.Tabs[1].Caption));
        QCOMPARE(move->text(), QString::fromStdString(c.cmdMove.Caption));
        auto* sat = dialog.findChild<QCheckBox*>(QStringLiteral("chkSatNotWork"));
        QCOMPARE(sat->text(), QString::fromStdString(c.chkSatNotWork.Caption));
        QVERIFY(sat->isChecked());
        QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("chkSunNotWork"))->isEnabled());
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lblStartDay"))->text(),
                 QString::fromStdString(c.lblStartDay.Caption));
        auto* picker = dialog.findChild<QDateEdit*>(QStringLiteral("dtStartDay"));
        QCOMPARE(picker->date(), QDate(2009, 6, 1));
        QCOMPARE(picker->minimumDate(), QDate(2009, 5, 1));
        QCOMPARE(work->model()->rowCount(), 5);
        QCOMPARE(work->model()->headerData(4, Qt::Vertical).toInt(), 5);
        QCOMPARE(work->model()->headerData(0, Qt::Horizontal).toString(),
                 QString::fromStdString(c.sprWork.Headings[1]));
        auto* corner = work->findChild<QAbstractButton*>();
        QCOMPARE(corner->text(), QString::fromStdString(c.sprWork.Headings[0]));
        QVERIFY(work->verticalHeader()->width() >=
                work->verticalHeader()->fontMetrics().horizontalAdvance(corner->text()));
        QVERIFY(shown.events.calls.isEmpty());  // drawing is no action of the planner's
    }

    void accessKeysAndClicksReachTheWindow_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("call");
        QTest::newRow("zh swap") << false << int(Qt::Key_M) << "move";
        QTest::newRow("zh save") << false << int(Qt::Key_S) << "save";
        QTest::newRow("zh rest-day tab") << false << int(Qt::Key_N) << "tab 1";
        QTest::newRow("zh settings tab") << false << int(Qt::Key_O) << "tab 2";
        QTest::newRow("en swap") << true << int(Qt::Key_W) << "move";
        QTest::newRow("en rest-day tab") << true << int(Qt::Key_R) << "tab 1";
        QTest::newRow("en settings tab") << true << int(Qt::Key_T) << "tab 2";
        QTest::newRow("en exit") << true << int(Qt::Key_X) << "exit";
    }
    void accessKeysAndClicksReachTheWindow() {
        QFETCH(bool, english);
        QFETCH(int, key);
        QFETCH(QString, call);
        ShownDialog shown(english);
        QVERIFY(QTest::qWaitForWindowActive(&shown.dialog));
        QTest::keyClick(&shown.dialog, static_cast<Qt::Key>(key), Qt::AltModifier);
        // A button's access key presses it visibly: the click comes a moment later.
        QTRY_COMPARE(shown.events.calls, QStringList{call});
        QCOMPARE(shown.dialog.isVisible(), call != QStringLiteral("exit"));
    }

    void thePlannersActionsAreForwardedAndTheStateDrawnAgain() {
        ShownDialog shown(true);
        FrmCalControls& c = shown.c;
        RecordedEvents& events = shown.events;
        FrmCalDialog& dialog = shown.dialog;
        QVERIFY(QTest::qWaitForWindowActive(&dialog));

        auto* work = dialog.findChild<QTableView*>(QStringLiteral("sprWork"));
        QTest::mouseClick(work->viewport(), Qt::LeftButton, {},
                          work->visualRect(work->model()->index(2, 1)).center());
        auto* sat = dialog.findChild<QCheckBox*>(QStringLiteral("chkSatNotWork"));
        QTest::mouseClick(sat, Qt::LeftButton);
        // A click on a disabled box is no action.
        QTest::mouseClick(dialog.findChild<QCheckBox*>(QStringLiteral("chkSunNotWork")),
                          Qt::LeftButton);
        dialog.findChild<QDateEdit*>(QStringLiteral("dtStartDay"))->setDate(QDate(2009, 7, 6));
        QCOMPARE(events.calls, (QStringList{"work row 3", "sat 0", "pick 2009-07-06"}));
        // frmCal kept the box ticked, and the drawing follows frmCal.
        QVERIFY(sat->isChecked());

        // The program's go-to brings a row to the top; a changed grid is read again.
        for (int d = 6; d <= 400; ++d)
            c.sprWork.Append({Day(2009, 6, 1) + d, "later"});
        c.sprWork.ShownRow = 300;
        dialog.Render();
        QCOMPARE(work->model()->rowCount(), 400);
        QCOMPARE(work->rowAt(0), 299);
        QCOMPARE(work->currentIndex().row(), 2);

        // A note typed in place goes to frmCal, and the cell shows what frmCal keeps.
        events.calls.clear();
        c.sprWork.NotesEditable = true;
        dialog.Render();
        const QModelIndex remark = work->model()->index(1, 1);
        QVERIFY(work->model()->flags(remark) & Qt::ItemIsEditable);
        QVERIFY(work->model()->setData(remark, QStringLiteral("盘点")));
        QCOMPARE(events.calls, QStringList{QStringLiteral("work note 2 盘点")});
        QCOMPARE(remark.data().toString(), QStringLiteral("Weekday  盘点"));

        // The close box asks frmCal, which may refuse; Exit closes without that question.
        events.calls.clear();
        events.refuseClose = true;
        QVERIFY(!dialog.close());
        QVERIFY(dialog.isVisible());
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdExit")),
                          Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(events.calls, (QStringList{"close 0", "exit"}));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

}  // namespace zev::test

ZEV_QTEST_MAIN(zev::test::FrontEndTest)
#include "FrontEndTest.moc"
