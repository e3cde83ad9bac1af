// The current user interface of the process (UserInterface.hpp) and its replacement.
#include "platform/ui/UserInterface.hpp"

#include <mutex>

#include "platform/ui/ConsoleUi.hpp"

namespace zev::ui {
namespace {

struct Slot {
    std::mutex mutex;
    std::shared_ptr<UserInterface> current = std::make_shared<ConsoleUi>();
};

Slot& TheSlot() {
    static Slot slot;
    return slot;
}

}  // namespace

std::shared_ptr<UserInterface> Current() {
    Slot& s = TheSlot();
    const std::lock_guard lock(s.mutex);
    return s.current;
}

std::shared_ptr<UserInterface> SetCurrent(std::shared_ptr<UserInterface> ui) {
    Slot& s = TheSlot();
    const std::lock_guard lock(s.mutex);
    if (!ui) ui = std::make_shared<ConsoleUi>();
    std::swap(s.current, ui);
    return ui;
}

}  // namespace zev::ui
