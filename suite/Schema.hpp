#pragma once
// The suite's database schema for the factory calendar's tables.

#include <string>
#include <string_view>
#include <vector>

#include "platform/data/Connection.hpp"

namespace zev::suite {

// The four tables the calendar uses, in creation order.
inline constexpr std::string_view kSuiteTables[] = {"t_WorkCalendar", "t_SystemProfile",
                                                    "t_mutiworkcal", "t_WOScheduleDetail"};

// The script that creates the tables on an engine of that dialect.
std::string_view SchemaScript(data::Dialect dialect);

// The suite tables that the database lacks.
std::vector<std::string> MissingTables(data::Connection& connection);

// Creates the tables in a database that has none of them and seeds the settings of
// category 'IC': CurrentYear and CurrentPeriod from the server's date, both weekend days
// rest days. All in one transaction. A database that already has any of the tables is
// refused with an error, unchanged.
void InitDatabase(data::Connection& connection);

}  // namespace zev::suite
