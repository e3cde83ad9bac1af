#pragma once
// The controls of the maintenance window as plain records: what each shows (caption,
// value, rows), whether it is enabled, and where it stands. frmCal owns them and its
// handlers change them; a front end only draws them. Header-only, so that a front end
// module can read them without linking the window's code.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/SuiteInterfaces.hpp"

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

// One day of a grid: column 1 holds the date, column 2 its weekday name.
struct GridRow {
    double Day = 0.0;
    std::string Weekday;

    bool operator==(const GridRow&) const = default;
};

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
    void ReserveOneMore() { rows_.reserve(rows_.size() + 1); }
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
    Button cmdMove;
    Button cmdSave;
    Button cmdExit;

    bool operator==(const FrmCalControls&) const = default;
};

}  // namespace zev::window
