// ReadListedDays (ImportFile.hpp): the CSV reader, the iCalendar reader over libical, and
// the checks both share.
#include "apps/zevworkcal/ImportFile.hpp"

#include <libical/ical.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/UserFile.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/CalendarRules.hpp"

namespace zev::cli {
namespace {

constexpr const char* kSource = "zevworkcal";
constexpr const char* kMalformed = "导入文件的这一行格式不对";
constexpr const char* kNotAllDay = "导入文件中的事件不是全天事件";
constexpr const char* kEndBeforeStart = "导入文件中的事件没有在开始之后结束";
constexpr const char* kCannotRecur = "导入文件中的事件的重复规则无法展开";
constexpr const char* kNoDayWithin = "导入文件中的重复事件在工厂日历中没有一天";
constexpr const char* kStartNotInRule = "导入文件中事件的 DTSTART 不是其 RRULE 的一天";
constexpr const char* kCannotKeep = "导入文件中的这个重复事件不能保存为规则";

// The most of a line a refusal shows of it: enough to find it, never a whole endless line.
constexpr size_t kMostShown = 80;

[[noreturn]] void Fail(const char* text, const std::string& file, int line,
                       std::string_view what = {}) {
    std::string detail = ": " + automation::EscapeControls(file) + ":" + std::to_string(line);
    if (what.size() > kMostShown) {
        size_t cut = kMostShown;
        while (cut > 0 && (static_cast<unsigned char>(what[cut]) & 0xC0) == 0x80)
            --cut;
        detail += ": " + automation::EscapeControls(what.substr(0, cut)) + "...";
    } else if (!what.empty()) {
        detail += ": " + automation::EscapeControls(what);
    }
    throw automation::ComError(automation::errors::kUnspecified, kSource,
                               automation::MarkedText(text, detail));
}

// The whole file, or standard input for "-", up to kMostImportBytes.
std::string ReadWhole(const std::string& file) {
    return automation::ReadUserFile(file, {kMostImportBytes, "导入的内容太大，最多 64 MiB",
                                           "导入文件不是普通文件", "无法读取导入文件"});
}

// The format of a list without --format: the file's extension; standard input's is
// iCalendar when it begins with BEGIN:VCALENDAR, CSV otherwise.
std::optional<ListFormat> FormatOf(const std::string& file, std::string_view text) {
    if (file == "-") {
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.remove_prefix(3);
        const std::string_view start = automation::Trim(text.substr(0, 64), " \t\r\n");
        return automation::EqualsNoCase(start.substr(0, 15), "BEGIN:VCALENDAR") ? ListFormat::Ics
                                                                                : ListFormat::Csv;
    }
    const std::string extension = automation::UpperAscii(
        file.rfind('.') == std::string::npos ? std::string() : file.substr(file.rfind('.')));
    if (extension == ".CSV") return ListFormat::Csv;
    if (extension == ".ICS") return ListFormat::Ics;
    return std::nullopt;
}

std::optional<double> DayOf(std::string_view text) {
    const auto day = automation::ParseIsoDay(text);
    if (!day) return std::nullopt;
    return automation::OleFromDay(*day);
}

// The fields of one CSV line: commas outside double quotes part them, "" inside quotes is
// one quote. std::nullopt for a quote left open.
std::optional<std::vector<std::string>> CsvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                fields.back() += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted) return std::nullopt;
    return fields;
}

std::vector<ListedDay> ReadCsv(const std::string& file, const std::string& text) {
    std::vector<ListedDay> days;
    bool dataSeen = false;
    // A byte order mark, as spreadsheet programs write one, is no part of the first line.
    size_t at = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    for (int number = 1; at < text.size(); ++number) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view bare = automation::Trim(line, " \t");
        if (bare.empty() || bare.front() == '#') continue;
        const auto fields = CsvFields(line);
        if (!fields || fields->size() < 2 || fields->size() > 3) {
            Fail(kMalformed, file, number, line);
        }
        const std::string date(automation::Trim((*fields)[0], " \t"));
        const std::string kind = automation::UpperAscii(automation::Trim((*fields)[1], " \t"));
        const bool first = !dataSeen;
        dataSeen = true;
        if (first && automation::EqualsNoCase(date, "date") && kind == "KIND") {
            continue;  // the header, the first line that is no comment
        }
        const std::optional<double> day = DayOf(date);
        if (!day || (kind != "REST" && kind != "WORK")) Fail(kMalformed, file, number, line);
        const std::string note =
            fields->size() == 3 ? std::string(automation::Trim((*fields)[2], " \t")) : "";
        days.push_back({*day, kind == "REST", note, number});
    }
    return days;
}

