// TableWrite (TableWrite.hpp): the session lock and the table claim of each dialect, and
// the thread's chain of open writes that a nested writer joins.
#include "platform/data/TableWrite.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/automation/ComError.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/SqlText.hpp"

namespace zev::data {
namespace {

constexpr const char* kSource = "ZevWorkCal";

// The innermost write open on this thread; each write keeps the one it covers.
thread_local TableWrite* innermost = nullptr;

// The statements of the session lock named `name`, and of the claim of `table` inside a
// transaction; empty where the dialect needs none.
struct Locking {
    std::string lock;
    std::string unlock;
    std::string claim;
    std::string boundLock;     // run before the session lock
    std::string unboundLock;   // run after it, whether it was had or not
    std::string boundClaim;    // run before the claim, inside the transaction
    std::string unboundClaim;  // run after the claim
};

// Each wait is bounded by `wait`: the session lock fails when it runs out (SQL Server's
// answers the code of sp_getapplock, negative when the lock was not granted), and so does
// the claim.
Locking LockingOf(Dialect dialect, std::string_view table, std::string_view name,
                  std::chrono::milliseconds wait) {
    const std::string key = sql::StringLiteral(name);
    const std::string tableName(table);
    const std::string ms = std::to_string(wait.count());
    switch (dialect) {
        case Dialect::PostgreSQL:
            // lock_timeout is set around the session lock only, and for the claim inside
            // the transaction, which ends the setting with it.
            return {.lock = "SELECT pg_advisory_lock(hashtext(" + key + "))",
                    .unlock = "SELECT pg_advisory_unlock(hashtext(" + key + "))",
                    .claim = "LOCK TABLE " + tableName + " IN EXCLUSIVE MODE",
                    .boundLock = "SET lock_timeout = " + ms,
                    .unboundLock = "RESET lock_timeout",
                    .boundClaim = "SET LOCAL lock_timeout = " + ms,
                    .unboundClaim = {}};
        case Dialect::SqlServer:
            // One batch, without separators, so that the variable lives through it.
            return {.lock = "DECLARE @granted int EXEC @granted = sp_getapplock @Resource=" + key +
                            ", @LockMode='Exclusive', @LockOwner='Session', @LockTimeout=" + ms +
                            " SELECT @granted",
                    .unlock = "EXEC sp_releaseapplock @Resource=" + key + ", @LockOwner='Session'",
                    .claim = "SELECT COUNT(*) FROM " + tableName + " WITH (TABLOCKX, HOLDLOCK)",
                    .boundLock = {},
                    .unboundLock = {},
                    .boundClaim = "SET LOCK_TIMEOUT " + ms,
                    .unboundClaim = "SET LOCK_TIMEOUT -1"};
        case Dialect::SQLite:
            break;
    }
    return {};
}

[[noreturn]] void RefuseBusy() {
    throw BusyWrite(automation::errors::kCommandFailed, kSource,
                    automation::MarkedText("工厂日历正由另一个程序写入，请稍后再试"));
}

// Whether a failure of a lock statement is a wait that ran out: PostgreSQL's lock timeout
// (SQLSTATE 55P03), SQL Server's (error 1222), SQLite's busy timeout.
bool RanOut(const automation::ComError& error) {
    const std::string& text = error.Description();
    return text.find("55P03") != std::string::npos ||
           text.find("Lock request time out") != std::string::npos ||
           text.find("database is locked") != std::string::npos;
}

// Runs a statement that waits for a lock; a wait that runs out is refused by name.
Recordset RunWaiting(Connection& connection, const std::string& statement) {
    try {
        return connection.Execute(statement);
    } catch (const automation::ComError& error) {
        if (RanOut(error)) RefuseBusy();
        throw;
    }
}

// The database file a SQLite connection has open; empty for one in memory.
std::string SqliteFile(Connection& connection) {
    Recordset rs = connection.Execute("PRAGMA database_list");
    for (; !rs.Eof(); rs.MoveNext()) {
        if (automation::CStr(rs.Fields(1).Value()) == "main") {
            return automation::CStr(rs.Fields(2).Value());
        }
    }
    return {};
}

std::string FolderOf(const std::string& file) {
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
}

// An exclusive flock on `folder`, waited for until `wait` runs out; the descriptor that
// holds it.
int LockFolder(const std::string& folder, std::chrono::milliseconds wait) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int error = errno;
    if (fd >= 0) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
            error = errno;
            if (error == EINTR) continue;
            if (error != EWOULDBLOCK) break;
            if (std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                RefuseBusy();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::close(fd);
    }
    throw automation::ComError(automation::errors::kCommandFailed, kSource,
                               automation::MarkedText("无法锁定数据库所在的文件夹",
                                                      ": " + automation::EscapeControls(folder) +
                                                          ": " + std::strerror(error)));
}

std::string FirstValue(Connection& connection, const std::string& query) {
    Recordset rs = connection.Execute(query);
    return rs.Eof() ? std::string() : automation::CStr(rs.Fields(0).Value());
}

// Whether `other` opens the database whose session lock `holder` holds on this thread.
bool SameDatabase(Connection& holder, Connection& other, std::string_view name) {
    if (holder.GetDialect() != other.GetDialect()) return false;
    const std::string key = sql::StringLiteral(name);
    switch (holder.GetDialect()) {
        case Dialect::SQLite: {
            const std::string a = SqliteFile(holder);
            const std::string b = SqliteFile(other);
            std::error_code ignored;
            return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ignored);
        }
        case Dialect::PostgreSQL:
            // The holder's session holds the lock in the database the other one opened.
            return FirstValue(
                       other,
                       "SELECT COUNT(*) FROM pg_locks WHERE locktype='advisory' AND "
                       "granted AND objid=hashtext(" +
                           key + ")::oid AND pid=" + FirstValue(holder, "SELECT pg_backend_pid()") +
                           " AND database=(SELECT oid FROM pg_database WHERE "
                           "datname=current_database())") != "0";
        case Dialect::SqlServer:
            return FirstValue(holder, "SELECT DB_NAME()") ==
                       FirstValue(other, "SELECT DB_NAME()") &&
                   FirstValue(other, "SELECT APPLOCK_TEST('public', " + key +
                                         ", 'Exclusive', 'Session')") == "0";
    }
    return false;
}

}  // namespace

