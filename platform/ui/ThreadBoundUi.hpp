#pragma once
// An interface that belongs to one thread: the thread that made it is served by `own`
// (a window's message boxes, on the window's thread), every other thread by `others`.
// The current interface is one for the process, and a toolkit's boxes must not be shown
// from a thread that is not the toolkit's.

#include <memory>
#include <thread>

#include "platform/ui/UserInterface.hpp"

namespace zev::ui {

class ThreadBoundUi final : public UserInterface {
  public:
    ThreadBoundUi(std::shared_ptr<UserInterface> own, std::shared_ptr<UserInterface> others)
        : owner_(std::this_thread::get_id()), own_(std::move(own)), others_(std::move(others)) {}

    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override {
        return For().MsgBox(prompt, buttons, title);
    }
    void SetMousePointer(int pointer) override { For().SetMousePointer(pointer); }
    int GetMousePointer() const override { return For().GetMousePointer(); }
    void DoEvents() override { For().DoEvents(); }

  private:
    UserInterface& For() const { return std::this_thread::get_id() == owner_ ? *own_ : *others_; }

    std::thread::id owner_;
    std::shared_ptr<UserInterface> own_;
    std::shared_ptr<UserInterface> others_;
};

}  // namespace zev::ui
