// zevworkcal generate: writes the calendar from START up to the day before END.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>

#include "host/MMTS.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/ui/UserInterface.hpp"
#include "suite/WorkCalGenerator.hpp"

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

int RunGenerate(const GenerateOptions& o, Session& s) {
    const double start = ParseDateArgument(o.start);
    const double end = ParseDateArgument(o.end);
    if (automation::OleDaySerial(start) >= automation::OleDaySerial(end)) {
        throw UsageError(automation::MarkedText("开始日必须早于结束日"));
    }
    const bool satNotWork = !o.saturdayWork;
    const bool sunNotWork = !o.sundayWork;
    RequireSchema();
    // The window's own refusal, in its own words.
    if (suite::IsRestDay(start, satNotWork, sunNotWork)) {
        s.ui.MsgBox(LoadLocalText("工厂日历开始日不能为休息日，请重新设置。"),
                    ui::vbOKOnly | ui::vbExclamation, LoadLocalText("Halvor提示"));
        return kFailure;
    }
    try {
        suite::GenerateCalendar(
            *AppConnection(), start, end, satNotWork, sunNotWork,
            o.replace ? suite::ExistingCalendar::Replace : suite::ExistingCalendar::Keep);
    } catch (const suite::CalendarExists&) {
        throw UsageError(
            automation::MarkedText("工厂日历已经存在；要重新生成并丢弃其中的置换，请加 --replace"));
    }
    s.out.Line(LoadLocalText("工厂日历已生成"));
    return kOk;
}

}  // namespace

Command Generate(CLI::App& program) {
    auto o = std::make_shared<GenerateOptions>();
    CLI::App* app = program.add_subcommand(
        "generate", "generate the calendar from START up to the day before END");
    app->add_option("START", o->start, "first day, YYYY-MM-DD")->required();
    app->add_option("END", o->end, "the day after the last day, YYYY-MM-DD")->required();
    app->add_flag("--saturday-work", o->saturdayWork, "Saturdays are work days");
    app->add_flag("--sunday-work", o->sundayWork, "Sundays are work days");
    app->add_flag("--replace", o->replace, "replace a calendar that exists");
    return {app, [o](Session& s) { return RunGenerate(*o, s); }};
}

}  // namespace zev::cli::commands
