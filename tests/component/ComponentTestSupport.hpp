#pragma once
// Helpers shared by the component's tests.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>

#include "platform/automation/ComError.hpp"
#include "platform/ui/ScriptedUi.hpp"
#include "tests/support/ErrorNumber.hpp"

namespace zev::test {

// The component state and the text caches are per thread and never cleared, so each
// scenario that depends on a fresh state runs on a thread of its own.
inline void OnFreshThread(const std::function<void()>& body) {
    std::thread([&] { body(); }).join();
}

// Makes a scripted user interface current for the test.
class WithScriptedUi {
  public:
    WithScriptedUi() : ui_(std::make_shared<ui::ScriptedUi>()), scope_(ui_) {}
    ui::ScriptedUi& Ui() { return *ui_; }

  private:
    std::shared_ptr<ui::ScriptedUi> ui_;
    ui::ScopedUserInterface scope_;
};

}  // namespace zev::test
