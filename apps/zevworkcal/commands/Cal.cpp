// zevworkcal cal: a year (or a run of months) at a glance on the terminal, in colour when
// it is one, or as a one-page PDF year planner, the exceptions to the weekly rule listed
// with their notes.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "component/PlannedYears.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/CalendarNotes.hpp"
#include "suite/CalendarStore.hpp"
#include "window/YearPdf.hpp"
#include "window/YearPlanner.hpp"
#include "window/YearText.hpp"

namespace zev::cli::commands {

namespace {

enum class Colour { Auto, Always, Never };

struct CalOptions {
    std::optional<int> year;
    std::optional<int> months;
    Colour colour = Colour::Auto;
    std::optional<std::string> pdf;
};

constexpr int kMostMonths = 120;

// The months shown: the year named, or the year today is in, or --months from today's
// month on; those past 9999-12, where the dates end, are left out.
window::MonthRun RunOf(const CalOptions& o) {
    const automation::CivilDateTime today = automation::CivilFromOle(automation::Today());
    window::MonthRun run{o.year.value_or(today.Year), 1, o.months.value_or(12)};
    if (!o.year && o.months) run.Month = static_cast<unsigned>(today.Month);
    if (run.Year < 100 || run.Year > 9999) {
        throw UsageError(automation::MarkedText("年份不对，应在 100 到 9999 之间",
                                                ": " + std::to_string(run.Year)));
    }
    const int monthsLeft = (9999 - run.Year) * 12 + 13 - static_cast<int>(run.Month);
    run.Months = std::min(run.Months, monthsLeft);
    return run;
}

// A stored weekly rule: the day rests when its setting is on.
bool RestSetting(const char* key) {
    return suite::CalendarStore(component::mdlCal::Connection()).SwitchIsOn(key);
}

bool UseColour(Colour colour, const Session& s) {
    if (colour != Colour::Auto) return colour == Colour::Always;
    const char* noColour = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    return s.out.IsTerminal() && (noColour == nullptr || *noColour == '\0') &&
           !(term != nullptr && std::string_view(term) == "dumb");
}

int RunCal(const CalOptions& o, Session& s) {
    const window::MonthRun run = RunOf(o);
    if (o.pdf && o.pdf->empty()) throw UsageError(automation::MarkedText("PDF 文件名不能为空"));
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    window::YearRequest request;
    request.Run = run;
    request.Days.resize(static_cast<size_t>(window::DayCountOf(run)));
    const component::WorkDaysResult result = cal->DayKinds(window::FirstDayOf(run), request.Days);
    if (result.Failure) throw automation::ComError(*result.Failure);
    request.Span = cal->CalendarSpan();
    request.SatNotWork = RestSetting("SatNotWork");
    request.SunNotWork = RestSetting("SunNotWork");
    request.Today = automation::Today();
    request.Name = automation::EscapeControls(CalendarName());
    const double first = window::FirstDayOf(run);
    for (suite::DayNote& note : suite::CalendarNotes(component::mdlCal::Connection())
                                    .Notes(first, first + window::DayCountOf(run)))
        request.Notes.emplace(note.Day, automation::EscapeControls(note.Note));
    const window::YearSheet sheet = window::BuildYearSheet(request);
    if (o.pdf) {
        window::WriteYearPdf(sheet, *o.pdf);
        return kOk;
    }
    s.out.Write(window::YearText(sheet, UseColour(o.colour, s)));
    // Below the legend: the years shown that only the weekly rule has planned.
    std::set<int32_t> noted;
    for (const auto& note : request.Notes)
        noted.insert(note.first);
    s.out.Write(component::UnplannedWarning(component::UnplannedYears(
        first, request.Days, {request.SatNotWork, request.SunNotWork}, noted, run.Year)));
    return kOk;
}

}  // namespace

Command Cal(CLI::App& program) {
    auto o = std::make_shared<CalOptions>();
    CLI::App* app =
        program.add_subcommand("cal", "一年一览：十二个月，标出休息日；或者 A4 一页的 PDF 年历");
    app->add_option("YEAR", o->year, "年份（默认今年）");
    auto* months = app->add_option("--months", o->months, "从本月起的 N 个月")
                       ->type_name("N")
                       ->check(CLI::Range(1, kMostMonths).description(""));
    AddChoiceOption<Colour>(
        *app, "--color",
        {{"auto", Colour::Auto}, {"always", Colour::Always}, {"never", Colour::Never}}, o->colour,
        "颜色：auto（在终端上且未设 NO_COLOR 时）、always 或 never", "WHEN");
    app->add_option("--pdf", o->pdf, "把这一年写成 A4 一页的 PDF 文件 FILE")
        ->type_name("FILE")
        ->excludes(months);
    return {app, [o](Session& s) { return RunCal(*o, s); }, "cal 2027 --pdf plan-2027.pdf"};
}

}  // namespace zev::cli::commands
