// BuildYearSheet (YearPlanner.hpp): months laid out in weeks from Monday, each day marked
// against the weekly rule, the run's exceptions with their notes, the legend and the
// titles.
#include "window/YearPlanner.hpp"

#include <chrono>

#include "host/MMTS.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::window {

namespace {

namespace chr = std::chrono;
using component::CalendarDay;
using host::MMTS::LoadLocalText;

constexpr const char* kMonthNames[] = {"一月", "二月", "三月", "四月", "五月",   "六月",
                                       "七月", "八月", "九月", "十月", "十一月", "十二月"};
// Sunday first, as OleWeekday numbers them from 1.
constexpr const char* kWeekdayNames[] = {"星期日", "星期一", "星期二", "星期三",
                                         "星期四", "星期五", "星期六"};

chr::year_month FirstMonth(const MonthRun& run) {
    return chr::year{run.Year} / chr::month{run.Month};
}

// Replaces every "{key}" of a looked-up pattern.
std::string Filled(std::string pattern, const std::string& key, const std::string& value) {
    for (size_t at = pattern.find(key); at != std::string::npos; at = pattern.find(key, at)) {
        pattern.replace(at, key.size(), value);
        at += value.size();
    }
    return pattern;
}

std::string YearMonthText(chr::year_month ym) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u", static_cast<int>(ym.year()),
                  static_cast<unsigned>(ym.month()));
    return text;
}

// `weekday` 1 for Sunday to 7 for Saturday.
DayMark MarkOf(const CalendarDay& day, int weekday, bool satNotWork, bool sunNotWork) {
    const bool weekend = (weekday == 7 && satNotWork) || (weekday == 1 && sunNotWork);
    switch (day.kind) {
        case CalendarDay::Work:
            return weekend ? DayMark::WorkedWeekend : DayMark::Work;
        case CalendarDay::Rest:
            return weekend ? DayMark::Rest : DayMark::Holiday;
        case CalendarDay::Outside:
            break;
    }
    return DayMark::Outside;
}

SheetLegend LegendOf(const std::optional<component::DaySpan>& span) {
    SheetLegend legend;
    legend.Rest = LoadLocalText("周末的休息日");
    legend.Holiday = LoadLocalText("不是周末的休息日");
    legend.WorkedWeekend = LoadLocalText("工作的周末");
    legend.Today = LoadLocalText("今天");
    legend.Outside = LoadLocalText("不在工厂日历之内");
    legend.RestStar = LoadLocalText("数字后的 * 表示休息日");
    legend.Range = span ? LoadLocalText("工厂日历的日期") + " " +
                              automation::FormatIsoDate(span->First) + " .. " +
                              automation::FormatIsoDate(span->Last)
                        : LoadLocalText("工厂日历中没有日期");
    return legend;
}

std::string TitleOf(const MonthRun& run, chr::year_month last) {
    if (run.Month == 1 && run.Months == 12) {
        return Filled(LoadLocalText("{Y}年工厂日历"), "{Y}", std::to_string(run.Year));
    }
    return LoadLocalText("工厂日历") + " " + YearMonthText(FirstMonth(run)) + " .. " +
           YearMonthText(last);
}

}  // namespace

double FirstDayOf(const MonthRun& run) {
    return automation::OleFromCivil(run.Year, static_cast<int>(run.Month), 1);
}

int32_t DayCountOf(const MonthRun& run) {
    // By civil days: the first day after a run that ends in December 9999 is no OLE date.
    const chr::year_month first = FirstMonth(run);
    const chr::year_month end = first + chr::months{run.Months};
    return static_cast<int32_t>(
        (chr::sys_days{end / chr::day{1}} - chr::sys_days{first / chr::day{1}}).count());
}

YearSheet BuildYearSheet(const YearRequest& request) {
    const MonthRun& run = request.Run;
    const chr::year_month first = FirstMonth(run);
    const chr::year_month last = first + chr::months{run.Months - 1};
    const bool overYears = first.year() != last.year();
    const int32_t firstDay = automation::OleDaySerial(FirstDayOf(run));
    const int32_t today = automation::OleDaySerial(request.Today);

    YearSheet sheet;
    sheet.Title = TitleOf(run, last);
    sheet.Name = request.Name;
    // One text for the seven heads, so that each language abbreviates them its own way.
    std::string heads = LoadLocalText("一 二 三 四 五 六 日");
    for (std::string& head : sheet.Weekdays) {
        const size_t space = heads.find(' ');
        head = heads.substr(0, space);
        heads = space == std::string::npos ? std::string() : heads.substr(space + 1);
    }
    sheet.ExceptionsTitle = LoadLocalText("每周规则的例外");
    sheet.Legend = LegendOf(request.Span);

    for (int m = 0; m < run.Months; ++m) {
        const chr::year_month ym = first + chr::months{m};
        SheetMonth month;
        const std::string name = LoadLocalText(kMonthNames[static_cast<unsigned>(ym.month()) - 1]);
        month.Title = overYears ? Filled(Filled(LoadLocalText("{Y}年{M}"), "{Y}",
                                                std::to_string(static_cast<int>(ym.year()))),
                                         "{M}", name)
                                : name;
        const int32_t start = automation::OleDaySerial(automation::OleFromCivil(
            static_cast<int>(ym.year()), static_cast<int>(static_cast<unsigned>(ym.month())), 1));
        // Monday is column 0.
        const unsigned lead = static_cast<unsigned>(automation::OleWeekday(start) + 5) % 7;
        const unsigned length = static_cast<unsigned>((ym / chr::last).day());
        for (unsigned d = 0; d < length; ++d) {
            const int32_t day = start + static_cast<int32_t>(d);
            const size_t at = static_cast<size_t>(day - firstDay);
            const CalendarDay held = at < request.Days.size() ? request.Days[at] : CalendarDay{};
            const int weekday = automation::OleWeekday(day);
            SheetDay& cell = month.Weeks[(lead + d) / 7][(lead + d) % 7];
            cell = {static_cast<int>(d + 1),
                    MarkOf(held, weekday, request.SatNotWork, request.SunNotWork), day == today};
            if (cell.Mark == DayMark::Holiday || cell.Mark == DayMark::WorkedWeekend) {
                const auto note = request.Notes.find(day);
                sheet.Exceptions.push_back(
                    {automation::FormatIsoDate(day), LoadLocalText(kWeekdayNames[weekday - 1]),
                     cell.Mark,
                     cell.Mark == DayMark::Holiday ? sheet.Legend.Holiday
                                                   : sheet.Legend.WorkedWeekend,
                     note == request.Notes.end() ? std::string() : note->second});
            }
        }
        sheet.Months.push_back(std::move(month));
    }
    return sheet;
}

}  // namespace zev::window
