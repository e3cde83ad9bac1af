// Binding values to ODBC parameters (Parameters.hpp): BindValue.
#include "platform/data/odbc/Parameters.hpp"

#include <algorithm>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "platform/data/SqlText.hpp"

namespace zev::data::odbc {

SQLRETURN BindValue(SQLHSTMT stmt, SQLUSMALLINT index, const automation::Variant& value,
                    BoundValue& bound) {
    using automation::VarType;
    const auto bind = [&](SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size, SQLPOINTER data,
                          SQLLEN length) {
        return SQLBindParameter(stmt, index, SQL_PARAM_INPUT, cType, sqlType, size, 0, data, length,
                                &bound.indicator);
    };
    switch (value.Type()) {
        case VarType::Null:
            bound.indicator = SQL_NULL_DATA;
            return bind(SQL_C_WCHAR, SQL_WVARCHAR, 1, bound.text.data(), 0);
        case VarType::Integer:
        case VarType::Long:
        case VarType::Boolean:
            bound.integer = automation::CLng(value);
            return bind(SQL_C_SLONG, SQL_INTEGER, 0, &bound.integer, 0);
        case VarType::Date: {
            const automation::CivilDateTime c = automation::CivilFromOle(sql::BoundDay(value));
            bound.day = {static_cast<SQLSMALLINT>(c.Year), static_cast<SQLUSMALLINT>(c.Month),
                         static_cast<SQLUSMALLINT>(c.Day)};
            return bind(SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, &bound.day, 0);
        }
        case VarType::String: {
            bound.text = automation::Utf16FromUtf8(value.StringRef());
            bound.indicator = static_cast<SQLLEN>(bound.text.size() * sizeof(char16_t));
            return bind(SQL_C_WCHAR, SQL_WVARCHAR, std::max<SQLULEN>(1, bound.text.size()),
                        bound.text.data(), bound.indicator);
        }
        case VarType::Empty:
        case VarType::Double:
        case VarType::Object:
            break;
    }
    automation::Raise(automation::errors::kTypeMismatch);
}

}  // namespace zev::data::odbc
