// The maintenance window without a toolkit, opened through clsCal.Show on every backend:
// tables of settings and actions against the controls and message boxes that result.

#include <gtest/gtest.h>

#include "component/clsCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "tests/window/MaintenanceWindow.hpp"

namespace zev::test {
namespace {

TEST_P(MaintenanceWindow, TheLoadSetsTheControlsByCalendarAndAccessCheck) {
    struct Case {
        bool calendar;
        bool granted;
        bool calendarTabs, cmdMove, cmdSave, checkBoxes, picker;
    };
    const Case cases[] = {
        {true, true, true, true, false, false, false},
        {true, false, true, false, false, false, false},
        {false, true, false, false, true, true, true},
        {false, false, false, false, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.calendar ? "calendar" : "no calendar") +
                     (c.granted ? ", granted" : ", refused"));
        Exec("DELETE FROM t_WorkCalendar");
        Exec("DELETE FROM t_SystemProfile WHERE FKey='WorkCalendarSet'");
        if (c.calendar) WriteExampleCalendar(Conn());
        Props("zz", c.granted);

        const Showing& s = OpenOnce();
        ASSERT_TRUE(s.shown);
        const FrmCalControls& w = s.controls.front();
        EXPECT_EQ(w.tabCal.Tab, 0);
        EXPECT_EQ(w.tabCal.Tabs[0].Enabled, c.calendarTabs);
        EXPECT_EQ(w.tabCal.Tabs[1].Enabled, c.calendarTabs);
        EXPECT_TRUE(w.tabCal.Tabs[2].Enabled);
        EXPECT_EQ(w.cmdMove.Enabled, c.cmdMove);
        EXPECT_EQ(w.cmdSave.Enabled, c.cmdSave);
        EXPECT_TRUE(w.cmdExit.Enabled);
        EXPECT_EQ(w.chkSatNotWork.Enabled, c.checkBoxes);
        EXPECT_EQ(w.chkSunNotWork.Enabled, c.checkBoxes);
        EXPECT_EQ(w.dtStartDay.Enabled, c.picker);
        // The stored weekend rules ticked both boxes, which is no change of the planner's.
        EXPECT_EQ(w.chkSatNotWork.Value, 1);
        EXPECT_EQ(w.chkSunNotWork.Value, 1);
        EXPECT_EQ(state_.WeekendChanged, automation::kFalse);
        EXPECT_TRUE(ui_->Boxes().empty());

        EXPECT_EQ(w.sprWork.Headings,
                  (std::array<std::string, 3>{"工厂日历号", "公历日期", "备注"}));
        EXPECT_EQ(w.sprNotWork.Headings,
                  (std::array<std::string, 3>{"休息日历号", "休息日", "备注"}));
        EXPECT_TRUE(w.sprWork.Column1Locked && w.sprNotWork.Column1Locked);
        if (c.calendar) {
            EXPECT_EQ(w.dtStartDay.Value, June(1));
            EXPECT_EQ(w.sprWork.Rows(), (std::vector<GridRow>{
                                            {June(1), "星期一"},
                                            {June(2), "星期二"},
                                            {June(3), "星期三"},
                                            {June(4), "星期四"},
                                            {June(5), "星期五"},
                                            {June(8), "星期一"},
                                            {June(9), "星期二"},
                                            {June(10), "星期三"},
                                        }));
            EXPECT_EQ(w.sprNotWork.Rows(),
                      (std::vector<GridRow>{{June(6), "星期六"}, {June(7), "星期日"}}));
            EXPECT_EQ(w.sprWork.ActiveRow, 1);
        } else {
            // The first day of the start period, and no earlier day can be picked.
            EXPECT_EQ(w.dtStartDay.Value, OleFromCivil(2009, 5, 1));
            EXPECT_EQ(w.dtStartDay.MinDate, OleFromCivil(2009, 5, 1));
            EXPECT_EQ(w.sprWork.RowCount() + w.sprNotWork.RowCount(), 0);
        }
    }
}

TEST_P(MaintenanceWindow, EachOpeningStartsAgainFromTheSettingsInTheUsersLanguage) {
    Props("en", true);
    // First opening, no calendar yet: the planner clears the Saturday box and leaves.
    ui_->Answer(ui::vbYes);
    const std::vector<Action> first = {
        [](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SatNotWork, 0); },
        [](FrmCalEvents& e) { e.cmdExit_Click(); },
    };
    Open({first, {}});
    ASSERT_EQ(showings_.size(), 2u);
    EXPECT_EQ(windowsMade_, 1);  // one window object for the thread
    EXPECT_EQ(showings_[0].controls.back().chkSatNotWork.Value, 0);
    EXPECT_FALSE(showings_[0].controls.back().Me.Open);
    const FrmCalControls& again = showings_[1].controls.front();
    EXPECT_EQ(again.chkSatNotWork.Value, 1);
    EXPECT_EQ(again.Me.Caption, "Factory Calendar");
    EXPECT_EQ(again.cmdMove.Caption, "S&wap");
    EXPECT_EQ(again.cmdSave.Caption, "&Save");
    EXPECT_EQ(again.cmdExit.Caption, "E&xit");
    EXPECT_EQ(again.tabCal.Tabs[0].Caption, "Factory &Calendar");
    EXPECT_EQ(again.tabCal.Tabs[1].Caption, "&Rest Days");
    EXPECT_EQ(again.tabCal.Tabs[2].Caption, "Se&ttings");
    EXPECT_EQ(again.chkSatNotWork.Caption, "Saturday is a rest day");
    EXPECT_EQ(again.chkSunNotWork.Caption, "Sunday is a rest day");
    EXPECT_EQ(again.lblStartDay.Caption, "Calendar start day: ");
    EXPECT_EQ(again.Me.Font.Name, "DejaVu Sans");

