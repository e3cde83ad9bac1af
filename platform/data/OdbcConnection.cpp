// The ODBC backend (OdbcConnection.hpp): OpenOdbc; private: the connection, which runs
// statements (ours with their values bound), transactions and read snapshots, and reads
// the change stamp, as its server's description says. Handles, diagnostics, value
// reading, parameters and the descriptions live in odbc/.
#include "platform/data/OdbcConnection.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/SqlText.hpp"
#include "platform/data/odbc/Diagnostics.hpp"
#include "platform/data/odbc/Dialects.hpp"
#include "platform/data/odbc/Handles.hpp"
#include "platform/data/odbc/Parameters.hpp"
#include "platform/data/odbc/Values.hpp"

namespace zev::data {
namespace {

namespace errors = automation::errors;
using automation::ComError;
using odbc::CursorCloser;
using odbc::DialectDescription;
using odbc::Fail;
using odbc::Handles;
using odbc::kSource;

class OdbcConnection final : public Connection {
  public:
    OdbcConnection(std::unique_ptr<Handles> h, const DialectDescription& dialect)
        : h_(std::move(h)), dialect_(dialect), reader_(h_->dbc) {}
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
                if (!RunAsOneChange(statements, commandText)) RunChanges(statements, commandText);
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

    Dialect GetDialect() const override { return dialect_.Kind; }

    Recordset ExecuteWith(std::string_view statement,
                          std::span<const automation::Variant> values) override {
        // The driver would run with values left over.
        if (sql::CountMarkers(statement) != values.size()) {
            automation::Raise(errors::kInvalidProcedureCall);
        }
        PassFixedNow();
        const bool returnsRows = sql::StartsWithKeyword(statement, "SELECT");
        const SQLHSTMT stmt = returnsRows ? h_->stmt : PreparedChange(statement);
        const odbc::ParameterReset reset{stmt};
        std::vector<odbc::BoundValue> bound(values.size());
        BindAll(stmt, values, bound, statement);
        const CursorCloser closer{stmt};
        std::shared_ptr<ResultTable> table;
        ReadResult(stmt, returnsRows ? odbc::ExecDirect(stmt, statement) : SQLExecute(stmt),
                   statement, table);
        return table ? Recordset(std::move(table)) : Recordset();
    }

    bool HasTable(std::string_view name) override {
        const std::string query = dialect_.TableProbe(sql::StringLiteral(name));
        std::shared_ptr<ResultTable> table;
        RunText(query, query, table);
        return table && table->RowCount() > 0;
    }

    std::optional<uint64_t> ChangeStamp(std::string_view table) override {
        if (dialect_.StampQuery == nullptr || inTransaction_ || inSnapshot_) return std::nullopt;
        try {
            if (!stampReader_) {
                std::shared_ptr<ResultTable> found;
                RunText(dialect_.StampReaderProbe, dialect_.StampReaderProbe, found);
                stampReader_ =
                    found && found->RowCount() == 1 ? automation::CLng(found->cells[0]) : 0;
            }
            if (*stampReader_ != 1 && *stampReader_ != 2) return std::nullopt;
            // The earlier reader's answer may change with nothing committed.
            if (*stampReader_ == 2) serverState_.clear();
            std::optional<std::string> state = RunStampQuery(table);
            // Nothing committed since the stamp was last read: the same answer.
            if (!state) return stampGiven_;
            stampGiven_ = StampOf(*state);
            return stampGiven_;
        } catch (const ComError&) {
            serverState_.clear();
            return std::nullopt;
        }
    }

