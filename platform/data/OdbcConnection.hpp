#pragma once
// Database servers through ODBC (unixODBC): PostgreSQL through psqlODBC and SQL Server
// through its ODBC driver. The dialect is read from the server once connected.

#include <cstdint>
#include <string>

#include "platform/data/Connection.hpp"

namespace zev::data {

// Limits that keep a caller from waiting forever on a server that has gone away.
struct OdbcTimeouts {
    int32_t LoginSeconds = 15;  // connecting
    int32_t QuerySeconds = 60;  // each statement; 0 waits without limit
};

// Opens a connection from an ODBC connection string ("Driver={PostgreSQL Unicode};
// Server=...;Database=...;" or "DSN=..."). A server that cannot be reached, a refused
// login or an engine other than PostgreSQL or SQL Server fail with a ComError
// (0x80004005, source "ZevData.ODBC").
ConnectionPtr OpenOdbc(const std::string& connectionString);
ConnectionPtr OpenOdbc(const std::string& connectionString, const OdbcTimeouts& timeouts);

}  // namespace zev::data
