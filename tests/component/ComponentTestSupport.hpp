#pragma once
// Helpers shared by the component's tests.

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
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

// A thread of its own that keeps its component state between the pieces of work given to
// it, so that two calendars on their own connections can be asked side by side, in turn.
class Apartment {
  public:
    Apartment() : thread_([this] { Loop(); }) {}
    ~Apartment() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

    // Runs `work` on the apartment's thread and waits until it has run.
    void Run(const std::function<void()>& work) {
        std::unique_lock lock(mutex_);
        work_ = &work;
        changed_.notify_all();
        changed_.wait(lock, [&] { return work_ == nullptr; });
    }

  private:
    void Loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return done_ || work_ != nullptr; });
            if (work_ == nullptr) return;
            lock.unlock();
            try {
                (*work_)();
            } catch (const std::exception& e) {
                ADD_FAILURE() << "the apartment's work threw: " << e.what();
            }
            lock.lock();
            work_ = nullptr;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    const std::function<void()>* work_ = nullptr;
    bool done_ = false;
    std::thread thread_;
};

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
