// The server descriptions of the ODBC backend (Dialects.hpp): PostgreSQL through
// psqlODBC and SQL Server through its driver.

#include "platform/data/odbc/Dialects.hpp"

#include "platform/automation/AsciiText.hpp"

namespace zev::data::odbc {
namespace {

bool Contains(std::string_view text, std::string_view what) {
    return automation::FindNoCase(text, what) != std::string_view::npos;
}

// PostgreSQL keeps the stamp in the suite's schema: a number that the calendar's trigger
// moves once in every transaction that writes it, read as last committed (a database of
// the earlier schema answers -1 while any writer is open), and the catalogue rows that
// change with the table's definition.
const DialectDescription kPostgreSql{
    .Kind = Dialect::PostgreSQL,
    .DbmsName = "PostgreSQL",
    // psqlODBC leaves TCP keepalives at the system's two hours; a server whose machine
    // has gone away would hold a waiting call that long.
    .DriverNames = {"postgres", "psqlodbc"},
    .DriverSettingsKey = "keepalive",
    .DriverSettings = "KeepaliveTime=10;KeepaliveInterval=5;",
    // The rows information_schema.tables shows as base tables of the session's schema,
    // read from the catalogue itself: the view costs the server many times as much.
    .TableProbe =
        [](const std::string& name) {
            return "SELECT 1 FROM pg_catalog.pg_class c"
                   " WHERE c.relnamespace = to_regnamespace(current_schema())"
                   " AND c.relnamespace <> pg_my_temp_schema() AND c.relkind IN ('r', 'p')"
                   " AND (pg_has_role(c.relowner, 'USAGE') OR has_table_privilege(c.oid,"
                   " 'SELECT, INSERT, UPDATE, DELETE, TRUNCATE, REFERENCES, TRIGGER')"
                   " OR has_any_column_privilege(c.oid, 'SELECT, INSERT, UPDATE, REFERENCES'))"
                   " AND lower(c.relname)=lower(" +
                   name + ")";
        },
    // The earlier schema's reader is volatile: it answers -1 while a writer is open.
    .StampReaderProbe =
        "SELECT CASE WHEN to_regprocedure('zev_read_data_version()') IS NULL THEN 0"
        " WHEN (SELECT provolatile FROM pg_proc"
        " WHERE oid = to_regprocedure('zev_read_data_version()')) = 'v' THEN 2 ELSE 1 END",
    // The state of the server's transactions (the snapshot: the next transaction id and
    // those in progress), and, unless it is the one given, the stamp's values: the data
    // version kept by the triggers; whether the table's writes move it and its rows are
    // the same for every reader (a plain table, not inherited from, without rules or row
    // security, with the suite's statement trigger, before or after, enabled for every
    // kind of write); and what changes with the table's definition: its identity and
    // storage (a table dropped and made again, rewritten or emptied), its catalogue row
    // and those of its columns. Every change, of rows or of definitions, is made by a
    // transaction that takes an id and changes the snapshot when it ends, so a snapshot
    // equal to the one given says that nothing has been committed since it was read.
    .StampQuery =
        [](const std::string& table) {
            return "SELECT s.t, CASE WHEN s.t = ? THEN NULL ELSE COALESCE((SELECT concat_ws(' ',"
                   " zev_read_data_version(),"
                   " CASE WHEN c.relkind = 'r' AND NOT c.relhassubclass AND NOT c.relhasrules"
                   " AND NOT c.relrowsecurity"
                   " AND EXISTS (SELECT 1 FROM pg_trigger t WHERE t.tgrelid = c.oid"
                   " AND t.tgfoid = to_regproc('zev_bump_data_version') AND t.tgenabled IN "
                   "('O', 'A')"
                   " AND (t.tgtype & 60) = 60 AND (t.tgtype & 65) = 0) THEN 1 ELSE 0 END,"
                   " c.oid, c.relfilenode, c.xmin::text,"
                   " (SELECT max(a.xmin::text::bigint) FROM pg_attribute a"
                   " WHERE a.attrelid = c.oid AND a.attnum > 0))"
                   " FROM pg_class c WHERE c.oid = to_regclass(" +
                   table + ")), '') END FROM (SELECT txid_current_snapshot()::text AS t) s";
        },
    // The whole query costs the server its start on the catalogue tables of its sub-queries
    // at every run, whether they are asked or not; the snapshot alone costs it what a bare
    // SELECT 1 does.
    .ServerStateQuery = "SELECT txid_current_snapshot()::text",
    // The driver opens the transaction before its first statement, so the level holds
    // for that transaction alone.
    .SnapshotProbe = {},
    .SnapshotLevel = "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY",
    .SnapshotFallback = {},
    .LevelAfterSnapshot = {},
    // The schema's GETDATE() reads the session setting zev.now when it is set.
    .FixClock =
        [](const std::string& time) {
            return "SELECT set_config('zev.now', '" + time + "', false)";
        },
    .AddsInsertInto = true,
    .SendsChangesTogether = true,
    // The window's save numbers every day of the calendar: one statement of a batch's
    // days, planned once, instead of a statement for each day. A day that has its number
    // already is left as it is, as the statements leave it.
    .ChangeRun = {"UPDATE t_WorkCalendar SET FInterID=? WHERE FDay=?",
                  "UPDATE t_WorkCalendar SET FInterID=v.n FROM unnest(CAST(? AS integer[]),"
                  " CAST(? AS date[])) AS v(n, d) WHERE t_WorkCalendar.FDay=v.d"
                  " AND t_WorkCalendar.FInterID IS DISTINCT FROM v.n"},
};

// SQL Server's triggers miss TRUNCATE and changes of the table's definition, so it keeps
// no stamp a copy could be trusted on. Its snapshot is SNAPSHOT where the database allows
// it, else SERIALIZABLE, whose locks keep writers from committing under the reads for the
// transaction's short life; the level stays with the session until set back.
const DialectDescription kSqlServer{
    .Kind = Dialect::SqlServer,
    .DbmsName = "SQL Server",
    .DriverNames = {},
    .DriverSettingsKey = {},
    .DriverSettings = {},
    .TableProbe =
        [](const std::string& name) {
            return "SELECT 1 FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA IN "
                   "(SCHEMA_NAME(),'dbo') AND TABLE_TYPE='BASE TABLE' AND "
                   "LOWER(TABLE_NAME)=LOWER(N" +
                   name + ")";
        },
    .StampReaderProbe = {},
    .StampQuery = nullptr,
    .ServerStateQuery = {},
    .SnapshotProbe = "SELECT snapshot_isolation_state FROM sys.databases WHERE database_id=DB_ID()",
    .SnapshotLevel = "SET TRANSACTION ISOLATION LEVEL SNAPSHOT",
    .SnapshotFallback = "SET TRANSACTION ISOLATION LEVEL SERIALIZABLE",
    .LevelAfterSnapshot = "SET TRANSACTION ISOLATION LEVEL READ COMMITTED",
    .FixClock = nullptr,
    .AddsInsertInto = false,
    .SendsChangesTogether = false,
    .ChangeRun = {},
};

const DialectDescription* const kDialects[] = {&kPostgreSql, &kSqlServer};

}  // namespace

const DialectDescription* DialectOfDbms(std::string_view dbmsName) {
    for (const DialectDescription* d : kDialects) {
        if (Contains(dbmsName, d->DbmsName)) return d;
    }
    return nullptr;
}

std::string WithDriverSettings(const std::string& connectionString) {
    for (const DialectDescription* d : kDialects) {
        bool named = false;
        for (std::string_view driver : d->DriverNames)
            named |= !driver.empty() && Contains(connectionString, driver);
        if (!named || Contains(connectionString, d->DriverSettingsKey)) continue;
        std::string s = connectionString;
        if (!s.empty() && s.back() != ';') s += ';';
        return s + std::string(d->DriverSettings);
    }
    return connectionString;
}

}  // namespace zev::data::odbc
