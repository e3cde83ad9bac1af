// The embedded backend (SqliteConnection.hpp): OpenSqlite; private: the connection over
// sqlite3, the T-SQL functions it adds, WAL mode and the change stamp.
#include "platform/data/SqliteConnection.hpp"

#include <sqlite3.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/automation/AsciiText.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/SqlText.hpp"

namespace zev::data {
namespace {

namespace errors = automation::errors;
using automation::ComError;

constexpr const char* kSource = "ZevData.SQLite";
constexpr int kBusyTimeoutMs = 10000;

[[noreturn]] void Fail(int32_t number, const std::string& message, std::string_view statement) {
    std::string description = message;
    if (!statement.empty()) {
        description += " (";
        description += statement;
        description += ")";
    }
    throw ComError(number, kSource, description);
}

// A file name as a message shows it.
std::string Shown(const std::string& path) {
    return automation::EscapeControls(path);
}

// GETDATE(): the current local date and time of the system's clock, as the server's
// datetime text.
void GetDateFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    const automation::LocalTime now = automation::LocalNow();
    const automation::CivilDateTime& c = now.Civil;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", c.Year, c.Month, c.Day,
                  c.Hour, c.Minute, c.Second, now.Millisecond);
    sqlite3_result_text(ctx, buf, -1, SQLITE_TRANSIENT);
}

// YEAR(d), MONTH(d), DAY(d) of a date text; NULL for NULL, an error for a non-date.
template <int Part>
void DatePartFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const auto d = automation::ParseIsoDate(text ? text : "");
    if (!d) {
        sqlite3_result_error(ctx, "Conversion failed when converting date from character string",
                             -1);
        return;
    }
    const auto c = automation::CivilFromOle(*d);
    sqlite3_result_int(ctx, Part == 0 ? c.Year : Part == 1 ? c.Month : c.Day);
}

// The journal mode of the main database, upper case ("WAL", "DELETE", ...); empty when
// it cannot be read.
std::string JournalMode(sqlite3* db, const char* pragma) {
    sqlite3_stmt* stmt = nullptr;
    std::string mode;
    if (sqlite3_prepare_v2(db, pragma, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        mode = automation::UpperAscii(text ? text : "");
    }
    sqlite3_finalize(stmt);
    return mode;
}

// Puts a writable database into WAL journal mode, so that readers keep answering from
// the last committed state while a writer works instead of waiting for its lock. The mode
// is kept in the file, so this happens once per database. A file or folder that is
// read-only cannot switch; the database then keeps its journal mode and is read as it is.
// Returns whether the database is in WAL mode.
bool UseWriteAheadLog(sqlite3* db) {
    if (JournalMode(db, "PRAGMA journal_mode") == "WAL") return true;
    if (sqlite3_db_readonly(db, "main") != 0) return false;
    return JournalMode(db, "PRAGMA journal_mode=WAL") == "WAL";
}

bool IsDateType(const char* declared) {
    if (declared == nullptr) return false;
    const std::string upper = automation::UpperAscii(declared);
    return upper.find("DATE") != std::string::npos || upper.find("TIME") != std::string::npos;
}

// Readies a kept statement for its next run when a run of it ends, however it ends.
struct StatementReset {
    sqlite3_stmt* s;
    ~StatementReset() {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
};

// Binds `value` to parameter `index` (from 1); texts are bound without a copy and must
// outlive the run. Days are bound as the date text the schema stores.
int BindValue(sqlite3_stmt* stmt, int index, const automation::Variant& value) {
    using automation::VarType;
    switch (value.Type()) {
        case VarType::Null:
            return sqlite3_bind_null(stmt, index);
        case VarType::Integer:
        case VarType::Long:
        case VarType::Boolean:
            return sqlite3_bind_int64(stmt, index, automation::CLng(value));
        case VarType::Date: {
            const std::string text = automation::FormatIsoDate(sql::BoundDay(value));
            return sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                                     SQLITE_TRANSIENT);
        }
        case VarType::String: {
            const std::string& text = value.StringRef();
            return sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                                     SQLITE_STATIC);
        }
        case VarType::Empty:
        case VarType::Double:
        case VarType::Object:
            break;
    }
    automation::Raise(errors::kTypeMismatch);
}