    // A calendar written meanwhile is seen at the next opening, in English too.
    WriteExampleCalendar(Conn());
    Put("WorkCalendarSet", "1");
    const Showing& s = OpenOnce();
    ASSERT_TRUE(s.shown);
    EXPECT_EQ(s.controls.front().sprWork.Headings[0], "Work Day No.");
    EXPECT_EQ(s.controls.front().sprWork.Row(1), (GridRow{June(1), "Monday"}));
    EXPECT_EQ(s.controls.front().sprNotWork.Row(2), (GridRow{June(7), "Sunday"}));
}

TEST_P(MaintenanceWindow, LeavingAsksOnlyWhenChangesWouldBeLost) {
    struct Case {
        const char* name;
        std::vector<Action> script;
        std::vector<int> answers;
        size_t questions;
        bool stayedOpen;
    };
    const Action tick = [](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SunNotWork, 0); };
    const Action exit = [](FrmCalEvents& e) { e.cmdExit_Click(); };
    const Case cases[] = {
        {"exit without a change", {exit}, {}, 0, false},
        {"close box without a change", {}, {}, 0, false},
        {"exit answered no, then the close box answered no", {tick, exit}, {}, 2, true},
        {"exit answered yes", {tick, exit}, {ui::vbYes}, 1, false},
        {"close box answered yes", {tick}, {ui::vbYes}, 1, false},
        // Every click of a box counts as a change, one that undoes another too.
        {"a box ticked and cleared again, exit answered yes",
         {tick, [](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SunNotWork, 1); }, exit},
         {ui::vbYes},
         1,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = ui_->Boxes().size();
        for (int answer : c.answers)
            ui_->Answer(answer);
        const Showing& s = OpenOnce(c.script);
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(s.stayedOpen, c.stayedOpen);
        const std::vector<ui::RecordedBox> boxes = ui_->Boxes();
        ASSERT_EQ(boxes.size() - before, c.questions);
        for (size_t i = before; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].buttons, 52);
            EXPECT_EQ(boxes[i].prompt,
                      "工作日历已做过改动，现在退出将放弃本次所做的工作，是否仍要退出？");
            EXPECT_EQ(boxes[i].title, "Halvor提示");
        }
    }
}

