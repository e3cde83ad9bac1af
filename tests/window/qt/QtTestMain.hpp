#pragma once
// The main function of our QtTest programs: QTEST_MAIN's, and then a short wait until the
// threads QtTest started are gone. QtTest's watchdog is a QThread; its wait() returns
// before the thread has let go of its thread data, so a process that ended at once could
// have the leak check at exit find that data owned by nobody.

#include <QApplication>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace zev::test {

// The threads of this process, as Linux lists them.
inline int ThreadCount() {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
         it.increment(error)) {
        ++count;
    }
    return count;
}

// Runs `run` and waits, at most two seconds, until no more threads run than before it.
inline int RunAndAwaitThreads(int (*run)(int, char**), int argc, char** argv) {
    const int before = ThreadCount();
    const int result = run(argc, argv);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (ThreadCount() > before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return result;
}

}  // namespace zev::test

#define ZEV_QTEST_MAIN(TestObject)                                    \
    static int RunQtTests(int argc, char* argv[]) {                   \
        QTEST_MAIN_SETUP()                                            \
        TestObject tc;                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                    \
        return QTest::qExec(&tc, argc, argv);                         \
    }                                                                 \
    int main(int argc, char* argv[]) {                                \
        return zev::test::RunAndAwaitThreads(RunQtTests, argc, argv); \
    }
