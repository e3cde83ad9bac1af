// frmCal: the design state of the window, its load step, the captions, the calendar
// grids, the planner's operations (generation, day swap, save, leaving) and the handlers
// that run them; RegisterFrmCal and ClientToday.

#include "window/frmCal.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "host/MMTS.hpp"
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

namespace zev::window {
namespace {

using automation::Variant;
using host::MMTS::LoadLocalText;
namespace errors = automation::errors;

constexpr const char* kNotice = "Halvor提示";
constexpr const char* kLeaveQuestion =
    "工作日历已做过改动，现在退出将放弃本次所做的工作，是否仍要退出？";
constexpr const char* kRestDayStart = "工厂日历开始日不能为休息日，请重新设置。";
constexpr const char* kStartDaySwap = "工厂日历起始日不能被置换为休息日。";
constexpr const char* kPastDaySwap = "被置换的日期不能早于或等于当前系统日期。";
constexpr const char* kScheduledDaySwap = "此日期已经作过生产排产或生产汇报，不能置换为休息日。";

// The calendar's copy for the rest of the suite, calendar number 999, made anew from
// t_WorkCalendar after every save.
constexpr const char* kMultiCalendarRefresh =
    "Delete from t_mutiworkcal where FCalID=999 \r\n insert t_mutiworkcal select "
    "finterid,fday,fdayid,fweekid,fmonthid,fyearid,999 from t_workcalendar";
// A batch of numbering statements is sent once it is longer than this, so that each
// Execute carries about a thousand characters and no statement is split.
constexpr size_t kBatchLength = 1000;

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
    c.cmdSave = {"保存(&S)", true, {5370, 885, 1275, 375}, 3};
    c.cmdExit = {"退出(&E)", true, {5370, 1485, 1275, 375}, 4};
    c.lblStartDay = {"工厂日历起始日：", {240, 840, 2535, 285}, 5};
    c.chkSatNotWork = {"周六是休息日", true, 0, {240, 1560, 4215, 255}, 6};
    c.chkSunNotWork = {"周日是休息日", true, 0, {240, 1920, 4335, 255}, 7};
    c.dtStartDay = {true, kPickerFirstDay, kPickerFirstDay, {2760, 840, 1335, 255}, 8};
    c.cmdMove = {"置换(&M)", true, {5355, 270, 1275, 375}, 9};
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

// The full weekday names in the user's language, Sunday first, as OleWeekday counts.
std::array<std::string, 7> WeekdayNames() {
    static constexpr const char* kNames[] = {"星期日", "星期一", "星期二", "星期三",
                                             "星期四", "星期五", "星期六"};
    std::array<std::string, 7> names;
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = LoadLocalText(kNames[i], 0);
    return names;
}

const std::string& WeekdayOf(double day, const std::array<std::string, 7>& names) {
    return names[static_cast<size_t>(automation::OleWeekday(day) - 1)];
}

// The weekend rule: a Saturday is a rest day when Saturdays rest, a Sunday when Sundays do.
bool IsRestDay(double day, bool satNotWork, bool sunNotWork) {
    const int weekday = automation::OleWeekday(day);
    return (weekday == 7 && satNotWork) || (weekday == 1 && sunNotWork);
}

// The first day of a period of a year, read from its text as "2009-6-01"; a period that
// is no month does not convert (13).
double FirstDayOfPeriod(int64_t year, int32_t period) {
    return automation::CDate(Variant(std::to_string(year) + "-" + std::to_string(period) + "-01"));
}

// A refusal of the planner's action, in a box with the exclamation icon.
void Refuse(const char* text) {
    ui::Current()->MsgBox(LoadLocalText(text, 0), ui::vbOKOnly | ui::vbExclamation,
                          LoadLocalText(kNotice, 0));
}

// Sends one UPDATE per row of `grid`, in row order, in batches of just over kBatchLength
// characters: FInterID 0 for every rest day, the row number for every work day.
void SendNumbering(data::Connection& connection, const Grid& grid, bool workDays) {
    std::string batch;
    const int32_t rows = grid.RowCount();
    for (int32_t r = 1; r <= rows; ++r) {
        batch += "UPDATE t_WorkCalendar SET FInterID=";
        batch += workDays ? std::to_string(r) : "0";
        batch += " WHERE FDay='";
        batch += automation::FormatIsoDate(grid.Row(r).Day);
        batch += "'\r\n";
        if (automation::Trim(batch, " ").size() > kBatchLength) {
            connection.Execute(batch);
            batch.clear();
        }
    }
    if (!automation::Trim(batch, " ").empty()) connection.Execute(batch);
}

// Ends the save's transaction after a failure; a rollback that fails as well (the
// connection lost) leaves the first failure to be reported.
void RollBack(data::Connection& connection) noexcept {
    try {
        connection.Execute("ROLLBACK");
    } catch (...) {
        // The engine has ended the transaction with the connection.
    }
}

// Marks a flag for the lifetime of a scope.
class ScopedFlag {
  public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

