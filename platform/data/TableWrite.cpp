// TableWrite (TableWrite.hpp): the session lock and the table claim of each dialect, and
// the thread's chain of open writes that a nested writer joins.
#include "platform/data/TableWrite.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
};

Locking LockingOf(Dialect dialect, std::string_view table, std::string_view name) {
    const std::string key = sql::StringLiteral(name);
    const std::string tableName(table);
    switch (dialect) {
        case Dialect::PostgreSQL:
            return {"SELECT pg_advisory_lock(hashtext(" + key + "))",
                    "SELECT pg_advisory_unlock(hashtext(" + key + "))",
                    "LOCK TABLE " + tableName + " IN EXCLUSIVE MODE"};
        case Dialect::SqlServer:
            return {"EXEC sp_getapplock @Resource=" + key +
                        ", @LockMode='Exclusive', @LockOwner='Session'",
                    "EXEC sp_releaseapplock @Resource=" + key + ", @LockOwner='Session'",
                    "SELECT COUNT(*) FROM " + tableName + " WITH (TABLOCKX, HOLDLOCK)"};
        case Dialect::SQLite:
            break;
    }
    return {};
}

// The folder of the database file a SQLite connection has open; empty for one in memory.
std::string SqliteFolder(Connection& connection) {
    Recordset rs = connection.Execute("PRAGMA database_list");
    for (; !rs.Eof(); rs.MoveNext()) {
        if (automation::CStr(rs.Fields(1).Value()) != "main") continue;
        const std::string file = automation::CStr(rs.Fields(2).Value());
        if (file.empty()) return {};
        const size_t slash = file.rfind('/');
        return slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    }
    return {};
}

// An exclusive flock on `folder`, waited for; the descriptor that holds it.
int LockFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int locked = -1;
    if (fd >= 0) {
        do {
            locked = ::flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
    }
    if (locked == 0) return fd;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    throw automation::ComError(automation::errors::kCommandFailed, kSource,
                               automation::MarkedText("无法锁定数据库所在的文件夹",
                                                      ": " + automation::EscapeControls(folder) +
                                                          ": " + std::strerror(error)));
}

}  // namespace

TableWrite::TableWrite(Connection& connection, std::string_view table, std::string_view lockName)
    : connection_(connection), table_(table), lockName_(lockName) {
    for (TableWrite* w = innermost; w != nullptr && !joined_; w = w->outer_) {
        if (&w->connection_ == &connection_ && w->table_ == table_) {
            joined_ = true;
            joinedTo_ = w->joined_ ? w->joinedTo_ : w;
        }
    }
    outer_ = innermost;
    innermost = this;
    if (joined_) return;
    try {
        Connection& c = connection_;
        const Locking locking = LockingOf(c.GetDialect(), table_, lockName_);
        if (!locking.lock.empty()) {
            c.Execute(locking.lock);
            sessionLocked_ = true;
        } else if (c.GetDialect() == Dialect::SQLite) {
            if (const std::string folder = SqliteFolder(c); !folder.empty()) {
                folder_ = LockFolder(folder);
            }
        }
        c.Execute("BEGIN TRANSACTION");
        open_ = true;
        if (!locking.claim.empty()) c.Execute(locking.claim);
    } catch (...) {
        Release();
        throw;
    }
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
    if (folder_ >= 0) {
        ::close(folder_);  // gives the flock back
        folder_ = -1;
    }
    if (sessionLocked_) {
        sessionLocked_ = false;
        try {
            connection_.Execute(LockingOf(connection_.GetDialect(), table_, lockName_).unlock);
        } catch (...) {
            // A session lock that cannot be given back ends with the session.
        }
    }
}

}  // namespace zev::data
