// OpenQtView, RegisterQtWindow and QtModuleSymbol: loading the Qt module (beside the program or
// library that holds this code, or in the lib/ folder beside its bin/) and turning its answers into
// errors the error report shows.

#include "window/QtFrontEnd.hpp"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <string>

#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ComServer.hpp"
#include "window/QtModule.hpp"
#include "window/frmCal.hpp"

namespace zev::window {
namespace {

namespace fs = std::filesystem;
using automation::ComError;
using automation::MarkedText;
using host::MMTS::LoadLocalText;

constexpr const char* kSource = "ZevWorkCal.frmCal";

[[noreturn]] void Fail(std::string description) {
    throw ComError(automation::errors::kUnspecified, kSource, std::move(description));
}

// The module, loaded once for the life of the process: Qt cannot be unloaded.
void* ModuleHandle() {
    static std::mutex mutex;
    static void* handle = nullptr;
    const std::lock_guard lock(mutex);
    if (handle != nullptr) return handle;

    const fs::path here =
        fs::path(automation::com::ModulePathOf(reinterpret_cast<const void*>(&ModuleHandle)))
            .parent_path();
    // What went wrong with each file tried, or where the module was looked for.
    std::string problems;
    for (const fs::path& folder : {here, here.parent_path() / "lib"}) {
        const fs::path file = folder / kQtModuleFile;
        if (!fs::exists(file)) continue;
        handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) return handle;
        problems.append(" ").append(::dlerror());
    }
    if (problems.empty()) problems.append(" ").append((here / kQtModuleFile).string());
    Fail(MarkedText("无法载入工厂日历窗口模块", ":" + problems));
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
                        std::string(": ") + kQtModuleFile + ": no " + name));
    }
    return symbol;
}

std::unique_ptr<FrmCalView> OpenQtView() {
    const QtModuleEntry entry = ModuleEntry();
    const MessageBoxTexts texts{LoadLocalText("确定", 0), LoadLocalText("取消", 0),
                                LoadLocalText("是(&Y)", 0), LoadLocalText("否(&N)", 0)};
    FrmCalView* view = nullptr;
    switch (entry(kQtModuleVersion, &texts, &view)) {
        case kQtOpened:
            return std::unique_ptr<FrmCalView>(view);
        case kQtNoDisplay:
            Fail(MarkedText("没有可用的显示器，无法打开工厂日历窗口"));
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
