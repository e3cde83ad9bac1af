// The suite schema (Schema.hpp): each dialect's script, the missing tables and init.
#include "suite/Schema.hpp"

#include "platform/automation/ComError.hpp"

namespace zev::suite {

namespace embedded {
extern const std::string_view kSqliteSchema;
extern const std::string_view kPostgresqlSchema;
extern const std::string_view kSqlServerSchema;
}  // namespace embedded

namespace {
constexpr const char* kSource = "ZevWorkCal.Schema";
}

std::string_view SchemaScript(data::Dialect dialect) {
    switch (dialect) {
        case data::Dialect::SQLite:
            return embedded::kSqliteSchema;
        case data::Dialect::PostgreSQL:
            return embedded::kPostgresqlSchema;
        case data::Dialect::SqlServer:
            return embedded::kSqlServerSchema;
    }
    throw automation::ComError(automation::errors::kNotImplemented, kSource,
                               automation::MarkedText("此数据库类型没有建表脚本"));
}

std::vector<std::string> MissingTables(data::Connection& connection) {
    std::vector<std::string> missing;
    for (std::string_view table : kSuiteTables) {
        if (!connection.HasTable(table)) missing.emplace_back(table);
    }
    return missing;
}

void InitDatabase(data::Connection& connection) {
    std::string present;
    for (std::string_view table : kSuiteTables) {
        if (connection.HasTable(table)) {
            if (!present.empty()) present += ", ";
            present += table;
        }
    }
    if (!present.empty()) {
        throw automation::ComError(
            automation::errors::kUnspecified, kSource,
            automation::MarkedText("数据库中已有工厂日历的表，未作任何改动", ": " + present));
    }
    const std::string_view script = SchemaScript(connection.GetDialect());
    data::InTransaction(connection, [&] {
        connection.Execute(script);
        connection.Execute(
            "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) "
            "VALUES('IC','CurrentYear',YEAR(GETDATE()))\r\n"
            "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) "
            "VALUES('IC','CurrentPeriod',MONTH(GETDATE()))\r\n"
            "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','SatNotWork','1')\r\n"
            "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','SunNotWork','1')");
    });
}

}  // namespace zev::suite