    bool BeginReadSnapshot() override {
        if (inTransaction_ || inSnapshot_) return false;
        PassFixedNow();
        // Chosen before the transaction begins: the probe is a statement of its own.
        const std::string_view level = SnapshotLevel();
        SetAutocommit(false, "BEGIN TRANSACTION");
        inSnapshot_ = true;
        try {
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
        if (dialect_.LevelAfterSnapshot.empty()) return;
        try {
            std::shared_ptr<ResultTable> none;
            RunText(dialect_.LevelAfterSnapshot, dialect_.LevelAfterSnapshot, none);
        } catch (...) {
            // A connection that cannot take it has failed; its next statement says so.
        }
    }

  private:
    // The stamp for the stamp's values `state` as the query gives them.
    std::optional<uint64_t> StampOf(std::string_view state) {
        if (state.empty()) return std::nullopt;  // no such table
        // No number to trust (-1: a database of the earlier schema while a writer of it is
        // open, or the number's row missing), or a table whose writes would not move it.
        if (state.starts_with("-1 ") || state.substr(state.find(' ') + 1, 2) != "1 ") {
            return std::nullopt;
        }
        // The stamp counts the states seen, so it never comes back to an earlier value.
        if (state != stampState_) {
            stampState_ = std::string(state);
            ++stamp_;
        }
        return stamp_;
    }

    // Binds `values` to the parameters of `stmt` in order, kept in `bound` while it runs.
    void BindAll(SQLHSTMT stmt, std::span<const automation::Variant> values,
                 std::vector<odbc::BoundValue>& bound, std::string_view statement) {
        for (size_t k = 0; k < values.size(); ++k) {
            if (!SQL_SUCCEEDED(
                    odbc::BindValue(stmt, static_cast<SQLUSMALLINT>(k + 1), values[k], bound[k]))) {
                Fail(SQL_HANDLE_STMT, stmt, statement, h_->dbc);
            }
        }
    }

    // Prepares `query` on a statement of its own, kept in `stmt`, with the same timeout as
    // every other statement: the driver sets the server's anew, a statement of its own,
    // whenever the next statement's differs.
    void PrepareOwn(SQLHSTMT& stmt, const std::string& query) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h_->dbc, &stmt))) {
            stmt = SQL_NULL_HSTMT;
            Fail(SQL_HANDLE_DBC, h_->dbc, query, h_->dbc);
        }
        SQLULEN timeout = 0;
        SQLGetStmtAttrW(h_->stmt, SQL_ATTR_QUERY_TIMEOUT, &timeout, 0, nullptr);
        SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
        if (!SQL_SUCCEEDED(odbc::Prepare(stmt, query))) {
            const SQLHSTMT failed = stmt;
            stmt = SQL_NULL_HSTMT;
            try {
                Fail(SQL_HANDLE_STMT, failed, query, h_->dbc);
            } catch (...) {
                SQLFreeHandle(SQL_HANDLE_STMT, failed);
                throw;
            }
        }
    }

    // Runs the stamp's query for `table`, prepared once on a statement of its own: asked
    // before every answer, it should cost the server no planning. Returns the stamp's
    // values, std::nullopt when nothing has been committed since they were read last; keeps
    // the server's state it was read at. Where the dialect has a cheaper statement of that
    // state alone, it is asked first, and the whole query only when the state moved. The
    // fields are read without describing the columns first: the PostgreSQL driver keeps a
    // little memory for every description of a prepared statement that it does not give
    // back.
    std::optional<std::string> RunStampQuery(std::string_view table) {
        const std::string query = dialect_.StampQuery(sql::StringLiteral(table));
        if (stampStmt_ == SQL_NULL_HSTMT || query != stampQuery_) {
            FreeStampStatement();
            PrepareOwn(stampStmt_, query);
            stampQuery_ = query;
        }
        if (!serverState_.empty() && !dialect_.ServerStateQuery.empty()) {
            const std::string stateQuery(dialect_.ServerStateQuery);
            if (stateStmt_ == SQL_NULL_HSTMT) PrepareOwn(stateStmt_, stateQuery);
            const CursorCloser closer{stateStmt_};
            if (!SQL_SUCCEEDED(SQLExecute(stateStmt_))) {
                Fail(SQL_HANDLE_STMT, stateStmt_, stateQuery, h_->dbc);
            }
            if (!SQL_SUCCEEDED(SQLFetch(stateStmt_))) {
                Fail(SQL_HANDLE_STMT, stateStmt_, stateQuery, h_->dbc);
            }
            const std::optional<std::string> now = StampField(stateStmt_, 1, stateQuery);
            if (!now) Fail(SQL_HANDLE_STMT, stateStmt_, stateQuery, h_->dbc);
            if (*now == serverState_) return std::nullopt;
        }
        const odbc::ParameterReset reset{stampStmt_};
        const automation::Variant given[] = {automation::Variant(serverState_)};
        std::vector<odbc::BoundValue> bound(1);
        BindAll(stampStmt_, given, bound, query);
        const CursorCloser closer{stampStmt_};
        if (!SQL_SUCCEEDED(SQLExecute(stampStmt_))) {
            Fail(SQL_HANDLE_STMT, stampStmt_, query, h_->dbc);
        }
        const SQLRETURN fetched = SQLFetch(stampStmt_);
        if (!SQL_SUCCEEDED(fetched)) Fail(SQL_HANDLE_STMT, stampStmt_, query, h_->dbc);
        std::optional<std::string> seen = StampField(stampStmt_, 1, query);
        std::optional<std::string> state = StampField(stampStmt_, 2, query);
        if (!seen) Fail(SQL_HANDLE_STMT, stampStmt_, query, h_->dbc);
        serverState_ = std::move(*seen);
        return state;
    }

    // Field `c` of the stamp's row as text, std::nullopt for NULL.
    std::optional<std::string> StampField(SQLHSTMT stmt, SQLUSMALLINT c, std::string_view query) {
        std::string text;
        for (;;) {
            char part[256];
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(stmt, c, SQL_C_CHAR, part, sizeof part, &indicator);
            if (rc == SQL_NO_DATA) return text;
            if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt, query, h_->dbc);
            if (indicator == SQL_NULL_DATA) return std::nullopt;
            // Each part but the last fills the buffer but for its terminating null.
            const size_t got =
                rc == SQL_SUCCESS && indicator >= 0
                    ? std::min<size_t>(static_cast<size_t>(indicator), sizeof part - 1)
                    : sizeof part - 1;
            text.append(part, got);
            if (rc == SQL_SUCCESS) return text;
        }
    }

    void FreeStampStatement() noexcept {
        if (stampStmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stampStmt_);
        stampStmt_ = SQL_NULL_HSTMT;
        if (stateStmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stateStmt_);
        stateStmt_ = SQL_NULL_HSTMT;
        stampQuery_.clear();
        serverState_.clear();
    }

    // One snapshot for the whole transaction, at the level the description names.
    std::string_view SnapshotLevel() {
        if (dialect_.SnapshotProbe.empty()) return dialect_.SnapshotLevel;
        if (!preferredLevelAllowed_) {
            std::shared_ptr<ResultTable> table;
            RunText(dialect_.SnapshotProbe, dialect_.SnapshotProbe, table);
            preferredLevelAllowed_ = table && table->RowCount() == 1 && !table->cells[0].IsNull() &&
                                     automation::CLng(table->cells[0]) == 1;
        }
        return *preferredLevelAllowed_ ? dialect_.SnapshotLevel : dialect_.SnapshotFallback;
    }

    // A clock that tests fixed gives the server's date too. Sent outside transactions
    // only, where no rollback can take it back.
    void PassFixedNow() {
        if (dialect_.FixClock == nullptr || inTransaction_ || inSnapshot_) return;
        const uint64_t version = automation::ClockVersion();
        if (version == sentClockVersion_) return;
        const std::optional<double> fixed = automation::FixedNow();
        if (fixed || fixedNowSent_) {
            std::string time;
            if (fixed) {
                const automation::LocalTime now = automation::LocalNow();
                char value[64];
                std::snprintf(value, sizeof value, "%s.%03d",
                              automation::FormatIsoDateTime(*fixed).c_str(), now.Millisecond);
                time = value;
            }
            const std::string text = dialect_.FixClock(time);
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
        if (dialect_.AddsInsertInto) {
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

    // Whether a batch goes to the server in one round trip: where the description allows
    // it, a run of UPDATE and DELETE statements inside a transaction of the caller's.
    // Outside a transaction each statement stands on its own, so each is sent alone.
    bool SendsAsOne(const std::vector<std::string_view>& statements) const {
        if (!dialect_.SendsChangesTogether || !inTransaction_ || statements.size() < 2) {
            return false;
        }
        return std::all_of(statements.begin(), statements.end(), [](std::string_view s) {
            return sql::StartsWithKeyword(s, "UPDATE") || sql::StartsWithKeyword(s, "DELETE");
        });
    }

    // Makes a run of the description's ChangeRun as its one statement; false, having sent
    // nothing, for any other run. A failure names the batch.
    bool RunAsOneChange(const std::vector<std::string_view>& statements,
                        std::string_view original) {
        const DialectDescription::Run& run = dialect_.ChangeRun;
        if (run.Template.empty()) return false;
        std::vector<std::string> arrays;
        std::vector<std::string> days;
        days.reserve(statements.size());
        for (std::string_view statement : statements) {
            std::optional<sql::Parameterized> p = sql::ParameterizeLiterals(statement);
            if (!p || p->Template != run.Template || p->Values.empty()) return false;
            if (arrays.empty()) arrays.resize(p->Values.size());
            // Only the canonical date text: two texts then never name one day.
            const std::string& day = p->Values.back().Text;
            const std::optional<std::chrono::sys_days> parsed = automation::ParseIsoDay(day);
            if (!p->Values.back().IsText || !parsed ||
                automation::FormatIsoDate(automation::OleFromDay(*parsed)) != day) {
                return false;
            }
            days.push_back(day);
            for (size_t k = 0; k < p->Values.size(); ++k) {
                std::string& array = arrays[k];
                array += array.empty() ? '{' : ',';
                AppendArrayElement(array, p->Values[k]);
            }
        }
        std::sort(days.begin(), days.end());
        if (std::adjacent_find(days.begin(), days.end()) != days.end()) return false;
        std::vector<automation::Variant> values;
        for (std::string& array : arrays)
            values.emplace_back(std::move(array += '}'));
        const SQLHSTMT stmt = PreparedChange(run.Together);
        const odbc::ParameterReset reset{stmt};
        std::vector<odbc::BoundValue> bound(values.size());
        BindAll(stmt, values, bound, original);
        const CursorCloser closer{stmt};
        std::shared_ptr<ResultTable> none;
        ReadResult(stmt, SQLExecute(stmt), original, none);
        return true;
    }

    // Appends a literal's value to an array text: a number as written, a text quoted.
    static void AppendArrayElement(std::string& array, const sql::LiteralValue& value) {
        if (!value.IsText) {
            array += value.Text;
            return;
        }
        array += '"';
        for (const char c : value.Text) {
            if (c == '"' || c == '\\') array += '\\';
            array += c;
        }
        array += '"';
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
        SQLRETURN rc = odbc::ExecDirect(stmt, text);
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
        ReadResult(stmt, odbc::ExecDirect(stmt, text), original, table);
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
            reader_.ReadRows(stmt, static_cast<SQLUSMALLINT>(columns), *table, original);
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
        if (!SQL_SUCCEEDED(odbc::Prepare(stmt, statement))) {
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

    std::unique_ptr<Handles> h_;
    const DialectDescription& dialect_;
    odbc::ResultReader reader_;
    bool inTransaction_ = false;
    bool inSnapshot_ = false;
    uint64_t sentClockVersion_ = 0;  // the clock's version last handed to the server
    bool fixedNowSent_ = false;
    std::optional<bool> preferredLevelAllowed_;  // whether SnapshotProbe allowed SnapshotLevel
    std::optional<int32_t> stampReader_;         // which reader of the stamp the database has
    std::string stampState_;                     // the stamp's values ChangeStamp saw last
    uint64_t stamp_ = 0;
    std::string serverState_;              // the server's state they were read at
    std::optional<uint64_t> stampGiven_;   // what ChangeStamp answered then
    SQLHSTMT stampStmt_ = SQL_NULL_HSTMT;  // the stamp's query, prepared
    SQLHSTMT stateStmt_ = SQL_NULL_HSTMT;  // the server's state alone, prepared
    std::string stampQuery_;
    static constexpr size_t kPreparedKept = 16;
    std::unordered_map<std::string, SQLHSTMT> prepared_;  // changes of our own, prepared
};

}  // namespace

ConnectionPtr OpenOdbc(const std::string& connectionString) {
    return OpenOdbc(connectionString, OdbcTimeouts{});
}

ConnectionPtr OpenOdbc(const std::string& connectionString, const OdbcTimeouts& timeouts) {
    using odbc::FailOpening;
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

    std::u16string wide = automation::Utf16FromUtf8(odbc::WithDriverSettings(connectionString));
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc =
        SQLDriverConnectW(h->dbc, nullptr, odbc::Wide(wide), static_cast<SQLSMALLINT>(wide.size()),
                          nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) FailOpening(SQL_HANDLE_DBC, h->dbc, connectionString);
    h->connected = true;

    SQLWCHAR dbms[128] = {};
    SQLSMALLINT dbmsLength = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(h->dbc, SQL_DBMS_NAME, dbms, sizeof dbms, &dbmsLength))) {
        FailOpening(SQL_HANDLE_DBC, h->dbc, connectionString);
    }
    const std::string name = odbc::TextOf(
        dbms,
        std::min<size_t>(
            static_cast<size_t>(std::max<SQLSMALLINT>(dbmsLength, 0)) / sizeof(SQLWCHAR), 127));
    const DialectDescription* dialect = odbc::DialectOfDbms(name);
    if (dialect == nullptr) {
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
    return std::make_shared<OdbcConnection>(std::move(h), *dialect);
}

}  // namespace zev::data
