#pragma once
// The user interface of the window's thread on Qt: message boxes as QMessageBox with the
// icon and buttons of the flags, the mouse pointer as the application's override cursor,
// and pending events processed by the Qt application.

#include <functional>
#include <string>

#include "platform/ui/UserInterface.hpp"
#include "window/FrmCalView.hpp"

namespace zev::window::qt {

class QtUserInterface final : public ui::UserInterface {
  public:
    explicit QtUserInterface(MessageBoxTexts texts) : texts_(std::move(texts)) {}
    // Gives back an override cursor still set.
    ~QtUserInterface() override;
    QtUserInterface(const QtUserInterface&) = delete;
    QtUserInterface& operator=(const QtUserInterface&) = delete;

    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
    void SetMousePointer(int pointer) override;
    int GetMousePointer() const override { return pointer_; }
    // Runs the hook (the window draws its state), then the pending events.
    void DoEvents() override;

    void SetBeforeEvents(std::function<void()> hook) { beforeEvents_ = std::move(hook); }

  private:
    MessageBoxTexts texts_;
    int pointer_ = ui::vbDefault;
    bool overriding_ = false;
    std::function<void()> beforeEvents_;
};

}  // namespace zev::window::qt
