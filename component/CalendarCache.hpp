#pragma once
// CalendarCache: the date service's copy of the calendar in memory, and the one place that
// decides whether it may answer. Each thread keeps one copy, for the connection of its
// component state. The copy answers only when all of these hold, and the statements answer
// otherwise:
//   - it is turned on: the property CalendarCache=off in the process's property string,
//     read when a thread first asks on a connection, turns it off;
//   - the connection gives the table's change stamp now (Connection::ChangeStamp), and the
//     copy was read at that very stamp; a stamp that moved drops the copy, so every
//     committed change is seen by the next question;
//   - the copy models every row it read (WorkCalendarIndex::Answers for the date members,
//     CalendarDays::Answers for the range questions);
//   - it has been read: a calendar of at most kReadAtOnce days is read at the first
//     question; a larger one only once the questions asked at the current stamp would have
//     cost the statements as much as reading it (each caller says what its question would
//     cost them). A single question on a long calendar so costs a few indexed statements,
//     and a stream of questions pays for the copy at most twice over.

#include <cstdint>
#include <optional>

#include "component/CalendarDays.hpp"
#include "component/WorkCalendarIndex.hpp"
#include "platform/data/Connection.hpp"

namespace zev::component::CalendarCache {

// The cost units: a row read into the copy is 1; one question answered by its statements
// counts as reading this many rows.
inline constexpr uint64_t kStatementCost = 64;
// A range statement reads this many days for the cost of one day read into the copy
// (it reads the key alone, the copy every field of every row).
inline constexpr uint64_t kStatementDaysPerRow = 4;
// Calendars spanning at most this many days are read at the first question.
inline constexpr int64_t kReadAtOnce = 8192;

// The copy to answer from now, on `connection`, for questions that would cost the
// statements `cost`; nullptr when the statements must answer, by the rule above, or when
// the calendar could not be read (the statements then meet the same failure).
const WorkCalendarIndex* Current(const data::ConnectionPtr& connection, uint64_t cost);

// The table by day of the range questions, on the same rule and the same stamp as the
// index.
const CalendarDays* CurrentDays(const data::ConnectionPtr& connection, uint64_t cost);

// Adds `cost` to what the questions at the current stamp have cost the statements on
// `connection`: a statement whose cost the caller learns only from the hints (below) says
// so here, and the next Current or CurrentDays may find the copy paid for.
void Charge(const data::ConnectionPtr& connection, uint64_t cost);

// What the statements may lean on where the copy does not answer, as learnt by the last
// Current or CurrentDays of this thread on `connection`.
struct StatementHints {
    // The copy is turned on, so the statements may run in forms of our own that the
    // engine's indexes serve (with the literal statements' answers); off, the literal
    // statements run.
    bool Indexed = false;
    // The calendar's first and last day at the current stamp, when known.
    std::optional<int32_t> First;
    std::optional<int32_t> Last;
};
StatementHints Hints(const data::ConnectionPtr& connection);

}  // namespace zev::component::CalendarCache
