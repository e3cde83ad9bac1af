// frmCal's year view: opening it, the year shown, the cursor and the chosen days, turning
// them through the swap, their notes and the PDF of the year; and SyncYear, which builds
// the view's sheet and lines from the grids whenever they change.

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

#include "component/PlannedYears.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/OleDate.hpp"
#include "window/FrmCalDays.hpp"
#include "window/YearPdf.hpp"
#include "window/YearPlanner.hpp"
#include "window/frmCal.hpp"

namespace zev::window {
namespace {

using component::Outcome;
using host::MMTS::LoadLocalText;

constexpr const char* kWorkByRule = "按每周规则的工作日";
constexpr const char* kReadOnly = "只读：没有修改工厂日历的权限";

int YearOf(double day) {
    return automation::CivilFromOle(day).Year;
}

double FirstOfYear(int year) {
    return automation::OleFromCivil(year, 1, 1);
}

double LastOfYear(int year) {
    return automation::OleFromCivil(year, 12, 31);
}

// The first and last day the two grids hold; none while both are empty.
std::optional<component::DaySpan> SpanOf(const Grid& work, const Grid& notWork) {
    std::optional<component::DaySpan> span;
    for (const Grid* grid : {&work, &notWork}) {
        if (grid->RowCount() == 0) continue;
        const double first = grid->Row(1).Day;
        const double last = grid->Row(grid->RowCount()).Day;
        if (!span) {
            span = component::DaySpan{first, last};
        } else {
            span->First = std::min(span->First, first);
            span->Last = std::max(span->Last, last);
        }
    }
    return span;
}

// The days of `grid` from `first` on, `count` of them, put into `days` as `kind`, and
// their notes into `notes` by day number.
void TakeDays(const Grid& grid, double first, size_t count, component::CalendarDay::Kind kind,
              std::vector<component::CalendarDay>& days, std::map<int32_t, std::string>& notes) {
    const double end = first + static_cast<double>(count);
    for (int32_t r = grid.RowFrom(first); r <= grid.RowCount() && grid.Row(r).Day < end; ++r) {
        const GridRow& row = grid.Row(r);
        days[static_cast<size_t>(row.Day - first)] = {kind,
                                                      kind == component::CalendarDay::Work ? r : 0};
        if (!row.Note.empty()) notes.emplace(automation::OleDaySerial(row.Day), row.Note);
    }
}

// The text of a day's mark, as the legend names it.
std::string KindText(DayMark mark, const SheetLegend& legend) {
    switch (mark) {
        case DayMark::Rest:
            return legend.Rest;
        case DayMark::Holiday:
            return legend.Holiday;
        case DayMark::WorkedWeekend:
            return legend.WorkedWeekend;
        case DayMark::Outside:
            return legend.Outside;
        default:
            return LoadLocalText(kWorkByRule, 0);
    }
}

}  // namespace

Outcome frmCal::OpenYearView() {
    if (!cmdYear.Enabled || yearView.Open) return Outcome::Unchanged();
    try {
        // Asked again at each opening, as at each change of tab.
        yearView.ReadOnly = !(gridsComplete_ && AccessGranted());
        yearView.Caption = LoadLocalText("年历", 0);
        yearView.cmdPrevYear.Caption = LoadLocalText("上一年", 0);
        yearView.cmdNextYear.Caption = LoadLocalText("下一年", 0);
        yearView.cmdTurn.Caption = LoadLocalText("置换(&M)", 0);
        yearView.cmdPrint.Caption = LoadLocalText("打印(&P)…", 0);
        yearView.ReadOnlyText = yearView.ReadOnly ? LoadLocalText(kReadOnly, 0) : std::string();
        yearView.NoteHint = LoadLocalText("备注", 0);
        yearView.PrintTitle = LoadLocalText("把这一年写成 PDF 年历", 0);
        yearView.PrintFilter = LoadLocalText("PDF 文件", 0) + " (*.pdf)";
        const Grid& rows = sprWork.RowCount() > 0 ? sprWork : sprNotWork;
        const double day =
            rows.RowCount() > 0 ? rows.Row(std::max(rows.ActiveRow, int32_t{1})).Day : Marks.Today;
        yearView.Open = true;
        yearView.Year = YearOf(day);
        yearView.Cursor = yearView.Anchor = day;
        yearView.Chosen = {day};
        yearBuilt_.reset();
        return Outcome::Done();
    } catch (...) {
        yearView.Open = false;
        return Outcome::FailedNow();
    }
}

Outcome frmCal::ShowYear(int year) {
    if (!yearView.Open || year == yearView.Year || year < yearView.FirstYear ||
        year > yearView.LastYear) {
        return Outcome::Unchanged();
    }
    yearView.Year = year;
    return Outcome::Done();
}

Outcome frmCal::MoveCursor(int days, bool extend) {
    if (!yearView.Open) return Outcome::Unchanged();
    const double day = std::clamp(yearView.Cursor + days, FirstOfYear(yearView.FirstYear),
                                  LastOfYear(yearView.LastYear));
    if (day == yearView.Cursor) return Outcome::Unchanged();
    return ChooseDays(day, extend ? YearChoice::Range : YearChoice::Only);
}

Outcome frmCal::ChooseDays(double picked, YearChoice how) {
    if (!yearView.Open || !automation::IsValidOleDate(picked)) return Outcome::Unchanged();
    const double day = automation::OleDatePart(picked);
    if (day < FirstOfYear(yearView.FirstYear) || day > LastOfYear(yearView.LastYear)) {
        return Outcome::Unchanged();
    }
    std::vector<double>& chosen = yearView.Chosen;
    switch (how) {
        case YearChoice::Only:
            chosen = {day};
            yearView.Anchor = day;
            break;
        case YearChoice::Toggle: {
            const auto at = std::lower_bound(chosen.begin(), chosen.end(), day);
            if (at != chosen.end() && *at == day) {
                chosen.erase(at);
            } else {
                chosen.insert(at, day);
            }
            yearView.Anchor = day;
            break;
        }
        case YearChoice::Range: {
            // The calendar's days between the two ends: a range that reaches past the
            // calendar's first or last day chooses no day the calendar does not hold.
            chosen.clear();
            const double from = std::min(yearView.Anchor, day);
            const double to = std::max(yearView.Anchor, day);
            for (double d = from; d <= to; d += 1.0) {
                if (sprWork.SortedRowOf(d) != 0 || sprNotWork.SortedRowOf(d) != 0)
                    chosen.push_back(d);
            }
            break;
        }
    }
    yearView.Cursor = day;
    yearView.Year = YearOf(day);
    return Outcome::Done();
}

Outcome frmCal::TurnChosen() {
    if (!yearView.Open || yearView.ReadOnly || displayPass_ || yearView.Chosen.empty()) {
        return Outcome::Unchanged();
    }
    if (!gridsComplete_) return Outcome::Refused(kGridsIncomplete);
    try {
        return TurnDays(yearView.Chosen, true);
    } catch (...) {
        return Outcome::FailedNow();
    }
}

Outcome frmCal::EditNoteOf(double day, const std::string& text) {
    if (!yearView.Open || yearView.ReadOnly) return Outcome::Unchanged();
    try {
        if (const int32_t row = sprWork.SortedRowOf(day)) {
            return EditDayNote(GridId::Work, row, text);
        }
        if (const int32_t row = sprNotWork.SortedRowOf(day)) {
            return EditDayNote(GridId::NotWork, row, text);
        }
        return Outcome::Unchanged();
    } catch (...) {
        return Outcome::FailedNow();
    }
}

Outcome frmCal::PrintYear(const std::string& file) {
    if (!yearView.Open || file.empty()) return Outcome::Unchanged();
    try {
        WriteYearPdf(yearView.Sheet, file);
        return Outcome::Done();
    } catch (...) {
        return Outcome::FailedNow();
    }
}

void frmCal::SyncYear() {
    // A year of a calendar the grids hold whole; none during a generation's display pass.
    cmdYear.Enabled = state_.IsSetWorkCalendar && gridsComplete_ && !displayPass_ &&
                      sprWork.RowCount() + sprNotWork.RowCount() > 0;
    if (!cmdYear.Enabled) yearView.Open = false;
    if (!yearView.Open) return;
    const YearSource source{sprWork.Revision(), sprNotWork.Revision(), yearView.Year, Marks};
    if (yearBuilt_ != source) {
        BuildYear();
        yearBuilt_ = source;
    }
    YearView& v = yearView;
    v.cmdPrevYear.Enabled = v.Year > v.FirstYear;
    v.cmdNextYear.Enabled = v.Year < v.LastYear;
    v.cmdTurn.Enabled = !v.ReadOnly && !v.Chosen.empty();
    v.cmdPrint.Enabled = true;
    v.NotesEditable = !v.ReadOnly && sprWork.NotesEditable;
    const double first = FirstOfYear(v.Year);
    const size_t at = static_cast<size_t>(v.Cursor - first);
    v.CursorLine = v.Cursor >= first && at < v.DayLines.size() ? v.DayLines[at] : std::string();
}

void frmCal::BuildYear() {
    YearView& v = yearView;
    const std::optional<component::DaySpan> span = SpanOf(sprWork, sprNotWork);
    v.FirstYear = span ? YearOf(span->First) : v.Year;
    v.LastYear = span ? YearOf(span->Last) : v.Year;
    v.Year = std::clamp(v.Year, v.FirstYear, v.LastYear);

    YearRequest request;
    request.Run = {v.Year, 1, 12};
    const double first = FirstOfYear(v.Year);
    request.Days.resize(static_cast<size_t>(DayCountOf(request.Run)));
    TakeDays(sprWork, first, request.Days.size(), component::CalendarDay::Work, request.Days,
             request.Notes);
    TakeDays(sprNotWork, first, request.Days.size(), component::CalendarDay::Rest, request.Days,
             request.Notes);
    request.SatNotWork = Marks.SatNotWork;
    request.SunNotWork = Marks.SunNotWork;
    request.Today = Marks.Today;
    request.Span = span;
    v.Sheet = BuildYearSheet(request);
    v.PrintFile = v.Sheet.Title + ".pdf";
    // Under the sheet, as below cal's legend: a year to come that only the weekly rule has
    // planned.
    std::set<int32_t> noted;
    for (const auto& note : request.Notes)
        noted.insert(note.first);
    v.UnplannedText = component::UnplannedWarning(
        component::UnplannedYears(first, request.Days, {request.SatNotWork, request.SunNotWork},
                                  noted, std::max(v.Year, YearOf(Marks.Today))));
    while (!v.UnplannedText.empty() && v.UnplannedText.back() == '\n')
        v.UnplannedText.pop_back();

    // One line per day, in the order of the sheet's cells.
    const std::array<std::string, 7> weekdays = days::WeekdayNames();
    v.DayLines.assign(request.Days.size(), std::string());
    v.Notes.assign(request.Days.size(), std::string());
    size_t at = 0;
    for (const SheetMonth& month : v.Sheet.Months) {
        for (const auto& week : month.Weeks) {
            for (const SheetDay& cell : week) {
                if (cell.Mark == DayMark::None) continue;
                const double day = first + static_cast<double>(at);
                const auto note = request.Notes.find(automation::OleDaySerial(day));
                if (note != request.Notes.end()) v.Notes[at] = note->second;
                std::string& line = v.DayLines[at];
                line = automation::FormatIsoDate(day) + "  " + days::WeekdayOf(day, weekdays) +
                       "  " + KindText(cell.Mark, v.Sheet.Legend);
                if (cell.Today) line += ", " + v.Sheet.Legend.Today;
                if (!v.Notes[at].empty()) line += "  " + v.Notes[at];
                ++at;
            }
        }
    }
}

}  // namespace zev::window
