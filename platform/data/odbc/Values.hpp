#pragma once
// Reading a statement's result through ODBC into a buffered result, private to the
// backend: the column names, and every value as the data layer's Variant (integers,
// numbers, bits, dates and times, long texts and binaries read piece by piece).

#include <string_view>

#include "platform/data/Recordset.hpp"
#include "platform/data/odbc/Handles.hpp"

namespace zev::data::odbc {

class ResultReader {
  public:
    // Failures are raised with `dbc` asked whether its link is gone.
    explicit ResultReader(SQLHDBC dbc) : dbc_(dbc) {}

    // Reads the columns and every row of the current result of `stmt` into `table`; a
    // failure names `original`.
    void ReadRows(SQLHSTMT stmt, SQLUSMALLINT columns, ResultTable& table,
                  std::string_view original);

  private:
    enum class ColumnKind { Integer, WholeNumeric, Numeric, Real, Bit, Date, Time, Text, Binary };
    static ColumnKind KindOf(SQLSMALLINT type, SQLSMALLINT scale);

    automation::Variant ReadValue(SQLHSTMT stmt, SQLUSMALLINT c, ColumnKind kind,
                                  std::string_view original);
    // Reads a long value piece by piece; false for NULL.
    template <typename Sink>
    bool ReadChunks(SQLHSTMT stmt, SQLUSMALLINT c, SQLSMALLINT cType, std::string_view original,
                    Sink&& sink);

    SQLHDBC dbc_;
    alignas(char16_t) char chunk_[8192];
};

}  // namespace zev::data::odbc