class SqliteConnection final : public Connection {
  public:
    explicit SqliteConnection(sqlite3* db) : db_(db) {}
    ~SqliteConnection() override {
        sqlite3_finalize(dataVersion_);
        ForgetTemplates();
        sqlite3_close_v2(db_);
    }
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    Recordset Execute(std::string_view commandText) override {
        if (!sql::MayHoldSeveral(commandText)) {
            std::shared_ptr<ResultTable> table;
            RunOne(sql::TrimStatement(commandText), table);
            return table ? Recordset(std::move(table)) : Recordset();
        }
        std::shared_ptr<ResultTable> first;
        for (std::string_view statement : sql::SplitStatements(commandText)) {
            std::shared_ptr<ResultTable> table;
            RunOne(statement, table);
            if (!first && table) first = std::move(table);
        }
        return first ? Recordset(std::move(first)) : Recordset();
    }

    Recordset ExecuteWith(std::string_view statement,
                          std::span<const automation::Variant> values) override {
        sqlite3_stmt* stmt = Template(std::string(statement), statement);
        const StatementReset reset{stmt};
        if (sqlite3_bind_parameter_count(stmt) != static_cast<int>(values.size())) {
            automation::Raise(errors::kInvalidProcedureCall);
        }
        for (size_t k = 0; k < values.size(); ++k) {
            const int rc = BindValue(stmt, static_cast<int>(k) + 1, values[k]);
            if (rc != SQLITE_OK) Fail(ErrorNumber(rc), sqlite3_errmsg(db_), statement);
        }
        std::shared_ptr<ResultTable> table;
        Step(stmt, statement, table);
        return table ? Recordset(std::move(table)) : Recordset();
    }

    Dialect GetDialect() const override { return Dialect::SQLite; }

    void UseWriteAheadLog() { walMode_ = data::UseWriteAheadLog(db_); }

