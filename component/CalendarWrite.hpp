#pragma once
// The calendar's write: every writer of the factory calendar (the window's Save and
// generation, the generator, an extension) changes it inside one, from the reads it bases
// its change on to its commit, so that no writer's change is lost beside another's and
// no reader sees half of one. Header-only, so that the suite's writers share it without
// linking the component.

#include <string_view>

#include "platform/data/TableWrite.hpp"

namespace zev::component {

// The calendar's table, and the name of the lock its writers wait for, which writers of
// earlier versions took around a generation.
inline constexpr std::string_view kCalendarTable = "t_WorkCalendar";
inline constexpr std::string_view kCalendarLockName = "ZevWorkCal generate";

class CalendarWrite : public data::TableWrite {
  public:
    explicit CalendarWrite(data::Connection& connection)
        : TableWrite(connection, kCalendarTable, kCalendarLockName) {}

    // The calendar write open on this thread, or nullptr.
    static data::TableWrite* Open() { return OpenOnThisThread(kCalendarTable); }
};

}  // namespace zev::component
