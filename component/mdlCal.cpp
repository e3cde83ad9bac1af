// mdlCal: the thread's component state and connection, the thread's window, the error
// report and the display of an operation's outcome. The start-up check is in
// SettingsCheck.cpp.
#include "component/mdlCal.hpp"

#include <memory>
#include <string>

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
    const std::string title = LoadLocalText(kNoticeTitle, 0);
    ui->MsgBox(message, ui::vbOKOnly | ui::vbCritical, title);
}

namespace {

// A refusal and what it names: "text: 2009-06-30", or, when the text is a whole sentence
// ending in a full stop, the name first ("2009-06-30: text."), so that no colon follows a
// full stop in either language.
std::string RefusalText(const std::string& text, const std::string& detail) {
    const bool sentence = text.ends_with("。") || text.ends_with(".");
    if (!sentence || !detail.starts_with(": ")) return text + detail;
    return detail.substr(2) + ": " + text;
}

}  // namespace

void ShowOutcome(const Outcome& outcome) {
    switch (outcome.What()) {
        case Outcome::Kind::Done:
        case Outcome::Kind::Unchanged:
            return;
        case Outcome::Kind::Refused:
            ui::Current()->MsgBox(RefusalText(LoadLocalText(outcome.Text(), 0), outcome.Detail()),
                                  ui::vbOKOnly | ui::vbExclamation, LoadLocalText(kNoticeTitle, 0));
            return;
        case Outcome::Kind::Failed:
            break;
    }
    if (outcome.InOwnWords()) {
        const std::shared_ptr<ui::UserInterface> ui = ui::Current();
        ui->MsgBox(outcome.Text(), ui::vbOKOnly | ui::vbInformation,
                   LoadLocalText(kNoticeTitle, 0));
        ui->SetMousePointer(ui::vbDefault);
        return;
    }
    automation::Err() = outcome.Error();
    ShowError();
    automation::ClearErr();
}

void ReportCaughtFailure() {
    ShowOutcome(Outcome::FailedNow());
}

}  // namespace zev::component::mdlCal
