// The window's year view without a toolkit, on every backend: a day turned from the year
// is the list's swap, a chosen set turns whole or not at all, the years at hand end with
// the calendar's, a read-only user turns nothing, and the three tabs stay as designed.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/window/MaintenanceWindow.hpp"

namespace zev::test {
namespace {

using window::YearChoice;

constexpr const char* kStartDaySwap = "工厂日历起始日不能被置换为休息日。";
constexpr const char* kPastDaySwap = "被置换的日期不能早于或等于当前系统日期。";
constexpr const char* kScheduledDaySwap = "此日期已经作过生产排产或生产汇报，不能置换为休息日。";

double July(int day) {
    return OleFromCivil(2009, 7, day);
}

// The mark the year view's sheet gives `day` of the year it shows.
window::DayMark MarkOf(const window::YearView& view, double day) {
    const automation::CivilDateTime civil = automation::CivilFromOle(day);
    for (const auto& week : view.Sheet.Months.at(static_cast<size_t>(civil.Month - 1)).Weeks) {
        for (const window::SheetDay& cell : week)
            if (cell.Day == civil.Day && cell.Mark != window::DayMark::None) return cell.Mark;
    }
    return window::DayMark::None;
}

// The calendar of the swap tests: 2009-06-16 (a Tuesday) to 2009-07-10, weekends resting.
class YearView : public MaintenanceWindow {
  protected:
    void SetUp() override {
        MaintenanceWindow::SetUp();
        WriteCalendar(June(16), July(11));
    }
    void Reset() {
        Exec("DELETE FROM t_WorkCalendar");
        Exec("DELETE FROM t_mutiworkcal");
        Exec("DELETE FROM t_WorkCalendarNote");
        WriteCalendar(June(16), July(11));
    }
    static void OpenYear(FrmCalEvents& e) { e.cmdYear_Click(); }
    static Action Choose(double day, YearChoice how = YearChoice::Only) {
        return [day, how](FrmCalEvents& e) { e.ChooseYearDay(day, how); };
    }
    static void Turn(FrmCalEvents& e) { e.cmdTurn_Click(); }
    // The prompts of the boxes shown since `first`.
    std::vector<std::string> PromptsSince(size_t first) {
        std::vector<std::string> prompts;
        for (size_t i = first; i < ui_->Boxes().size(); ++i)
            prompts.push_back(ui_->Boxes()[i].prompt);
        return prompts;
    }
};

TEST_P(YearView, TurningADayFromTheYearIsTheSwapOnTheList) {
    struct Case {
        const char* name;
        double serverDate;
        double day;
        const char* refusal;  // nullptr: turned
        window::DayMark before, after;
    };
    using window::DayMark;
    const Case cases[] = {
        {"a work day to rest", June(20), June(30), nullptr, DayMark::Work, DayMark::Holiday},
        {"a Saturday to work", June(20), June(27), nullptr, DayMark::Rest, DayMark::WorkedWeekend},
        {"the start day", June(1), June(16), kStartDaySwap, DayMark::Work, DayMark::Work},
        {"a day on the server date", June(29), June(29), kPastDaySwap, DayMark::Work,
         DayMark::Work},
        {"a day production scheduled", June(20), July(1), kScheduledDaySwap, DayMark::Work,
         DayMark::Work},
    };
    Put("PlanCycle", "天");
    Exec(
        "INSERT INTO t_WOScheduleDetail(FDetailID,FSeqID) SELECT 1,FDayID FROM t_WorkCalendar "
        "WHERE FDay='2009-07-01'");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerDateIs(c.serverDate);
        // On the list, then from the year; each saved.
        Reset();
        size_t first = ui_->Boxes().size();
        const FrmCalControls list = OpenOnce({Swap(c.day), Save}).controls.at(1);
        const bool listChanged = state_.CalChanged != 0;
        const std::vector<std::string> listBoxes = PromptsSince(first);
        const std::vector<std::string> listTables = CalendarTables();

        Reset();
        first = ui_->Boxes().size();
        const Showing& s = OpenOnce({OpenYear, Choose(c.day), Turn, Save});
        ASSERT_EQ(s.controls.size(), 5u);
        const FrmCalControls& year = s.controls[3];
        EXPECT_EQ(year.sprWork.Rows(), list.sprWork.Rows());
        EXPECT_EQ(year.sprNotWork.Rows(), list.sprNotWork.Rows());
        EXPECT_EQ(year.cmdSave.Enabled, list.cmdSave.Enabled);
        EXPECT_EQ(year.cmdSave.Enabled, c.refusal == nullptr);
        EXPECT_EQ(state_.CalChanged != 0, listChanged);
        EXPECT_EQ(CalendarTables(), listTables);
        // The list's refusal, naming the day from the year.
        EXPECT_EQ(listBoxes,
                  c.refusal ? std::vector<std::string>{c.refusal} : std::vector<std::string>{});
        EXPECT_EQ(PromptsSince(first),
                  c.refusal ? std::vector<std::string>{automation::FormatIsoDate(c.day) + ": " +
                                                       c.refusal}
                            : std::vector<std::string>{});
        // The sheet follows the turn at once.
        EXPECT_EQ(MarkOf(s.controls[2].yearView, c.day), c.before);
        EXPECT_EQ(MarkOf(year.yearView, c.day), c.after);
    }
}

TEST_P(YearView, AChosenSetTurnsWholeOrNotAtAllNamingTheDayRefused) {
    struct Case {
        const char* name;
        std::vector<Action> choose;
        std::vector<double> chosen;
        const char* refused;  // the box, nullptr when all turned
    };
    const auto arrows = [](int days, bool extend) {
        return [days, extend](FrmCalEvents& e) { e.MoveYearCursor(days, extend); };
    };
    const Case cases[] = {
        {"Ctrl adds days",
         {Choose(June(30)), Choose(July(2), YearChoice::Toggle),
          Choose(July(4), YearChoice::Toggle)},
         {June(30), July(2), July(4)},
         nullptr},
        {"Ctrl on a chosen day takes it away",
         {Choose(June(30)), Choose(July(2), YearChoice::Toggle),
          Choose(June(30), YearChoice::Toggle)},
         {July(2)},
         nullptr},
        {"Shift chooses the calendar's days of a range",
         {Choose(July(8)), Choose(July(14), YearChoice::Range)},
         {July(8), July(9), July(10)},
         nullptr},
        {"Shift with the arrows, one day on the server date",
         {Choose(June(26)), arrows(1, true), arrows(7, true)},
         {June(26), June(27), June(28), June(29), June(30), July(1), July(2), July(3), July(4)},
         "2009-06-26: 被置换的日期不能早于或等于当前系统日期。"},
        {"the start day among them",
         {Choose(June(16)), Choose(June(30), YearChoice::Toggle)},
         {June(16), June(30)},
         "2009-06-16: 工厂日历起始日不能被置换为休息日。"},
    };
    ServerDateIs(June(26));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Action> script = {OpenYear};
        script.insert(script.end(), c.choose.begin(), c.choose.end());
        // Saved, so that leaving asks nothing.
        script.insert(script.end(), {Turn, Save});
        const size_t first = ui_->Boxes().size();
        const Showing& s = OpenOnce(script);
        ASSERT_TRUE(s.shown);
        const FrmCalControls& was = s.controls[s.controls.size() - 3];
        const FrmCalControls& w = s.controls[s.controls.size() - 2];
        EXPECT_EQ(was.yearView.Chosen, c.chosen);
        if (c.refused != nullptr) {
            EXPECT_EQ(PromptsSince(first), std::vector<std::string>{c.refused});
            EXPECT_EQ(w.sprWork, was.sprWork);
            EXPECT_EQ(w.sprNotWork, was.sprNotWork);
            EXPECT_EQ(state_.CalChanged, automation::kFalse);
            continue;
        }
        EXPECT_EQ(PromptsSince(first), std::vector<std::string>{});
        for (const double day : c.chosen) {
            // Each day in the other grid.
            EXPECT_EQ(w.sprWork.RowOf(day) != 0, was.sprNotWork.RowOf(day) != 0);
            EXPECT_EQ(w.sprNotWork.RowOf(day) != 0, was.sprWork.RowOf(day) != 0);
        }
        EXPECT_EQ(w.sprWork.RowCount() + w.sprNotWork.RowCount(), 25);
        EXPECT_TRUE(w.cmdSave.Enabled);
        Reset();
    }
}