void RefuseWritesOnStandby(Connection& connection) {
    // A standby would take the session lock (advisory locks are not replicated) and
    // fail only at the first change, with the engine's words.
    if (connection.GetDialect() != Dialect::PostgreSQL) return;
    if (FirstValue(connection, "SELECT CASE WHEN pg_is_in_recovery() THEN 1 ELSE 0 END") != "1") {
        return;
    }
    throw ReadOnlyDatabase(
        automation::errors::kCommandFailed, kSource,
        automation::MarkedText("数据库是只读的（备用服务器）：请在主服务器上写入"));
}

std::chrono::milliseconds LockWait() {
    if (const char* text = std::getenv("ZEVWORKCAL_LOCK_WAIT_MS"); text != nullptr) {
        long long ms = 0;
        const char* end = text + std::strlen(text);
        const auto [at, error] = std::from_chars(text, end, ms);
        if (error == std::errc() && at == end && ms >= 0) return std::chrono::milliseconds(ms);
    }
    return std::chrono::seconds(10);
}

TableWrite::TableWrite(Connection& connection, std::string_view table, std::string_view lockName)
    : connection_(connection), table_(table), lockName_(lockName) {
    Start();
}

TableWrite::TableWrite(Connection& connection, std::string_view table, std::string_view lockName,
                       Deferred deferred)
    : connection_(connection),
      table_(table),
      lockName_(lockName),
      deferred_(true),
      opening_(std::move(deferred.opening)) {
    Start();
}