// An access checker that answers from a script and counts its lives.
class ScriptedChecker final : public automation::Object, public host::IGLData {
  public:
    ScriptedChecker(bool answer, std::array<int32_t, 3>& arguments)
        : answer_(answer), arguments_(arguments) {}
    automation::VBool AccessCheck(int32_t a, int32_t b, int32_t c) override {
        arguments_ = {a, b, c};
        return automation::ToVBool(answer_);
    }

  private:
    bool answer_;
    std::array<int32_t, 3>& arguments_;
};

TEST_P(MaintenanceWindow, ATabChangeAsksTheAccessCheckerAgain) {
    WriteExampleCalendar(Conn());
    enum Answer { kGrant, kRefuse, kNoChecker };
    Answer answer = kGrant;
    int made = 0;
    std::weak_ptr<ScriptedChecker> last;
    std::array<int32_t, 3> arguments{};
    const automation::ScopedFactory checker(host::progid::kGLData, [&]() -> automation::ObjectPtr {
        if (answer == kNoChecker) throw automation::RuntimeError(errors::kCannotCreateObject);
        ++made;
        auto c = std::make_shared<ScriptedChecker>(answer == kGrant, arguments);
        last = c;
        return c;
    });
    struct Step {
        int tab;
        Answer answer;
        bool cmdMove;
    };
    const Step steps[] = {
        {2, kGrant, false}, {0, kRefuse, false}, {1, kGrant, true},
        {0, kGrant, true},  {2, kGrant, false},  {1, kNoChecker, false},
    };
    std::vector<Action> script;
    for (const Step& step : steps) {
        script.push_back([&, step](FrmCalEvents& e) {
            answer = step.answer;
            e.SelectTab(step.tab);
            // Asked once, released at once.
            EXPECT_TRUE(last.expired());
        });
    }
    const Showing& s = OpenOnce(script);
    ASSERT_EQ(s.controls.size(), std::size(steps) + 1);
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        EXPECT_EQ(s.controls[i + 1].tabCal.Tab, steps[i].tab);
        EXPECT_EQ(s.controls[i + 1].cmdMove.Enabled, steps[i].cmdMove);
    }
    EXPECT_EQ(made, 1 + 5);  // the load, then every tab change that found a checker
    EXPECT_EQ(arguments, (std::array<int32_t, 3>{1017, 18, 4194304}));
    ASSERT_EQ(ui_->Boxes().size(), 1u);
    EXPECT_NE(ui_->Boxes()[0].prompt.find("429"), std::string::npos);
}

// A text loader that translates by a prefix, but gives a broken answer for one key.
class FaultyLoader final : public automation::Object, public host::IResLoader {
  public:
    FaultyLoader(std::string key, bool throws) : key_(std::move(key)), throws_(throws) {}
    std::string GetResFileBaseName() override { return base_; }
    void SetResFileBaseName(const std::string& name) override { base_ = name; }
    std::string GetLanguageID() override { return language_; }
    void SetLanguageID(const std::string& language) override { language_ = language; }
    std::string LoadString(std::string& key) override {
        if (key != key_) return "T:" + key;
        if (throws_) throw automation::RuntimeError(errors::kInternalError);
        return "\xC3\x28";  // not UTF-8
    }

  private:
    std::string key_;
    bool throws_;
    std::string base_;
    std::string language_;
};

