#pragma once
// Result sets of the data layer. Every row is read before Execute returns, so the row
// count is exact before the first read and a result never holds the engine busy.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/Variant.hpp"

namespace zev::data {

class Connection;
using automation::Variant;

// The rows of one statement: column names and the values row by row.
struct ResultTable {
    std::vector<std::string> columns;
    std::vector<Variant> cells;  // row-major, columns.size() values per row

    size_t RowCount() const { return columns.empty() ? 0 : cells.size() / columns.size(); }
};

class Recordset;

// One column of the current row of a result set.
class Field {
  public:
    // The value; 3021 when the result set has no current row.
    const Variant& Value() const;
    const std::string& Name() const;

  private:
    friend class Recordset;
    Field(const Recordset& rs, size_t column) : rs_(&rs), column_(column) {}
    const Recordset* rs_;
    size_t column_;
};

class Recordset {
  public:
    Recordset() = default;  // closed
    explicit Recordset(std::shared_ptr<const ResultTable> table) : table_(std::move(table)) {}

    // Runs `source` on `connection` and takes its rows; cursor type, lock type and
    // options are accepted for the callers that pass them, -1 leaving the defaults.
    void Open(std::string_view source, const std::shared_ptr<Connection>& connection,
              int cursorType = -1, int lockType = -1, int options = -1);
    void Close();
    bool IsOpen() const { return table_ != nullptr; }

    // The exact number of rows (3704 when closed).
    int32_t RecordCount() const;
    // True when there is no current row (3704 when closed). Named Eof because EOF is a
    // macro of the C library.
    bool Eof() const;
    void MoveNext();  // 3021 at the end

    // A field by position (0 is the first column) or by name, without regard to case;
    // 3265 when there is no such column, 3704 when closed.
    Field Fields(size_t index) const;
    Field Fields(std::string_view name) const;
    size_t FieldCount() const;

  private:
    friend class Field;
    const ResultTable& Table() const;

    std::shared_ptr<const ResultTable> table_;
    size_t row_ = 0;
};

}  // namespace zev::data
