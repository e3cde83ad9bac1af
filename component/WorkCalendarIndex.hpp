#pragma once
// WorkCalendarIndex: the work-day rows of t_WorkCalendar held in memory, answering the
// questions of clsCal's three members in constant time with exactly the answers their
// statements give, the fall-backs to the date asked and the overflow of a work-day number
// outside 32 bits included. Where the answer would depend on something the rows alone do
// not fix (the order in which the engine returns two rows of one number, a value the
// engine compares in its own way), the index says so instead of guessing, and the
// statements answer. It is read with one statement and never changes; CalendarCache
// decides when a copy may answer at all.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "component/CalendarQuestions.hpp"
#include "component/WorkDayQuestion.hpp"
#include "component/ZevEnum.hpp"
#include "platform/data/Connection.hpp"

namespace zev::component {

// The day number of a date text written exactly as the statements write dates
// ("2009-06-04"); std::nullopt for any other text.
std::optional<int32_t> DayOfDateText(std::string_view text);

class WorkCalendarIndex {
  public:
    // A calendar without work days.
    WorkCalendarIndex() = default;

    // Reads the rows the statements select (FInterID>0) through `connection`. Fails as
    // the statement fails.
    static WorkCalendarIndex Load(data::Connection& connection);

    // The answers of WorkDayBefore, WorkDayAfter and WorkDay for the day number `day`
    // (days since 1899-12-30) of the date asked, `dtDay`, which is the answer where the
    // statements find nothing. std::nullopt: the statements must answer. WorkDay raises
    // what the member raises when the work-day number on or before the day does not fit
    // in 32 bits.
    std::optional<double> WorkDayBefore(int32_t day, double dtDay) const;
    std::optional<double> WorkDayAfter(int32_t day, double dtDay) const;
    std::optional<double> WorkDay(int32_t day, double dtDay, Enu_Direction Direction,
                                  int32_t Interval) const;
    // The same answers, and whether each is a day of the calendar rather than the
    // fallback to the date asked.
    std::optional<DayAnswer> WorkDayBeforeAnswer(int32_t day, double dtDay) const;
    std::optional<DayAnswer> WorkDayAfterAnswer(int32_t day, double dtDay) const;
    std::optional<DayAnswer> WorkDayAnswer(int32_t day, double dtDay, Enu_Direction Direction,
                                           int32_t Interval) const;

    // WorkDay for questions[from], questions[from + 1], ... into the same places of
    // `answers`, until a question the index leaves to the member: a date the formatter
    // may refuse, a work-day number outside 32 bits, or an answer the engine's order of
    // rows decides. Returns the position of that question; questions.size() when it
    // answered them all.
    size_t WorkDays(std::span<const WorkDayQuestion> questions, std::span<double> answers,
                    size_t from) const;
    // The same, and found[i] 1 where answers[i] is a day of the calendar, 0 where it is the
    // fallback to the date asked; `found` holds as many values as `answers`.
    size_t WorkDays(std::span<const WorkDayQuestion> questions, std::span<double> answers,
                    std::span<uint8_t> found, size_t from) const;

    // Whether the index answers at all: false when a row holds a value it does not model
    // (a number with a fraction, a day with a time of day, a text the engine compares as
    // text), and every question goes to the statements.
    bool Answers() const { return answers_; }
    // The number of rows held (work days, or rows with a number but no day).
    size_t RowCount() const { return rowCount_; }

  private:
    // What a work-day number leads to.
    static constexpr int32_t kNoRow = INT32_MIN;          // no row has it
    static constexpr int32_t kNullDay = INT32_MIN + 1;    // its one row has no day
    static constexpr int32_t kAmbiguous = INT32_MIN + 2;  // rows of different days share it

    struct Row {
        int32_t day;     // kNullDay when FDay is NULL
        int64_t number;  // FInterID, at least 1
    };
    void Build(std::vector<Row> rows);
    void Record(int64_t number, int32_t day);
    // Position in days_ of the last dated row on or before `day`; -1 when there is none.
    std::ptrdiff_t LastOnOrBefore(int32_t day) const;
    int32_t DayOfNumber(int64_t number) const;

    bool answers_ = true;
    size_t rowCount_ = 0;
    // The dated rows in day order (a day may repeat) and the largest number up to each.
    std::vector<int32_t> days_;
    std::vector<int64_t> maxNumber_;
    // For every day from days_.front() to days_.back(): LastOnOrBefore of it. Left empty
    // for a calendar with long stretches without rows, which is searched instead.
    std::vector<int32_t> lastAt_;
    // Beside lastAt_, for every day: the largest number on or before it, which WorkDay
    // starts from, or kNumberBeyond32Bits.
    static constexpr int32_t kNumberBeyond32Bits = 0;
    std::vector<int32_t> numberAt_;
    // Work-day number -> day (or kNoRow, kNullDay, kAmbiguous): numbers 1..N by position,
    // the few beyond in a sorted list.
    std::vector<int32_t> dayOfNumber_;
    std::vector<std::pair<int64_t, int32_t>> sparseNumbers_;
};

}  // namespace zev::component
