#pragma once
// A small calendar as a test lays it out (a kind for each day), written into
// t_WorkCalendar as generation numbers it, and the same calendar asked of numpy's
// business-day functions (Debian's python3-numpy, through /usr/bin/python3), whose
// answers the tests compare with ours.

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "platform/data/Connection.hpp"

namespace zev::test {

// Days from First on, one letter each: 'w' a work day, 'r' a rest day.
struct ModelCalendar {
    double First = 0.0;
    std::string Kinds;

    double Last() const { return First + static_cast<double>(Kinds.size()) - 1; }
    bool Holds(double day) const { return day >= First && day <= Last(); }
    // Writes the days into t_WorkCalendar, work days numbered 1..N in date order.
    void Write(data::Connection& connection) const;
};

// The questions asked of numpy: pairs for busday_count, days for is_busday and the
// work-day number, days with a step for busday_offset.
struct NumpyQuestions {
    std::vector<std::pair<double, double>> Pairs;
    std::vector<double> Days;
    std::vector<std::pair<double, int>> Offsets;
};

struct NumpyAnswers {
    std::vector<int> Counts;
    std::vector<std::pair<bool, int>> Days;  // a business day, and its number when it is
    // For each offset: rolled backward, rolled forward, and the step from the day rolled
    // backward; the days after or before the calendar are business days to numpy, so an
    // answer that the calendar does not hold is where ours falls back to the date asked.
    std::vector<std::array<double, 3>> Offsets;
};

// numpy's answers on the calendar: every day from 60 days before it to 60 after it that
// is not a work day is a holiday, with every day of the week a business day otherwise.
NumpyAnswers AskNumpy(const ModelCalendar& calendar, const NumpyQuestions& questions);

}  // namespace zev::test
