#pragma once
// A front end for frmCal without a toolkit: "shows" the window by recording its controls,
// plays a script of the planner's actions, recording the controls after each, and closes
// the window as the planner would when the script ends.

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/ScriptedUi.hpp"
#include "window/FrmCalView.hpp"

namespace zev::test {

using Action = std::function<void(window::FrmCalEvents&)>;

struct Showing {
    bool shown = false;
    // The controls when the window was shown, then after each action.
    std::vector<window::FrmCalControls> controls;
    // Whether the window was open after the script (the planner's close refused).
    bool stayedOpen = false;
};

class ScriptedFrontEnd final : public window::FrmCalView {
  public:
    ScriptedFrontEnd(std::shared_ptr<ui::ScriptedUi> ui, std::vector<Action> script,
                     Showing& record)
        : ui_(std::move(ui)), script_(std::move(script)), record_(record) {}

    std::shared_ptr<ui::UserInterface> Interface() override { return ui_; }

    void RunModal(const window::FrmCalControls& controls, window::FrmCalEvents& events) override {
        record_.shown = true;
        record_.controls.push_back(controls);
        for (const Action& action : script_) {
            action(events);
            record_.controls.push_back(controls);
            if (!controls.Me.Open) return;
        }
        bool cancel = false;
        events.Form_QueryUnload(cancel, window::vbFormControlMenu);
        record_.stayedOpen = cancel;
    }

  private:
    std::shared_ptr<ui::ScriptedUi> ui_;
    std::vector<Action> script_;
    Showing& record_;
};

}  // namespace zev::test
