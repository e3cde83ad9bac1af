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
    const std::lock_guard lock(mutex_);
    ++events_;
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