// The line of each VEVENT's BEGIN, in the order libical gives the events.
std::vector<int> EventLines(const std::string& text) {
    std::vector<int> lines;
    int number = 1;
    for (size_t at = 0; at < text.size(); ++number) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (automation::EqualsNoCase(automation::Trim(line, " \t"), "BEGIN:VEVENT")) {
            lines.push_back(number);
        }
        at = end + 1;
    }
    return lines;
}

// `text` with its folded lines joined again (a line end followed by a space or a tab).
std::string Unfolded(const std::string& text) {
    std::string joined;
    joined.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t end = text.compare(i, 2, "\r\n") == 0 ? i + 2 : text[i] == '\n' ? i + 1 : i;
        if (end > i && end < text.size() && (text[end] == ' ' || text[end] == '\t')) {
            i = end;
            continue;
        }
        joined += text[i];
    }
    return joined;
}

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};

bool HasCategory(icalcomponent* event, std::string_view wanted) {
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY)) {
        const char* value = icalproperty_get_categories(p);
        if (value == nullptr) continue;
        std::string_view rest(value);
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            const std::string_view one = automation::Trim(rest.substr(0, comma), " \t");
            if (automation::EqualsNoCase(one, wanted)) return true;
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    }
    return false;
}

// Whether `event` carries the property `name` with the value TRUE.
bool HasMark(icalcomponent* event, std::string_view name) {
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_X_PROPERTY); p != nullptr;
         p = icalcomponent_get_next_property(event, ICAL_X_PROPERTY)) {
        const char* x = icalproperty_get_x_name(p);
        const char* value = icalproperty_get_x(p);
        if (x != nullptr && value != nullptr && automation::EqualsNoCase(x, name) &&
            automation::EqualsNoCase(automation::Trim(value, " \t"), "TRUE")) {
            return true;
        }
    }
    return false;
}

double OleOf(const icaltimetype& t) {
    return automation::OleFromCivil(t.year, t.month, t.day);
}

// The first days of the occurrences of `event`, each `length` days long, that reach into
// the calendar's days: the day of DTSTART alone for an event that does not recur;
// otherwise DTSTART, every day its RRULEs give and every RDATE, less every EXDATE,
// expanded by libical. A recurrence the library cannot expand, or an RDATE or EXDATE that
// is no date, is refused by the line.
std::vector<double> Occurrences(icalcomponent* event, const icaltimetype& first, double length,
                                const std::optional<component::DaySpan>& within,
                                const std::set<double>& overridden, const std::string& file,
                                int line) {
    const double start = OleOf(first);
    const bool recurs = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) != nullptr ||
                        icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr;
    // An exception rule, which iCalendar has given up, is not expanded: refused, never
    // dropped.
    if (icalcomponent_get_first_property(event, ICAL_EXRULE_PROPERTY) != nullptr) {
        Fail(kCannotRecur, file, line, "EXRULE");
    }
    if (!recurs) {
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY);
             p != nullptr; p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
            if (OleOf(icalproperty_get_exdate(p)) == start) return {};
        }
        return {start};
    }
    // Occurrences outside the calendar are none of its business; without a calendar there
    // are no days to look in.
    if (!within) return {};
    const auto inside = [&](double day) {
        return day + length - 1 >= within->First && day <= within->Last;
    };
    std::set<double> days;
    if (inside(start)) days.insert(start);
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
        // Expanded as the calendar's own rules are (suite::RecurrenceDays), past the
        // library's last year too; a frequency finer than days is none of an all-day event.
        icalrecurrencetype parsed = icalproperty_get_rrule(p);
        char* written = icalrecurrencetype_as_string_r(&parsed);
        if (written == nullptr) Fail(kCannotRecur, file, line, "RRULE");
        const suite::CalendarRule rule{0, written, true, "", start};
        icalmemory_free_buffer(written);
        const auto expand = [&](double from, double to) {
            try {
                return suite::RecurrenceDays(rule, from, to);
            } catch (const automation::ComError&) {
                Fail(kCannotRecur, file, line, "RRULE");
            }
        };
        // A DTSTART off its rule makes days that calendar programs count differently (with
        // a COUNT, one more or one less), and that a rule kept from the event would not.
        if (expand(start, start).empty()) Fail(kStartNotInRule, file, line, "DTSTART");
        const std::vector<int32_t> given = expand(within->First - length + 1, within->Last);
        for (const int32_t day : given)
            days.insert(static_cast<double>(day));
    }
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype value = icalproperty_get_rdate(p);
        if (!value.time.is_date) Fail(kNotAllDay, file, line, "RDATE");
        if (inside(OleOf(value.time))) days.insert(OleOf(value.time));
    }
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
        const icaltimetype value = icalproperty_get_exdate(p);
        if (!value.is_date) Fail(kNotAllDay, file, line, "EXDATE");
        days.erase(OleOf(value));
    }
    // An occurrence that an event of its own (RECURRENCE-ID) moves or cancels is that
    // event's.
    for (const double day : overridden)
        days.erase(day);
    return {days.begin(), days.end()};
}

