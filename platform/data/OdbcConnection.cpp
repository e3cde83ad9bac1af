#include "platform/data/OdbcConnection.hpp"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/automation/AsciiText.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/ConnectionString.hpp"
#include "platform/data/SqlText.hpp"

namespace zev::data {
namespace {

namespace errors = automation::errors;
using automation::ComError;

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's wide characters are UTF-16");

constexpr const char* kSource = "ZevData.ODBC";

// ---- UTF-8 and the driver's UTF-16 -------------------------------------------------

std::u16string ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
        }
        if (len > 1) {
            bool ok = i + len <= s.size();
            char32_t v = b & (0x7F >> len);
            for (size_t k = 1; ok && k < len; ++k) {
                const auto c = static_cast<unsigned char>(s[i + k]);
                ok = (c & 0xC0) == 0x80;
                v = (v << 6) | (c & 0x3F);
            }
            // Overlong forms, surrogates and values beyond Unicode are not characters.
            static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
            if (ok && v >= kMin[len] && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                cp = v;
            } else {
                len = 1;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

void AppendUtf8(std::string& out, const char16_t* p, size_t n) {
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = p[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (p[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

SQLWCHAR* Wide(std::u16string& s) {
    return reinterpret_cast<SQLWCHAR*>(s.data());
}
const char16_t* Narrow(const SQLWCHAR* p) {
    return reinterpret_cast<const char16_t*>(p);
}

bool ContainsNoCase(std::string_view text, std::string_view what) {
    return automation::FindNoCase(text, what) != std::string_view::npos;
}

// ---- Diagnostics ---------------------------------------------------------------------

struct Diagnostic {
    std::string State;    // SQLSTATE of the first record
    std::string Message;  // the records' messages, one line
};

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
        std::string message;
        AppendUtf8(message, Narrow(text.data()),
                   std::min(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), text.size()));
        // Drivers end lines of their messages with newlines; the description is one line.
        for (char& c : message) {
            if (c == '\n' || c == '\r') c = ' ';
        }
        message = std::string(sql::TrimStatement(message));
        if (record == 1) AppendUtf8(d.State, Narrow(state), 5);
        if (message.empty() || d.Message.find(message) != std::string::npos) continue;
        if (!d.Message.empty()) d.Message += "; ";
        d.Message += message;
    }
    if (d.State.empty()) d.State = "HY000";
    if (d.Message.empty()) d.Message = "ODBC call failed";
    return d;
}

// Whether the failure is the connection's rather than the statement's: a lost or refused
// link (class 08), a connection timeout, or a server that ended the session (class 57P:
// shut down, or the session terminated by an administrator).
bool IsConnectionFailure(const Diagnostic& d) {
    return d.State.compare(0, 2, "08") == 0 || d.State.compare(0, 3, "57P") == 0 ||
           d.State == "HYT01";
}

[[noreturn]] void Fail(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view statement,
                       SQLHDBC dbc = SQL_NULL_HDBC) {
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
    throw ComError(connectionFailure ? errors::kUnspecified : errors::kCommandFailed, kSource,
                   description);
}

// Drivers may quote the connection string they could not use: its passwords are
// redacted from what they say.
[[noreturn]] void FailOpening(SQLSMALLINT handleType, SQLHANDLE handle,
                              std::string_view connectionString) {
    const Diagnostic d = ReadDiagnostic(handleType, handle);
    throw ComError(
        errors::kUnspecified, kSource,
        automation::MarkedText("无法打开数据库", ": [" + d.State + "] " +
                                                     RedactPasswords(d.Message, connectionString)));
}

// ---- Handles -------------------------------------------------------------------------

struct Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool connected = false;

    Handles() = default;
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles() {
        if (stmt != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        if (connected) SQLDisconnect(dbc);
        if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

// What a result column is read as.
enum class ColumnKind { Integer, Numeric, Real, Bit, Date, Time, Text, Binary };

ColumnKind KindOf(SQLSMALLINT type, SQLSMALLINT scale) {
    switch (type) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            return ColumnKind::Integer;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            return scale == 0 ? ColumnKind::Integer : ColumnKind::Numeric;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return ColumnKind::Real;
        case SQL_BIT:
            return ColumnKind::Bit;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIMESTAMP:
            return ColumnKind::Date;
        case SQL_TYPE_TIME:
        case SQL_TIME:
            return ColumnKind::Time;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return ColumnKind::Binary;
        default:
            return ColumnKind::Text;
    }
}

// Closes the cursor of a statement handle when a run of it ends, however it ends.
struct CursorCloser {
    SQLHSTMT s;
    ~CursorCloser() { SQLFreeStmt(s, SQL_CLOSE); }
};

// Sends a text to the server as UTF-16, whatever the driver's or the process's locale.
SQLRETURN ExecDirect(SQLHSTMT stmt, std::string_view text) {
    std::u16string wide = ToUtf16(text);
    return SQLExecDirectW(stmt, Wide(wide), static_cast<SQLINTEGER>(wide.size()));
}

// A value bound to a statement's parameter, kept where the driver reads it until the
// statement has run.
struct BoundValue {
    SQLLEN indicator = 0;
    SQLINTEGER integer = 0;
    SQL_DATE_STRUCT day{};
    std::u16string text;
};

// Binds `value` to parameter `index` (from 1) through `bound`: texts as UTF-16, whole
// numbers as integers, days as dates.
SQLRETURN BindValue(SQLHSTMT stmt, SQLUSMALLINT index, const Variant& value, BoundValue& bound) {
    using automation::VarType;
    const auto bind = [&](SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size, SQLPOINTER data,
                          SQLLEN length) {
        return SQLBindParameter(stmt, index, SQL_PARAM_INPUT, cType, sqlType, size, 0, data, length,
                                &bound.indicator);
    };
    switch (value.Type()) {
        case VarType::Null:
            bound.indicator = SQL_NULL_DATA;
            return bind(SQL_C_WCHAR, SQL_WVARCHAR, 1, bound.text.data(), 0);
        case VarType::Integer:
        case VarType::Long:
        case VarType::Boolean:
            bound.integer = automation::CLng(value);
            return bind(SQL_C_SLONG, SQL_INTEGER, 0, &bound.integer, 0);
        case VarType::Date: {
            const automation::CivilDateTime c = automation::CivilFromOle(sql::BoundDay(value));
            bound.day = {static_cast<SQLSMALLINT>(c.Year), static_cast<SQLUSMALLINT>(c.Month),
                         static_cast<SQLUSMALLINT>(c.Day)};
            return bind(SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, &bound.day, 0);
        }
        case VarType::String: {
            bound.text = ToUtf16(value.StringRef());
            bound.indicator = static_cast<SQLLEN>(bound.text.size() * sizeof(char16_t));
            return bind(SQL_C_WCHAR, SQL_WVARCHAR, std::max<SQLULEN>(1, bound.text.size()),
                        bound.text.data(), bound.indicator);
        }
        case VarType::Empty:
        case VarType::Double:
        case VarType::Object:
            break;
    }
    automation::Raise(errors::kTypeMismatch);
}

// Versions handed out while a writer was open, unique in the process.
std::atomic<uint64_t> inFlightReads{0};

class OdbcConnection final : public Connection {
  public:
    OdbcConnection(std::unique_ptr<Handles> h, Dialect dialect)
        : h_(std::move(h)), dialect_(dialect) {}
    ~OdbcConnection() override {
        FreeStampStatement();
        FreePrepared();
        if (inTransaction_ || inSnapshot_) {
            // An open transaction is not committed by going away.
            SQLEndTran(SQL_HANDLE_DBC, h_->dbc, SQL_ROLLBACK);
        }
    }
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    Recordset Execute(std::string_view commandText) override {
        PassFixedNow();
        std::shared_ptr<ResultTable> first;
        if (!sql::MayHoldSeveral(commandText)) {
            RunOne(sql::TrimStatement(commandText), first);
        } else {
            const std::vector<std::string_view> statements = sql::SplitStatements(commandText);
            if (SendsAsOne(statements)) {
                RunChanges(statements, commandText);
                return Recordset();
            }
            for (std::string_view statement : statements) {
                std::shared_ptr<ResultTable> table;
                RunOne(statement, table);
                if (!first && table) first = std::move(table);
            }
        }
        return first ? Recordset(std::move(first)) : Recordset();
    }

    Dialect GetDialect() const override { return dialect_; }

    Recordset ExecuteWith(std::string_view statement,
                          std::span<const automation::Variant> values) override {
        // The driver would run with values left over.
        if (sql::CountMarkers(statement) != values.size()) {
            automation::Raise(errors::kInvalidProcedureCall);
        }
        PassFixedNow();
        const bool returnsRows = sql::StartsWithKeyword(statement, "SELECT");
        const SQLHSTMT stmt = returnsRows ? h_->stmt : PreparedChange(statement);
        struct ParameterReset {
            SQLHSTMT s;
            ~ParameterReset() { SQLFreeStmt(s, SQL_RESET_PARAMS); }
        } reset{stmt};
        std::vector<BoundValue> bound(values.size());
        for (size_t k = 0; k < values.size(); ++k) {
            if (!SQL_SUCCEEDED(
                    BindValue(stmt, static_cast<SQLUSMALLINT>(k + 1), values[k], bound[k]))) {
                Fail(SQL_HANDLE_STMT, stmt, statement, h_->dbc);
            }
        }
        const CursorCloser closer{stmt};
        std::shared_ptr<ResultTable> table;
        ReadResult(stmt, returnsRows ? ExecDirect(stmt, statement) : SQLExecute(stmt), statement,
                   table);
        return table ? Recordset(std::move(table)) : Recordset();
    }

    bool HasTable(std::string_view name) override {
        std::string literal;
        for (char c : name) {
            literal += c;
            if (c == '\'') literal += '\'';
        }
        const std::string query =
            dialect_ == Dialect::PostgreSQL
                ? "SELECT 1 FROM information_schema.tables WHERE table_schema=current_schema() "
                  "AND table_type='BASE TABLE' AND lower(table_name)=lower('" +
                      literal + "')"
                : "SELECT 1 FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA IN "
                  "(SCHEMA_NAME(),'dbo') "
                  "AND TABLE_TYPE='BASE TABLE' AND LOWER(TABLE_NAME)=LOWER(N'" +
                      literal + "')";
        std::shared_ptr<ResultTable> table;
        RunText(query, query, table);
        return table && table->RowCount() > 0;
    }

    uint64_t DataVersion() override {
        // The schema's reader answers -1 while a writer of the suite's tables has not yet
        // committed: a version read then could be paired with rows that are about to
        // change, so each such call gets a value of its own, never seen before.
        const char* query = dialect_ == Dialect::PostgreSQL ? "SELECT zev_read_data_version()"
                                                            : "EXEC dbo.zev_read_data_version";
        std::shared_ptr<ResultTable> table;
        RunText(query, query, table);
        if (!table || table->RowCount() != 1) {
            throw ComError(
                errors::kCommandFailed, kSource,
                automation::MarkedText("数据库没有返回数据版本", std::string(" (") + query + ")"));
        }
        const double version = automation::CDbl(table->cells[0]);
        if (version < 0) return (uint64_t{1} << 63) | ++inFlightReads;
        return static_cast<uint64_t>(version);
    }

    std::optional<uint64_t> ChangeStamp(std::string_view table) override {
        // SQL Server's triggers miss TRUNCATE and changes of the table's definition, so it
        // keeps no stamp a copy could be trusted on.
        if (dialect_ != Dialect::PostgreSQL || inTransaction_ || inSnapshot_) return std::nullopt;
        try {
            if (!hasVersionFunction_) {
                const std::string probe =
                    "SELECT CASE WHEN to_regprocedure('zev_read_data_version()') IS NULL "
                    "THEN 0 ELSE 1 END";
                std::shared_ptr<ResultTable> found;
                RunText(probe, probe, found);
                hasVersionFunction_ =
                    found && found->RowCount() == 1 && automation::CLng(found->cells[0]) == 1;
            }
            if (!*hasVersionFunction_) return std::nullopt;
            std::vector<std::string> state = RunStampQuery(table);
            if (state.empty()) return std::nullopt;  // no such table
            // A writer that has not committed yet (-1), or a table whose writes would not
            // move the stamp.
            if (state[0] == "-1" || state[1] != "1") return std::nullopt;
            // The stamp counts the states seen, so it never comes back to an earlier value.
            if (state != stampState_) {
                stampState_ = std::move(state);
                ++stamp_;
            }
            return stamp_;
        } catch (const ComError&) {
            return std::nullopt;
        }
    }

    bool BeginReadSnapshot() override {
        if (inTransaction_ || inSnapshot_) return false;
        PassFixedNow();
        // Chosen before the transaction begins: SQL Server asks the database first.
        const std::string level = SnapshotLevelStatement();
        SetAutocommit(false, "BEGIN TRANSACTION");
        inSnapshot_ = true;
        try {
            // On PostgreSQL the driver opens the transaction before this first statement,
            // so the level holds for this transaction alone; SQL Server keeps it for the
            // session, and the end of the snapshot sets its default back.
            std::shared_ptr<ResultTable> none;
            RunText(level, level, none);
        } catch (...) {
            EndReadSnapshot();
            throw;
        }
        return true;
    }

    void EndReadSnapshot() noexcept override {
        if (!inSnapshot_) return;
        inSnapshot_ = false;
        SQLEndTran(SQL_HANDLE_DBC, h_->dbc, SQL_ROLLBACK);
        SQLSetConnectAttrW(h_->dbc, SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        if (dialect_ == Dialect::SqlServer) {
            // SQL Server keeps a level for the session; its default comes back.
            try {
                const std::string level = "SET TRANSACTION ISOLATION LEVEL READ COMMITTED";
                std::shared_ptr<ResultTable> none;
                RunText(level, level, none);
            } catch (...) {
                // A connection that cannot take it has failed; its next statement says so.
            }
        }
    }

  private:
    // Runs the stamp's query for `table`, prepared once on a statement of its own: asked
    // before every answer, it should cost the server no planning. Returns the fields of
    // its row as text ("-" for NULL), none without a row. The fields are read without
    // describing the columns first: the PostgreSQL driver keeps a little memory for every
    // description of a prepared statement that it does not give back.
    std::vector<std::string> RunStampQuery(std::string_view table) {
        const std::string query = PostgresStampQuery(table);
        if (stampStmt_ == SQL_NULL_HSTMT || query != stampQuery_) {
            FreeStampStatement();
            if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h_->dbc, &stampStmt_))) {
                stampStmt_ = SQL_NULL_HSTMT;
                Fail(SQL_HANDLE_DBC, h_->dbc, query, h_->dbc);
            }
            std::u16string wide = ToUtf16(query);
            if (!SQL_SUCCEEDED(
                    SQLPrepareW(stampStmt_, Wide(wide), static_cast<SQLINTEGER>(wide.size())))) {
                const SQLHSTMT failed = stampStmt_;
                stampStmt_ = SQL_NULL_HSTMT;
                try {
                    Fail(SQL_HANDLE_STMT, failed, query, h_->dbc);
                } catch (...) {
                    SQLFreeHandle(SQL_HANDLE_STMT, failed);
                    throw;
                }
            }
            stampQuery_ = query;
        }
        const CursorCloser closer{stampStmt_};
        if (!SQL_SUCCEEDED(SQLExecute(stampStmt_))) {
            Fail(SQL_HANDLE_STMT, stampStmt_, query, h_->dbc);
        }
        std::vector<std::string> fields;
        const SQLRETURN fetched = SQLFetch(stampStmt_);
        if (fetched == SQL_NO_DATA) return fields;
        if (!SQL_SUCCEEDED(fetched)) Fail(SQL_HANDLE_STMT, stampStmt_, query, h_->dbc);
        for (SQLUSMALLINT c = 1; c <= kStampFields; ++c) {
            char text[64];
            SQLLEN indicator = 0;
            if (SQLGetData(stampStmt_, c, SQL_C_CHAR, text, sizeof text, &indicator) !=
                SQL_SUCCESS) {
                Fail(SQL_HANDLE_STMT, stampStmt_, query, h_->dbc);
            }
            fields.emplace_back(indicator == SQL_NULL_DATA ? "-" : text);
        }
        return fields;
    }

    void FreeStampStatement() noexcept {
        if (stampStmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stampStmt_);
        stampStmt_ = SQL_NULL_HSTMT;
        stampQuery_.clear();
    }

    // The state of `table` that statements on it depend on: the data version kept by the
    // triggers, whether the table's writes move it and its rows are the same for every
    // reader (a plain table, not inherited from, without rules or row security, with the
    // suite's trigger enabled for every kind of write), and what changes with the table's
    // definition: its identity and storage (a table dropped and made again, rewritten or
    // emptied), its catalogue row and those of its columns.
    static constexpr SQLUSMALLINT kStampFields = 6;
    static std::string PostgresStampQuery(std::string_view table) {
        std::string literal;
        for (char c : table) {
            literal += c;
            if (c == '\'') literal += '\'';
        }
        return "SELECT zev_read_data_version(),"
               " CASE WHEN c.relkind = 'r' AND NOT c.relhassubclass AND NOT c.relhasrules"
               " AND NOT c.relrowsecurity"
               " AND EXISTS (SELECT 1 FROM pg_trigger t WHERE t.tgrelid = c.oid"
               " AND t.tgfoid = to_regproc('zev_bump_data_version') AND t.tgenabled IN ('O', 'A')"
               " AND (t.tgtype & 60) = 60 AND (t.tgtype & 67) = 0) THEN 1 ELSE 0 END,"
               " c.oid, c.relfilenode, c.xmin::text,"
               " (SELECT max(a.xmin::text::bigint) FROM pg_attribute a"
               " WHERE a.attrelid = c.oid AND a.attnum > 0)"
               " FROM pg_class c WHERE c.oid = to_regclass('" +
               literal + "')";
    }

    // One snapshot for the whole transaction: REPEATABLE READ on PostgreSQL; on SQL Server
    // SNAPSHOT where the database allows it, else SERIALIZABLE, whose locks keep writers
    // from committing under the reads for the transaction's short life.
    std::string SnapshotLevelStatement() {
        if (dialect_ == Dialect::PostgreSQL) {
            return "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY";
        }
        if (!snapshotAllowed_) {
            const std::string query =
                "SELECT snapshot_isolation_state FROM sys.databases WHERE database_id=DB_ID()";
            std::shared_ptr<ResultTable> table;
            RunText(query, query, table);
            snapshotAllowed_ = table && table->RowCount() == 1 && !table->cells[0].IsNull() &&
                               automation::CLng(table->cells[0]) == 1;
        }
        return *snapshotAllowed_ ? "SET TRANSACTION ISOLATION LEVEL SNAPSHOT"
                                 : "SET TRANSACTION ISOLATION LEVEL SERIALIZABLE";
    }

    // PostgreSQL: the schema's GETDATE() reads the session setting zev.now when it is
    // set, so a clock that tests fixed gives the server's date too. Sent outside
    // transactions only, where no rollback can take it back.
    void PassFixedNow() {
        if (dialect_ != Dialect::PostgreSQL || inTransaction_ || inSnapshot_) return;
        const uint64_t version = automation::ClockVersion();
        if (version == sentClockVersion_) return;
        const std::optional<double> fixed = automation::FixedNow();
        if (fixed || fixedNowSent_) {
            std::string text = "SELECT set_config('zev.now', '', false)";
            if (fixed) {
                const automation::LocalTime now = automation::LocalNow();
                char value[64];
                std::snprintf(value, sizeof value, "%s.%03d",
                              automation::FormatIsoDateTime(*fixed).c_str(), now.Millisecond);
                text = std::string("SELECT set_config('zev.now', '") + value + "', false)";
            }
            std::shared_ptr<ResultTable> none;
            RunText(text, text, none);
            fixedNowSent_ = fixed.has_value();
        }
        sentClockVersion_ = version;
    }

    void SetAutocommit(bool on, std::string_view statement) {
        const SQLRETURN rc = SQLSetConnectAttrW(
            h_->dbc, SQL_ATTR_AUTOCOMMIT,
            reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0);
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_DBC, h_->dbc, statement, h_->dbc);
    }

    void RunOne(std::string_view statement, std::shared_ptr<ResultTable>& table) {
        if (statement.empty()) return;
        switch (sql::ClassifyTransaction(statement)) {
            case sql::TransactionVerb::Begin:
                return Begin(statement);
            case sql::TransactionVerb::Commit:
                return End(SQL_COMMIT, statement);
            case sql::TransactionVerb::Rollback:
                return End(SQL_ROLLBACK, statement);
            case sql::TransactionVerb::None:
                break;
        }
        if (dialect_ == Dialect::PostgreSQL) {
            if (auto rewritten = sql::AddInsertInto(statement)) {
                return RunText(*rewritten, statement, table);
            }
        }
        RunText(statement, statement, table);
    }

    void Begin(std::string_view statement) {
        if (inTransaction_ || inSnapshot_) {
            throw ComError(errors::kCommandFailed, kSource,
                           automation::MarkedText("已有事务在进行，不能再开始新的事务",
                                                  " (" + std::string(statement) + ")"));
        }
        SetAutocommit(false, statement);
        inTransaction_ = true;
    }

    void End(SQLSMALLINT completion, std::string_view statement) {
        if (!inTransaction_) {
            throw ComError(
                errors::kCommandFailed, kSource,
                automation::MarkedText("没有进行中的事务", " (" + std::string(statement) + ")"));
        }
        // Whatever the outcome, the connection leaves the transaction: a commit that
        // fails has rolled back on the server, and a lost connection has none left.
        inTransaction_ = false;
        const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, h_->dbc, completion);
        if (!SQL_SUCCEEDED(rc)) {
            std::optional<ComError> failure;
            try {
                Fail(SQL_HANDLE_DBC, h_->dbc, statement, h_->dbc);
            } catch (const ComError& e) {
                failure = e;
            }
            if (completion == SQL_COMMIT) SQLEndTran(SQL_HANDLE_DBC, h_->dbc, SQL_ROLLBACK);
            SQLSetConnectAttrW(h_->dbc, SQL_ATTR_AUTOCOMMIT,
                               reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
            throw *failure;
        }
        SetAutocommit(true, statement);
    }

    // Whether a batch goes to the server in one round trip: on PostgreSQL, a run of
    // UPDATE and DELETE statements inside a transaction of the caller's, where a failing
    // statement fails the transaction whether the statements travel together or apart.
    // Outside a transaction each statement stands on its own, so each is sent alone.
    bool SendsAsOne(const std::vector<std::string_view>& statements) const {
        if (dialect_ != Dialect::PostgreSQL || !inTransaction_ || statements.size() < 2) {
            return false;
        }
        return std::all_of(statements.begin(), statements.end(), [](std::string_view s) {
            return sql::StartsWithKeyword(s, "UPDATE") || sql::StartsWithKeyword(s, "DELETE");
        });
    }

    // Sends the changes as one text and reads every result; a failure names the batch.
    void RunChanges(const std::vector<std::string_view>& statements, std::string_view original) {
        std::string text;
        for (std::string_view statement : statements) {
            text.append(statement);
            text.append(";\n");
        }
        const SQLHSTMT stmt = h_->stmt;
        const CursorCloser closer{stmt};
        // SQL_NO_DATA first says only that the first change touched no row.
        SQLRETURN rc = ExecDirect(stmt, text);
        for (;;) {
            if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) {
                Fail(SQL_HANDLE_STMT, stmt, original, h_->dbc);
            }
            rc = SQLMoreResults(stmt);
            if (rc == SQL_NO_DATA) break;
        }
    }

    // Runs one statement; `original` is what an error names (the caller's text, not a
    // rewriting of it).
    void RunText(std::string_view text, std::string_view original,
                 std::shared_ptr<ResultTable>& table) {
        const SQLHSTMT stmt = h_->stmt;
        const CursorCloser closer{stmt};
        ReadResult(stmt, ExecDirect(stmt, text), original, table);
    }

    // What a statement just run on `stmt` gave (`rc`, the run's return code): its rows
    // into `table` when it returns columns; later results are read to the end.
    void ReadResult(SQLHSTMT stmt, SQLRETURN rc, std::string_view original,
                    std::shared_ptr<ResultTable>& table) {
        if (rc == SQL_NO_DATA) return;  // a change that touched no row
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt, original, h_->dbc);

        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(stmt, &columns)))
            Fail(SQL_HANDLE_STMT, stmt, original, h_->dbc);
        if (columns > 0) {
            table = std::make_shared<ResultTable>();
            ReadRows(stmt, static_cast<SQLUSMALLINT>(columns), *table, original);
        }
        // Later results of the statement (row counts of triggers on some servers) may
        // carry its error; they are read to the end.
        for (;;) {
            rc = SQLMoreResults(stmt);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt, original, h_->dbc);
        }
    }

    // A change of our own, prepared once on a handle of its own and kept, so that a run
    // of it with other values (the days of a generation) is planned once. Statements
    // that return rows are not kept: the PostgreSQL driver keeps a little memory for
    // every description of a prepared statement's columns.
    SQLHSTMT PreparedChange(std::string_view statement) {
        const std::string key(statement);
        if (const auto found = prepared_.find(key); found != prepared_.end()) {
            return found->second;
        }
        // A handful recur; any others do not pile up.
        if (prepared_.size() >= kPreparedKept) FreePrepared();
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h_->dbc, &stmt))) {
            Fail(SQL_HANDLE_DBC, h_->dbc, statement, h_->dbc);
        }
        SQLULEN timeout = 0;
        SQLGetStmtAttrW(h_->stmt, SQL_ATTR_QUERY_TIMEOUT, &timeout, 0, nullptr);
        SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
        SQLSetStmtAttrW(stmt, SQL_ATTR_NOSCAN, reinterpret_cast<SQLPOINTER>(SQL_NOSCAN_ON), 0);
        std::u16string wide = ToUtf16(statement);
        if (!SQL_SUCCEEDED(SQLPrepareW(stmt, Wide(wide), static_cast<SQLINTEGER>(wide.size())))) {
            try {
                Fail(SQL_HANDLE_STMT, stmt, statement, h_->dbc);
            } catch (...) {
                SQLFreeHandle(SQL_HANDLE_STMT, stmt);
                throw;
            }
        }
        prepared_.emplace(key, stmt);
        return stmt;
    }

    void FreePrepared() noexcept {
        for (const auto& [text, stmt] : prepared_)
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        prepared_.clear();
    }

    void ReadRows(SQLHSTMT stmt, SQLUSMALLINT columns, ResultTable& table,
                  std::string_view original) {
        std::vector<ColumnKind> kinds(columns);
        table.columns.reserve(columns);
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            SQLWCHAR name[256];
            SQLSMALLINT nameLength = 0;
            SQLSMALLINT type = 0;
            SQLULEN size = 0;
            SQLSMALLINT scale = 0;
            SQLSMALLINT nullable = 0;
            if (!SQL_SUCCEEDED(SQLDescribeColW(stmt, c, name, 256, &nameLength, &type, &size,
                                               &scale, &nullable))) {
                Fail(SQL_HANDLE_STMT, stmt, original, h_->dbc);
            }
            std::string columnName;
            AppendUtf8(columnName, Narrow(name), std::clamp<SQLSMALLINT>(nameLength, 0, 255));
            table.columns.push_back(std::move(columnName));
            kinds[c - 1] = KindOf(type, scale);
        }
        for (;;) {
            const SQLRETURN rc = SQLFetch(stmt);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt, original, h_->dbc);
            for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                table.cells.push_back(ReadValue(stmt, c, kinds[c - 1], original));
            }
        }
    }

    Variant ReadValue(SQLHSTMT stmt, SQLUSMALLINT c, ColumnKind kind, std::string_view original) {
        SQLLEN indicator = 0;
        auto get = [&](SQLSMALLINT cType, void* target, SQLLEN size) {
            const SQLRETURN rc = SQLGetData(stmt, c, cType, target, size, &indicator);
            if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt, original, h_->dbc);
            return indicator != SQL_NULL_DATA;
        };
        switch (kind) {
            case ColumnKind::Integer: {
                // Read as a double too wide for any integer column to overflow it.
                double d = 0;
                if (!get(SQL_C_DOUBLE, &d, sizeof d)) return Variant::Null();
                if (d >= INT32_MIN && d <= INT32_MAX && d == std::trunc(d)) {
                    return Variant(static_cast<int32_t>(d));
                }
                return Variant(d);
            }
            case ColumnKind::Numeric:
            case ColumnKind::Real: {
                double d = 0;
                if (!get(SQL_C_DOUBLE, &d, sizeof d)) return Variant::Null();
                return Variant(d);
            }
            case ColumnKind::Bit: {
                unsigned char b = 0;
                if (!get(SQL_C_BIT, &b, sizeof b)) return Variant::Null();
                return Variant(b != 0);
            }
            case ColumnKind::Date: {
                SQL_TIMESTAMP_STRUCT ts{};
                if (!get(SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts)) return Variant::Null();
                // Fractions of a second are dropped, as dates read from text drop them.
                const automation::CivilDateTime civil{ts.year, ts.month,  ts.day,
                                                      ts.hour, ts.minute, ts.second};
                if (auto d = automation::TryOleFromCivil(civil)) return Variant::FromDate(*d);
                char text[64];
                std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", ts.year, ts.month,
                              ts.day, ts.hour, ts.minute, ts.second);
                return Variant(text);
            }
            case ColumnKind::Time: {
                SQL_TIME_STRUCT t{};
                if (!get(SQL_C_TYPE_TIME, &t, sizeof t)) return Variant::Null();
                return Variant::FromDate(
                    automation::OleFromCivil(1899, 12, 30, t.hour, t.minute, t.second));
            }
            case ColumnKind::Binary: {
                std::string bytes;
                if (!ReadChunks(stmt, c, SQL_C_BINARY, original,
                                [&](const char* p, size_t n) { bytes.append(p, n); })) {
                    return Variant::Null();
                }
                return Variant(std::move(bytes));
            }
            case ColumnKind::Text:
                break;
        }
        // Text is read as UTF-16 whatever the driver's or the process's locale, so that no
        // character set conversion of the driver manager can garble it.
        std::u16string wide;
        if (!ReadChunks(stmt, c, SQL_C_WCHAR, original, [&](const char* p, size_t n) {
                wide.append(reinterpret_cast<const char16_t*>(p), n / sizeof(char16_t));
            })) {
            return Variant::Null();
        }
        std::string text;
        AppendUtf8(text, wide.data(), wide.size());
        return Variant(std::move(text));
    }

    // Reads a long value piece by piece; false for NULL.
    template <typename Sink>
    bool ReadChunks(SQLHSTMT stmt, SQLUSMALLINT c, SQLSMALLINT cType, std::string_view original,
                    Sink&& sink) {
        // A text buffer keeps room for the terminating null the driver adds.
        const size_t terminator = cType == SQL_C_WCHAR ? sizeof(char16_t) : 0;
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(stmt, c, cType, chunk_, sizeof chunk_, &indicator);
            if (rc == SQL_NO_DATA) return true;
            if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt, original, h_->dbc);
            if (indicator == SQL_NULL_DATA) return false;
            const size_t room = sizeof chunk_ - terminator;
            const size_t got = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > room
                                   ? room
                                   : static_cast<size_t>(indicator);
            sink(chunk_, got);
            if (rc == SQL_SUCCESS) return true;
        }
    }

    std::unique_ptr<Handles> h_;
    Dialect dialect_;
    bool inTransaction_ = false;
    bool inSnapshot_ = false;
    uint64_t sentClockVersion_ = 0;  // the clock's version last handed to the server
    bool fixedNowSent_ = false;
    std::optional<bool> snapshotAllowed_;     // SQL Server: whether SNAPSHOT may be used
    std::optional<bool> hasVersionFunction_;  // PostgreSQL: whether init made the stamp's reader
    std::vector<std::string> stampState_;     // the state ChangeStamp saw last
    uint64_t stamp_ = 0;
    SQLHSTMT stampStmt_ = SQL_NULL_HSTMT;  // the stamp's query, prepared
    std::string stampQuery_;
    static constexpr size_t kPreparedKept = 16;
    std::unordered_map<std::string, SQLHSTMT> prepared_;  // changes of our own, prepared
    alignas(char16_t) char chunk_[8192];
};

