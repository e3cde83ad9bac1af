#pragma once
// WorkCalendarIndex: the work days of t_WorkCalendar held in memory, for callers that ask
// many date questions at once (schedulers). It answers WorkDayBefore, WorkDayAfter and
// WorkDay exactly as clsCal's members do, fall-backs included, by binary search instead
// of two statements per question. The database is read with one statement; IsStale tells
// cheaply whether the calendar may have changed since, and Refresh reloads then.

#include <cstdint>
#include <vector>

#include "component/ZevEnum.hpp"
#include "platform/data/Connection.hpp"

namespace zev::component {

class WorkCalendarIndex {
  public:
    // Loads the work days through `connection`, which the index keeps for IsStale and
    // Refresh.
    explicit WorkCalendarIndex(data::ConnectionPtr connection);

    // Whether committed data may have changed since the last load.
    bool IsStale();
    // Reloads when stale; returns whether it did.
    bool Refresh();
    void Reload();

    // The same answers as clsCal's members. A date that is not a valid date raises 6
    // (the members fail on it the same way, WorkDay through its error report).
    double WorkDayBefore(double dtDay) const;
    double WorkDayAfter(double dtDay) const;
    double WorkDay(double dtDay, Enu_Direction Direction, int32_t Interval) const;

    // Number of work days held.
    size_t WorkDayCount() const { return days_.size(); }

  private:
    // Index of the last work day on or before the day; -1 when there is none.
    std::ptrdiff_t LastOnOrBefore(int32_t serial) const;

    data::ConnectionPtr connection_;
    uint64_t version_ = 0;
    // Work days in date order, with their numbers and the largest number up to each.
    std::vector<int32_t> days_;
    std::vector<int32_t> numbers_;
    std::vector<int32_t> maxNumberSoFar_;
    // Work days ordered by number, for the step to a number.
    std::vector<std::pair<int32_t, int32_t>> byNumber_;
    // Whether the numbers are exactly 1..N in date order, as generation and saving keep
    // them; then a number finds its day by position.
    bool dense_ = true;
};

}  // namespace zev::component