TEST_P(MaintenanceWindow, ACaptionThatFailsKeepsItsChineseTextAndTheOthersAreSet) {
    struct Case {
        std::string key;
        bool throws;
    };
    const Case cases[] = {{"置换(&M)", false}, {"周六是休息日", true}, {"工厂日历", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const automation::ScopedFactory loader(host::progid::kResLoader, [&] {
            return std::make_shared<FaultyLoader>(c.key, c.throws);
        });
        const Showing& s = OpenOnce();
        ASSERT_TRUE(s.shown);
        const FrmCalControls& w = s.controls.front();
        const std::pair<std::string, std::string> captions[] = {
            {w.Me.Caption, "工厂日历"},
            {w.cmdMove.Caption, "置换(&M)"},
            {w.cmdExit.Caption, "退出(&E)"},
            {w.cmdSave.Caption, "保存(&S)"},
            {w.tabCal.Tabs[0].Caption, "工厂日历(&C)"},
            {w.tabCal.Tabs[1].Caption, "休息日(&N)"},
            {w.tabCal.Tabs[2].Caption, "设置(&O)"},
            {w.chkSunNotWork.Caption, "周日是休息日"},
            {w.chkSatNotWork.Caption, "周六是休息日"},
            {w.lblStartDay.Caption, "工厂日历起始日："},
        };
        for (const auto& [shown, source] : captions) {
            EXPECT_EQ(shown, source == c.key ? source : "T:" + source);
        }
        EXPECT_TRUE(ui_->Boxes().empty());
    }
}

TEST_P(MaintenanceWindow, TodaysWorkDayIsBroughtIntoView) {
    WriteExampleCalendar(Conn());
    const std::pair<double, int32_t> cases[] = {
        {June(3), 3}, {June(8), 6}, {June(10), 8}, {June(6), 0}, {OleFromCivil(2010, 1, 4), 0},
    };
    for (const auto& [today, row] : cases) {
        SCOPED_TRACE(automation::FormatIsoDate(today));
        today_ = today;
        const Showing& s = OpenOnce();
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(s.controls.front().sprWork.ShownRow, row);
        EXPECT_EQ(s.controls.front().sprNotWork.ShownRow, 0);
    }
}

TEST_P(MaintenanceWindow, TheGridsShowEachDaysNoteAndMarkTheRulesExceptionsAndToday) {
    // June 2009, weekends resting, but Thursday the 25th rests and Saturday the 27th works.
    WriteCalendar(June(16), OleFromCivil(2009, 7, 11));
    Exec("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-25'");
    Exec("UPDATE t_WorkCalendar SET FInterID=99 WHERE FDay='2009-06-27'");
    Exec("INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES('2009-06-25','端午节')");
    Exec("INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES('2009-06-27','调休上班')");
    // A note of a day the calendar does not hold shows nowhere.
    Exec("INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES('2009-06-01','before')");
    today_ = June(22);
    struct Row {
        double day;
        bool rests;
        const char* note;
        window::RowKind kind;
        bool today;
    };
    const Row rows[] = {
        {June(22), false, "", window::RowKind::Plain, true},
        {June(25), true, "端午节", window::RowKind::RestException, false},
        {June(27), false, "调休上班", window::RowKind::WorkedWeekend, false},
        {June(28), true, "", window::RowKind::Plain, false},
        {June(29), false, "", window::RowKind::Plain, false},
    };
    for (const bool withTable : {true, false}) {
        SCOPED_TRACE(withTable ? "with the note table" : "without the note table");
        if (!withTable) Exec("DROP TABLE t_WorkCalendarNote");
        const Showing& s = OpenOnce();
        ASSERT_TRUE(s.shown);
        const FrmCalControls& c = s.controls.front();
        EXPECT_EQ(c.Marks, (window::DayMarks{true, true, June(22)}));
        EXPECT_EQ(c.sprWork.NotesEditable, withTable);
        EXPECT_EQ(c.sprNotWork.NotesEditable, withTable);
        for (const Row& r : rows) {
            SCOPED_TRACE(automation::FormatIsoDate(r.day));
            const window::Grid& grid = r.rests ? c.sprNotWork : c.sprWork;
            const int32_t at = grid.RowOf(r.day);
            ASSERT_NE(at, 0);
            EXPECT_EQ(grid.Row(at).Note, withTable ? r.note : "");
            EXPECT_EQ(window::KindOfRow(r.day, grid.RestDays, c.Marks), r.kind);
            EXPECT_EQ(window::IsTodayRow(r.day, c.Marks), r.today);
        }
        EXPECT_TRUE(ui_->Boxes().empty());
    }
}

TEST_P(MaintenanceWindow, AFailingLoadShowsOneErrorBoxAndNoWindow) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        int32_t number;
    };
    std::unique_ptr<automation::ScopedFactory> noChecker;
    const Case cases[] = {
        {"a start period that is no month", [&] { Put("StartPeriod", "13"); },
         errors::kTypeMismatch},
        {"no access checker",
         [&] {
             Put("StartPeriod", "5");
             noChecker = std::make_unique<automation::ScopedFactory>(
                 host::progid::kGLData, []() -> automation::ObjectPtr {
                     throw automation::RuntimeError(errors::kCannotCreateObject);
                 });
         },
         errors::kCannotCreateObject},
        {"no front end",
         [&] {
             noChecker.reset();
             window_.reset();
             window_ = std::make_unique<automation::ScopedFactory>(
                 component::kFrmCalProgId, []() -> automation::ObjectPtr {
                     return std::make_shared<window::frmCal>(
                         component::mdlCal::State(), []() -> std::unique_ptr<window::FrmCalView> {
                             throw automation::ComError(errors::kUnspecified, "frmCal",
                                                        "no display");
                         });
                 });
         },
         errors::kUnspecified},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        const size_t before = ui_->Boxes().size();
        const Showing& s = OpenOnce();
        EXPECT_FALSE(s.shown);
        ASSERT_EQ(ui_->Boxes().size(), before + 1);
        EXPECT_EQ(ui_->Boxes().back().buttons, 16);
        EXPECT_NE(ui_->Boxes().back().prompt.find(std::to_string(c.number)), std::string::npos)
            << ui_->Boxes().back().prompt;
    }
}

