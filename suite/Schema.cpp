// The calendar's schema (Schema.hpp): each dialect's scripts, the missing suite tables,
// init, and upgrade with the description of the calendar's own objects per dialect.
#include "suite/Schema.hpp"

#include <span>

#include "platform/automation/ComError.hpp"
#include "platform/data/TableWrite.hpp"
#include "suite/CalendarStore.hpp"

namespace zev::suite {

namespace embedded {
extern const std::string_view kSqliteSchema;
extern const std::string_view kPostgresqlSchema;
extern const std::string_view kSqlServerSchema;
extern const std::string_view kPostgresqlStamp;
extern const std::string_view kSqliteNote;
extern const std::string_view kPostgresqlNote;
extern const std::string_view kSqlServerNote;
extern const std::string_view kSqliteLog;
extern const std::string_view kPostgresqlLog;
extern const std::string_view kSqlServerLog;
extern const std::string_view kSqliteRule;
extern const std::string_view kPostgresqlRule;
extern const std::string_view kSqlServerRule;
}  // namespace embedded

namespace {

constexpr const char* kSource = "ZevWorkCal.Schema";

// One object of the calendar's own: its name, whether a database has it whole, and the
// script that makes it (which may run where parts of it are already there).
struct OwnPart {
    std::string_view Name;
    bool (*Present)(data::Connection& connection);
    const std::string_view* Script;
};

bool HasNoteTable(data::Connection& c) {
    return c.HasTable(kNoteTable);
}
bool HasLogTable(data::Connection& c) {
    return c.HasTable(kLogTable);
}
bool HasRuleTable(data::Connection& c) {
    return c.HasTable(kRuleTable);
}
// The stamp's table with its row, its two functions and the calendar's trigger.
bool HasChangeStamp(data::Connection& c) {
    if (!c.HasTable("zev_data_version")) return false;
    data::Recordset rs = c.Execute(
        "SELECT CASE WHEN to_regprocedure('zev_read_data_version()') IS NOT NULL"
        " AND to_regprocedure('zev_bump_data_version()') IS NOT NULL"
        " AND EXISTS (SELECT 1 FROM zev_data_version)"
        " AND EXISTS (SELECT 1 FROM pg_trigger WHERE tgname = 'tr_workcalendar_version'"
        " AND tgrelid = to_regclass('t_workcalendar')) THEN 1 ELSE 0 END");
    return automation::CLng(rs.Fields(0).Value()) == 1;
}

constexpr const char* kChangeStamp = "zev_data_version";

const OwnPart kSqliteParts[] = {
    {kNoteTable, HasNoteTable, &embedded::kSqliteNote},
    {kLogTable, HasLogTable, &embedded::kSqliteLog},
    {kRuleTable, HasRuleTable, &embedded::kSqliteRule},
};
const OwnPart kPostgresqlParts[] = {
    {kChangeStamp, HasChangeStamp, &embedded::kPostgresqlStamp},
    {kNoteTable, HasNoteTable, &embedded::kPostgresqlNote},
    {kLogTable, HasLogTable, &embedded::kPostgresqlLog},
    {kRuleTable, HasRuleTable, &embedded::kPostgresqlRule},
};
const OwnPart kSqlServerParts[] = {
    {kNoteTable, HasNoteTable, &embedded::kSqlServerNote},
    {kLogTable, HasLogTable, &embedded::kSqlServerLog},
    {kRuleTable, HasRuleTable, &embedded::kSqlServerRule},
};

// What a dialect's database is made of.
struct DialectSchema {
    const std::string_view* SuiteScript;
    std::span<const OwnPart> Own;
};

DialectSchema SchemaOf(data::Dialect dialect) {
    switch (dialect) {
        case data::Dialect::SQLite:
            return {&embedded::kSqliteSchema, kSqliteParts};
        case data::Dialect::PostgreSQL:
            return {&embedded::kPostgresqlSchema, kPostgresqlParts};
        case data::Dialect::SqlServer:
            return {&embedded::kSqlServerSchema, kSqlServerParts};
    }
    throw automation::ComError(automation::errors::kNotImplemented, kSource,
                               automation::MarkedText("此数据库类型没有建表脚本"));
}

std::string FullScript(data::Dialect dialect) {
    const DialectSchema schema = SchemaOf(dialect);
    std::string script(*schema.SuiteScript);
    for (const OwnPart& part : schema.Own)
        script += "\n" + std::string(*part.Script);
    return script;
}

}  // namespace

std::string_view SchemaScript(data::Dialect dialect) {
    SchemaOf(dialect);  // raises for a dialect without a schema
    static const std::string scripts[] = {FullScript(data::Dialect::SQLite),
                                          FullScript(data::Dialect::PostgreSQL),
                                          FullScript(data::Dialect::SqlServer)};
    return scripts[static_cast<size_t>(dialect)];
}

std::vector<std::string> MissingTables(data::Connection& connection) {
    std::vector<std::string> missing;
    for (std::string_view table : kSuiteTables) {
        if (!connection.HasTable(table)) missing.emplace_back(table);
    }
    return missing;
}

void InitDatabase(data::Connection& connection) {
    data::RefuseWritesOnStandby(connection);
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
        CalendarStore(connection).EnsureIdentity();
    });
}

std::vector<std::string> MissingOwnObjects(data::Connection& connection) {
    std::vector<std::string> missing;
    for (const OwnPart& part : SchemaOf(connection.GetDialect()).Own) {
        if (!part.Present(connection)) missing.emplace_back(part.Name);
    }
    return missing;
}

std::vector<std::string> UpgradeDatabase(data::Connection& connection) {
    data::RefuseWritesOnStandby(connection);
    const std::vector<std::string> missing = MissingTables(connection);
    if (!missing.empty()) {
        std::string list;
        for (const std::string& t : missing)
            list += (list.empty() ? "" : ", ") + t;
        throw automation::ComError(
            automation::errors::kUnspecified, kSource,
            automation::MarkedText("数据库中缺少工厂日历的表，请先运行 zevworkcal init",
                                   ": " + list));
    }
    const DialectSchema schema = SchemaOf(connection.GetDialect());
    return data::InTransaction(connection, [&] {
        std::vector<std::string> added;
        for (const OwnPart& part : schema.Own) {
            if (part.Present(connection)) continue;
            connection.Execute(*part.Script);
            added.emplace_back(part.Name);
        }
        return added;
    });
}

}  // namespace zev::suite
