// The ODBC backend's handles (Handles.hpp): freeing them, and texts to and from UTF-16.

#include "platform/data/odbc/Handles.hpp"

#include "platform/automation/Utf8.hpp"

namespace zev::data::odbc {

Handles::~Handles() {
    if (stmt != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (connected) SQLDisconnect(dbc);
    if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
}

std::string TextOf(const SQLWCHAR* text, size_t length) {
    std::string out;
    automation::AppendUtf8(out, {reinterpret_cast<const char16_t*>(text), length});
    return out;
}

SQLRETURN ExecDirect(SQLHSTMT stmt, std::string_view text) {
    std::u16string wide = automation::Utf16FromUtf8(text);
    return SQLExecDirectW(stmt, Wide(wide), static_cast<SQLINTEGER>(wide.size()));
}

SQLRETURN Prepare(SQLHSTMT stmt, std::string_view text) {
    std::u16string wide = automation::Utf16FromUtf8(text);
    return SQLPrepareW(stmt, Wide(wide), static_cast<SQLINTEGER>(wide.size()));
}

}  // namespace zev::data::odbc
