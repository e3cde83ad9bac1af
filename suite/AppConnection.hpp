#pragma once
// The suite's connection object "ZevConnection.AppConnection": a data connection opened,
// as soon as it is created, on the database that the process's property string names:
//   Provider=SQLite;Data Source=FILE
//   Provider=ODBC;Data Source={ODBC connection string}

#include <string>

#include "platform/data/Connection.hpp"

namespace zev::suite {

// Opens the database a property string names (the keys Provider and Data Source).
data::ConnectionPtr OpenFromProperties(const std::string& provider, const std::string& source);

// Registers "ZevConnection.AppConnection".
void RegisterAppConnection();

}  // namespace zev::suite
