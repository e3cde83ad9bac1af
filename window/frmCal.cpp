// frmCal: the design state of the window, its load step, the captions, the calendar
// grids, and the handlers of the planner's actions, which run the operations of
// frmCalOperations.cpp and show their outcomes; RegisterFrmCal and ClientToday.

#include "window/frmCal.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "component/PlannedYears.hpp"
#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "host/SysObjects.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/ui/ThreadBoundUi.hpp"
#include "platform/ui/UserInterface.hpp"
#include "window/FrmCalDays.hpp"

namespace zev::window {
namespace {

using automation::Variant;
using host::MMTS::LoadLocalText;
namespace errors = automation::errors;

// What the access checker is asked: may the user maintain the factory calendar.
constexpr int32_t kAccessModule = 1017;
constexpr int32_t kAccessObject = 18;
constexpr int32_t kAccessRight = 0x400000;

// The earliest and latest days the date picker holds.
const double kPickerFirstDay = automation::OleFromCivil(1601, 1, 1);
const double kPickerLastDay = automation::OleFromCivil(9999, 12, 31);

// The controls as the window was designed: captions in Chinese, everything enabled,
// tab 0 current, empty grids.
FrmCalControls DesignState() {
    FrmCalControls c;
    c.Me.Caption = "工厂日历";
    c.Me.Rect = {0, 0, 6795, 5475};
    c.tabCal.Tabs = {Tab{"工厂日历(&C)"}, Tab{"休息日(&N)"}, Tab{"设置(&O)"}};
    c.tabCal.Rect = {120, 240, 4935, 5055};
    c.tabCal.TabIndex = 0;
    c.sprWork.Headings = {"", "公历日期", ""};
    c.sprWork.ColumnWidths = {8.25, 13.5, 13.0};
    c.sprWork.Rect = {240, 600, 4500, 4275};
    c.sprWork.TabIndex = 1;
    c.sprNotWork.Headings = {"", "休息日", ""};
    c.sprNotWork.ColumnWidths = {8.25, 13.87, 13.75};
    c.sprNotWork.Rect = {240, 600, 4500, 4215};
    c.sprNotWork.TabIndex = 2;
    c.sprNotWork.RestDays = true;
    c.cmdSave = {"保存(&S)", true, {5370, 885, 1275, 375}, 3};
    c.cmdExit = {"退出(&E)", true, {5370, 1485, 1275, 375}, 4};
    c.lblStartDay = {"工厂日历起始日：", {240, 840, 2535, 285}, 5};
    c.chkSatNotWork = {"周六是休息日", true, 0, {240, 1560, 4215, 255}, 6};
    c.chkSunNotWork = {"周日是休息日", true, 0, {240, 1920, 4335, 255}, 7};
    c.dtStartDay = {true, kPickerFirstDay, kPickerFirstDay, {2760, 840, 1335, 255}, 8};
    c.cmdMove = {"置换(&M)", true, {5355, 270, 1275, 375}, 9};
    // Below the three buttons, last in the tab order, so that theirs stays as designed.
    c.cmdYear = {"年历(&Y)", false, {5370, 2085, 1275, 375}, 10};
    c.yearView.Caption = "年历";
    c.yearView.Rect = {0, 0, 10800, 8400};
    return c;
}

// A day for the date picker, which holds the days from 1601 to 9999 only.
double PickerDay(double day) {
    if (!(day >= kPickerFirstDay && day <= kPickerLastDay)) {
        automation::Raise(errors::kInvalidPropertyValue);
    }
    return automation::OleDatePart(day);
}

// A control refuses a text that is not well-formed UTF-8.
void SetText(std::string& target, std::string text) {
    if (!automation::IsValidUtf8(text)) automation::Raise(errors::kInvalidPropertyValue);
    target = std::move(text);
}

// Runs a forwarded action; its failures end in the error report, never in the toolkit.
template <class Action>
void Guarded(Action action) noexcept {
    try {
        action();
    } catch (...) {
        try {
            component::mdlCal::ReportCaughtFailure();
        } catch (...) {
            // The report itself failed; there is nobody left to tell.
        }
    }
}

// Shows what an operation came to, as the window shows it, and passes it on.
component::Outcome Shown(component::Outcome outcome) {
    component::mdlCal::ShowOutcome(outcome);
    return outcome;
}

// Empties a grid and sets its headings: column 0 the row numbers, 1 the date, 2 a remark.
void PrepareGrid(Grid& grid, const char* numberHeading, const char* dateHeading) {
    grid.Clear();
    SetText(grid.Headings[0], LoadLocalText(numberHeading, 0));
    SetText(grid.Headings[1], LoadLocalText(dateHeading, 0));
    SetText(grid.Headings[2], LoadLocalText("备注", 0));
    grid.Column1Locked = true;
}

// Appends the days a statement returns to `grid`, in their order; returns the row of
// `today`, or 0 when no day is today. Rows appended before a failure stay.
int32_t FillGrid(data::Connection& connection, Grid& grid, const std::string& statement,
                 const std::array<std::string, 7>& weekdays, double today) {
    data::Recordset rs = connection.Execute(statement);
    int32_t todayRow = 0;
    if (!rs.Eof()) {
        const int32_t count = rs.RecordCount();
        grid.Reserve(static_cast<size_t>(count));
        for (int32_t row = 1; row <= count; ++row) {
            const double day = automation::CDate(rs.Fields(0).Value());
            grid.Append({day, days::WeekdayOf(day, weekdays)});
            if (automation::OleDatePart(day) == today) todayRow = row;
            rs.MoveNext();
        }
    }
    rs.Close();
    return todayRow;
}

}  // namespace

double ClientToday() {
    return automation::Today();
}

frmCal::frmCal(component::ComponentState& state, ViewOpener openView, Clock today)
    : FrmCalControls(DesignState()),
      state_(state),
      openView_(std::move(openView)),
      today_(std::move(today)) {}

void frmCal::ShowModal() {
    if (Me.Open) automation::Raise(errors::kFormAlreadyShown);
    const std::unique_ptr<FrmCalView> view = openView_();
    const ui::ScopedUserInterface windowInterface(
        std::make_shared<ui::ThreadBoundUi>(view->Interface(), ui::Current()));
    static_cast<FrmCalControls&>(*this) = DesignState();
    Form_Load();
    Me.Open = true;
    try {
        view->RunModal(*this, *this);
    } catch (...) {
        Me.Open = false;
        throw;
    }
    Me.Open = false;
}

void frmCal::Form_Load() {
    host::MMTS::ApplyFormFont(*this);
    SetCaptions();
    SetCheckValue(chkSatNotWork, state_.SatNotWork ? 1 : 0);
    SetCheckValue(chkSunNotWork, state_.SunNotWork ? 1 : 0);
    PrepareGrid(sprWork, "工厂日历号", "公历日期");
    PrepareGrid(sprNotWork, "休息日历号", "休息日");
    filled_.clear();
    notesFilled_.clear();
    gridsComplete_ = true;
    Marks = {state_.SatNotWork != 0, state_.SunNotWork != 0, automation::OleDatePart(today_())};
    bool notesKept = false;
    if (state_.IsSetWorkCalendar) {
        // The calendar exists: its start day and weekend rules are fixed.
        chkSatNotWork.Enabled = false;
        chkSunNotWork.Enabled = false;
        dtStartDay.Value = PickerDay(state_.CalStartDay);
        dtStartDay.Enabled = false;
        SetCheckValue(chkSatNotWork, state_.SatNotWork ? 1 : 0);
        SetCheckValue(chkSunNotWork, state_.SunNotWork ? 1 : 0);
        cmdSave.Enabled = false;
        component::mdlCal::ShowOutcome(LoadCalendarGrids());
        // Grids that hold part of the calendar would save a numbering without the rest.
        if (!gridsComplete_) cmdMove.Enabled = false;
        notesKept = gridsComplete_ && LoadNotes();
    } else {
        // No calendar yet: only the settings tab is of use, and Save generates. The start
        // day may not lie before the first day of the start period.
        tabCal.Tabs[0].Enabled = false;
        tabCal.Tabs[1].Enabled = false;
        cmdMove.Enabled = false;
        dtStartDay.MinDate =
            PickerDay(days::FirstDayOfPeriod(state_.StartYear, state_.StartPeriod));
        dtStartDay.Value = dtStartDay.MinDate;
    }
    const bool granted = AccessGranted();
    // Notes are edited where the database keeps them and the user may change the calendar.
    sprWork.NotesEditable = notesKept && granted;
    sprNotWork.NotesEditable = notesKept && granted;
    if (!granted) {
        cmdMove.Enabled = false;
        cmdSave.Enabled = false;
        chkSatNotWork.Enabled = false;
        chkSunNotWork.Enabled = false;
    }
    // Setting the check boxes above ran their handlers; what the load sets is no change.
    state_.WeekendChanged = automation::kFalse;
    yearBuilt_.reset();
    SyncYear();
}

void frmCal::SetCaptions() {
    const std::pair<std::string*, const char*> captions[] = {
        {&Me.Caption, "工厂日历"},
        {&cmdMove.Caption, "置换(&M)"},
        {&cmdExit.Caption, "退出(&E)"},
        {&cmdSave.Caption, "保存(&S)"},
        {&tabCal.Tabs[0].Caption, "工厂日历(&C)"},
        {&tabCal.Tabs[1].Caption, "休息日(&N)"},
        {&tabCal.Tabs[2].Caption, "设置(&O)"},
        {&chkSunNotWork.Caption, "周日是休息日"},
        {&chkSatNotWork.Caption, "周六是休息日"},
        {&sprNotWork.Headings[1], "休息日"},
        {&sprWork.Headings[1], "公历日期"},
        {&lblStartDay.Caption, "工厂日历起始日："},
        {&cmdYear.Caption, "年历(&Y)"},
    };
    for (const auto& [target, text] : captions) {
        try {
            SetText(*target, LoadLocalText(text, 0));
        } catch (...) {
            // The control keeps the text it had; the next caption is still set.
        }
    }
}

component::Outcome frmCal::LoadCalendarGrids() {
    gridsComplete_ = false;
    try {
        data::Connection& connection = component::mdlCal::Connection(state_);
        const std::array<std::string, 7> weekdays = days::WeekdayNames();
        const double today = today_();
        FillGrid(connection, sprNotWork,
                 "SELECT FDay FROM t_WorkCalendar WHERE FInterID=0 ORDER BY FDay", weekdays, today);
        // Only the work-day grid is searched for today.
        const int32_t todayRow = FillGrid(
            connection, sprWork, "SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 ORDER BY FDay",
            weekdays, today);
        if (todayRow != 0) sprWork.ShownRow = todayRow;
        filled_ = days::KindsOf(sprWork, sprNotWork);
        gridsComplete_ = true;
        return component::Outcome::Done();
    } catch (...) {
        return component::Outcome::FailedNow();
    }
}

std::vector<std::pair<double, bool>> frmCal::ReadKinds() {
    data::Recordset rs = component::mdlCal::Connection(state_).Execute(
        "SELECT FDay, FInterID FROM t_WorkCalendar WHERE FInterID>=0 ORDER BY FDay, FInterID");
    std::vector<std::pair<double, bool>> kinds;
    kinds.reserve(static_cast<size_t>(rs.RecordCount()));
    for (; !rs.Eof(); rs.MoveNext()) {
        kinds.emplace_back(automation::CDate(rs.Fields(0).Value()),
                           automation::CDbl(rs.Fields(1).Value()) == 0);
    }
    return kinds;
}

bool frmCal::LoadNotes() {
    notesFilled_.clear();
    const std::vector<std::pair<double, bool>> kinds = days::KindsOf(sprWork, sprNotWork);
    if (kinds.empty()) return false;
    try {
        data::Connection& connection = component::mdlCal::Connection(state_);
        const std::shared_ptr<host::IDayNotes> store =
            automation::CreateObjectAs<host::IDayNotes>(host::progid::kDayNotes);
        if (!store->HasNotes(connection)) return false;
        for (auto& [day, note] :
             store->Notes(connection, kinds.front().first, kinds.back().first + 1.0)) {
            notesFilled_.emplace(day, std::move(note));
        }
        for (Grid* grid : {&sprWork, &sprNotWork}) {
            for (int32_t r = 1; r <= grid->RowCount(); ++r) {
                const auto it = notesFilled_.find(grid->Row(r).Day);
                if (it != notesFilled_.end()) grid->SetNote(r, it->second);
            }
        }
        return true;
    } catch (const automation::ComError& e) {
        // A program without the suite's note store shows no notes; anything else is said.
        notesFilled_.clear();
        if (e.Number() != errors::kCannotCreateObject) component::mdlCal::ReportCaughtFailure();
        return false;
    } catch (...) {
        notesFilled_.clear();
        component::mdlCal::ReportCaughtFailure();
        return false;
    }
}

bool frmCal::AccessGranted() {
    const std::shared_ptr<host::IGLData> checker = host::SysObjects::GetGLData();
    return checker->AccessCheck(kAccessModule, kAccessObject, kAccessRight) != automation::kFalse;
}

void frmCal::tabCal_Click(int /*previousTab*/) {
    const bool calendarTab = tabCal.Tab == 0 || tabCal.Tab == 1;
    try {
        cmdMove.Enabled = gridsComplete_ && AccessGranted() && calendarTab;
    } catch (...) {
        // Without an answer the swap stays off.
        cmdMove.Enabled = false;
        component::mdlCal::ReportCaughtFailure();
    }
}

void frmCal::chkSatNotWork_Click() {
    state_.WeekendChanged = automation::kTrue;
    cmdSave.Enabled = true;
}

void frmCal::chkSunNotWork_Click() {
    state_.WeekendChanged = automation::kTrue;
    cmdSave.Enabled = true;
}

void frmCal::SetCheckValue(CheckBox& box, int value) {
    if (box.Value == value) return;
    box.Value = value;
    if (&box == &chkSatNotWork) chkSatNotWork_Click();
    if (&box == &chkSunNotWork) chkSunNotWork_Click();
}

void frmCal::SelectTab(int tab) noexcept {
    Handled([&] {
        if (tab < 0 || tab >= static_cast<int>(tabCal.Tabs.size())) return;
        if (!tabCal.Tabs[static_cast<size_t>(tab)].Enabled || tab == tabCal.Tab) return;
        const int previous = tabCal.Tab;
        tabCal.Tab = tab;
        tabCal_Click(previous);
    });
}

void frmCal::SetCheckBox(CheckBoxId box, int value) noexcept {
    Handled([&] {
        if (displayPass_) return;
        CheckBox& target = box == CheckBoxId::SatNotWork ? chkSatNotWork : chkSunNotWork;
        if (target.Enabled) SetCheckValue(target, value != 0 ? 1 : 0);
    });
}

void frmCal::PickStartDay(double day) noexcept {
    Handled([&] {
        if (displayPass_ || !dtStartDay.Enabled || !automation::IsValidOleDate(day)) return;
        const double picked = automation::OleDatePart(day);
        if (picked >= dtStartDay.MinDate && picked <= kPickerLastDay) dtStartDay.Value = picked;
    });
}

void frmCal::SelectGridRow(GridId grid, int32_t row) noexcept {
    Grid& target = grid == GridId::Work ? sprWork : sprNotWork;
    if (row >= 1 && row <= target.RowCount()) target.ActiveRow = row;
}

component::Outcome frmCal::EditDayNote(GridId grid, int32_t row, const std::string& text) {
    Grid& target = grid == GridId::Work ? sprWork : sprNotWork;
    if (displayPass_ || !target.NotesEditable || row < 1 || row > target.RowCount()) {
        return component::Outcome::Unchanged();
    }
    if (!automation::IsValidUtf8(text)) automation::Raise(errors::kInvalidPropertyValue);
    std::string note(automation::Trim(text, " "));
    if (note == target.Row(row).Note) return component::Outcome::Unchanged();
    target.SetNote(row, std::move(note));
    state_.CalChanged = automation::kTrue;
    cmdSave.Enabled = true;
    return component::Outcome::Done();
}

void frmCal::EditNote(GridId grid, int32_t row, const std::string& text) noexcept {
    Handled([&] {
        try {
            EditDayNote(grid, row, text);
        } catch (...) {
            Shown(component::Outcome::FailedNow());
        }
    });
}

component::Outcome frmCal::ClickMove() {
    if (!cmdMove.Enabled || displayPass_) return component::Outcome::Unchanged();
    if (!gridsComplete_) return Shown(component::Outcome::Refused(kGridsIncomplete));
    return Shown(SwapDay());
}

component::Outcome frmCal::ClickSave() {
    if (!cmdSave.Enabled || displayPass_) return component::Outcome::Unchanged();
    if (!gridsComplete_) return Shown(component::Outcome::Refused(kGridsIncomplete));
    if (state_.IsSetWorkCalendar) return Shown(SaveCalendar());
    // While no calendar is set, Save makes one; the planner then hears how many of its
    // days the stored rules would change, and how to apply them.
    component::Outcome made = Shown(GenerateCalendar());
    const std::optional<std::pair<double, double>> open =
        filled_.empty()
            ? std::nullopt
            : component::RuleApplyRange(filled_.front().first, filled_.back().first, today_());
    if (made.IsDone() && open) {
        const std::string notice = component::RuleDaysNotice(RuleDaysOfNewCalendar(open->first),
                                                             open->first, open->second);
        if (!notice.empty()) {
            ui::Current()->MsgBox(notice, ui::vbOKOnly | ui::vbInformation,
                                  LoadLocalText(component::mdlCal::kNoticeTitle, 0));
        }
    }
    return made;
}

size_t frmCal::RuleDaysOfNewCalendar(double from) {
    if (filled_.empty()) return 0;
    try {
        const std::shared_ptr<host::IDayRules> rules =
            automation::CreateObjectAs<host::IDayRules>(host::progid::kDayRules);
        return rules->DaysToTurn(
            component::mdlCal::Connection(state_), from, filled_.back().first,
            [&](int32_t day) -> std::optional<bool> {
                // The grids' days, in date order.
                const auto held = std::lower_bound(
                    filled_.begin(), filled_.end(), day, [](const auto& kind, int32_t d) {
                        return automation::OleDaySerial(kind.first) < d;
                    });
                if (held == filled_.end() || automation::OleDaySerial(held->first) != day)
                    return std::nullopt;
                return held->second;
            });
    } catch (...) {
        // The calendar is made and shown; a rule store that cannot be asked only means
        // no advice about rules.
        return 0;
    }
}

component::Outcome frmCal::ClickExit() {
    if (displayPass_) return component::Outcome::Unchanged();
    return Shown(Leave());
}

void frmCal::cmdMove_Click() noexcept {
    Handled([&] { ClickMove(); });
}

void frmCal::cmdSave_Click() noexcept {
    Handled([&] { ClickSave(); });
}

void frmCal::cmdExit_Click() noexcept {
    Handled([&] { ClickExit(); });
}

void frmCal::Form_QueryUnload(bool& cancel, UnloadMode mode) noexcept {
    // Only the planner's own close command asks, and it is refused while a generation
    // shows its days; the program, the session's end or an owner window close without a
    // question.
    Guarded([&] {
        if (mode == vbFormControlMenu && (displayPass_ || !MayLeave())) cancel = true;
    });
}

template <class Action>
void frmCal::Handled(Action action) noexcept {
    Guarded(action);
    Guarded([&] { SyncYear(); });
}

void frmCal::cmdYear_Click() noexcept {
    Handled([&] { Shown(OpenYearView()); });
}

void frmCal::CloseYearView() noexcept {
    Handled([&] { yearView.Open = false; });
}

void frmCal::SelectYear(int year) noexcept {
    Handled([&] { Shown(ShowYear(year)); });
}

void frmCal::MoveYearCursor(int days, bool extend) noexcept {
    Handled([&] { Shown(MoveCursor(days, extend)); });
}

void frmCal::ChooseYearDay(double day, YearChoice how) noexcept {
    Handled([&] { Shown(ChooseDays(day, how)); });
}

void frmCal::cmdTurn_Click() noexcept {
    Handled([&] { Shown(TurnChosen()); });
}

void frmCal::EditYearNote(double day, const std::string& text) noexcept {
    Handled([&] { Shown(EditNoteOf(day, text)); });
}

void frmCal::PrintYearTo(const std::string& file) noexcept {
    Handled([&] { Shown(PrintYear(file)); });
}

void RegisterFrmCal(frmCal::ViewOpener openView) {
    automation::RegisterFactory(component::kFrmCalProgId, [openView]() -> automation::ObjectPtr {
        return std::make_shared<frmCal>(component::mdlCal::State(), openView);
    });
}

}  // namespace zev::window
