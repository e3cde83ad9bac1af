// The ODBC driver's diagnostics (Diagnostics.hpp): reading the records, telling a lost
// connection from a failed statement, and the failures raised from them.

#include "platform/data/odbc/Diagnostics.hpp"

#include <algorithm>
#include <vector>

#include "platform/automation/ComError.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/ConnectionString.hpp"
#include "platform/data/SqlText.hpp"

namespace zev::data::odbc {
namespace {

namespace errors = automation::errors;

// Whether the failure is the connection's rather than the statement's: a lost or refused
// link (class 08), a connection timeout, or a server that ended the session (class 57P:
// shut down, or the session terminated by an administrator).
bool IsConnectionFailure(const Diagnostic& d) {
    return d.State.compare(0, 2, "08") == 0 || d.State.compare(0, 3, "57P") == 0 ||
           d.State == "HYT01";
}

}  // namespace

Diagnostic ReadDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle) {
    Diagnostic d;
    std::vector<SQLWCHAR> text(512);
    for (SQLSMALLINT record = 1; record <= 8; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, text.data(),
                                      static_cast<SQLSMALLINT>(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && static_cast<size_t>(length) >= text.size()) {
            text.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, record, state, &native, text.data(),
                                static_cast<SQLSMALLINT>(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        std::string message =
            TextOf(text.data(),
                   std::min(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), text.size()));
        // Drivers end lines of their messages with newlines; the description is one line.
        for (char& c : message) {
            if (c == '\n' || c == '\r') c = ' ';
        }
        message = std::string(sql::TrimStatement(message));
        if (record == 1) d.State = TextOf(state, 5);
        if (message.empty() || d.Message.find(message) != std::string::npos) continue;
        if (!d.Message.empty()) d.Message += "; ";
        d.Message += message;
    }
    if (d.State.empty()) d.State = "HY000";
    if (d.Message.empty()) d.Message = "ODBC call failed";
    return d;
}

void Fail(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view statement, SQLHDBC dbc) {
    const Diagnostic d = ReadDiagnostic(handleType, handle);
    bool connectionFailure = IsConnectionFailure(d);
    if (!connectionFailure && dbc != SQL_NULL_HDBC) {
        // Drivers do not always say so in the SQLSTATE; they know whether the link is gone.
        SQLUINTEGER dead = SQL_CD_FALSE;
        connectionFailure =
            SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
            dead == SQL_CD_TRUE;
    }
    std::string description = "[" + d.State + "] " + d.Message;
    if (!statement.empty()) {
        description += " (";
        description += statement;
        description += ")";
    }
    throw automation::ComError(connectionFailure ? errors::kUnspecified : errors::kCommandFailed,
                               kSource, description);
}

void FailOpening(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view connectionString) {
    // Drivers may quote the connection string they could not use.
    const Diagnostic d = ReadDiagnostic(handleType, handle);
    throw automation::ComError(
        errors::kUnspecified, kSource,
        automation::MarkedText("无法打开数据库", ": [" + d.State + "] " +
                                                     automation::EscapeControls(RedactPasswords(
                                                         d.Message, connectionString))));
}

}  // namespace zev::data::odbc
