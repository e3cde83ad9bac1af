#pragma once
// frmCal: the calendar maintenance window as state and event handlers, without a
// toolkit. Its controls are plain records (Controls.hpp); a front end (FrmCalView) draws
// them and forwards the planner's actions. Every calendar rule of the window lives here.

#include <functional>
#include <memory>

#include "component/ModalForm.hpp"
#include "component/mdlCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/Object.hpp"
#include "window/Controls.hpp"
#include "window/FrmCalView.hpp"

namespace zev::window {

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
    // Fills both grids from the calendar; a failure is shown in the error report, and the
    // rows filled before it stay.
    void LoadCalendarGrids();
    // The current tab changed: swapping is possible on a calendar tab, when granted.
    void tabCal_Click(int previousTab);
    void chkSatNotWork_Click();
    void chkSunNotWork_Click();

    // The planner's actions.
    void SelectTab(int tab) noexcept override;
    void SetCheckBox(CheckBoxId box, int value) noexcept override;
    void PickStartDay(double day) noexcept override;
    void SelectGridRow(GridId grid, int32_t row) noexcept override;
    void cmdMove_Click() noexcept override;
    void cmdSave_Click() noexcept override;
    void cmdExit_Click() noexcept override;
    void Form_QueryUnload(bool& cancel, UnloadMode mode) noexcept override;

  private:
    // Sets a check box's value; a change runs the box's click handler, whoever makes it.
    void SetCheckValue(CheckBox& box, int value);
    bool AccessGranted();
    // Whether leaving may go ahead: asks first when changes would be lost.
    bool MayLeave();
    void Unload();

    component::ComponentState& state_;
    ViewOpener openView_;
    Clock today_;
};

// Registers "ZevWorkCal.frmCal": a window over the creating thread's component state,
// shown through the front ends `openView` makes.
void RegisterFrmCal(frmCal::ViewOpener openView);

}  // namespace zev::window