    bool HasTable(std::string_view name) override {
        sqlite3_stmt* stmt = nullptr;
        const char* q = "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE";
        if (sqlite3_prepare_v2(db_, q, -1, &stmt, nullptr) != SQLITE_OK) {
            Fail(errors::kCommandFailed, sqlite3_errmsg(db_), q);
        }
        sqlite3_bind_text(stmt, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            Fail(errors::kCommandFailed, sqlite3_errmsg(db_), q);
        return rc == SQLITE_ROW;
    }

    std::optional<uint64_t> ChangeStamp(std::string_view /*table*/) override {
        // A change of our own that is not committed may still be rolled back.
        if (!sqlite3_get_autocommit(db_)) return std::nullopt;
        // Nothing committed since the stamp was last read, by anyone: the same stamp,
        // without the read transaction that asking the engine takes.
        const std::optional<StampState> quick = QuickState();
        if (quick && quick == quickState_) return stamp_;
        // PRAGMA data_version starts a read transaction, which brings the connection's
        // view of the file up to date; the file's data version then counts every change
        // to it, this connection's own and other connections' commits, schema changes
        // included. The temporary database counts the tables this connection made there,
        // and the change counter the rows written through it.
        if (!dataVersion_ &&
            sqlite3_prepare_v3(db_, "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT,
                               &dataVersion_, nullptr) != SQLITE_OK) {
            return std::nullopt;
        }
        const bool read = sqlite3_step(dataVersion_) == SQLITE_ROW;
        const int64_t dataVersion = read ? sqlite3_column_int64(dataVersion_, 0) : 0;
        sqlite3_reset(dataVersion_);
        if (!read) return std::nullopt;
        StampState state = OwnState();
        state.dataVersion = dataVersion;
        // The stamp counts the states seen, so it never comes back to an earlier value.
        if (!stampRead_ || !(state == stampState_)) ++stamp_;
        stampState_ = state;
        stampRead_ = true;
        // The header as it was before the engine was asked, so that a commit after that
        // moment makes the next quick state differ; this connection's own part as it is
        // now.
        quickState_.reset();
        if (quick) {
            quickState_ = state;
            quickState_->walHeader = quick->walHeader;
        }
        return stamp_;
    }

    bool BeginReadSnapshot() override {
        if (!sqlite3_get_autocommit(db_)) return false;
        // A deferred transaction takes no lock until its first read, and from then on
        // reads one state of the file: the WAL snapshot, or the shared lock that keeps
        // writers from committing in the older journal modes.
        char* error = nullptr;
        if (sqlite3_exec(db_, "BEGIN DEFERRED", nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : sqlite3_errmsg(db_);
            sqlite3_free(error);
            Fail(errors::kCommandFailed, message, "BEGIN DEFERRED");
        }
        return true;
    }

    void EndReadSnapshot() noexcept override {
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }

  private:
    // What ChangeStamp compares.
    struct StampState {
        // The first copy of the WAL-index header, whose change counter and frame count
        // every commit in WAL mode moves (its layout is part of the WAL file format).
        std::array<unsigned char, 48> walHeader{};
        int64_t dataVersion = 0;
        unsigned int mainVersion = 0;  // the file's data version as this connection knows it
        unsigned int tempVersion = 0;
        int64_t totalChanges = 0;
        bool operator==(const StampState&) const = default;
    };

    // What this connection knows without asking the file: its own changes, and the file's
    // data version as its last transaction left it.
    StampState OwnState() {
        StampState state;
        sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &state.mainVersion);
        // Fails, leaving 0, until the connection has a temporary database.
        sqlite3_file_control(db_, "temp", SQLITE_FCNTL_DATA_VERSION, &state.tempVersion);
        state.totalChanges = sqlite3_total_changes64(db_);
        return state;
    }

    // OwnState with the WAL-index header, read from the shared memory this connection
    // has mapped, as the engine reads it: two copies that agree, or a writer is updating
    // them. std::nullopt when the database is not in WAL mode or no read has mapped it yet.
    std::optional<StampState> QuickState() {
        if (!walMode_ || !stampRead_) return std::nullopt;
        sqlite3_file* file = nullptr;
        if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
            file == nullptr || file->pMethods == nullptr || file->pMethods->iVersion < 2 ||
            file->pMethods->xShmMap == nullptr) {
            return std::nullopt;
        }
        volatile void* region = nullptr;
        if (file->pMethods->xShmMap(file, 0, 32768, 0, &region) != SQLITE_OK || region == nullptr) {
            return std::nullopt;
        }
        const auto* shared = static_cast<const volatile unsigned char*>(region);
        StampState state = OwnState();
        std::array<unsigned char, 48> second{};
        for (size_t i = 0; i < 48; ++i)
            state.walHeader[i] = shared[i];
        std::atomic_thread_fence(std::memory_order_acquire);
        for (size_t i = 0; i < 48; ++i)
            second[i] = shared[48 + i];
        if (state.walHeader != second) return std::nullopt;
        state.dataVersion = stampState_.dataVersion;
        return state;
    }

    void RunOne(std::string_view statement, std::shared_ptr<ResultTable>& table) {
        // A statement that may change how the file is shared ends the quick change check,
        // which reads the shared memory of WAL mode.
        if (automation::FindNoCase(statement, "journal_mode") != std::string_view::npos ||
            automation::FindNoCase(statement, "locking_mode") != std::string_view::npos) {
            walMode_ = false;
        }
        switch (sql::ClassifyTransaction(statement)) {
            case sql::TransactionVerb::Begin:
                // IMMEDIATE takes the write lock at once, so two writers queue on the busy
                // timeout instead of failing when the second tries to upgrade.
                return RunText("BEGIN IMMEDIATE", statement, table);
            case sql::TransactionVerb::Commit:
                return RunText("COMMIT", statement, table);
            case sql::TransactionVerb::Rollback:
                return RunText("ROLLBACK", statement, table);
            case sql::TransactionVerb::None:
                break;
        }
        if (auto rewritten = sql::AddInsertInto(statement)) {
            return RunText(*rewritten, statement, table);
        }
        if (auto parameterized = sql::ParameterizeLiterals(statement)) {
            return RunTemplate(*parameterized, statement);
        }
        RunText(statement, statement, table);
    }