TEST_P(MaintenanceWindow, AGridFillThatFailsHalfWayKeepsItsRowsAndTheLoadGoesOn) {
    if (GetParam() != Backend::SQLite) GTEST_SKIP() << "only SQLite stores a day that is none";
    WriteExampleCalendar(Conn());
    // Sorted after the two rest days: the rest-day grid fails at its third row.
    Exec("INSERT INTO t_WorkCalendar(FInterID,FDay) VALUES(0,'2009-06-31')");
    const Showing& s = OpenOnce(
        {[](FrmCalEvents& e) { e.SelectTab(1); }, [](FrmCalEvents& e) { e.SelectTab(0); }});
    ASSERT_TRUE(s.shown);
    const FrmCalControls& w = s.controls.front();
    EXPECT_EQ(w.sprNotWork.Rows(),
              (std::vector<GridRow>{{June(6), "星期六"}, {June(7), "星期日"}}));
    EXPECT_EQ(w.sprWork.RowCount(), 0);
    // Grids that hold part of the calendar are never swapped or saved, whichever tab is
    // chosen, until the window is opened again.
    for (const FrmCalControls& shown : s.controls)
        EXPECT_FALSE(shown.cmdMove.Enabled || shown.cmdSave.Enabled);
    ASSERT_EQ(ui_->Boxes().size(), 1u);
    EXPECT_NE(ui_->Boxes()[0].prompt.find(std::to_string(errors::kTypeMismatch)),
              std::string::npos);
    EXPECT_EQ(automation::Err().Number, 0);
}

TEST_P(MaintenanceWindow, ShowingTheWindowWhileItIsOpenIsRefused) {
    const Showing& s = OpenOnce({[](FrmCalEvents&) {
        component::clsCal again;
        again.ActiveConnection("");
        again.Show();
    }});
    ASSERT_TRUE(s.shown);
    EXPECT_TRUE(s.controls.back().Me.Open);
    ASSERT_EQ(ui_->Boxes().size(), 1u);
    EXPECT_NE(ui_->Boxes()[0].prompt.find(std::to_string(errors::kFormAlreadyShown)),
              std::string::npos);
    EXPECT_EQ(showings_.size(), 1u);
}

ZEV_INSTANTIATE_DB_TEST(MaintenanceWindow);

}  // namespace
}  // namespace zev::test
