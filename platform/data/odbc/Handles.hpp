#pragma once
// The ODBC backend's handles, private to it: the environment, connection and statement
// handle of one connection, freed in order; closing a cursor however a run ends; text
// sent to the driver as UTF-16 whatever the driver's or the process's locale.

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>
#include <string_view>

namespace zev::data::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's wide characters are UTF-16");

inline constexpr const char* kSource = "ZevData.ODBC";

struct Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool connected = false;

    Handles() = default;
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles();
};

// Closes the cursor of a statement handle when a run of it ends, however it ends.
struct CursorCloser {
    SQLHSTMT s;
    ~CursorCloser() { SQLFreeStmt(s, SQL_CLOSE); }
};

// Unbinds the parameters of a statement handle when a run of it ends, however it ends.
struct ParameterReset {
    SQLHSTMT s;
    ~ParameterReset() { SQLFreeStmt(s, SQL_RESET_PARAMS); }
};

inline SQLWCHAR* Wide(std::u16string& s) {
    return reinterpret_cast<SQLWCHAR*>(s.data());
}
// The UTF-8 text of `length` wide characters.
std::string TextOf(const SQLWCHAR* text, size_t length);

// Runs a text on the statement handle.
SQLRETURN ExecDirect(SQLHSTMT stmt, std::string_view text);
// Prepares a text on the statement handle.
SQLRETURN Prepare(SQLHSTMT stmt, std::string_view text);

}  // namespace zev::data::odbc
