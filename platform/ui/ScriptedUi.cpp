// The scripted interface for tests (ScriptedUi.hpp): recorded boxes and scripted answers.
#include "platform/ui/ScriptedUi.hpp"

namespace zev::ui {

int ScriptedUi::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    const std::lock_guard lock(mutex_);
    boxes_.push_back({prompt, buttons, title});
    if ((buttons & 7) != vbYesNo) return vbOK;
    if (answers_.empty()) return vbNo;
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void ScriptedUi::SetMousePointer(int pointer) {
    const std::lock_guard lock(mutex_);
    pointer_ = pointer;
}

int ScriptedUi::GetMousePointer() const {
    const std::lock_guard lock(mutex_);
    return pointer_;
}

void ScriptedUi::DoEvents() {
    std::function<void()> hook;
    {
        const std::lock_guard lock(mutex_);
        ++events_;
        hook = onEvents_;
    }
    if (hook) hook();
}

void ScriptedUi::OnEvents(std::function<void()> hook) {
    const std::lock_guard lock(mutex_);
    onEvents_ = std::move(hook);
}

void ScriptedUi::Answer(int result) {
    const std::lock_guard lock(mutex_);
    answers_.push_back(result);
}

std::vector<RecordedBox> ScriptedUi::Boxes() const {
    const std::lock_guard lock(mutex_);
    return boxes_;
}

int ScriptedUi::EventsProcessed() const {
    const std::lock_guard lock(mutex_);
    return events_;
}

}  // namespace zev::ui