TEST_P(YearView, TheYearsAtHandAreTheCalendarsAndTheCursorKeepsToThem) {
    Exec("DELETE FROM t_WorkCalendar");
    WriteCalendar(OleFromCivil(2009, 12, 30), OleFromCivil(2011, 1, 3));
    const auto year = [](int y) { return [y](FrmCalEvents& e) { e.SelectYear(y); }; };
    const auto move = [](int days) {
        return [days](FrmCalEvents& e) { e.MoveYearCursor(days, false); };
    };
    const Showing& s = OpenOnce(
        {OpenYear, year(2008), move(-7), year(2011), year(2012), move(800), move(-1), year(2010)});
    ASSERT_EQ(s.controls.size(), 9u);
    struct Step {
        int year;
        double cursor;
        bool previous, next;
    };
    const Step steps[] = {
        {2009, OleFromCivil(2009, 12, 30), false, true},  // opened on the first row's year
        {2009, OleFromCivil(2009, 12, 30), false, true},  // no year before the calendar's
        {2009, OleFromCivil(2009, 12, 23), false,
         true},  // a day of that year, outside the calendar
        {2011, OleFromCivil(2009, 12, 23), true, false},
        {2011, OleFromCivil(2009, 12, 23), true, false},  // none after it
        {2011, OleFromCivil(2011, 12, 31), true, false},  // the cursor stops at its last day
        {2011, OleFromCivil(2011, 12, 30), true, false},
        {2010, OleFromCivil(2011, 12, 30), true, true},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        const window::YearView& v = s.controls[i + 1].yearView;
        EXPECT_TRUE(v.Open);
        EXPECT_EQ(v.Year, steps[i].year);
        EXPECT_EQ(v.Cursor, steps[i].cursor);
        EXPECT_EQ(v.cmdPrevYear.Enabled, steps[i].previous);
        EXPECT_EQ(v.cmdNextYear.Enabled, steps[i].next);
        EXPECT_EQ(v.Sheet.Title, std::to_string(steps[i].year) + "年工厂日历");
    }
    // The line under the sheet names the cursor's day.
    EXPECT_EQ(s.controls[3].yearView.CursorLine, "2009-12-23  星期三  不在工厂日历之内");
    EXPECT_EQ(s.controls[1].yearView.CursorLine, "2009-12-30  星期三  按每周规则的工作日");
}

