#pragma once
// CalendarDays: every row of t_WorkCalendar held in memory as a table by day, answering
// the range questions (the work days between two dates, the kind of each day of a run)
// with exactly the answers of their statements: a count in constant time, a run of days
// in time proportional to its length. Where the
// rows hold what the table does not model (a day written another way than the statements
// write days, a number with a fraction or beyond 32 bits, rows so far apart that a table
// by day would be mostly empty), it says so and the statements answer. Read with one
// statement and never changed; CalendarCache decides when a copy is current.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "component/CalendarQuestions.hpp"
#include "platform/data/Connection.hpp"

namespace zev::component {

// The statements the range questions stand for, with the date texts of their days
// ("2009-06-04") in place: every answer from memory equals theirs.
namespace RangeStatements {
// Days held and work days among them from `from` up to the day before `to`.
std::string Count(const std::string& from, const std::string& to);
// One row per day held from `from` up to the day before `to`, in date order: the day and
// the largest number of its rows (a work day when it is above 0).
std::string Kinds(const std::string& from, const std::string& to);
// The same from `from` to the calendar's last day.
std::string KindsFrom(const std::string& from);
// The calendar's first and last day; each from the key (an engine reads the whole table
// for MIN and MAX in one query).
inline constexpr const char* kSpan =
    "SELECT (SELECT MIN(FDay) FROM t_WorkCalendar), (SELECT MAX(FDay) FROM t_WorkCalendar)";
}  // namespace RangeStatements

class CalendarDays {
  public:
    // A calendar without days.
    CalendarDays() = default;

    // Reads every row of t_WorkCalendar through `connection`. Fails as the statement
    // fails.
    static CalendarDays Load(data::Connection& connection);

    // Whether the table answers at all; when false every question goes to the statements.
    bool Answers() const { return answers_; }

    // The questions for day numbers (days since 1899-12-30); only while Answers().
    // Work days from `from` up to the day before `to` (from <= to), and the days of that
    // range the calendar does not hold.
    WorkDayCount Count(int32_t from, int32_t to) const;
    // What the calendar holds for the days from `from` on, one per place of `days`.
    void Kinds(int32_t from, std::span<CalendarDay> days) const;

  private:
    bool answers_ = true;
    int32_t first_ = 0;                // the day of days_[0]
    std::vector<CalendarDay> days_;    // every day from the first held to the last
    std::vector<int32_t> workBefore_;  // work days among days_ before position i
    std::vector<int32_t> heldBefore_;  // days held among days_ before position i
};

}  // namespace zev::component
