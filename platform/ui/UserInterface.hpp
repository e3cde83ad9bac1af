#pragma once
// What the component asks of the user interface: message boxes, the application's mouse
// pointer and the processing of pending events. The console, a test script and the real
// window each provide it; one is current for the process.

#include <memory>
#include <string>

namespace zev::ui {

// Buttons and icons of a message box, as the flags combine them.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbCritical = 16,
    vbExclamation = 48,
    vbInformation = 64,
};

// The button that closed a message box.
enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbYes = 6,
    vbNo = 7,
};

// Mouse pointers of the application.
enum MousePointer : int {
    vbDefault = 0,
    vbHourglass = 11,
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;
    // Shows a box and waits until the user closes it; returns the button pressed.
    virtual int MsgBox(const std::string& prompt, int buttons, const std::string& title) = 0;
    virtual void SetMousePointer(int pointer) = 0;
    virtual int GetMousePointer() const = 0;
    // Lets the interface handle what is pending (repaint, input) once.
    virtual void DoEvents() = 0;
};

// The current interface of the process; the console one until another is set.
std::shared_ptr<UserInterface> Current();
// Makes `ui` current and returns the one it replaces.
std::shared_ptr<UserInterface> SetCurrent(std::shared_ptr<UserInterface> ui);

// Makes an interface current for the lifetime of the guard.
class ScopedUserInterface {
  public:
    explicit ScopedUserInterface(std::shared_ptr<UserInterface> ui)
        : previous_(SetCurrent(std::move(ui))) {}
    ~ScopedUserInterface() { SetCurrent(std::move(previous_)); }
    ScopedUserInterface(const ScopedUserInterface&) = delete;
    ScopedUserInterface& operator=(const ScopedUserInterface&) = delete;

  private:
    std::shared_ptr<UserInterface> previous_;
};

}  // namespace zev::ui
