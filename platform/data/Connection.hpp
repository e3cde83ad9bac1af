#pragma once
// A database connection as the component uses it: one command text in, a buffered
// result set out. Backends translate the component's T-SQL text only where their engine
// cannot read it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/automation/Object.hpp"
#include "platform/data/Recordset.hpp"

namespace zev::data {

enum class Dialect { SQLite, PostgreSQL, SqlServer };

class Connection : public automation::Object {
  public:
    // Runs the command text. A text of several statements separated by CR LF (or ";")
    // runs them in order; the result is the rows of the first statement that returns
    // columns, or a closed result set when none does. Engine errors become ComError with
    // the engine's message and the failing statement.
    virtual Recordset Execute(std::string_view commandText) = 0;

    virtual Dialect GetDialect() const = 0;

    // Whether a table of that name exists (names compared without regard to case).
    virtual bool HasTable(std::string_view name) = 0;

    // A number that changes whenever committed data of the database may have changed,
    // through this connection or any other. Cheap enough to ask before every use of a
    // cache.
    virtual uint64_t DataVersion() = 0;
};

using ConnectionPtr = std::shared_ptr<Connection>;

}  // namespace zev::data
