#pragma once
// CalendarCache: the date service's copy of the calendar in memory, and the one place that
// decides whether it may answer. Each thread keeps one copy, for the connection of its
// component state. The copy answers only when all of these hold, and the statements answer
// otherwise:
//   - it is turned on: the property CalendarCache=off in the process's property string,
//     read when a thread first asks on a connection, turns it off;
//   - the connection gives the table's change stamp now (Connection::ChangeStamp), and the
//     copy was read at that very stamp; a stamp that moved has the copy read again, so
//     every committed change is seen by the next question;
//   - the copy models every row it read (WorkCalendarIndex::Answers for the date members,
//     CalendarDays::Answers for the range questions).

#include "component/CalendarDays.hpp"
#include "component/WorkCalendarIndex.hpp"
#include "platform/data/Connection.hpp"

namespace zev::component::CalendarCache {

// The copy to answer from now, on `connection`; nullptr when the statements must answer,
// by the rule above, or when the calendar could not be read (the statements then meet
// the same failure).
const WorkCalendarIndex* Current(const data::ConnectionPtr& connection);

// The table by day of the range questions, on the same rule and the same stamp as the
// index: read at the first range question after each change.
const CalendarDays* CurrentDays(const data::ConnectionPtr& connection);

}  // namespace zev::component::CalendarCache
