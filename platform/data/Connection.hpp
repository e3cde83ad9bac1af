#pragma once
// A database connection as the component uses it: one command text in, a buffered
// result set out. Backends translate the component's T-SQL text only where their engine
// cannot read it.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/automation/Object.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/data/Recordset.hpp"
#include "platform/data/SqlText.hpp"

namespace zev::data {

enum class Dialect { SQLite, PostgreSQL, SqlServer };

class Connection : public automation::Object {
  public:
    // Runs the command text. A text of several statements separated by CR LF (or ";")
    // runs them in order; the result is the rows of the first statement that returns
    // columns, or a closed result set when none does. Engine errors become ComError with
    // the engine's message and the failing statement.
    virtual Recordset Execute(std::string_view commandText) = 0;

    // Runs one statement of our own with a "?" for each of `values`, in order. The values
    // reach the engine bound to the statement, never read as SQL, and an engine that
    // prepares statements prepares each text once however often it runs with other values.
    // Values are Null, whole numbers, texts and days, which every engine compares alike (a
    // date with a time of day fails with 5, a double with 13). Results and failures are
    // Execute's. This default, for connections that
    // only pass texts on, writes each value into the text as a literal
    // (sql::WithLiterals) and runs it with Execute; the backends bind.
    virtual Recordset ExecuteWith(std::string_view statement,
                                  std::span<const automation::Variant> values) {
        return Execute(sql::WithLiterals(statement, values));
    }

    virtual Dialect GetDialect() const = 0;

    // Whether a table of that name exists (names compared without regard to case).
    virtual bool HasTable(std::string_view name) = 0;

    // The change stamp of `table`, the one interface a copy of a table held in memory is
    // kept on: it moves with every committed change that a statement on the table could
    // read, made through this connection or any other, another process's included: rows
    // written, the table emptied, dropped, created or altered. A change another connection
    // has not committed yet does not move it: the stamp stays that of the last committed
    // state. Cheap enough to ask before every answer. std::nullopt when there is none to
    // trust at this moment: the database keeps no stamp for the table (SQL Server, or a
    // server database whose table lacks the suite's trigger), a database made by an
    // earlier schema has a writer of the suite's tables open, or this connection is inside
    // a transaction or read snapshot of its own, whose changes may still be rolled back.
    // Never fails: a stamp that cannot be read is none.
    virtual std::optional<uint64_t> ChangeStamp(std::string_view table) = 0;

    // Starts a read snapshot: until EndReadSnapshot, every statement reads the database
    // as it was at one moment, whatever other connections commit meanwhile. Returns false,
    // and starts nothing, while a transaction of the caller's own is open: the statements
    // then read inside it. Use ReadSnapshot rather than calling these directly.
    virtual bool BeginReadSnapshot() = 0;
    // Ends the snapshot at once, without keeping anything run inside it; never fails (a
    // connection that cannot end it has lost its transaction with its link).
    virtual void EndReadSnapshot() noexcept = 0;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// Holds a read snapshot of a connection for its lifetime, so that several statements
// answer from one committed state of the database. It leaves no transaction open on the
// connection however the scope ends, and inside a transaction of the caller's (or inside
// another ReadSnapshot) it does nothing. Only reads belong inside it.
class ReadSnapshot {
  public:
    explicit ReadSnapshot(Connection& connection)
        : connection_(connection.BeginReadSnapshot() ? &connection : nullptr) {}
    ~ReadSnapshot() {
        if (connection_ != nullptr) connection_->EndReadSnapshot();
    }
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

  private:
    Connection* connection_;
};

// Runs `work` between BEGIN TRANSACTION and COMMIT on the connection and returns what it
// returns. Any failure rolls the transaction back, leaves the connection outside it and
// is raised again; a failure of the rollback itself is dropped, the first failure being
// the one worth reporting.
template <class Work>
auto InTransaction(Connection& connection, Work&& work) -> std::invoke_result_t<Work&> {
    connection.Execute("BEGIN TRANSACTION");
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
            work();
            connection.Execute("COMMIT");
        } else {
            auto result = work();
            connection.Execute("COMMIT");
            return result;
        }
    } catch (...) {
        try {
            connection.Execute("ROLLBACK");
        } catch (...) {
            // Dropped: the failure that led here is the one raised.
        }
        throw;
    }
}

}  // namespace zev::data
