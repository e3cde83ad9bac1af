#pragma once
// The database schema of the factory calendar: the suite's tables it uses, and the
// objects of its own that init makes beside them and upgrade adds to a database made
// earlier (or by the suite): the notes and the history of days, and on PostgreSQL the
// calendar's change stamp.

#include <string>
#include <string_view>
#include <vector>

#include "platform/data/Connection.hpp"

namespace zev::suite {

// The four tables the calendar uses, in creation order.
inline constexpr std::string_view kSuiteTables[] = {"t_WorkCalendar", "t_SystemProfile",
                                                    "t_mutiworkcal", "t_WOScheduleDetail"};

// The calendar's own tables, which the suite never uses.
inline constexpr std::string_view kNoteTable = "t_WorkCalendarNote";
inline constexpr std::string_view kLogTable = "t_WorkCalendarLog";
inline constexpr std::string_view kRuleTable = "t_WorkCalendarRule";

// The script that init runs on an engine of that dialect: the suite's tables and the
// calendar's own objects.
std::string_view SchemaScript(data::Dialect dialect);

// The suite tables that the database lacks.
std::vector<std::string> MissingTables(data::Connection& connection);

// Creates the suite's tables and the calendar's own objects in a database that has none of them and
// seeds the settings of category 'IC': CurrentYear and CurrentPeriod from the server's date, both
// weekend days rest days. All in one transaction. A database that already has any of the tables is
// refused with an error, unchanged.
void InitDatabase(data::Connection& connection);

// The names of the calendar's own objects that the database lacks, in the order upgrade
// adds them; nothing changed.
std::vector<std::string> MissingOwnObjects(data::Connection& connection);

// Adds to a database that holds the suite's tables whichever of the calendar's own
// objects it lacks, in one transaction, and returns their names in the order added;
// nothing (and nothing changed) when it has them all. A database without the suite's
// tables is refused with an error naming init, unchanged.
std::vector<std::string> UpgradeDatabase(data::Connection& connection);

}  // namespace zev::suite