TEST_P(YearView, NotesAreTheListsAndAReadOnlyUserChangesNothing) {
    ServerDateIs(June(20));
    for (const bool granted : {true, false}) {
        SCOPED_TRACE(granted ? "granted" : "read only");
        Reset();
        Props("zz", granted);
        const size_t first = ui_->Boxes().size();
        const Showing& s = OpenOnce({
            OpenYear,
            Choose(June(30)),
            Turn,
            [](FrmCalEvents& e) { e.EditYearNote(June(30), " 端午节 "); },
            Save,
        });
        ASSERT_EQ(s.controls.size(), 6u);
        const FrmCalControls& w = s.controls[4];
        EXPECT_TRUE(PromptsSince(first).empty());
        EXPECT_EQ(w.yearView.ReadOnly, !granted);
        EXPECT_EQ(w.yearView.cmdTurn.Enabled, granted);
        EXPECT_EQ(w.yearView.ReadOnlyText.empty(), granted);
        if (!granted) {
            EXPECT_EQ(w.sprWork, s.controls[1].sprWork);
            EXPECT_EQ(w.sprNotWork, s.controls[1].sprNotWork);
            EXPECT_EQ(state_.CalChanged, automation::kFalse);
            EXPECT_TRUE(Table("SELECT FNote FROM t_WorkCalendarNote").empty());
            continue;
        }
        // A year nobody planned is named under the sheet until a day of it rests.
        EXPECT_EQ(s.controls[1].yearView.UnplannedText, "2009: 尚无节假日：请导入当年的节假日列表");
        EXPECT_EQ(w.yearView.UnplannedText, "");
        // The note is the rest-day list's, shown under the sheet, and saved with it.
        const int32_t row = w.sprNotWork.RowOf(June(30));
        ASSERT_NE(row, 0);
        EXPECT_EQ(w.sprNotWork.Row(row).Note, "端午节");
        EXPECT_EQ(w.yearView.CursorLine, "2009-06-30  星期二  不是周末的休息日  端午节");
        EXPECT_EQ(Table("SELECT FNote FROM t_WorkCalendarNote"),
                  std::vector<std::string>{"端午节"});
        EXPECT_EQ(Table("SELECT FInterID FROM t_WorkCalendar WHERE FDay='2009-06-30'"),
                  std::vector<std::string>{"0"});
    }
}

