#pragma once
// An interface for tests: records every message box and the mouse pointer, and answers
// questions from a script (vbOK, or for Yes/No questions the next scripted answer); input
// during pending events can be scripted too.

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/UserInterface.hpp"

namespace zev::ui {

struct RecordedBox {
    std::string prompt;
    int buttons;
    std::string title;
};

class ScriptedUi final : public UserInterface {
  public:
    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
    void SetMousePointer(int pointer) override;
    int GetMousePointer() const override;
    void DoEvents() override;

    // Answers for the coming Yes/No questions, in order; without one a question is
    // answered No.
    void Answer(int result);
    // Runs `hook` at every processing of pending events, as input arriving meanwhile.
    void OnEvents(std::function<void()> hook);
    std::vector<RecordedBox> Boxes() const;
    int EventsProcessed() const;

  private:
    mutable std::mutex mutex_;
    std::vector<RecordedBox> boxes_;
    std::deque<int> answers_;
    int pointer_ = vbDefault;
    int events_ = 0;
    std::function<void()> onEvents_;
};

}  // namespace zev::ui
