#pragma once
// The suite's connection object "ZevConnection.AppConnection": a data connection opened,
// as soon as it is created, on the database that the process's property string names:
//   Provider=SQLite;Data Source=FILE
//   Provider=ODBC;Data Source={ODBC connection string}
// A braced value ends at its first "}" and loses spaces at its ends, so a data source
// that a brace cannot carry (a driver written "Driver={PostgreSQL Unicode}", a braced
// password, a file name with "}" or with spaces at its ends) is written percent-encoded,
// and the entry "Data Source Encoding=Percent" says so:
//   Provider=ODBC;Data Source=Driver=%7BPostgreSQL Unicode%7D%3BPwd=%7Ba%3Bb%7D;
//   Data Source Encoding=Percent
// A property string without that entry means what it meant before it existed.

#include <functional>
#include <string>
#include <string_view>

#include "platform/data/Connection.hpp"
#include "platform/data/SqliteConnection.hpp"

namespace zev::suite {

// The database a property string names.
struct NamedDatabase {
    std::string Provider;
    std::string Source;  // decoded when the string marks it encoded
};

// Reads the value of a key of a property string ("" when it has none).
using PropsReader = std::function<std::string(std::string_view key)>;

// The database named by the keys Provider, Data Source and Data Source Encoding. A
// malformed encoding or an unknown encoding name raises a ComError; the message never
// quotes the data source, which may hold a password.
NamedDatabase DatabaseNamed(const PropsReader& valueOf);

// Opens a named database; `mode` applies to SQLite files.
data::ConnectionPtr OpenDatabase(const NamedDatabase& database,
                                 data::OpenMode mode = data::OpenMode::Existing);

// A data source in the percent encoding: "%", ";", "{", "}", control characters and
// spaces at either end written as %XX (two upper-case hexadecimal digits).
std::string PercentEncodeDataSource(std::string_view source);

// Registers "ZevConnection.AppConnection".
void RegisterAppConnection();

}  // namespace zev::suite
