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

#include <string>
#include <string_view>

#include "platform/data/Connection.hpp"

namespace zev::data {

class TableWrite {
  public:
    // Waits for the other writers of `table` on the same database (their locks are named
    // `lockName`), then begins a transaction on `connection` and claims the table in it.
    // Made on a connection that already holds an open write of the same table on this
    // thread, it joins that write: it takes no lock of its own, and the outer write alone
    // commits or rolls back. Fails, holding nothing, when the lock or the transaction
    // cannot be had.
    // The caller keeps the connection open for the write's lifetime.
    TableWrite(Connection& connection, std::string_view table, std::string_view lockName);
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
};

}  // namespace zev::data
