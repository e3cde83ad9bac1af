#pragma once
// CalendarCache: the date service's copy of the calendar in memory. Each thread keeps one
// copy, for the connection of its component state; the copy is used only while the
// database's change stamp proves it current and is read again when the stamp has moved,
// so every committed change is seen by the next question. The property CalendarCache=off
// in the process's property string, read when a thread first asks on a connection,
// leaves every question to the statements.

#include "component/CalendarDays.hpp"
#include "component/WorkCalendarIndex.hpp"
#include "platform/data/Connection.hpp"

namespace zev::component::CalendarCache {

// The copy to answer from now, on `connection`; nullptr when the statements must answer:
// the copy is turned off, the database offers no change stamp to trust at this moment,
// or the calendar could not be read (the statements then meet the same failure).
const WorkCalendarIndex* Current(const data::ConnectionPtr& connection);

// The table by day of the range questions, on the same rule and the same stamp as the
// index: read at the first range question after each change.
const CalendarDays* CurrentDays(const data::ConnectionPtr& connection);

}  // namespace zev::component::CalendarCache
