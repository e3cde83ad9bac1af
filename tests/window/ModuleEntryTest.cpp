// The Qt module's entry in a process that runs no Qt application yet, as the command line
// is: which environments it refuses before Qt could end the process, the application it
// makes, and the thread it then insists on.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>

#include "window/QtModule.hpp"

namespace zev::test {
namespace {

void Set(const char* name, const char* value) {
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value, 1);
    }
}

TEST(QtModuleEntry, RefusesWhatQtCouldNotStartThenMakesTheApplicationForItsThread) {
    void* module = dlopen(ZEV_QT_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    const auto entry =
        reinterpret_cast<window::QtModuleEntry>(dlsym(module, window::kQtModuleEntry));
    ASSERT_NE(entry, nullptr);
    const window::MessageBoxTexts texts{"OK", "Cancel", "&Yes", "&No", "No display"};
    const auto open = [&](int version = window::kQtModuleVersion) {
        window::FrmCalView* view = nullptr;
        const int result = entry(version, &texts, &view);
        EXPECT_EQ(view != nullptr, result == window::kQtOpened);
        delete view;
        return result;
    };

    struct Case {
        const char* platform;
        const char* display;
        int expected;
    };
    const Case refused[] = {
        {nullptr, nullptr, window::kQtNoDisplay},        // X11 by default, and no display
        {"xcb", ":97", window::kQtNoDisplay},            // a display nobody serves
        {"xcb:nograb", "", window::kQtNoDisplay},        // options after the name
        {"wayland", nullptr, window::kQtNoDisplay},      // no compositor named
        {"nosuchplatform", ":0", window::kQtNoDisplay},  // no plugin
    };
    Set("WAYLAND_DISPLAY", nullptr);
    for (const Case& c : refused) {
        SCOPED_TRACE(c.platform ? c.platform : "(default)");
        Set("QT_QPA_PLATFORM", c.platform);
        Set("DISPLAY", c.display);
        EXPECT_EQ(open(), c.expected);
    }
    EXPECT_EQ(open(window::kQtModuleVersion + 1), window::kQtWrongVersion);

    // A platform that needs no display: the entry makes the application on this thread.
    Set("QT_QPA_PLATFORM", "nosuchplatform;offscreen");
    EXPECT_EQ(open(), window::kQtOpened);
    EXPECT_EQ(open(), window::kQtOpened);
    int elsewhere = -1;
    std::thread([&] { elsewhere = open(); }).join();
    EXPECT_EQ(elsewhere, window::kQtOtherThread);
}

}  // namespace
}  // namespace zev::test
