#pragma once
// The controls of the maintenance window as plain records: what each shows (caption,
// value, rows), whether it is enabled, and where it stands. frmCal owns them and its
// handlers change them; a front end only draws them. Header-only, so that a front end
// module can read them without linking the window's code.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/OleDate.hpp"
#include "window/YearSheet.hpp"

namespace zev::window {

// A position and size in twips (1440 to the inch: 15 twips are one pixel at 96 dpi),
// relative to the container's top-left corner.
struct Twips {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const Twips&) const = default;
};

struct Button {
    std::string Caption;
    bool Enabled = true;
    Twips Rect;
    int TabIndex = 0;

    bool operator==(const Button&) const = default;
};

// Value 1 is ticked, 0 cleared.
struct CheckBox {
    std::string Caption;
    bool Enabled = true;
    int Value = 0;
    Twips Rect;
    int TabIndex = 0;

    bool operator==(const CheckBox&) const = default;
};

struct Label {
    std::string Caption;
    Twips Rect;
    int TabIndex = 0;

    bool operator==(const Label&) const = default;
};

// A date picker. MinDate is its earliest day; Value is never earlier. Dates are OLE
// dates without time of day.
struct DatePicker {
    bool Enabled = true;
    double Value = 0.0;
    double MinDate = 0.0;
    Twips Rect;
    int TabIndex = 0;

    bool operator==(const DatePicker&) const = default;
};

struct Tab {
    std::string Caption;
    bool Enabled = true;

    bool operator==(const Tab&) const = default;
};

// Three tabs in one row; `Tab` is the index of the current one.
struct TabControl {
    std::array<window::Tab, 3> Tabs;
    int Tab = 0;
    Twips Rect;
    int TabIndex = 0;

    bool operator==(const TabControl&) const = default;
};

// One day of a grid: column 1 holds the date, column 2 its weekday name followed by the
// day's note, when it has one.
struct GridRow {
    double Day = 0.0;
    std::string Weekday;
    std::string Note = {};

    bool operator==(const GridRow&) const = default;
};

// What the grids mark on their days: the weekly rule the calendar was made with, against
// which a day is an exception, and today's date (0 for none).
struct DayMarks {
    bool SatNotWork = false;
    bool SunNotWork = false;
    double Today = 0.0;

    bool operator==(const DayMarks&) const = default;
};

// How a day of a grid stands against the weekly rule: as the rule makes it, a rest day
// on a day the rule works, or a worked day the rule rests.
enum class RowKind { Plain, RestException, WorkedWeekend };

// The kind of `day` in a grid of rest days (`rests`) or of work days. Inline over the
// date bridge's inline part, so that a front end links nothing for it.
inline RowKind KindOfRow(double day, bool rests, const DayMarks& marks) {
    const std::optional<int32_t> serial = automation::TryOleDaySerial(day);
    if (!serial) return RowKind::Plain;
    const std::chrono::weekday weekday{automation::DayOfSerial(*serial)};
    const bool ruleRests = (weekday == std::chrono::Saturday && marks.SatNotWork) ||
                           (weekday == std::chrono::Sunday && marks.SunNotWork);
    if (rests == ruleRests) return RowKind::Plain;
    return rests ? RowKind::RestException : RowKind::WorkedWeekend;
}

// Whether `day` is the day the marks name as today.
inline bool IsTodayRow(double day, const DayMarks& marks) {
    const std::optional<int32_t> serial = automation::TryOleDaySerial(day);
    const std::optional<int32_t> today = automation::TryOleDaySerial(marks.Today);
    return serial && today && marks.Today != 0.0 && *serial == *today;
}

// A grid of days. Row 0 is the heading row and column 0 the row headings, which show the
// row numbers 1 to n; the days stand in rows 1 to n. Every change of the rows moves
// Revision on, so that a view knows when to read them again; every change but appending
// moves Layout on too, so that a view can take appended rows alone.
class Grid {
  public:
    // Headings of columns 0 to 2 (row 0).
    std::array<std::string, 3> Headings;
    // Column widths in character units.
    std::array<double, 3> ColumnWidths{};
    bool Column1Locked = false;
    // The grid of rest days (the other one holds the work days).
    bool RestDays = false;
    // Whether the planner may edit the note part of column 2 (the date stays locked).
    bool NotesEditable = false;
    // The current row (1 to n); 0 while the grid has no rows.
    int32_t ActiveRow = 0;
    // The row last brought into view by the program; 0 for none.
    int32_t ShownRow = 0;
    Twips Rect;
    int TabIndex = 0;

    int32_t RowCount() const { return static_cast<int32_t>(rows_.size()); }
    // Row r, 1 to n.
    const GridRow& Row(int32_t r) const { return rows_.at(static_cast<size_t>(r - 1)); }
    const std::vector<GridRow>& Rows() const { return rows_; }
    // The row that holds `day` (a date without time of day), or 0 when none does.
    int32_t RowOf(double day) const {
        const auto it = std::find_if(rows_.begin(), rows_.end(),
                                     [day](const GridRow& r) { return r.Day == day; });
        return it == rows_.end() ? 0 : static_cast<int32_t>(it - rows_.begin()) + 1;
    }
    // The first row whose day is not earlier than `day` (n + 1 when none is): where a day
    // stands, or would stand, in a grid kept in date order.
    int32_t RowFrom(double day) const noexcept {
        const auto it = std::lower_bound(rows_.begin(), rows_.end(), day,
                                         [](const GridRow& r, double d) { return r.Day < d; });
        return static_cast<int32_t>(it - rows_.begin()) + 1;
    }
    // The row that holds `day` in a grid kept in date order, or 0 when none does.
    int32_t SortedRowOf(double day) const noexcept {
        const int32_t r = RowFrom(day);
        return r <= RowCount() && rows_[static_cast<size_t>(r - 1)].Day == day ? r : 0;
    }
    uint64_t Revision() const { return revision_; }
    uint64_t Layout() const { return layout_; }

