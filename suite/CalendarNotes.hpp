#pragma once
// The calendar's own records beside the suite's tables: the note of each day
// (t_WorkCalendarNote: why it rests or is worked) and the history of the calendar's
// changes (t_WorkCalendarLog). A database made before these tables existed, or by the
// suite, lacks them until `zevworkcal upgrade`: reads then answer nothing (no notes), a
// note is refused and a history row is not written, each saying so. Every statement runs
// inside whatever transaction the caller holds on the connection, so that a note and a
// history row commit or roll back with the change they belong to.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "component/Outcome.hpp"
#include "platform/data/Connection.hpp"

namespace zev::suite {

// The longest note, in characters (Unicode code points).
inline constexpr size_t kMostNoteCharacters = 200;

// The refusals of notes and the failure of a history read on a database without the
// calendar's own tables; source texts, naming the command that adds them.
inline constexpr const char* kNoNoteTable =
    "数据库中没有备注表 t_WorkCalendarNote，请先运行 zevworkcal upgrade";
inline constexpr const char* kNoLogTable =
    "数据库中没有历史记录表 t_WorkCalendarLog，请先运行 zevworkcal upgrade";
// What a write path says once when AppendHistory finds no table: the change is made,
// its history is not kept.
inline constexpr const char* kNoHistoryKept =
    "数据库中没有历史记录表 t_WorkCalendarLog：修改照常保存，但在运行 zevworkcal upgrade "
    "之前不记录历史";

struct DayNote {
    int32_t Day = 0;  // the day's number, as automation::OleDaySerial gives it
    std::string Note;
    bool operator==(const DayNote&) const = default;
};

// A change of the calendar as a history row records it.
struct HistoryEntry {
    std::string Action = {};         // what changed it: "generate", "extend", "swap", "note", ...
    std::optional<double> Day = {};  // the day changed; none for a change of a range of days
    std::string From = {};           // what the day was, or the first day of the range
    std::string To = {};             // what it became, or the last day of the range
    std::string Note = {};
    std::string User = {};     // empty: the login name of this process's user (LoginName)
    std::string Program = {};  // empty: "zevworkcal"
};

// A row of the history as read back.
struct HistoryRow {
    int64_t Id = 0;
    double Time = 0.0;  // the database's time of the change, an OLE date
    std::string User;
    std::string Program;
    std::string Action;
    std::optional<int32_t> Day;  // the day's number
    std::string From;
    std::string To;
    std::string Note;
};

// Why a text cannot be a note (not UTF-8, a control character, too long), as the refusal
// that names it; nothing when it can be one.
std::optional<component::Outcome> NoteProblem(std::string_view note);

class CalendarNotes {
  public:
    // Works on `connection`, inside whatever transaction the caller holds there. Whether
    // each table exists is asked once, the first time it matters: an object lives for
    // one command or one transaction.
    explicit CalendarNotes(data::Connection& connection) : connection_(connection) {}

    // Whether the database has the note table.
    bool HasNotes();
    // The notes of the days from `from`'s up to the day before `to`'s, in date order, in
    // one statement; none on a database without the note table.
    std::vector<DayNote> Notes(double from, double to);
    // Gives the day of `day` the note `text` (spaces around it dropped); an empty text
    // removes its note. Done when the note changed, Unchanged when it already was that.
    // Refused, with nothing written: a database without the note table (naming
    // upgrade), a day the calendar does not hold, a text that is not UTF-8, that holds a
    // control character (a note is one line) or that is longer than kMostNoteCharacters.
    component::Outcome SetNote(double day, std::string_view text);
    // Gives each day of `notes`, days the calendar holds in date order, its note as
    // SetNote would, in few statements: the notes held are read at once and new ones
    // written many to a statement. A note SetNote would refuse is left out, as is every
    // note on a database without the note table.
    void SetNotesOfDays(std::span<const DayNote> notes);

    // Whether the database has the history table.
    bool HasHistory();
    // Appends a row with the database's time; texts longer than their columns are cut
    // at a character. Returns whether it wrote: false on a database without the table.
    bool AppendHistory(const HistoryEntry& entry);
    // Appends the rows of `entries` in their order as AppendHistory does, many to a
    // statement where the engine numbers the rows of one statement in order.
    bool AppendHistory(std::span<const HistoryEntry> entries);
    // The rows of changes made from `from`'s day up to before `to`'s (either side open
    // when not given), oldest first, in the order written within one time. A database
    // without the table raises an error naming upgrade.
    std::vector<HistoryRow> History(std::optional<double> from, std::optional<double> to);

  private:
    data::Connection& connection_;
    std::optional<bool> hasNotes_;
    std::optional<bool> hasHistory_;
};

// Installs the history recorder of every calendar write (component::HistoryRecorder):
// each change recorded becomes a row of t_WorkCalendarLog in the write's transaction. On
// a database without the table the change is still made, and the process says once on
// stderr that no history is kept until upgrade.
void RegisterHistoryRecorder();

// Registers the window's reach to the notes (host::IDayNotes) over this store.
void RegisterDayNotes();

// The login name of this process's user, as the system's user database holds it; the
// user's number when it has none.
std::string LoginName();

}  // namespace zev::suite
