#pragma once
// The console interface: message boxes are written to stderr; a Yes/No question is read
// from stdin when it is a terminal and answered No otherwise.

#include <cstdio>
#include <mutex>

#include "platform/ui/UserInterface.hpp"

namespace zev::ui {

class ConsoleUi final : public UserInterface {
  public:
    ConsoleUi(std::FILE* out = stderr, std::FILE* in = stdin) : out_(out), in_(in) {}

    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
    void SetMousePointer(int pointer) override { pointer_ = pointer; }
    int GetMousePointer() const override { return pointer_; }
    void DoEvents() override {}

  private:
    std::FILE* out_;
    std::FILE* in_;
    int pointer_ = vbDefault;
    std::mutex mutex_;
};

}  // namespace zev::ui