void TableWrite::Start() {
    // The innermost write of the table on this connection, which this one joins, and the
    // innermost one that writes it on another connection.
    TableWrite* elsewhere = nullptr;
    for (TableWrite* w = innermost; w != nullptr && !joined_; w = w->outer_) {
        if (w->table_ != table_) continue;
        if (&w->connection_ == &connection_) {
            joined_ = true;
            joinedTo_ = w->joined_ ? w->joinedTo_ : w;
        } else if (elsewhere == nullptr && !w->joined_) {
            elsewhere = w;
        }
    }
    outer_ = innermost;
    innermost = this;
    try {
        if (joined_) {
            TableWrite& root = *joinedTo_;
            if (root.deferred_) {
                // Its transaction is open on another connection, which this one would
                // wait for.
                if (root.taker_ != nullptr) RefuseBusy();
                root.Begin(root.opening_);
                root.deferred_ = false;
                root.opening_.clear();
            }
            OpenNow();
            return;
        }
        if (elsewhere != nullptr) {
            // The write that holds the session lock: the deferred one a taker took over.
            TableWrite& holder = elsewhere->takenFrom_ ? *elsewhere->takenFrom_ : *elsewhere;
            if (SameDatabase(holder.connection_, connection_, lockName_)) {
                if (elsewhere != &holder || !holder.deferred_ || holder.taker_ != nullptr) {
                    RefuseBusy();
                }
                // Under the deferred write's lock, in a transaction of this connection
                // that begins with the deferred write's first statements.
                Begin(holder.opening_);
                holder.taker_ = this;
                takenFrom_ = &holder;
                OpenNow();
                return;
            }
        }
        Connection& c = connection_;
        RefuseWritesOnStandby(c);
        const Locking locking = LockingOf(c.GetDialect(), table_, lockName_, LockWait());
        if (!locking.lock.empty()) {
            if (!locking.boundLock.empty()) c.Execute(locking.boundLock);
            Recordset granted;
            try {
                granted = RunWaiting(c, locking.lock);
            } catch (...) {
                if (!locking.unboundLock.empty()) c.Execute(locking.unboundLock);
                throw;
            }
            if (!locking.unboundLock.empty()) c.Execute(locking.unboundLock);
            sessionLocked_ = true;
            if (c.GetDialect() == Dialect::SqlServer && !granted.Eof() &&
                automation::CLng(granted.Fields(0).Value()) < 0) {
                sessionLocked_ = false;
                RefuseBusy();
            }
        } else if (c.GetDialect() == Dialect::SQLite) {
            if (const std::string file = SqliteFile(c); !file.empty()) {
                folder_ = LockFolder(FolderOf(file), LockWait());
            }
        }
        if (!deferred_) Begin({});
    } catch (...) {
        Release();
        throw;
    }
}

void TableWrite::OpenNow() {
    // A deferred write made inside an open transaction has nothing to wait for: its first
    // statements run at once.
    if (!deferred_) return;
    deferred_ = false;
    for (const std::string& statement : opening_)
        connection_.Execute(statement);
    opening_.clear();
}

void TableWrite::Begin(const std::vector<std::string>& opening) {
    Connection& c = connection_;
    RunWaiting(c, "BEGIN TRANSACTION");
    open_ = true;
    const Locking locking = LockingOf(c.GetDialect(), table_, lockName_, LockWait());
    if (!locking.boundClaim.empty()) c.Execute(locking.boundClaim);
    if (!locking.claim.empty()) RunWaiting(c, locking.claim);
    if (!locking.unboundClaim.empty()) c.Execute(locking.unboundClaim);
    for (const std::string& statement : opening)
        c.Execute(statement);
}

TableWrite::~TableWrite() {
    Release();
}

TableWrite* TableWrite::OpenOnThisThread(std::string_view table) {
    for (TableWrite* w = innermost; w != nullptr; w = w->outer_) {
        if (w->table_ == table) return w;
    }
    return nullptr;
}

void TableWrite::Commit() {
    if (joined_ || !open_) return;
    try {
        connection_.Execute("COMMIT");
        open_ = false;
    } catch (...) {
        Release();
        throw;
    }
    // The deferred write's first statements are committed with this write.
    if (takenFrom_ != nullptr) takenFrom_->opening_.clear();
    Release();
}

void TableWrite::Release() noexcept {
    if (innermost == this) innermost = outer_;
    if (joined_) return;
    if (open_) {
        open_ = false;
        try {
            connection_.Execute("ROLLBACK");
        } catch (...) {
            // The engine has ended the transaction with the connection.
        }
    }
    if (takenFrom_ != nullptr) {
        takenFrom_->taker_ = nullptr;
        takenFrom_ = nullptr;
    }
    if (taker_ != nullptr) {
        taker_->takenFrom_ = nullptr;
        taker_ = nullptr;
    }
    if (folder_ >= 0) {
        ::close(folder_);  // gives the flock back
        folder_ = -1;
    }
    if (sessionLocked_) {
        sessionLocked_ = false;
        try {
            connection_.Execute(
                LockingOf(connection_.GetDialect(), table_, lockName_, LockWait()).unlock);
        } catch (...) {
            // A session lock that cannot be given back ends with the session.
        }
    }
}

}  // namespace zev::data
