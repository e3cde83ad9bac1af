#pragma once
// The days a holiday list asks for, read from a file for `zevworkcal import`: each day with
// the kind it is to have and its note, and the line of the file that asked for it. The
// format follows the file's extension: .csv (lines DATE,rest|work[,NOTE], an optional
// header date,kind,note, # comments, CSV quoting) or .ics (iCalendar: every all-day
// VEVENT's days from DTSTART up to the day before DTEND, one day without DTEND, SUMMARY the
// note, CATEGORIES WORK for work days, rest days otherwise; a recurring event's occurrences
// within the calendar's days, by RRULE, RDATE and EXDATE; a cancelled event none), read
// and expanded with libical.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "component/CalendarQuestions.hpp"

namespace zev::cli {

struct ListedDay {
    double Day = 0.0;  // an OLE date at midnight
    bool Rest = true;
    std::string Note;
    int Line = 0;  // of the line, or of the event's BEGIN:VEVENT
};

enum class ListFormat { Csv, Ics };

// A recurring event of an iCalendar list as a rule can keep it: its one RRULE (without
// RDATE or EXDATE, which a rule cannot hold), its kind, note, first day and line.
struct ListedRule {
    std::string Recurrence;
    bool Rest = true;
    std::string Note;
    double Start = 0.0;
    int Line = 0;
};

// The property our own export gives an event for a day without a note, whose SUMMARY
// only names the day's kind: imported again, the day gets no note.
inline constexpr const char* kNoNoteMark = "X-ZEVWORKCAL-NO-NOTE";

// The most a list may hold, in bytes: far more than any holiday list, and a bound on what
// a FIFO, a device or a growing file can make the program read.
inline constexpr size_t kMostImportBytes = size_t{64} << 20;

// The days `file` lists (standard input for "-"), in the file's order, each day once, read
// in `format`, or without one by the file's extension (standard input: iCalendar when it
// begins with BEGIN:VCALENDAR, CSV otherwise). Raises a ComError naming the file and the
// line: a file that cannot be read, a recurrence that cannot be expanded, that is no regular file
// or holds more than kMostImportBytes, an unknown extension, a malformed line or event, text that
// is not UTF-8, or a day listed twice with another kind or note.
std::vector<ListedDay> ReadListedDays(const std::string& file, std::optional<ListFormat> format,
                                      std::optional<component::DaySpan> within = std::nullopt);

// The two steps of ReadListedDays: the text of `file` (with its refusals), and the days
// that text lists, `file` naming it in refusals; `rules`, when given, receives the
// recurring events a rule can keep.
std::string ReadListText(const std::string& file);
std::vector<ListedDay> ListedDaysOf(const std::string& file, const std::string& text,
                                    std::optional<ListFormat> format,
                                    std::optional<component::DaySpan> within = std::nullopt,
                                    std::vector<ListedRule>* rules = nullptr);

}  // namespace zev::cli