  private:
    bool& flag_;
};

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
            grid.Append({day, WeekdayOf(day, weekdays)});
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
    if (state_.IsSetWorkCalendar) {
        // The calendar exists: its start day and weekend rules are fixed.
        chkSatNotWork.Enabled = false;
        chkSunNotWork.Enabled = false;
        dtStartDay.Value = PickerDay(state_.CalStartDay);
        dtStartDay.Enabled = false;
        SetCheckValue(chkSatNotWork, state_.SatNotWork ? 1 : 0);
        SetCheckValue(chkSunNotWork, state_.SunNotWork ? 1 : 0);
        cmdSave.Enabled = false;
        LoadCalendarGrids();
    } else {
        // No calendar yet: only the settings tab is of use, and Save generates. The start
        // day may not lie before the first day of the start period.
        tabCal.Tabs[0].Enabled = false;
        tabCal.Tabs[1].Enabled = false;
        cmdMove.Enabled = false;
        dtStartDay.MinDate = PickerDay(FirstDayOfPeriod(state_.StartYear, state_.StartPeriod));
        dtStartDay.Value = dtStartDay.MinDate;
    }
    if (!AccessGranted()) {
        cmdMove.Enabled = false;
        cmdSave.Enabled = false;
        chkSatNotWork.Enabled = false;
        chkSunNotWork.Enabled = false;
    }
    // Setting the check boxes above ran their handlers; what the load sets is no change.
    state_.WeekendChanged = automation::kFalse;
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
    };
    for (const auto& [target, text] : captions) {
        try {
            SetText(*target, LoadLocalText(text, 0));
        } catch (...) {
            // The control keeps the text it had; the next caption is still set.
        }
    }
}

void frmCal::LoadCalendarGrids() {
    try {
        data::Connection& connection = component::mdlCal::Connection(state_);
        const std::array<std::string, 7> weekdays = WeekdayNames();
        const double today = today_();
        FillGrid(connection, sprNotWork,
                 "SELECT FDay FROM t_WorkCalendar WHERE FInterID=0 ORDER BY FDay", weekdays, today);
        // Only the work-day grid is searched for today.
        const int32_t todayRow = FillGrid(
            connection, sprWork, "SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 ORDER BY FDay",
            weekdays, today);
        if (todayRow != 0) sprWork.ShownRow = todayRow;
    } catch (...) {
        component::mdlCal::ReportCaughtFailure();
    }
}

bool frmCal::AccessGranted() {
    const std::shared_ptr<host::IGLData> checker = host::SysObjects::GetGLData();
    return checker->AccessCheck(kAccessModule, kAccessObject, kAccessRight) != automation::kFalse;
}

void frmCal::tabCal_Click(int /*previousTab*/) {
    const bool calendarTab = tabCal.Tab == 0 || tabCal.Tab == 1;
    try {
        cmdMove.Enabled = AccessGranted() && calendarTab;
    } catch (...) {
        // Without an answer the swap stays off.
        cmdMove.Enabled = false;
        component::mdlCal::ReportCaughtFailure();
    }
}