TEST_P(YearView, TheThreeTabsAndTheirOrderStayAsDesigned) {
    Props("en", true);
    const Showing& s = OpenOnce({OpenYear});
    ASSERT_EQ(s.controls.size(), 2u);
    const FrmCalControls& w = s.controls.front();
    EXPECT_EQ(w.tabCal.Tab, 0);
    EXPECT_EQ(w.tabCal.Tabs.size(), 3u);
    EXPECT_EQ(w.tabCal.Tabs[0].Caption, "Factory &Calendar");
    EXPECT_EQ(w.tabCal.Tabs[1].Caption, "&Rest Days");
    EXPECT_EQ(w.tabCal.Tabs[2].Caption, "Se&ttings");
    const std::vector<int> order = {
        w.tabCal.TabIndex,        w.sprWork.TabIndex,       w.sprNotWork.TabIndex,
        w.cmdSave.TabIndex,       w.cmdExit.TabIndex,       w.lblStartDay.TabIndex,
        w.chkSatNotWork.TabIndex, w.chkSunNotWork.TabIndex, w.dtStartDay.TabIndex,
        w.cmdMove.TabIndex,       w.cmdYear.TabIndex};
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(w.cmdYear.Caption, "&Year View");
    EXPECT_TRUE(w.cmdYear.Enabled);
    EXPECT_FALSE(w.yearView.Open);
    EXPECT_TRUE(s.controls.back().yearView.Open);
    EXPECT_EQ(s.controls.back().tabCal, w.tabCal);
}

TEST_P(YearView, PrintingReplacesNoFolderAndNoFileNamesNothing) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zev-year-print-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const size_t first = ui_->Boxes().size();
    const Showing& s = OpenOnce({
        OpenYear,
        [](FrmCalEvents& e) { e.PrintYearTo(""); },
        [&](FrmCalEvents& e) { e.PrintYearTo(folder.string()); },
    });
    ASSERT_EQ(s.controls.size(), 4u);
    // Nothing asked for nothing; the folder refused by the PDF writer's own check.
    ASSERT_EQ(ui_->Boxes().size(), first + 1);
    EXPECT_EQ(ui_->Boxes()[first].buttons, 16);
    EXPECT_NE(ui_->Boxes()[first].prompt.find("不是普通文件"), std::string::npos)
        << ui_->Boxes()[first].prompt;
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    std::filesystem::remove_all(folder);
}

ZEV_INSTANTIATE_DB_TEST(YearView);

}  // namespace
}  // namespace zev::test