    // Runs an UPDATE or DELETE through its template, prepared once and kept, with its
    // literals bound: a run of statements that differ only in their values (the day
    // numbering of a save) is compiled once instead of once per statement.
    void RunTemplate(const sql::Parameterized& p, std::string_view original) {
        sqlite3_stmt* stmt = Template(p.Template, original);
        const StatementReset reset{stmt};
        for (size_t k = 0; k < p.Values.size(); ++k) {
            const sql::LiteralValue& v = p.Values[k];
            const int index = static_cast<int>(k) + 1;
            const int rc = v.IsText
                               ? sqlite3_bind_text(stmt, index, v.Text.data(),
                                                   static_cast<int>(v.Text.size()), SQLITE_STATIC)
                               : sqlite3_bind_int64(stmt, index, std::stoll(v.Text));
            if (rc != SQLITE_OK) Fail(ErrorNumber(rc), sqlite3_errmsg(db_), original);
        }
        int rc = sqlite3_step(stmt);
        while (rc == SQLITE_ROW)
            rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE) Fail(ErrorNumber(rc), sqlite3_errmsg(db_), original);
    }

    // The prepared statement of a template, prepared at its first use.
    sqlite3_stmt* Template(const std::string& text, std::string_view original) {
        const auto found = templates_.find(text);
        if (found != templates_.end()) return found->second;
        // A handful of templates recur; any others do not pile up.
        if (templates_.size() >= kTemplatesKept) ForgetTemplates();
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db_, text.data(), static_cast<int>(text.size()),
                               SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
            Fail(errors::kCommandFailed, sqlite3_errmsg(db_), original);
        }
        templates_.emplace(text, stmt);
        return stmt;
    }

    void ForgetTemplates() noexcept {
        for (const auto& [text, stmt] : templates_)
            sqlite3_finalize(stmt);
        templates_.clear();
    }

    void RunText(std::string_view text, std::string_view original,
                 std::shared_ptr<ResultTable>& table) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db_, text.data(), static_cast<int>(text.size()), &stmt, &tail) !=
            SQLITE_OK) {
            Fail(errors::kCommandFailed, sqlite3_errmsg(db_), original);
        }
        if (stmt == nullptr) return;  // only a comment
        struct Finalizer {
            sqlite3_stmt* s;
            ~Finalizer() { sqlite3_finalize(s); }
        } finalizer{stmt};
        Step(stmt, original, table);
    }

    // Runs a prepared statement to its end; its rows go into `table` when it returns
    // columns. `original` is what an error names.
    void Step(sqlite3_stmt* stmt, std::string_view original, std::shared_ptr<ResultTable>& table) {
        const int columns = sqlite3_column_count(stmt);
        std::vector<bool> dateColumn;
        if (columns > 0) {
            table = std::make_shared<ResultTable>();
            table->columns.reserve(static_cast<size_t>(columns));
            dateColumn.resize(static_cast<size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                const char* name = sqlite3_column_name(stmt, c);
                table->columns.emplace_back(name ? name : "");
                dateColumn[static_cast<size_t>(c)] = IsDateType(sqlite3_column_decltype(stmt, c));
            }
        }
        for (;;) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) Fail(ErrorNumber(rc), sqlite3_errmsg(db_), original);
            for (int c = 0; c < columns; ++c) {
                table->cells.push_back(ReadValue(stmt, c, dateColumn[static_cast<size_t>(c)]));
            }
        }
    }

    static int32_t ErrorNumber(int rc) {
        const int primary = rc & 0xff;
        return primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_CANTOPEN ||
                       primary == SQLITE_IOERR
                   ? errors::kUnspecified
                   : errors::kCommandFailed;
    }

    static Variant ReadValue(sqlite3_stmt* stmt, int c, bool dateColumn) {
        switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_NULL:
                return Variant::Null();
            case SQLITE_INTEGER: {
                const sqlite3_int64 i = sqlite3_column_int64(stmt, c);
                if (i >= INT32_MIN && i <= INT32_MAX) return Variant(static_cast<int32_t>(i));
                return Variant(static_cast<double>(i));
            }
            case SQLITE_FLOAT:
                return Variant(sqlite3_column_double(stmt, c));
            default: {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                const std::string_view text(p ? p : "",
                                            static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
                if (dateColumn) {
                    if (auto d = automation::ParseIsoDate(text)) return Variant::FromDate(*d);
                }
                return Variant(text);
            }
        }
    }

    static constexpr size_t kTemplatesKept = 16;

    sqlite3* db_;
    sqlite3_stmt* dataVersion_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> templates_;
    bool walMode_ = false;  // whether the file is in WAL mode, as this connection left it
    bool stampRead_ = false;
    StampState stampState_;                 // what the engine said when the stamp was last read
    std::optional<StampState> quickState_;  // the quick state that stands for that stamp
    uint64_t stamp_ = 0;
};