void frmCal::GenerateCalendar() {
    try {
        const std::shared_ptr<ui::UserInterface> ui = ui::Current();
        double startDay = dtStartDay.Value;
        if (IsRestDay(startDay, chkSatNotWork.Value == 1, chkSunNotWork.Value == 1)) {
            Refuse(kRestDayStart);
            return;
        }
        cmdSave.Enabled = false;
        ui->SetMousePointer(ui::vbHourglass);
        // From here on the old calendar is gone, whatever happens.
        data::Connection& connection = component::mdlCal::Connection(state_);
        connection.Execute(" DELETE FROM t_WorkCalendar ");
        // The calendar ends three years after the current period begins.
        double endDay = FirstDayOfPeriod(int64_t{state_.CurrentYear} + 3, state_.CurrentPeriod);
        state_.SunNotWork = automation::ToVBool(chkSunNotWork.Value == 1);
        state_.SatNotWork = automation::ToVBool(chkSatNotWork.Value == 1);
        std::string errorText;
        bool made = false;
        {
            const std::shared_ptr<host::IWorkCal> generator =
                automation::CreateObjectAs<host::IWorkCal>(host::progid::kWorkCal);
            made = automation::CBool(generator->InitCal(host::MMTS::GetPropsString(), startDay,
                                                        endDay, state_.SatNotWork,
                                                        state_.SunNotWork, errorText));
        }
        if (!made) {
            // The generator's own text, as it gave it.
            ui->MsgBox(errorText, ui::vbOKOnly | ui::vbInformation, LoadLocalText(kNotice, 0));
            ui->SetMousePointer(ui::vbDefault);
            return;
        }
        // The generator may have moved the days it was given; the grids show what it made.
        DisplayPass(startDay, endDay);
        tabCal.Tabs[0].Enabled = true;
        tabCal.Tabs[1].Enabled = true;
        dtStartDay.Enabled = false;
        chkSatNotWork.Enabled = false;
        chkSunNotWork.Enabled = false;
        state_.IsSetWorkCalendar = automation::kTrue;
        state_.CalChanged = automation::kFalse;
        state_.WeekendChanged = automation::kFalse;
        ui->SetMousePointer(ui::vbDefault);
    } catch (...) {
        component::mdlCal::ReportCaughtFailure();
    }
}

void frmCal::DisplayPass(double startDay, double endDay) {
    const ScopedFlag passing(displayPass_);
    const std::array<std::string, 7> weekdays = WeekdayNames();
    // The rule handed to the generator, whatever the boxes show meanwhile.
    const bool satNotWork = state_.SatNotWork != 0;
    const bool sunNotWork = state_.SunNotWork != 0;
    // A pass that failed before left its rows; they are not shown twice.
    sprWork.Clear();
    sprNotWork.Clear();
    const std::shared_ptr<ui::UserInterface> ui = ui::Current();
    const double first = automation::OleDatePart(startDay);
    const int64_t days =
        int64_t{automation::OleDaySerial(endDay)} - automation::OleDaySerial(startDay);
    for (int64_t n = 1; n <= days; ++n) {
        // The window repaints and answers the planner between days.
        ui->DoEvents();
        const double day = first + static_cast<double>(n - 1);
        Grid& grid = IsRestDay(day, satNotWork, sunNotWork) ? sprNotWork : sprWork;
        grid.Append({day, WeekdayOf(day, weekdays)});
    }
}

void frmCal::SwapDay() {
    try {
        if (tabCal.Tab != 0 && tabCal.Tab != 1) return;
        // Tab 0 turns a work day into a rest day, tab 1 a rest day into a work day.
        const bool toRest = tabCal.Tab == 0;
        Grid& source = toRest ? sprWork : sprNotWork;
        Grid& target = toRest ? sprNotWork : sprWork;
        if (source.RowCount() == 0) return;
        const int32_t row = source.ActiveRow;
        const double day = source.Row(row).Day;
        if (toRest && row == 1) return Refuse(kStartDaySwap);
        if (day <= state_.ServerDate) return Refuse(kPastDaySwap);
        if (toRest && IsDayScheduled(day)) return Refuse(kScheduledDaySwap);

        // All that can fail comes before the first change, so that a failure leaves the
        // day in its grid: the new row, the place for it and the room in the target.
        GridRow moved{day, WeekdayOf(day, WeekdayNames())};
        const std::vector<GridRow>& rows = target.Rows();
        const auto later =
            std::find_if(rows.begin(), rows.end(), [day](const GridRow& r) { return r.Day > day; });
        const auto at = static_cast<int32_t>(later - rows.begin()) + 1;
        target.ReserveOneMore();
        source.RemoveRow(row);
        target.InsertRow(at, std::move(moved));
        state_.CalChanged = automation::kTrue;
        cmdSave.Enabled = true;
    } catch (...) {
        component::mdlCal::ReportCaughtFailure();
    }
}

bool frmCal::IsDayScheduled(double day) {
    data::Connection& connection = component::mdlCal::Connection(state_);
    data::Recordset cycle = connection.Execute(
        "SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='PlanCycle'");
    if (cycle.Eof()) return false;
    // The cycle is stored as the period word of the user's language.
    const bool byDay = automation::CStr(cycle.Fields("FValue").Value()) == LoadLocalText("天", 0);
    cycle.Close();
    if (!byDay) return false;
    data::Recordset period = connection.Execute("SELECT FDayID FROM t_WorkCalendar WHERE FDay='" +
                                                automation::FormatIsoDate(day) + "'");
    const int32_t dayId = automation::CLng(period.Fields(0).Value());
    period.Close();
    data::Recordset lines = connection.Execute("SELECT * FROM t_WOScheduleDetail WHERE FSeqID=" +
                                               std::to_string(dayId));
    const bool scheduled = !lines.Eof();
    lines.Close();
    return scheduled;
}