    void Clear() {
        rows_.clear();
        ActiveRow = 0;
        ShownRow = 0;
        ++revision_;
        ++layout_;
    }
    void Reserve(size_t rows) { rows_.reserve(rows); }
    void Append(GridRow row) {
        rows_.push_back(std::move(row));
        if (ActiveRow == 0) ActiveRow = 1;
        ++revision_;
    }
    // Makes room for one more row, so that the next InsertRow cannot fail.
    void ReserveOneMore() { ReserveMore(1); }
    // Makes room for `more` rows, so that as many InsertRow calls cannot fail.
    void ReserveMore(size_t more) { rows_.reserve(rows_.size() + more); }
    // Removes row r (1 to n); the rows below it move up by one. The current row keeps
    // its number while the grid still has that many rows.
    void RemoveRow(int32_t r) noexcept {
        rows_.erase(rows_.begin() + (r - 1));
        ActiveRow = std::min(ActiveRow, RowCount());
        ++revision_;
        ++layout_;
    }
    // Inserts `row` as row r (1 to n + 1); the rows from r down move down by one. Needs
    // the room ReserveOneMore makes.
    void InsertRow(int32_t r, GridRow row) noexcept {
        rows_.insert(rows_.begin() + (r - 1), std::move(row));
        if (ActiveRow == 0) ActiveRow = 1;
        ++revision_;
        ++layout_;
    }

    // Gives row r (1 to n) the note `note`; the rows stay where they are.
    void SetNote(int32_t r, std::string note) {
        rows_.at(static_cast<size_t>(r - 1)).Note = std::move(note);
        ++revision_;
    }

    // Replaces every row; the current row keeps its number while the grid still has that
    // many rows.
    void ReplaceRows(std::vector<GridRow> rows) noexcept {
        rows_ = std::move(rows);
        ActiveRow = rows_.empty() ? 0 : std::clamp(ActiveRow, int32_t{1}, RowCount());
        ShownRow = std::min(ShownRow, RowCount());
        ++revision_;
        ++layout_;
    }

    bool operator==(const Grid&) const = default;

  private:
    std::vector<GridRow> rows_;
    uint64_t revision_ = 0;
    uint64_t layout_ = 0;
};

// The window itself. Open is set while it is shown; the program closes it by clearing
// Open.
struct Form {
    std::string Caption;
    host::FormFont Font;
    // Size of the client area.
    Twips Rect;
    bool Open = false;

    bool operator==(const Form&) const = default;
};

// How a click or an arrow key chooses days in the year view: the day alone, the day added
// to the chosen ones or taken from them (Ctrl), or every day from the last one chosen to it
// (Shift).
enum class YearChoice { Only, Toggle, Range };

// The year at a glance, in a window of its own beside the lists: the sheet of the year
// shown, drawn from the grids, the day under the cursor and the days chosen to be turned
// together. frmCal keeps all of it; a front end draws it and forwards clicks and keys.
struct YearView {
    std::string Caption;
    bool Open = false;
    // Turning days and editing notes are refused (the access check, or grids that hold
    // part of the calendar).
    bool ReadOnly = true;
    bool NotesEditable = false;
    int Year = 0;
    // The years at hand: those the calendar's days fall in.
    int FirstYear = 0;
    int LastYear = 0;
    double Cursor = 0.0;
    // Where a range chosen with Shift begins.
    double Anchor = 0.0;
    // In date order, each once.
    std::vector<double> Chosen;
    YearSheet Sheet;
    // For each day of the year shown, from 1 January: the line that names it (date,
    // weekday, kind, note), shown on hover and under the sheet, and its note alone.
    std::vector<std::string> DayLines;
    std::vector<std::string> Notes;
    // The line under the sheet: the cursor's day.
    std::string CursorLine;
    // Said while the view is read-only; empty otherwise.
    std::string ReadOnlyText;
    // Said when the year shown, this year or later, holds no holiday yet; empty otherwise.
    std::string UnplannedText;
    std::string NoteHint;
    // The print dialog's title and file filter, and the file it proposes.
    std::string PrintTitle;
    std::string PrintFilter;
    std::string PrintFile;
    Button cmdPrevYear;
    Button cmdNextYear;
    Button cmdTurn;
    Button cmdPrint;
    // The size the view opens at.
    Twips Rect;

    bool operator==(const YearView&) const = default;
};

// Every control of frmCal.
struct FrmCalControls {
    Form Me;
    TabControl tabCal;
    Grid sprWork;
    Grid sprNotWork;
    Label lblStartDay;
    DatePicker dtStartDay;
    CheckBox chkSatNotWork;
    CheckBox chkSunNotWork;
    // The rule and the day the grids mark their rows by.
    DayMarks Marks;
    Button cmdMove;
    Button cmdSave;
    Button cmdExit;
    // Opens the year view; after every control of the design in the tab order.
    Button cmdYear;
    YearView yearView;

    bool operator==(const FrmCalControls&) const = default;
};

}  // namespace zev::window