// psqlODBC leaves TCP keepalives at the system's two hours; a server whose machine has
// gone away would hold a waiting call that long.
std::string WithDriverDefaults(const std::string& connectionString) {
    const bool postgres = ContainsNoCase(connectionString, "postgres") ||
                          ContainsNoCase(connectionString, "psqlodbc");
    if (!postgres || ContainsNoCase(connectionString, "keepalive")) return connectionString;
    std::string s = connectionString;
    if (!s.empty() && s.back() != ';') s += ';';
    return s + "KeepaliveTime=10;KeepaliveInterval=5;";
}

}  // namespace

ConnectionPtr OpenOdbc(const std::string& connectionString) {
    return OpenOdbc(connectionString, OdbcTimeouts{});
}

ConnectionPtr OpenOdbc(const std::string& connectionString, const OdbcTimeouts& timeouts) {
    auto h = std::make_unique<Handles>();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h->env))) {
        throw ComError(errors::kUnspecified, kSource,
                       automation::MarkedText("无法打开数据库", ": ODBC"));
    }
    SQLSetEnvAttr(h->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, h->env, &h->dbc))) {
        FailOpening(SQL_HANDLE_ENV, h->env, connectionString);
    }
    SQLSetConnectAttrW(h->dbc, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeouts.LoginSeconds)),
                       0);
    SQLSetConnectAttrW(h->dbc, SQL_ATTR_CONNECTION_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeouts.QuerySeconds)),
                       0);

    std::u16string wide = ToUtf16(WithDriverDefaults(connectionString));
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc =
        SQLDriverConnectW(h->dbc, nullptr, Wide(wide), static_cast<SQLSMALLINT>(wide.size()),
                          nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) FailOpening(SQL_HANDLE_DBC, h->dbc, connectionString);
    h->connected = true;

    SQLWCHAR dbms[128] = {};
    SQLSMALLINT dbmsLength = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(h->dbc, SQL_DBMS_NAME, dbms, sizeof dbms, &dbmsLength))) {
        FailOpening(SQL_HANDLE_DBC, h->dbc, connectionString);
    }
    std::string name;
    AppendUtf8(
        name, Narrow(dbms),
        std::min<size_t>(
            static_cast<size_t>(std::max<SQLSMALLINT>(dbmsLength, 0)) / sizeof(SQLWCHAR), 127));
    Dialect dialect;
    if (ContainsNoCase(name, "PostgreSQL")) {
        dialect = Dialect::PostgreSQL;
    } else if (ContainsNoCase(name, "SQL Server")) {
        dialect = Dialect::SqlServer;
    } else {
        throw ComError(errors::kUnspecified, kSource,
                       automation::MarkedText("不支持的数据库类型", ": " + name));
    }

    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h->dbc, &h->stmt))) {
        FailOpening(SQL_HANDLE_DBC, h->dbc, connectionString);
    }
    // The text goes to the server as written: no ODBC escape clauses are looked for.
    SQLSetStmtAttrW(h->stmt, SQL_ATTR_NOSCAN, reinterpret_cast<SQLPOINTER>(SQL_NOSCAN_ON), 0);
    SQLSetStmtAttrW(h->stmt, SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeouts.QuerySeconds)), 0);
    return std::make_shared<OdbcConnection>(std::move(h), dialect);
}

}  // namespace zev::data
