// Reading ODBC results (Values.hpp): column kinds, values as Variants, long values in
// pieces.

#include "platform/data/odbc/Values.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/odbc/Diagnostics.hpp"

namespace zev::data::odbc {

using automation::Variant;

ResultReader::ColumnKind ResultReader::KindOf(SQLSMALLINT type, SQLSMALLINT scale) {
    switch (type) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            return ColumnKind::Integer;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            return scale == 0 ? ColumnKind::WholeNumeric : ColumnKind::Numeric;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return ColumnKind::Real;
        case SQL_BIT:
            return ColumnKind::Bit;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIMESTAMP:
            return ColumnKind::Date;
        case SQL_TYPE_TIME:
        case SQL_TIME:
            return ColumnKind::Time;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return ColumnKind::Binary;
        default:
            return ColumnKind::Text;
    }
}

void ResultReader::ReadRows(SQLHSTMT stmt, SQLUSMALLINT columns, ResultTable& table,
                            std::string_view original) {
    std::vector<ColumnKind> kinds(columns);
    table.columns.reserve(columns);
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT scale = 0;
        SQLSMALLINT nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(stmt, c, name, 256, &nameLength, &type, &size, &scale,
                                           &nullable))) {
            Fail(SQL_HANDLE_STMT, stmt, original, dbc_);
        }
        table.columns.push_back(
            TextOf(name, static_cast<size_t>(std::clamp<SQLSMALLINT>(nameLength, 0, 255))));
        kinds[c - 1] = KindOf(type, scale);
    }
    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt, original, dbc_);
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            table.cells.push_back(ReadValue(stmt, c, kinds[c - 1], original));
        }
    }
}

Variant ResultReader::ReadValue(SQLHSTMT stmt, SQLUSMALLINT c, ColumnKind kind,
                                std::string_view original) {
    SQLLEN indicator = 0;
    auto get = [&](SQLSMALLINT cType, void* target, SQLLEN size) {
        const SQLRETURN rc = SQLGetData(stmt, c, cType, target, size, &indicator);
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt, original, dbc_);
        return indicator != SQL_NULL_DATA;
    };
    switch (kind) {
        case ColumnKind::Integer: {
            // An integer column fits 64 bits; it is read as one, without a detour
            // through the driver's floating-point conversion.
            SQLBIGINT n = 0;
            if (!get(SQL_C_SBIGINT, &n, sizeof n)) return Variant::Null();
            if (n >= INT32_MIN && n <= INT32_MAX) return Variant(static_cast<int32_t>(n));
            return Variant(static_cast<double>(n));
        }
        case ColumnKind::WholeNumeric: {
            // Read as a double too wide for any decimal column to overflow it.
            double d = 0;
            if (!get(SQL_C_DOUBLE, &d, sizeof d)) return Variant::Null();
            if (d >= INT32_MIN && d <= INT32_MAX && d == std::trunc(d)) {
                return Variant(static_cast<int32_t>(d));
            }
            return Variant(d);
        }
        case ColumnKind::Numeric:
        case ColumnKind::Real: {
            double d = 0;
            if (!get(SQL_C_DOUBLE, &d, sizeof d)) return Variant::Null();
            return Variant(d);
        }
        case ColumnKind::Bit: {
            unsigned char b = 0;
            if (!get(SQL_C_BIT, &b, sizeof b)) return Variant::Null();
            return Variant(b != 0);
        }
        case ColumnKind::Date: {
            SQL_TIMESTAMP_STRUCT ts{};
            if (!get(SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts)) return Variant::Null();
            // Fractions of a second are dropped, as dates read from text drop them.
            const automation::CivilDateTime civil{ts.year, ts.month,  ts.day,
                                                  ts.hour, ts.minute, ts.second};
            if (auto d = automation::TryOleFromCivil(civil)) return Variant::FromDate(*d);
            char text[64];
            std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", ts.year, ts.month,
                          ts.day, ts.hour, ts.minute, ts.second);
            return Variant(text);
        }
        case ColumnKind::Time: {
            SQL_TIME_STRUCT t{};
            if (!get(SQL_C_TYPE_TIME, &t, sizeof t)) return Variant::Null();
            // A time alone is a time of the epoch's day.
            return Variant::FromDate(automation::OleFromCivil(
                automation::CivilDateTime{.Hour = t.hour, .Minute = t.minute, .Second = t.second}));
        }
        case ColumnKind::Binary: {
            std::string bytes;
            if (!ReadChunks(stmt, c, SQL_C_BINARY, original,
                            [&](const char* p, size_t n) { bytes.append(p, n); })) {
                return Variant::Null();
            }
            return Variant(std::move(bytes));
        }
        case ColumnKind::Text:
            break;
    }
    // Text is read as UTF-16 whatever the driver's or the process's locale, so that no
    // character set conversion of the driver manager can garble it.
    std::u16string wide;
    if (!ReadChunks(stmt, c, SQL_C_WCHAR, original, [&](const char* p, size_t n) {
            wide.append(reinterpret_cast<const char16_t*>(p), n / sizeof(char16_t));
        })) {
        return Variant::Null();
    }
    std::string text;
    automation::AppendUtf8(text, wide);
    return Variant(std::move(text));
}

template <typename Sink>
bool ResultReader::ReadChunks(SQLHSTMT stmt, SQLUSMALLINT c, SQLSMALLINT cType,
                              std::string_view original, Sink&& sink) {
    // A text buffer keeps room for the terminating null the driver adds.
    const size_t terminator = cType == SQL_C_WCHAR ? sizeof(char16_t) : 0;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, c, cType, chunk_, sizeof chunk_, &indicator);
        if (rc == SQL_NO_DATA) return true;
        if (!SQL_SUCCEEDED(rc)) Fail(SQL_HANDLE_STMT, stmt, original, dbc_);
        if (indicator == SQL_NULL_DATA) return false;
        const size_t room = sizeof chunk_ - terminator;
        const size_t got = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > room
                               ? room
                               : static_cast<size_t>(indicator);
        sink(chunk_, got);
        if (rc == SQL_SUCCESS) return true;
    }
}

}  // namespace zev::data::odbc
