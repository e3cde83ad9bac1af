// mdlCal (mdlCal.hpp): the thread's component state, its connection and window, and the
// error report.
#include "component/mdlCal.hpp"

#include <memory>

#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/ui/UserInterface.hpp"

namespace zev::component::mdlCal {

using host::MMTS::LoadLocalText;

ComponentState& State() {
    thread_local ComponentState state;
    return state;
}

data::Connection& Connection() {
    return Connection(State());
}

data::Connection& Connection(ComponentState& state) {
    if (!state.ActiveConnection) automation::Raise(automation::errors::kObjectNotSet);
    return *state.ActiveConnection;
}

IModalForm& FormWindow() {
    thread_local std::shared_ptr<IModalForm> window;
    if (!window) window = automation::CreateObjectAs<IModalForm>(kFrmCalProgId);
    return *window;
}

void ShowError() {
    const std::shared_ptr<ui::UserInterface> ui = ui::Current();
    ui->SetMousePointer(ui::vbDefault);
    if (automation::Err().Number == 0) return;

    std::string message = LoadLocalText("错误代码:", 0);
    message += std::to_string(automation::Err().Number);
    message += "\r\n";
    message += LoadLocalText("错误来源:", 0);
    message += automation::Err().Source;
    message += "\r\n";
    message += LoadLocalText("错误信息:", 0);
    message += LoadLocalText(automation::Err().Description, 0);
    const std::string title = LoadLocalText("Halvor提示", 0);
    ui->MsgBox(message, ui::vbOKOnly | ui::vbCritical, title);
}

void ReportCaughtFailure() {
    automation::Err() = automation::CurrentExceptionAsError().Info();
    ShowError();
    automation::ClearErr();
}

}  // namespace zev::component::mdlCal
