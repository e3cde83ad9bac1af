// OpenQtView, RegisterQtWindow and QtModuleSymbol: loading the Qt module from the installed tree
// that holds this code (the program or the component library) and turning its answers into
// errors the error report shows.

#include "window/QtFrontEnd.hpp"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <string>

#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/InstallTree.hpp"
#include "window/QtModule.hpp"
#include "window/frmCal.hpp"

namespace zev::window {
namespace {

namespace fs = std::filesystem;
using automation::ComError;
using automation::MarkedText;
using host::MMTS::LoadLocalText;

constexpr const char* kSource = "ZevWorkCal.frmCal";
constexpr const char* kNoDisplay = "没有可用的显示器，无法打开工厂日历窗口";

[[noreturn]] void Fail(std::string description) {
    throw ComError(automation::errors::kUnspecified, kSource, std::move(description));
}

// The module's file: in the zevworkcal/ folder of the library folder of the tree that holds
// this code, as the catalogues are found in its share/ folder.
fs::path ModuleFile() {
    const std::string libraries =
        automation::install::FolderOf(automation::install::Part::Libraries);
    return fs::path(libraries) / kQtModuleFolder / kQtModuleFile;
}

// The module, loaded once for the life of the process: Qt cannot be unloaded. A failure
// names the file and what the loader said of it.
void* ModuleHandle() {
    static std::mutex mutex;
    static void* handle = nullptr;
    const std::lock_guard lock(mutex);
    if (handle != nullptr) return handle;

    const fs::path file = ModuleFile();
    handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        Fail(MarkedText("无法载入工厂日历窗口模块",
                        ": " + file.string() + " (" + (reason != nullptr ? reason : "") + ")"));
    }
    return handle;
}

QtModuleEntry ModuleEntry() {
    return reinterpret_cast<QtModuleEntry>(QtModuleSymbol(kQtModuleEntry));
}

}  // namespace

void* QtModuleSymbol(const char* name) {
    void* handle = ModuleHandle();
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        Fail(MarkedText("无法载入工厂日历窗口模块",
                        ": " + ModuleFile().string() + " (" + name + ")"));
    }
    return symbol;
}

std::unique_ptr<FrmCalView> OpenQtView() {
    const QtModuleEntry entry = ModuleEntry();
    const MessageBoxTexts texts{LoadLocalText("确定", 0), LoadLocalText("取消", 0),
                                LoadLocalText("是(&Y)", 0), LoadLocalText("否(&N)", 0),
                                LoadLocalText(kNoDisplay, 0)};
    FrmCalView* view = nullptr;
    switch (entry(kQtModuleVersion, &texts, &view)) {
        case kQtOpened:
            return std::unique_ptr<FrmCalView>(view);
        case kQtNoDisplay:
            Fail(MarkedText(kNoDisplay));
        case kQtOtherThread:
            Fail(MarkedText("工厂日历窗口只能在运行 Qt 应用程序的线程中打开"));
        case kQtNoWidgets:
            Fail(MarkedText("本进程的 Qt 应用程序不支持窗口部件，无法打开工厂日历窗口"));
        case kQtWrongVersion:
            Fail(MarkedText("工厂日历窗口模块的版本不对"));
        default:
            Fail(MarkedText("无法打开工厂日历窗口"));
    }
}

void RegisterQtWindow() {
    RegisterFrmCal(OpenQtView);
}

}  // namespace zev::window
