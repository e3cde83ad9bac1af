// zevworkcal generate: makes the calendar from START as the window's Save does while no
// calendar is set (the end from the current period, the weekend rules from the options),
// or, with END, writes the days from START up to the day before END through the suite's
// calendar generator directly, for tools.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>
#include <optional>

#include "component/CalendarWrite.hpp"
#include "component/WeekendRule.hpp"
#include "component/mdlCal.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/CalendarStore.hpp"
#include "suite/WorkCalGenerator.hpp"
#include "window/frmCal.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

struct GenerateOptions {
    std::string start;
    std::string end;
    bool saturdayWork = false;
    bool sundayWork = false;
    bool replace = false;
};

constexpr const char* kCalendarExists =
    "工厂日历已经存在；要重新生成并丢弃其中的置换，请加 --replace";

// A calendar that exists is a refusal with its reason, not a fault of the command line.
int RefuseExistingCalendar() {
    return ExitCodeOf(Shown(component::Outcome::Refused(kCalendarExists)));
}

// The window's Save while no calendar is set: the picker's day, the weekend boxes, Save.
// A calendar that has rows is replaced only when asked, as the other form does; the
// window itself, once told so, deletes the rows and has the generator write the new ones.
int RunGenerateInWindow(const GenerateOptions& o, Session& s) {
    const double start = automation::OleDatePart(ParseDateArgument(o.start));
    RequireSchema();
    // The check that no calendar exists holds until the window's generation is committed:
    // both are one calendar write on the window's connection, which the window's own
    // write joins.
    data::ConnectionPtr connection;
    std::optional<component::CalendarWrite> write;
    component::Outcome generated = component::Outcome::Unchanged();
    try {
        WithWindow(
            [&](component::ComponentState& state) {
                connection = state.ActiveConnection;
                write.emplace(*connection);
                if (!o.replace && suite::CalendarStore(*connection).HasDays())
                    throw suite::CalendarExists(automation::errors::kUnspecified, "",
                                                kCalendarExists);
                // Replacing: the window opens as it does when no calendar counts as set.
                if (o.replace) state.IsSetWorkCalendar = automation::kFalse;
            },
            [&](window::frmCal& w) {
                w.PickStartDay(start);
                if (w.dtStartDay.Value != start) {
                    throw UsageError(automation::MarkedText(
                        "开始日早于起始期间的第一天",
                        ": " + automation::FormatIsoDate(w.dtStartDay.MinDate)));
                }
                w.SetCheckBox(window::CheckBoxId::SatNotWork, o.saturdayWork ? 0 : 1);
                w.SetCheckBox(window::CheckBoxId::SunNotWork, o.sundayWork ? 0 : 1);
                if (!w.cmdSave.Enabled) {
                    generated = Shown(component::Outcome::Refused(kNoAccess));
                    return;
                }
                generated = w.ClickSave();
            });
    } catch (const suite::CalendarExists&) {
        return RefuseExistingCalendar();
    }
    if (!generated.IsDone()) return ExitCodeOf(generated);
    write->Commit();
    // The window has said what the rules would change.
    s.out.Line(LoadLocalText("工厂日历已生成"));
    return kOk;
}

int RunGenerate(const GenerateOptions& o, Session& s) {
    if (o.end.empty()) return RunGenerateInWindow(o, s);
    const double start = ParseDateArgument(o.start);
    const double end = ParseDateArgument(o.end);
    if (automation::OleDaySerial(start) >= automation::OleDaySerial(end)) {
        throw UsageError(automation::MarkedText("开始日必须早于结束日"));
    }
    const bool satNotWork = !o.saturdayWork;
    const bool sunNotWork = !o.sundayWork;
    RequireSchema();
    // The window's own refusal, as the window shows it.
    if (component::WeekendRule{satNotWork, sunNotWork}.IsRestDay(start)) {
        return ExitCodeOf(Shown(component::Outcome::Refused(component::kRestDayStart)));
    }
    try {
        suite::GenerateCalendar(
            *AppConnection(), start, end, satNotWork, sunNotWork,
            o.replace ? suite::ExistingCalendar::Replace : suite::ExistingCalendar::Keep);
    } catch (const suite::CalendarExists&) {
        return RefuseExistingCalendar();
    }
    s.out.Line(LoadLocalText("工厂日历已生成"));
    SayRuleDays(s);
    return kOk;
}

}  // namespace

Command Generate(CLI::App& program) {
    auto o = std::make_shared<GenerateOptions>();
    CLI::App* app = program.add_subcommand(
        "generate",
        "像窗口那样从 START 生成工厂日历（到当前期间开始后三年），或者生成到 END 的前一天");
    app->add_option("START", o->start, "第一天，YYYY-MM-DD")->required();
    app->add_option("END", o->end, "最后一天的后一天，YYYY-MM-DD");
    app->add_flag("--saturday-work", o->saturdayWork, "星期六是工作日");
    app->add_flag("--sunday-work", o->sundayWork, "星期日是工作日");
    app->add_flag("--replace", o->replace, "替换已有的工厂日历");
    return {app, [o](Session& s) { return RunGenerate(*o, s); }, "generate 2026-01-05"};
}

}  // namespace zev::cli::commands
