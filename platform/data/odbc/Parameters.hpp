#pragma once
// Values bound to a statement's parameters through ODBC, private to the backend: whole
// numbers as integers, texts as UTF-16, days as dates, Null; each kept where the driver
// reads it until the statement has run.

#include <string>

#include "platform/automation/Variant.hpp"
#include "platform/data/odbc/Handles.hpp"

namespace zev::data::odbc {

// A value bound to a parameter, kept here until the statement has run.
struct BoundValue {
    SQLLEN indicator = 0;
    SQLINTEGER integer = 0;
    SQL_DATE_STRUCT day{};
    std::u16string text;
};

// Binds `value` to parameter `index` (from 1) of `stmt` through `bound`. Raises 13 for a
// value that has no binding (Empty, a double, an object) and 5 for a date with a time of
// day (sql::BoundDay); returns the driver's answer otherwise.
SQLRETURN BindValue(SQLHSTMT stmt, SQLUSMALLINT index, const automation::Variant& value,
                    BoundValue& bound);

}  // namespace zev::data::odbc
