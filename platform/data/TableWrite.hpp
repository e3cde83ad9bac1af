#pragma once
// One writer of a table at a time, across connections and processes: a TableWrite holds
// the table's write lock from the moment it is made until it commits or ends, and the
// writer's transaction inside it, so that what the writer reads to base its change on
// still holds when it commits. Readers go on reading the committed table meanwhile.
//
// The lock has two parts. Programs of our own wait for each other on a lock of the
// database session that outlives a transaction (SQLite: an flock(2) on the database's
// folder, since a descriptor of the database file itself would drop the engine's own locks
// when closed; PostgreSQL: a session advisory lock; SQL Server: a session application
// lock; an in-memory database needs none). Inside the transaction, the table itself is
// claimed, so that writers that know nothing of the first part wait as well (SQLite's
// BEGIN takes the database's write lock already).
//
// No wait is without limit: a writer that cannot have the lock within LockWait() is
// refused by name (BusyWrite), holding nothing and having touched nothing. A writer on
// the thread of an open write, on another connection to the same database, would wait
// for itself: it is refused at once, unless the open write is deferred (see Deferred),
// which it then takes over. On a hot standby every writer is refused before it waits
// (RefuseWritesOnStandby).

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/ComError.hpp"
#include "platform/data/Connection.hpp"

namespace zev::data {

// The refusal of a writer whose wait for the lock ran out, or that would wait for a write
// of its own thread.
class BusyWrite : public automation::ComError {
  public:
    using ComError::ComError;
};

// The refusal of a writer on a database that takes no writes.
class ReadOnlyDatabase : public automation::ComError {
  public:
    using ComError::ComError;
};

// Refuses by name (ReadOnlyDatabase), before anything is read or written, a writer on a
// database that serves readers only: a PostgreSQL hot standby, which replays what its
// primary writes. Every writer asks it first: a TableWrite when it is made, and the writers
// of the schema, which take no table's lock. On any other database it does nothing.
void RefuseWritesOnStandby(Connection& connection);

// How long a writer waits for the lock: ZEVWORKCAL_LOCK_WAIT_MS when set to a number of
// milliseconds, else ten seconds.
std::chrono::milliseconds LockWait();

class TableWrite {
  public:
    // A write that takes the lock now and begins its transaction only when a writer
    // writes inside it: one that joins it on the same connection, or one on another
    // connection to the same database, made on the same thread, that takes it over (a
    // generator that opens its own connection). `opening` runs first in whichever
    // transaction that is, so that it commits or rolls back with what the writer writes.
    // A deferred write that nobody wrote in commits nothing. Made inside an open write (it
    // joins one, or takes one over), it runs `opening` at once.
    struct Deferred {
        std::vector<std::string> opening;
    };

    // Waits for the other writers of `table` on the same database (their locks are named
    // `lockName`), then begins a transaction on `connection` and claims the table in it.
    // Made on a connection that already holds an open write of the same table on this
    // thread, it joins that write: it takes no lock of its own, and the outer write alone
    // commits or rolls back. Fails, holding nothing, when the lock or the transaction
    // cannot be had.
    // The caller keeps the connection open for the write's lifetime.
    TableWrite(Connection& connection, std::string_view table, std::string_view lockName);
    TableWrite(Connection& connection, std::string_view table, std::string_view lockName,
               Deferred deferred);
    // Rolls back what was not committed and gives the lock back; never fails.
    ~TableWrite();
    TableWrite(const TableWrite&) = delete;
    TableWrite& operator=(const TableWrite&) = delete;

    Connection& Link() { return connection_; }
    // Whether this write joined an outer one on the same connection; the write it joined.
    bool Joined() const { return joined_; }
    TableWrite* JoinedTo() const { return joinedTo_; }

    // Commits the transaction and gives the lock back. A joined write commits with the
    // outer one; this does nothing for it. A failed commit rolls back and raises.
    void Commit();

    // The innermost write of `table` open on the calling thread, or nullptr: a writer
    // called from inside another's write (the window's generation calls the generator)
    // writes in it rather than waiting for it.
    static TableWrite* OpenOnThisThread(std::string_view table);

  private:
    void Start();
    void OpenNow();
    void Begin(const std::vector<std::string>& opening);
    void Release() noexcept;

    Connection& connection_;
    std::string table_;
    std::string lockName_;
    TableWrite* outer_ = nullptr;     // the thread's previous innermost write
    TableWrite* joinedTo_ = nullptr;  // the open write of the same table and connection
    bool joined_ = false;
    bool open_ = false;  // the transaction is open
    bool sessionLocked_ = false;
    int folder_ = -1;
    bool deferred_ = false;             // begins at the first writer inside it
    std::vector<std::string> opening_;  // a deferred write's first statements
    TableWrite* taker_ = nullptr;       // the write that holds a deferred one's transaction
    TableWrite* takenFrom_ = nullptr;   // the deferred write this one took over
};

}  // namespace zev::data
