#pragma once
// The year sheet of a run of months (YearSheet.hpp) from what the calendar holds for its
// days and the stored weekly rule: toolkit-free, every text through the text lookup.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "component/CalendarQuestions.hpp"
#include "window/YearSheet.hpp"

namespace zev::window {

// A run of whole months: the first and how many.
struct MonthRun {
    int Year = 0;
    unsigned Month = 1;  // 1 to 12
    int Months = 12;     // at least 1
};

// The first day of a run (an OLE date) and the number of its days.
double FirstDayOf(const MonthRun& run);
int32_t DayCountOf(const MonthRun& run);

// What a sheet is made of.
struct YearRequest {
    MonthRun Run;
    // What the calendar holds for each day of the run, from its first day on.
    std::vector<component::CalendarDay> Days;
    // The weekly rule as stored: Saturdays and Sundays rest.
    bool SatNotWork = false;
    bool SunNotWork = false;
    double Today = 0.0;
    std::optional<component::DaySpan> Span;  // the days the calendar holds
    std::string Name;                        // the calendar's name
    // The notes of the run's days, by day number (automation::OleDaySerial).
    std::map<int32_t, std::string> Notes;
};

YearSheet BuildYearSheet(const YearRequest& request);

}  // namespace zev::window
