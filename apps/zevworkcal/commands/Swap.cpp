// zevworkcal swap: turns each DATE from a work day into a rest day or back, as a planner
// does in the window (the day selected in the grid that holds it, Swap, every guard of
// the window), then saves. All or nothing: the first refusal ends the command with
// nothing saved.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>
#include <vector>

#include "component/mdlCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "window/frmCal.hpp"

namespace zev::cli::commands {

namespace {

struct SwapOptions {
    std::vector<std::string> days;
};

// Swaps every day in turn and saves, as a planner presses Swap and Save; the first
// outcome that is not done ends it. Every outcome is shown as it comes.
component::Outcome SwapAndSave(window::frmCal& w, const std::vector<double>& days) {
    using component::Outcome;
    if (Outcome may = MayTurnDays(w); !may.IsDone()) return Shown(may);
    for (const double day : days) {
        if (!SelectDay(w, day)) {
            return Shown(
                Outcome::Refused("日期不在工厂日历中", ": " + automation::FormatIsoDate(day)));
        }
        if (!w.cmdMove.Enabled) return Shown(Outcome::Refused(kNoAccess));
        // A guard that refuses, or a failure, leaves the day where it was.
        if (Outcome swapped = w.ClickMove(); !swapped.IsDone()) return swapped;
    }
    return w.ClickSave();
}

int RunSwap(const SwapOptions& o, Session& s) {
    std::vector<double> days;
    for (const std::string& text : o.days)
        days.push_back(automation::OleDatePart(ParseDateArgument(text)));
    RequireSchema();
    component::Outcome saved = component::Outcome::Unchanged();
    std::vector<bool> restDays;
    WithWindow(nullptr, [&](window::frmCal& w) {
        saved = SwapAndSave(w, days);
        for (const double day : days)
            restDays.push_back(w.sprNotWork.RowOf(day) != 0);
    });
    if (!saved.IsDone()) return ExitCodeOf(saved);
    for (size_t i = 0; i < days.size(); ++i) {
        s.out.Line(automation::FormatIsoDate(days[i]) + (restDays[i] ? " rest" : " work"));
    }
    return kOk;
}

}  // namespace

Command Swap(CLI::App& program) {
    auto o = std::make_shared<SwapOptions>();
    CLI::App* app = program.add_subcommand(
        "swap",
        "像窗口的置换那样把每个 DATE 从工作日变为休息日或者反过来，然后保存；有一个 DATE "
        "被拒绝时什么也不保存");
    app->add_option("DATE", o->days, "工厂日历中的一天，YYYY-MM-DD")->required();
    return {app, [o](Session& s) { return RunSwap(*o, s); }, "swap 2026-12-24 2026-12-26"};
}

}  // namespace zev::cli::commands
