#pragma once
// The embedded backend: one SQLite database file.

#include <string>

#include "platform/data/Connection.hpp"

namespace zev::data {

enum class OpenMode {
    Existing,  // the file must already be a database
    Create,    // an empty database is created when the file does not exist
};

// Opens the database file. A missing file (with OpenMode::Existing), a directory, an
// unreadable file or a file that is not a database fail with a ComError that names the
// file.
ConnectionPtr OpenSqlite(const std::string& path, OpenMode mode = OpenMode::Existing);

}  // namespace zev::data
