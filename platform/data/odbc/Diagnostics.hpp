#pragma once
// What the ODBC driver says when a call fails, private to the backend: its diagnostic
// records read into one line, and the ComError a failure becomes.

#include <string>
#include <string_view>

#include "platform/data/odbc/Handles.hpp"

namespace zev::data::odbc {

struct Diagnostic {
    std::string State;    // SQLSTATE of the first record
    std::string Message;  // the records' messages, one line
};

Diagnostic ReadDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle);

// Raises the failure of a call on `handle`, naming `statement` when there is one: 0x80004005
// when the connection failed (the link lost or refused, a timeout, the session ended by
// the server; `dbc`, when given, is asked whether its link is gone), else 0x80040E14.
[[noreturn]] void Fail(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view statement,
                       SQLHDBC dbc = SQL_NULL_HDBC);

// Raises the failure to open a connection, with the passwords of the connection string
// redacted from what the driver says.
[[noreturn]] void FailOpening(SQLSMALLINT handleType, SQLHANDLE handle,
                              std::string_view connectionString);

}  // namespace zev::data::odbc
