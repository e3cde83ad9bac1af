#pragma once
// Between frmCal and the front end that shows it: what the planner does in the window
// (FrmCalEvents, which frmCal implements) and what shows it (FrmCalView, which the Qt
// module and the tests' scripted front end implement). Header-only: the Qt module sees
// frmCal through these two interfaces and the control records alone.

#include <memory>
#include <string>

#include "platform/ui/UserInterface.hpp"
#include "window/Controls.hpp"

namespace zev::window {

enum class CheckBoxId { SatNotWork, SunNotWork };
enum class GridId { Work, NotWork };

// Why the window is asked to close.
enum UnloadMode : int {
    vbFormControlMenu = 0,  // the planner: close box, system menu, Alt+F4
    vbFormCode = 1,         // the program
    vbAppWindows = 2,       // the session ends
    vbAppTaskManager = 3,
    vbFormOwner = 5,
};

// The planner's actions, forwarded by the front end. Each handles its own failures
// (through the error report) and never throws.
class FrmCalEvents {
  public:
    virtual ~FrmCalEvents() = default;
    virtual void SelectTab(int tab) noexcept = 0;
    virtual void SetCheckBox(CheckBoxId box, int value) noexcept = 0;
    virtual void PickStartDay(double day) noexcept = 0;
    virtual void SelectGridRow(GridId grid, int32_t row) noexcept = 0;
    // The planner edited the note of a grid's row (1 to n) in place.
    virtual void EditNote(GridId grid, int32_t row, const std::string& text) noexcept = 0;
    virtual void cmdMove_Click() noexcept = 0;
    virtual void cmdSave_Click() noexcept = 0;
    virtual void cmdExit_Click() noexcept = 0;
    // A request to close the window; the handler may cancel it.
    virtual void Form_QueryUnload(bool& cancel, UnloadMode mode) noexcept = 0;

    // The year view: opened by its button, closed by the planner.
    virtual void cmdYear_Click() noexcept = 0;
    virtual void CloseYearView() noexcept = 0;
    // Shows another year (the buttons, Page Up and Page Down).
    virtual void SelectYear(int year) noexcept = 0;
    // Moves the cursor by `days` (the arrow keys: 1 or 7 either way), choosing its day
    // alone, or, with `extend` (Shift), every day from the range's start to it.
    virtual void MoveYearCursor(int days, bool extend) noexcept = 0;
    // The planner clicked a day of the sheet.
    virtual void ChooseYearDay(double day, YearChoice how) noexcept = 0;
    // Turns the chosen days between work and rest (Space, the view's swap button, a click).
    virtual void cmdTurn_Click() noexcept = 0;
    // The planner edited the note of a day of the sheet.
    virtual void EditYearNote(double day, const std::string& text) noexcept = 0;
    // Writes the year shown as a PDF year planner to `file`, which the planner picked.
    virtual void PrintYearTo(const std::string& file) noexcept = 0;
};

// Texts the front end puts on the buttons of its message boxes, in the user's language.
struct MessageBoxTexts {
    std::string Ok;
    std::string Cancel;
    std::string Yes;
    std::string No;
    // The report of no display, written when Qt cannot start after all, just before the
    // process ends with 1 (Qt would end it with an abort).
    std::string NoDisplay;
};

// A front end for one opening of the window.
class FrmCalView {
  public:
    virtual ~FrmCalView() = default;
    // Message boxes, the mouse pointer and pending events while the window is open.
    virtual std::shared_ptr<ui::UserInterface> Interface() = 0;
    // Shows the window modally over `controls`, forwarding the planner's actions to
    // `events` and drawing the controls again after each; returns when the window has
    // closed, by the planner or because the program cleared controls.Me.Open.
    virtual void RunModal(const FrmCalControls& controls, FrmCalEvents& events) = 0;
};

}  // namespace zev::window
