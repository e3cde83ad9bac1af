#pragma once
// A year of the calendar (or a run of months) laid out to be read at a glance: month
// blocks of weeks from Monday, each day marked with what the calendar holds beside the
// weekly rule, the exceptions to that rule, and the legend. Plain values with every text
// already in the user's language, so that the terminal (YearText.hpp) and the Qt module's
// PDF writer draw the same sheet; header-only, as the Qt module links nothing else of ours.

#include <array>
#include <string>
#include <vector>

namespace zev::window {

// What a day of the sheet shows.
enum class DayMark : unsigned char {
    None,           // a blank cell before a month's first day or after its last
    Work,           // a work day the weekly rule works
    Rest,           // a rest day the weekly rule rests: a weekend
    Holiday,        // a rest day the weekly rule would work
    WorkedWeekend,  // a work day the weekly rule would rest
    Outside,        // a day the calendar does not hold
};

// Whether a mark is one of the rest days, which carry "*" on a sheet without colour.
inline bool IsRestMark(DayMark mark) {
    return mark == DayMark::Rest || mark == DayMark::Holiday;
}

struct SheetDay {
    int Day = 0;  // day of the month; 0 for a blank cell
    DayMark Mark = DayMark::None;
    bool Today = false;

    bool operator==(const SheetDay&) const = default;
};

struct SheetMonth {
    std::string Title;  // "一月", or "2026年一月" in a run over years
    std::array<std::array<SheetDay, 7>, 6> Weeks{};  // six weeks from Monday, blanks padded

    bool operator==(const SheetMonth&) const = default;
};

// A day that the weekly rule does not foresee: a holiday or a worked weekend day.
struct SheetException {
    std::string Date;     // "2026-10-01"
    std::string Weekday;  // its weekday's name
    DayMark Mark = DayMark::Holiday;
    std::string Kind;  // the legend's text for its mark
    std::string Note;  // the day's note, why it rests or is worked; empty without one

    bool operator==(const SheetException&) const = default;
};

// The legend's texts, in the order the sheet shows them.
struct SheetLegend {
    std::string Rest;           // weekend rest days
    std::string Holiday;        // rest days that are no weekends by the rule
    std::string WorkedWeekend;  // weekend days worked
    std::string Today;
    std::string Outside;   // days outside the calendar
    std::string RestStar;  // "*" after a number: a rest day (sheets without colour)
    std::string Range;     // the days the calendar holds, or that it holds none

    bool operator==(const SheetLegend&) const = default;
};

struct YearSheet {
    std::string Title;                    // "2026年工厂日历"
    std::string Name;                     // the calendar's name (its database)
    std::array<std::string, 7> Weekdays;  // column heads, Monday first
    std::vector<SheetMonth> Months;
    std::string ExceptionsTitle;
    std::vector<SheetException> Exceptions;  // in date order
    SheetLegend Legend;

    bool operator==(const YearSheet&) const = default;
};

}  // namespace zev::window
