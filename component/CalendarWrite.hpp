#pragma once
// The calendar's write: every writer of the factory calendar (the window's Save and
// generation, the generator, an extension) changes it inside one, from the reads it bases
// its change on to its commit, so that no writer's change is lost beside another's and
// no reader sees half of one; and records there what it changed, for the history.
// Header-only, so that the suite's writers share it without linking the component.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/data/TableWrite.hpp"

namespace zev::component {

// A change of the calendar as its history keeps it: what made it, the day it changed and
// what the day was and became, or for a change of a range of days its first and last day;
// the program that made it, when a host named itself.
struct CalendarChange {
    std::string Action;
    std::optional<double> Day;
    std::string From;
    std::string To;
    std::string Note = {};
    std::string Program = {};
};

// Writes the changes a calendar write recorded, on its connection inside its transaction,
// just before it commits, so that the history commits with the change or not at all.
// Installed once by the program (the suite keeps the history table); without one, nothing
// is written.
using ChangeRecorder =
    std::function<void(data::Connection& connection, const std::vector<CalendarChange>&)>;
inline ChangeRecorder& HistoryRecorder() {
    static ChangeRecorder recorder;
    return recorder;
}

// The calendar's table, and the name of the lock its writers wait for, which writers of
// earlier versions took around a generation.
inline constexpr std::string_view kCalendarTable = "t_WorkCalendar";
inline constexpr std::string_view kCalendarLockName = "ZevWorkCal generate";

class CalendarWrite : public data::TableWrite {
  public:
    explicit CalendarWrite(data::Connection& connection)
        : TableWrite(connection, kCalendarTable, kCalendarLockName) {}
    // A deferred write (TableWrite::Deferred): the writer it calls writes in it on this
    // connection or takes it over on a connection of its own.
    CalendarWrite(data::Connection& connection, Deferred deferred)
        : TableWrite(connection, kCalendarTable, kCalendarLockName, std::move(deferred)) {}

    // The calendar write open on this thread, or nullptr.
    static data::TableWrite* Open() { return OpenOnThisThread(kCalendarTable); }

    // Keeps a change for the history; a joined write keeps it in the write it joined.
    void Record(CalendarChange change) {
        CalendarWrite* owner = Joined() ? static_cast<CalendarWrite*>(JoinedTo()) : this;
        if (owner != this && owner->ownRecordsOnly_) return;
        owner->changes_.push_back(std::move(change));
    }
    // The writer of this write records its changes itself, as a whole (an import, one row
    // a day with its file): what writes that join it record is dropped.
    void KeepOwnRecordsOnly() { ownRecordsOnly_ = true; }

    // Writes the history of the changes recorded, then commits (TableWrite::Commit).
    void Commit() {
        if (!Joined() && !changes_.empty() && HistoryRecorder()) {
            HistoryRecorder()(Link(), changes_);
        }
        changes_.clear();
        TableWrite::Commit();
    }

  private:
    std::vector<CalendarChange> changes_;
    bool ownRecordsOnly_ = false;
};

}  // namespace zev::component
