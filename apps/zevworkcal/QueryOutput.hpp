#pragma once
// What the query commands share: the --format option (text, csv, json), the quoting of
// texts in JSON and CSV, and the notice that an answer reaches outside the calendar,
// which a script reads from exit code 3.

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>

#include "apps/zevworkcal/Command.hpp"
#include "component/CalendarQuestions.hpp"
#include "component/clsCal.hpp"

namespace zev::cli {

enum class Format { Text, Csv, Json };

// Adds --format text|csv|json to a command; text unless given.
void AddFormatOption(CLI::App& app, Format& format);

// "2009-06-04", the day of an OLE date.
std::string IsoDay(double date);
// "work" or "rest", as the query commands print a day's kind.
const char* KindName(component::CalendarDay::Kind kind);

// Appends `text` as a JSON string: in quotes, with quotes, backslashes and control
// characters (C1 included) escaped, and a byte outside UTF-8 written as \ufffd.
void AppendJsonString(std::string& out, std::string_view text);
// Appends `text` as a CSV field, its control characters escaped (automation::EscapeControls,
// line ends included: a field is one line): as it is, or in quotes with its quotes doubled
// when it holds a comma, a quote, or spaces at either end (which a reader may trim).
void AppendCsvField(std::string& out, std::string_view text);

// Tells stderr that the answer to `what` reaches outside the calendar, with the days the
// calendar holds, after what the command has written to stdout; returns kOutside.
int OutsideTheCalendar(Session& s, component::clsCal& cal, std::string_view what);
// Prints a member's answer as one line; kOk, or OutsideTheCalendar when it is the date
// asked because the calendar has no such work day.
int PrintAnswer(Session& s, component::clsCal& cal, const component::DayAnswer& answer,
                std::string_view what);

}  // namespace zev::cli