void frmCal::SaveCalendar() {
    cmdSave.Enabled = false;
    try {
        data::Connection& connection = component::mdlCal::Connection(state_);
        const std::shared_ptr<ui::UserInterface> ui = ui::Current();
        // One transaction: no reader sees half a numbering, and a failure undoes it all.
        connection.Execute("BEGIN TRANSACTION");
        try {
            if (state_.CalChanged) {
                ui->SetMousePointer(ui::vbHourglass);
                // Rest days first, then the work days numbered by their rows.
                SendNumbering(connection, sprNotWork, false);
                SendNumbering(connection, sprWork, true);
                ui->SetMousePointer(ui::vbDefault);
            }
            connection.Execute(kMultiCalendarRefresh);
            connection.Execute("COMMIT");
        } catch (...) {
            RollBack(connection);
            throw;
        }
        state_.CalChanged = automation::kFalse;
    } catch (...) {
        // Nothing was saved: the changes stay pending and Save stays at hand.
        cmdSave.Enabled = true;
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
    Guarded([&] {
        if (tab < 0 || tab >= static_cast<int>(tabCal.Tabs.size())) return;
        if (!tabCal.Tabs[static_cast<size_t>(tab)].Enabled || tab == tabCal.Tab) return;
        const int previous = tabCal.Tab;
        tabCal.Tab = tab;
        tabCal_Click(previous);
    });
}

void frmCal::SetCheckBox(CheckBoxId box, int value) noexcept {
    Guarded([&] {
        if (displayPass_) return;
        CheckBox& target = box == CheckBoxId::SatNotWork ? chkSatNotWork : chkSunNotWork;
        if (target.Enabled) SetCheckValue(target, value != 0 ? 1 : 0);
    });
}

void frmCal::PickStartDay(double day) noexcept {
    Guarded([&] {
        if (displayPass_ || !dtStartDay.Enabled || !automation::IsValidOleDate(day)) return;
        const double picked = automation::OleDatePart(day);
        if (picked >= dtStartDay.MinDate && picked <= kPickerLastDay) dtStartDay.Value = picked;
    });
}

void frmCal::SelectGridRow(GridId grid, int32_t row) noexcept {
    Grid& target = grid == GridId::Work ? sprWork : sprNotWork;
    if (row >= 1 && row <= target.RowCount()) target.ActiveRow = row;
}

void frmCal::cmdMove_Click() noexcept {
    Guarded([&] {
        if (cmdMove.Enabled && !displayPass_) SwapDay();
    });
}

void frmCal::cmdSave_Click() noexcept {
    Guarded([&] {
        if (!cmdSave.Enabled || displayPass_) return;
        // While no calendar is set, Save makes one.
        if (state_.IsSetWorkCalendar) {
            SaveCalendar();
        } else {
            GenerateCalendar();
        }
    });
}

void frmCal::cmdExit_Click() noexcept {
    Guarded([&] {
        if (!displayPass_ && MayLeave()) Unload();
    });
}

void frmCal::Form_QueryUnload(bool& cancel, UnloadMode mode) noexcept {
    // Only the planner's own close command asks, and it is refused while a generation
    // shows its days; the program, the session's end or an owner window close without a
    // question.
    Guarded([&] {
        if (mode == vbFormControlMenu && (displayPass_ || !MayLeave())) cancel = true;
    });
}

bool frmCal::MayLeave() {
    if (!state_.CalChanged && !state_.WeekendChanged) return true;
    const int answer =
        ui::Current()->MsgBox(LoadLocalText(kLeaveQuestion, 0), ui::vbYesNo | ui::vbExclamation,
                              LoadLocalText(kNotice, 0));
    return answer != ui::vbNo;
}

void frmCal::Unload() {
    bool cancel = false;
    Form_QueryUnload(cancel, vbFormCode);
    if (!cancel) Me.Open = false;
}

void RegisterFrmCal(frmCal::ViewOpener openView) {
    automation::RegisterFactory(component::kFrmCalProgId, [openView]() -> automation::ObjectPtr {
        return std::make_shared<frmCal>(component::mdlCal::State(), openView);
    });
}

}  // namespace zev::window
