// The steps several commands share (Command.hpp): the console interface of a run, the
// schema check, the connection, the calendar's name, the printing of a date answer, and the
// maintenance window without a display.
#include "apps/zevworkcal/Command.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "component/mdlCal.hpp"
#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/ConnectionString.hpp"
#include "suite/AppConnection.hpp"
#include "suite/Schema.hpp"

namespace zev::cli {

namespace {

constexpr const char* kSource = "zevworkcal";

// Shows the window to a command instead of a planner: hands it to the command's action.
class WindowlessView final : public window::FrmCalView {
  public:
    WindowlessView(window::frmCal*& form, const std::function<void(window::frmCal&)>& act)
        : form_(form), act_(act) {}
    std::shared_ptr<ui::UserInterface> Interface() override { return ui::Current(); }
    void RunModal(const window::FrmCalControls&, window::FrmCalEvents&) override { act_(*form_); }

  private:
    window::frmCal*& form_;
    const std::function<void(window::frmCal&)>& act_;
};

}  // namespace

int CliUi::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    if ((buttons & ui::vbCritical) == ui::vbCritical) failed_ = true;
    return console_.MsgBox(prompt, buttons, title);
}

data::ConnectionPtr AppConnection() {
    try {
        return automation::CreateObjectAs<data::Connection>(host::progid::kAppConnection);
    } catch (const automation::ComError& e) {
        // A database file that is not there yet is made by init; the report says so.
        constexpr std::string_view kMissing = "~$~数据库文件不存在^|^";
        if (!e.Description().starts_with(kMissing)) throw;
        throw automation::ComError(
            e.Number(), e.Source(),
            automation::MarkedText("数据库文件不存在，请先运行 zevworkcal init 建立它",
                                   e.Description().substr(kMissing.size())));
    }
}

void RequireSchema() {
    RequireSchema(*AppConnection());
}

void RequireSchema(data::Connection& connection) {
    const std::vector<std::string> missing = suite::MissingTables(connection);
    if (missing.empty()) return;
    std::string list;
    for (const std::string& t : missing)
        list += (list.empty() ? "" : ", ") + t;
    throw automation::ComError(
        automation::errors::kUnspecified, kSource,
        automation::MarkedText("数据库中缺少工厂日历的表，请先运行 zevworkcal init", ": " + list));
}

std::unique_ptr<component::clsCal> OpenCalendar() {
    // The connection checked is the one the calendar answers on, as ActiveConnection
    // would make it: a server's login costs as much as many answers.
    data::ConnectionPtr connection = AppConnection();
    RequireSchema(*connection);
    auto cal = std::make_unique<component::clsCal>();
    component::mdlCal::State().ActiveConnection = std::move(connection);
    return cal;
}

std::string CalendarName() {
    const suite::NamedDatabase named = suite::DatabaseNamed(host::MMTS::GetPropsValue);
    if (automation::EqualsNoCase(named.Provider, "SQLite")) {
        return std::filesystem::path(named.Source).filename().string();
    }
    for (const char* key : {"Database", "DSN"}) {
        for (const data::ConnectionAttribute& a : data::ParseConnectionString(named.Source)) {
            if (automation::EqualsNoCase(a.Key, key)) return a.Value;
        }
    }
    return "ODBC";
}

std::string JoinWords(const std::vector<std::string>& words) {
    std::string joined;
    for (const std::string& w : words)
        joined += (joined.empty() ? "" : " ") + w;
    return joined;
}

std::string ScalarText(data::Connection& connection, const std::string& statement) {
    data::Recordset rs = connection.Execute(statement);
    if (rs.Eof() || rs.Fields(0).Value().IsNull()) return {};
    return automation::CStr(rs.Fields(0).Value());
}

void Output::Write(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), out_) != text.size()) Fail(errno);
}

void Output::Line(std::string_view text) {
    Write(text);
    Write("\n");
}

bool Output::IsTerminal() const {
    return ::isatty(::fileno(out_)) == 1;
}

void Output::Flush() {
    if (std::fflush(out_) != 0 || std::ferror(out_) != 0) Fail(errno);
}

void Output::Fail(int error) {
    failed_ = true;
    throw automation::ComError(
        automation::errors::kUnspecified, kSource,
        automation::MarkedText("无法写出结果", std::string(": ") + std::strerror(error)));
}

std::optional<double> OptionalDate(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return ParseDateArgument(*text);
}

void PrintDate(Output& out, double date) {
    out.Line(automation::FormatIsoAuto(date));
}

void WithWindow(const std::function<void(component::ComponentState&)>& prepare,
                const std::function<void(window::frmCal&)>& act) {
    const std::unique_ptr<component::clsCal> calendar = OpenCalendar();
    component::mdlCal::CheckSettings();
    component::ComponentState& state = component::mdlCal::State();
    if (prepare) prepare(state);
    window::frmCal* self = nullptr;
    window::frmCal form(state, [&] { return std::make_unique<WindowlessView>(self, act); });
    self = &form;
    form.ShowModal();
}

component::Outcome MayTurnDays(const window::frmCal& w) {
    if (!component::mdlCal::State().IsSetWorkCalendar) {
        return component::Outcome::Refused("尚未生成工厂日历");
    }
    // The load has shown why; grids with part of the calendar are never saved.
    if (!w.GridsComplete()) return component::Outcome::Refused(window::kGridsIncomplete);
    return component::Outcome::Done();
}

bool SelectDay(window::frmCal& w, double day) {
    for (const window::GridId id : {window::GridId::Work, window::GridId::NotWork}) {
        const window::Grid& grid = id == window::GridId::Work ? w.sprWork : w.sprNotWork;
        if (const int32_t row = grid.SortedRowOf(day)) {
            w.SelectTab(id == window::GridId::Work ? 0 : 1);
            w.SelectGridRow(id, row);
            return true;
        }
    }
    return false;
}

void Refuse(Session& /*s*/, const char* text, const std::string& detail) {
    Shown(component::Outcome::Refused(text, detail));
}

component::Outcome Shown(component::Outcome outcome) {
    component::mdlCal::ShowOutcome(outcome);
    return outcome;
}

int ExitCodeOf(const component::Outcome& outcome) {
    return outcome.IsDone() ? kOk : kFailure;
}

}  // namespace zev::cli