std::vector<ListedDay> ReadIcs(const std::string& file, const std::string& text,
                               const std::optional<component::DaySpan>& within,
                               std::vector<ListedRule>* rules) {
    const std::unique_ptr<icalcomponent, ComponentFree> calendar(
        icalparser_parse_string(text.c_str()));
    if (!calendar) Fail(kMalformed, file, 1);
    const std::vector<int> lines = EventLines(text);
    std::vector<ListedDay> days;
    // The events of the file in its order: a file of one event parses as the event itself,
    // one of several calendars as a root holding them.
    std::vector<icalcomponent*> events;
    const auto eventsOf = [&](icalcomponent* c) {
        for (icalcomponent* e = icalcomponent_get_first_component(c, ICAL_VEVENT_COMPONENT);
             e != nullptr; e = icalcomponent_get_next_component(c, ICAL_VEVENT_COMPONENT))
            events.push_back(e);
    };
    icalcomponent* root = calendar.get();
    if (icalcomponent_isa(root) == ICAL_VEVENT_COMPONENT) {
        events.push_back(root);
    } else if (icalcomponent_isa(root) == ICAL_XROOT_COMPONENT) {
        for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT);
             c != nullptr; c = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT)) {
            if (icalcomponent_isa(c) == ICAL_VEVENT_COMPONENT) {
                events.push_back(c);
            } else {
                eventsOf(c);
            }
        }
    } else {
        eventsOf(root);
    }
    // The occurrences that events of their own (RECURRENCE-ID) move or cancel, by UID.
    std::map<std::string, std::set<double>> overrides;
    for (icalcomponent* e : events) {
        icalproperty* id = icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY);
        const char* uid = icalcomponent_get_uid(e);
        if (id != nullptr && uid != nullptr) {
            overrides[uid].insert(OleOf(icalproperty_get_recurrenceid(id)));
        }
    }
    for (size_t index = 0; index < events.size(); ++index) {
        icalcomponent* event = events[index];
        const int line = index < lines.size() ? lines[index] : 0;
        if (icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY) != nullptr) {
            const char* error = icalproperty_get_xlicerror(
                icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY));
            Fail(kMalformed, file, line, error == nullptr ? "" : error);
        }
        icalproperty* start = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        if (start == nullptr) Fail(kNotAllDay, file, line, "DTSTART");
        const icaltimetype first = icalproperty_get_dtstart(start);
        // DTEND, or DTSTART and a DURATION; neither: the one day of DTSTART.
        const bool end = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY) != nullptr ||
                         icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY) != nullptr;
        const icaltimetype after = end ? icalcomponent_get_dtend(event) : icaltime_null_date();
        if (!first.is_date || (end && !after.is_date)) {
            Fail(kNotAllDay, file, line, end && !after.is_date ? "DTEND" : "DTSTART");
        }
        const double from = automation::OleFromCivil(first.year, first.month, first.day);
        const double to =
            end ? automation::OleFromCivil(after.year, after.month, after.day) : from + 1;
        if (!(to > from)) Fail(kEndBeforeStart, file, line, "DTEND");
        // A cancelled event asks for nothing.
        if (icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED) continue;
        const char* summary = icalcomponent_get_summary(event);
        std::string note = summary ? std::string(automation::Trim(summary, " \t")) : "";
        // Our own export names the kind of a day without a note, and marks it so.
        if (HasMark(event, kNoNoteMark)) note.clear();
        const bool rest = !HasCategory(event, "WORK");
        bool kept = false;
        icalproperty* rrule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
        if (rules != nullptr && rrule != nullptr) {
            // A rule is one recurrence of single days from its first day. Its RDATEs go into the
            // calendar's days, so they must lie within them: one after the calendar's last day
            // would be lost.
            for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY);
                 p != nullptr; p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
                const double day = OleOf(icalproperty_get_rdate(p).time);
                if (!within || day > within->Last) {
                    // Built by appending: GCC 12 warns falsely (-Wrestrict) on "..." + string.
                    std::string named = "RDATE ";
                    named += automation::FormatIsoDate(day);
                    Fail(kCannotKeep, file, line, named);
                }
            }
            // The days it leaves out within the calendar are left out of the import's days;
            // the rule keeps those after the calendar's last day, which it would make later.
            std::set<int32_t> leftOut;
            for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY);
                 p != nullptr; p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
                const double day = OleOf(icalproperty_get_exdate(p));
                if (!within || day > within->Last) leftOut.insert(automation::OleDaySerial(day));
            }
            if (icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY) != nullptr) {
                Fail(kCannotKeep, file, line, "RRULE RRULE");
            }
            if (to != from + 1) Fail(kCannotKeep, file, line, "DTEND");
            icalrecurrencetype rule = icalproperty_get_rrule(rrule);
            char* written = icalrecurrencetype_as_string_r(&rule);
            if (written != nullptr) {
                rules->push_back({suite::WithExceptions(written, leftOut), rest, note, from, line});
                icalmemory_free_buffer(written);
                kept = true;
            }
        }
        const bool recurs =
            icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) != nullptr ||
            icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr;
        const char* uid = icalcomponent_get_uid(event);
        const bool master = uid != nullptr && icalcomponent_get_first_property(
                                                  event, ICAL_RECURRENCEID_PROPERTY) == nullptr;
        const auto moved = master ? overrides.find(uid) : overrides.end();
        const std::vector<double> occurrences =
            Occurrences(event, first, to - from, within,
                        moved == overrides.end() ? std::set<double>() : moved->second, file, line);
        // A recurring event that gives the calendar no day (its UNTIL or COUNT ended before
        // it, or it begins after it) would import as nothing: said, unless kept as a rule.
        if (occurrences.empty() && recurs && within && !kept) {
            Fail(kNoDayWithin, file, line, "RRULE");
        }
        for (double occurrence : occurrences) {
            for (double day = occurrence; day < occurrence + (to - from); ++day) {
                // The days of an occurrence that reaches over the calendar's end lie
                // outside it, as the occurrences outside it do.
                if (recurs && within && (day < within->First || day > within->Last)) continue;
                days.push_back({day, rest, note, line});
            }
        }
    }
    return days;
}

}  // namespace

