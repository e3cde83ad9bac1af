#pragma once
// frmCal: the calendar maintenance window as state and event handlers, without a
// toolkit. Its controls are plain records (Controls.hpp); a front end (FrmCalView) draws
// them and forwards the planner's actions. Every calendar rule of the window lives here.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "component/CalendarWrite.hpp"
#include "component/ModalForm.hpp"
#include "component/Outcome.hpp"
#include "component/mdlCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/Object.hpp"
#include "window/Controls.hpp"
#include "window/FrmCalView.hpp"

namespace zev::window {

// The refusal of Swap and Save while the grids hold part of the calendar.
inline constexpr const char* kGridsIncomplete =
    "工厂日历没有完整读出，请重新打开窗口后再置换或保存。";

// Today's date on this computer's own clock (not the server's), at midnight.
double ClientToday();

class frmCal final : public FrmCalControls,
                     public FrmCalEvents,
                     public component::IModalForm,
                     public host::IFontWindow,
                     public automation::Object {
  public:
    // Opens a front end for one showing; fails with a clear error when none can be
    // opened (no display, a wrong thread).
    using ViewOpener = std::function<std::unique_ptr<FrmCalView>()>;
    // The client's today, as an OLE date at midnight.
    using Clock = std::function<double()>;

    // The window over `state` (production passes the thread's own), shown through the
    // front ends `openView` makes.
    frmCal(component::ComponentState& state, ViewOpener openView, Clock today = ClientToday);

    // Show modally: the controls go back to their design state, the load step runs, and
    // the front end shows the window until it closes. A failing load ends the opening
    // before the window is shown; showing a window that is open fails with 400.
    void ShowModal() override;
    host::FormFont& WindowFont() override { return Me.Font; }

    // The load step: font, captions, settings, grids, access check.
    void Form_Load();
    // Puts the looked-up texts on the controls; a text that a control refuses leaves the
    // control's text as it was, and the next one is still set.
    void SetCaptions();
    // Fills both grids from the calendar. A failure leaves the rows filled before it; the
    // load step shows it in the error report and goes on, and Swap and Save refuse until
    // the window is opened again on a calendar that loads.
    component::Outcome LoadCalendarGrids();
    // Whether the grids hold the whole calendar: false after a load that failed.
    bool GridsComplete() const { return gridsComplete_; }
    // The current tab changed: swapping is possible on a calendar tab, when granted.
    void tabCal_Click(int previousTab);
    void chkSatNotWork_Click();
    void chkSunNotWork_Click();

    // The planner's operations (frmCalOperations.cpp). Each returns what it came to and
    // shows nothing itself; the buttons show it (mdlCal::ShowOutcome).
    //
    // Makes the calendar from the picker's day and the weekend boxes through the suite's
    // generator, then shows its days in the grids. Refused, with nothing touched, when the
    // start day rests by the boxes' rule; a generator that says why it failed fails in its
    // own words.
    component::Outcome GenerateCalendar();
    // Moves the selected day of the current tab's grid into the other grid, after the
    // guards; nothing changes when a guard refuses or anything fails. Unchanged when the
    // grid has no day to move.
    component::Outcome SwapDay();
    // Moves each of `days` (each in one of the grids) into the other grid after the guards
    // of every one, all or none: the first refusal names its day. Unchanged for none.
    component::Outcome SwapDays(const std::vector<double>& days);
    // Renumbers every day of the calendar from the grids and refreshes the calendar's copy
    // in t_mutiworkcal, all in one calendar write. When another writer has changed the
    // calendar since the grids were filled, the planner's own changes (each day turned,
    // net of days turned back) are applied to the calendar as it now stands, every guard
    // of the swap checked again, and that is saved and shown; a day that can no longer be
    // turned is refused by name and nothing is saved. A failure or a refusal leaves the
    // database as it was and keeps the changes pending, with Save at hand again.
    component::Outcome SaveCalendar();
    // Gives the day of a grid's row (1 to n) the note `text` (spaces around it dropped; an
    // empty text removes it), kept in the grid until Save writes it: an edit changes the
    // calendar as a swap does. Unchanged while notes cannot be edited or when the note
    // already is that; a text that is not UTF-8 fails as a control refuses it.
    component::Outcome EditDayNote(GridId grid, int32_t row, const std::string& text);
    // Leaves the window, asking first when changes would be lost: Unchanged when the
    // planner chooses to stay.
    component::Outcome Leave();

    // What a click on Swap, Save or Exit runs: the button's operation while the button is
    // available (Unchanged when it is not, or while a generation shows its days), its
    // outcome shown as the window shows it, and returned. Save generates while no
    // calendar is set. The command line presses the buttons through these.
    component::Outcome ClickMove();
    component::Outcome ClickSave();
    component::Outcome ClickExit();
    // After a generation: how many days of the calendar the grids were filled with, from
    // `from` on, the stored rules would turn (rule apply does it); 0 without rules.
    size_t RuleDaysOfNewCalendar(double from);

    // The year view (frmCalYear.cpp). Each returns what it came to; the handlers below
    // show it.
    //
    // Opens the view on the year of the work-day grid's current row, that day under the
    // cursor and chosen; read-only unless the access checker grants it now. Unchanged
    // while no calendar is shown or the view is open.
    component::Outcome OpenYearView();
    // Shows `year`, one of the calendar's years; Unchanged for any other.
    component::Outcome ShowYear(int year);
    // Moves the cursor by `days` within the calendar's years, the shown year following
    // it, and chooses as MoveYearCursor says.
    component::Outcome MoveCursor(int days, bool extend);
    // Chooses `day` (a day of the calendar's years) as `how` says; it comes under the
    // cursor.
    component::Outcome ChooseDays(double day, YearChoice how);
    // Turns every chosen day between work and rest through the swap's guards and move:
    // all of them, or, when a guard refuses one, none, the refusal naming that day.
    component::Outcome TurnChosen();
    // Gives `day` the note `text`, as EditDayNote does for its row.
    component::Outcome EditNoteOf(double day, const std::string& text);
    // Writes the year shown as the PDF year planner to `file`; Unchanged for no file.
    component::Outcome PrintYear(const std::string& file);

    // The planner's actions.
    void SelectTab(int tab) noexcept override;
    void SetCheckBox(CheckBoxId box, int value) noexcept override;
    void PickStartDay(double day) noexcept override;
    void SelectGridRow(GridId grid, int32_t row) noexcept override;
    void EditNote(GridId grid, int32_t row, const std::string& text) noexcept override;
    void cmdMove_Click() noexcept override;
    void cmdSave_Click() noexcept override;
    void cmdExit_Click() noexcept override;
    void Form_QueryUnload(bool& cancel, UnloadMode mode) noexcept override;
    void cmdYear_Click() noexcept override;
    void CloseYearView() noexcept override;
    void SelectYear(int year) noexcept override;
    void MoveYearCursor(int days, bool extend) noexcept override;
    void ChooseYearDay(double day, YearChoice how) noexcept override;
    void cmdTurn_Click() noexcept override;
    void EditYearNote(double day, const std::string& text) noexcept override;
    void PrintYearTo(const std::string& file) noexcept override;

  private:
    // Moves each day of `days` into the other grid, each where its date puts it; the
    // guards are the caller's. Everything that can fail comes before the first change.
    void MoveDays(const std::vector<double>& days);
    // The swap of `days`: the guards of each, in date order, and then the move of all;
    // the first refusal ends it with nothing changed, followed by the refused day when
    // `nameDay`.
    component::Outcome TurnDays(const std::vector<double>& days, bool nameDay);
    // Brings the year view up to date with the grids after every action: the year button,
    // and while the view is open its sheet, lines and buttons.
    void SyncYear();
    // Builds the sheet of the year shown and the lines of its days from the grids.
    void BuildYear();
    // Runs a forwarded action, its failures ending in the error report, then SyncYear.
    template <class Action>
    void Handled(Action action) noexcept;
    // Sets a check box's value; a change runs the box's click handler, whoever makes it.
    void SetCheckValue(CheckBox& box, int value);
    bool AccessGranted();
    // Shows the days from startDay up to the day before endDay in the grids, letting the
    // window handle its pending events once per day.
    void DisplayPass(double startDay, double endDay);
    // Whether production scheduling plans by day and has already planned on `day`.
    bool IsDayScheduled(double day);
    // The days the load step's grids would show, with their kinds, read in one
    // statement, as days::KindsOf gives them.
    std::vector<std::pair<double, bool>> ReadKinds();
    // The planner's changes applied to the calendar as it now stands (`now`, as ReadKinds
    // read it inside the save's write): Done with `work` and `notWork` holding the
    // result, or the refusal of the first day that can no longer be turned.
    component::Outcome MergePending(std::vector<std::pair<double, bool>> now, Grid& work,
                                    Grid& notWork);
    // Reads the notes of the grids' days through the suite's note store into their rows;
    // whether the database keeps notes. A database without notes shows none.
    bool LoadNotes();
    // Writes, on the save's connection inside `write`, the note of each day of `work` and
    // `notWork` that differs from what was read, with a history row each: Done, or the
    // store's refusal of the first note it refuses, naming the day.
    component::Outcome WriteNotes(component::CalendarWrite& write, const Grid& work,
                                  const Grid& notWork);
    // Whether leaving may go ahead: asks first when changes would be lost.
    bool MayLeave();
    void Unload();

    component::ComponentState& state_;
    ViewOpener openView_;
    Clock today_;
    // Set while the display pass of a generation runs: input that would start a second
    // generation, change the days being shown or close the window is refused meanwhile.
    bool displayPass_ = false;
    // Each day of the calendar as the grids were last filled from it (loaded, generated or
    // saved) and whether it rested then, in date order: what Save compares the calendar
    // with and the planner's changes are counted from.
    std::vector<std::pair<double, bool>> filled_;
    bool gridsComplete_ = true;
    // The note of each day as last read or saved, for the days that have one.
    std::map<double, std::string> notesFilled_;
    // What the year view's sheet was built from: the grids' revisions, the year and the
    // marks; a change of any builds it again.
    struct YearSource {
        uint64_t work = 0;
        uint64_t notWork = 0;
        int year = 0;
        DayMarks marks;
        bool operator==(const YearSource&) const = default;
    };
    std::optional<YearSource> yearBuilt_;
};

// Registers "ZevWorkCal.frmCal": a window over the creating thread's component state,
// shown through the front ends `openView` makes.
void RegisterFrmCal(frmCal::ViewOpener openView);

}  // namespace zev::window