// Opens the file with the engine's settings and our functions, and reads the schema,
// which proves that the file is a database and is readable. nullptr on failure, with the
// engine's result code and message.
sqlite3* OpenAndProbe(const std::string& path, int flags, int& rc, std::string& message) {
    sqlite3* db = nullptr;
    rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    const int fnFlags = SQLITE_UTF8;
    sqlite3_create_function(db, "GETDATE", 0, fnFlags, nullptr, GetDateFunction, nullptr, nullptr);
    sqlite3_create_function(db, "YEAR", 1, fnFlags | SQLITE_DETERMINISTIC, nullptr,
                            DatePartFunction<0>, nullptr, nullptr);
    sqlite3_create_function(db, "MONTH", 1, fnFlags | SQLITE_DETERMINISTIC, nullptr,
                            DatePartFunction<1>, nullptr, nullptr);
    sqlite3_create_function(db, "DAY", 1, fnFlags | SQLITE_DETERMINISTIC, nullptr,
                            DatePartFunction<2>, nullptr, nullptr);
    char* error = nullptr;
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        message = error ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        sqlite3_close_v2(db);
        return nullptr;
    }
    return db;
}

}  // namespace

ConnectionPtr OpenSqlite(const std::string& path, OpenMode mode) {
    if (path.empty()) Fail(errors::kUnspecified, automation::MarkedText("未指定数据库文件"), {});
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            Fail(errors::kUnspecified,
                 automation::MarkedText("数据库文件名指向一个目录", ": " + Shown(path)), {});
        // A FIFO would hold the open until a writer came; a device would take the journal
        // files beside it into its folder.
        if (!S_ISREG(st.st_mode))
            Fail(errors::kUnspecified,
                 automation::MarkedText("数据库文件不是普通文件", ": " + Shown(path)), {});
    } else if (mode == OpenMode::Existing) {
        Fail(errors::kUnspecified, automation::MarkedText("数据库文件不存在", ": " + Shown(path)),
             {});
    }
    int flags = SQLITE_OPEN_READWRITE;
    if (mode == OpenMode::Create) flags |= SQLITE_OPEN_CREATE;
    std::string message;
    int rc = SQLITE_OK;
    sqlite3* db = OpenAndProbe(path, flags, rc, message);
    if (db == nullptr && (rc & 0xff) == SQLITE_READONLY) {
        // Readers of a database in WAL mode share an index file beside it, which a
        // read-only folder keeps them from creating.
        Fail(errors::kUnspecified,
             automation::MarkedText("数据库使用预写日志，读取它也需要对其所在文件夹有写权限",
                                    ": " + message + ": " + Shown(path)),
             {});
    }
    if (db == nullptr) {
        Fail(errors::kUnspecified,
             automation::MarkedText("无法打开数据库", ": " + message + ": " + Shown(path)), {});
    }
    auto connection = std::make_shared<SqliteConnection>(db);
    connection->UseWriteAheadLog();
    return connection;
}

}  // namespace zev::data
