// CalendarNotes and LoginName (CalendarNotes.hpp): the statements on the notes of days and
// the history of changes, and the checks a note passes before it is written.
#include "suite/CalendarNotes.hpp"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "component/CalendarWrite.hpp"
#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/Object.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/Schema.hpp"

namespace zev::suite {
namespace {

using automation::Variant;

constexpr const char* kSource = "ZevWorkCal.CalendarNotes";
constexpr const char* kProgram = "zevworkcal";
// The widths of the history's texts, in characters, as the schemas declare them.
constexpr size_t kNameWidth = 128;
constexpr size_t kActionWidth = 30;
constexpr size_t kTextWidth = 200;
// Notes per INSERT of SetNotesOfDays, within every engine's parameter limits.
constexpr size_t kNotesPerInsert = 200;

constexpr const char* kSelectNotes =
    "SELECT FDay, FNote FROM t_WorkCalendarNote WHERE FDay>=? AND FDay<=? ORDER BY FDay";
constexpr const char* kSelectNote = "SELECT FNote FROM t_WorkCalendarNote WHERE FDay=?";
constexpr const char* kInsertNote = "INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES(?,?)";
constexpr const char* kUpdateNote = "UPDATE t_WorkCalendarNote SET FNote=? WHERE FDay=?";
constexpr const char* kDeleteNote = "DELETE FROM t_WorkCalendarNote WHERE FDay=?";
constexpr const char* kCountDay = "SELECT COUNT(*) FROM t_WorkCalendar WHERE FDay=?";
constexpr const char* kInsertHistory =
    "INSERT INTO t_WorkCalendarLog(FTime,FUser,FProgram,FAction,FDay,FFrom,FTo,FNote) "
    "VALUES(GETDATE(),?,?,?,?,?,?,?)";
constexpr const char* kSelectHistory =
    "SELECT FID,FTime,FUser,FProgram,FAction,FDay,FFrom,FTo,FNote FROM t_WorkCalendarLog";

// The day of an OLE date, as a statement's value.
Variant DayValue(double date) {
    return Variant::FromDate(automation::OleDaySerial(date));
}

// The number of a day that a row holds.
int32_t DayOf(const Variant& value) {
    return automation::OleDaySerial(automation::CDate(value));
}

// A Null text reads as none.
std::string TextOf(const Variant& value) {
    return value.IsNull() ? std::string() : automation::CStr(value);
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t CharacterCount(std::string_view utf8) {
    size_t count = 0;
    for (char c : utf8)
        count += IsContinuation(c) ? 0 : 1;
    return count;
}

// The first `most` characters of UTF-8 text.
std::string CutAt(std::string_view utf8, size_t most) {
    size_t characters = 0;
    for (size_t at = 0; at < utf8.size(); ++at) {
        if (IsContinuation(utf8[at])) continue;
        if (characters++ == most) return std::string(utf8.substr(0, at));
    }
    return std::string(utf8);
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<component::Outcome> NoteProblem(std::string_view note) {
    if (!automation::IsValidUtf8(note)) {
        return component::Outcome::Refused("备注不是有效的 UTF-8 文本");
    }
    if (const size_t at = automation::FindControlCharacter(note); at != std::string_view::npos) {
        char named[16];
        std::snprintf(named, sizeof named, ": U+%04X",
                      static_cast<unsigned>(automation::ReadUtf8(note, at).CodePoint));
        return component::Outcome::Refused("备注只能有一行，不能含有控制字符", named);
    }
    if (CharacterCount(note) > kMostNoteCharacters) {
        return component::Outcome::Refused("备注太长，最多 200 个字符",
                                           ": " + std::to_string(CharacterCount(note)));
    }
    return std::nullopt;
}

bool CalendarNotes::HasNotes() {
    if (!hasNotes_) hasNotes_ = connection_.HasTable(kNoteTable);
    return *hasNotes_;
}

std::vector<DayNote> CalendarNotes::Notes(double from, double to) {
    std::vector<DayNote> notes;
    if (!HasNotes()) return notes;
    // The last day of the range rather than the day after it, which for a range that
    // ends on 9999-12-31 is no date.
    const std::optional<int32_t> end = automation::TryOleDaySerial(to);
    const int32_t last = end ? *end - 1 : automation::OleDaySerial(to - 1.0);
    const Variant range[] = {DayValue(from), Variant::FromDate(last)};
    for (data::Recordset rs = connection_.ExecuteWith(kSelectNotes, range); !rs.Eof();
         rs.MoveNext()) {
        notes.push_back({DayOf(rs.Fields(0).Value()), TextOf(rs.Fields(1).Value())});
    }
    return notes;
}

component::Outcome CalendarNotes::SetNote(double day, std::string_view text) {
    const std::string_view note = TrimSpaces(text);
    if (!HasNotes()) return component::Outcome::Refused(kNoNoteTable);
    if (std::optional<component::Outcome> problem = NoteProblem(note)) return *problem;
    const Variant where[] = {DayValue(day)};
    if (automation::CLng(connection_.ExecuteWith(kCountDay, where).Fields(0).Value()) == 0) {
        return component::Outcome::Refused("这一天不在工厂日历之内",
                                           ": " + automation::FormatIsoDate(day));
    }
    data::Recordset held = connection_.ExecuteWith(kSelectNote, where);
    const std::optional<std::string> before =
        held.Eof() ? std::nullopt : std::optional(TextOf(held.Fields(0).Value()));
    if (before.value_or("") == note) return component::Outcome::Unchanged();
    if (note.empty()) {
        connection_.ExecuteWith(kDeleteNote, where);
    } else if (before) {
        const Variant values[] = {Variant(note), DayValue(day)};
        connection_.ExecuteWith(kUpdateNote, values);
    } else {
        const Variant values[] = {DayValue(day), Variant(note)};
        connection_.ExecuteWith(kInsertNote, values);
    }
    return component::Outcome::Done();
}

void CalendarNotes::SetNotesOfDays(std::span<const DayNote> notes) {
    if (notes.empty() || !HasNotes()) return;
    std::map<int32_t, std::string> held;
    for (DayNote& n : Notes(notes.front().Day, static_cast<double>(notes.back().Day) + 1.0))
        held.emplace(n.Day, std::move(n.Note));
    std::vector<Variant> values;
    const auto flush = [&] {
        if (values.empty()) return;
        std::string statement = "INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES ";
        for (size_t r = 0; r < values.size() / 2; ++r)
            statement += r == 0 ? "(?,?)" : ",(?,?)";
        connection_.ExecuteWith(statement, values);
        values.clear();
    };
    for (const DayNote& n : notes) {
        const std::string_view note = TrimSpaces(n.Note);
        if (NoteProblem(note)) continue;
        const auto it = held.find(n.Day);
        if (it == held.end()) {
            if (note.empty()) continue;
            values.push_back(DayValue(n.Day));
            values.emplace_back(std::string(note));
            if (values.size() == 2 * kNotesPerInsert) flush();
        } else if (it->second != note) {
            // Seldom: a note kept for a day before it was in the calendar.
            SetNote(n.Day, note);
        }
    }
    flush();
}

bool CalendarNotes::HasHistory() {
    if (!hasHistory_) hasHistory_ = connection_.HasTable(kLogTable);
    return *hasHistory_;
}

bool CalendarNotes::AppendHistory(const HistoryEntry& entry) {
    if (!HasHistory()) return false;
    const Variant values[] = {
        Variant(CutAt(entry.User.empty() ? LoginName() : entry.User, kNameWidth)),
        Variant(CutAt(entry.Program.empty() ? kProgram : entry.Program, kNameWidth)),
        Variant(CutAt(entry.Action, kActionWidth)),
        entry.Day ? DayValue(*entry.Day) : Variant::Null(),
        Variant(CutAt(entry.From, kTextWidth)),
        Variant(CutAt(entry.To, kTextWidth)),
        Variant(CutAt(entry.Note, kTextWidth)),
    };
    connection_.ExecuteWith(kInsertHistory, values);
    return true;
}

bool CalendarNotes::AppendHistory(std::span<const HistoryEntry> entries) {
    if (!HasHistory()) return false;
    // SQL Server does not promise to number the rows of one statement in their order.
    const size_t perStatement = connection_.GetDialect() == data::Dialect::SqlServer ? 1 : 100;
    const std::string login = LoginName();
    std::vector<Variant> values;
    std::string statement;
    for (size_t first = 0; first < entries.size(); first += perStatement) {
        const size_t rows = std::min(perStatement, entries.size() - first);
        values.clear();
        statement = kInsertHistory;
        for (size_t r = 0; r < rows; ++r) {
            const HistoryEntry& entry = entries[first + r];
            if (r > 0) statement += ",(GETDATE(),?,?,?,?,?,?,?)";
            values.emplace_back(CutAt(entry.User.empty() ? login : entry.User, kNameWidth));
            values.emplace_back(
                CutAt(entry.Program.empty() ? kProgram : entry.Program, kNameWidth));
            values.emplace_back(CutAt(entry.Action, kActionWidth));
            values.push_back(entry.Day ? DayValue(*entry.Day) : Variant::Null());
            values.emplace_back(CutAt(entry.From, kTextWidth));
            values.emplace_back(CutAt(entry.To, kTextWidth));
            values.emplace_back(CutAt(entry.Note, kTextWidth));
        }
        connection_.ExecuteWith(statement, values);
    }
    return true;
}

std::vector<HistoryRow> CalendarNotes::History(std::optional<double> from,
                                               std::optional<double> to) {
    if (!HasHistory()) {
        throw automation::ComError(automation::errors::kUnspecified, kSource,
                                   automation::MarkedText(kNoLogTable));
    }
    std::string statement = kSelectHistory;
    std::vector<Variant> values;
    if (from) {
        statement += " WHERE FTime>=?";
        values.push_back(DayValue(*from));
    }
    if (to) {
        statement += from ? " AND FTime<?" : " WHERE FTime<?";
        values.push_back(DayValue(*to));
    }
    statement += " ORDER BY FTime, FID";
    std::vector<HistoryRow> rows;
    for (data::Recordset rs = connection_.ExecuteWith(statement, values); !rs.Eof();
         rs.MoveNext()) {
        HistoryRow row;
        row.Id = static_cast<int64_t>(std::llround(automation::CDbl(rs.Fields(0).Value())));
        row.Time = automation::CDate(rs.Fields(1).Value());
        row.User = TextOf(rs.Fields(2).Value());
        row.Program = TextOf(rs.Fields(3).Value());
        row.Action = TextOf(rs.Fields(4).Value());
        if (const Variant day = rs.Fields(5).Value(); !day.IsNull()) row.Day = DayOf(day);
        row.From = TextOf(rs.Fields(6).Value());
        row.To = TextOf(rs.Fields(7).Value());
        row.Note = TextOf(rs.Fields(8).Value());
        rows.push_back(std::move(row));
    }
    return rows;
}

void RegisterHistoryRecorder() {
    component::HistoryRecorder() = [](data::Connection& connection,
                                      const std::vector<component::CalendarChange>& changes) {
        CalendarNotes notes(connection);
        std::vector<HistoryEntry> entries;
        entries.reserve(changes.size());
        for (const component::CalendarChange& change : changes) {
            entries.push_back({change.Action, change.Day, change.From, change.To, change.Note,
                               std::string(), change.Program});
        }
        if (notes.AppendHistory(entries)) return;
        static std::atomic<bool> said{false};
        if (!said.exchange(true)) {
            std::fprintf(stderr, "%s: %s\n", program_invocation_short_name,
                         host::MMTS::LoadLocalText(kNoHistoryKept).c_str());
        }
    };
}

std::string LoginName() {
    const uid_t uid = ::geteuid();
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && *found->pw_name != '\0') {
        return found->pw_name;
    }
    return std::to_string(uid);
}

namespace {

// The window's reach to the notes: each call over a store on the caller's connection,
// inside the transaction the caller holds there.
class DayNotes final : public automation::Object, public host::IDayNotes {
  public:
    bool HasNotes(data::Connection& connection) override {
        return CalendarNotes(connection).HasNotes();
    }
    std::vector<std::pair<double, std::string>> Notes(data::Connection& connection, double from,
                                                      double to) override {
        std::vector<std::pair<double, std::string>> notes;
        for (DayNote& note : CalendarNotes(connection).Notes(from, to)) {
            notes.emplace_back(automation::OleFromDay(automation::DayOfSerial(note.Day)),
                               std::move(note.Note));
        }
        return notes;
    }
    Written SetNote(data::Connection& connection, double day, const std::string& text,
                    std::string& refusal, std::string& detail) override {
        const component::Outcome outcome = CalendarNotes(connection).SetNote(day, text);
        switch (outcome.What()) {
            case component::Outcome::Kind::Done:
                return Written::Changed;
            case component::Outcome::Kind::Unchanged:
                return Written::Unchanged;
            default:
                refusal = outcome.Text();
                detail = outcome.Detail();
                return Written::Refused;
        }
    }
};

}  // namespace

void RegisterDayNotes() {
    automation::RegisterFactory(host::progid::kDayNotes,
                                [] { return std::make_shared<DayNotes>(); });
}

}  // namespace zev::suite