std::string ReadListText(const std::string& file) {
    return ReadWhole(file);
}

std::vector<ListedDay> ReadListedDays(const std::string& file, std::optional<ListFormat> format,
                                      std::optional<component::DaySpan> within) {
    return ListedDaysOf(file, ReadWhole(file), format, within);
}

std::vector<ListedDay> ListedDaysOf(const std::string& file, const std::string& text,
                                    std::optional<ListFormat> format,
                                    std::optional<component::DaySpan> within,
                                    std::vector<ListedRule>* rules) {
    if (!format) format = FormatOf(file, text);
    if (!format) {
        throw automation::ComError(automation::errors::kUnspecified, kSource,
                                   automation::MarkedText("导入文件的格式应为 .csv 或 .ics",
                                                          ": " + automation::EscapeControls(file)));
    }
    // A calendar file may fold a line inside a character: its text is the unfolded one.
    if (!automation::IsValidUtf8(*format == ListFormat::Ics ? Unfolded(text) : text)) {
        // The line of the first byte outside UTF-8.
        int line = 1;
        for (size_t i = 0; i < text.size();) {
            const automation::Utf8Character c = automation::ReadUtf8(text, i);
            if (c.CodePoint == automation::kNotACharacter) break;
            line += c.CodePoint == '\n' ? 1 : 0;
            i += c.Length;
        }
        Fail(kMalformed, file, line, "UTF-8");
    }
    std::vector<ListedDay> days =
        *format == ListFormat::Csv ? ReadCsv(file, text) : ReadIcs(file, text, within, rules);
    // Each day once: listed again, it must ask for the same kind. Events of a calendar
    // file overlap by nature (a holiday inside a closing week): the day takes the notes
    // of them all, in the file's order; a list gives a day one note.
    std::map<double, size_t> seen;
    std::vector<ListedDay> once;
    std::vector<std::vector<std::string>> notes;  // of each day of `once`, each note once
    for (const ListedDay& d : days) {
        const auto [it, added] = seen.emplace(d.Day, once.size());
        if (added) {
            once.push_back(d);
            notes.emplace_back();
            if (!d.Note.empty()) notes.back().push_back(d.Note);
            continue;
        }
        const ListedDay& first = once[it->second];
        std::vector<std::string>& held = notes[it->second];
        if (*format == ListFormat::Ics && first.Rest == d.Rest) {
            if (!d.Note.empty() && std::find(held.begin(), held.end(), d.Note) == held.end())
                held.push_back(d.Note);
        } else if (first.Rest != d.Rest || first.Note != d.Note) {
            Fail("导入文件把同一天列了两次，而且内容不同", file, d.Line,
                 automation::FormatIsoDate(d.Day));
        }
    }
    for (size_t i = 0; i < once.size(); ++i) {
        std::string joined;
        for (const std::string& n : notes[i])
            joined += (joined.empty() ? "" : "; ") + n;
        once[i].Note = joined;
    }
    return once;
}

}  // namespace zev::cli
