// The server schemas as the data layer sends them: split into statements at ";" and CR LF.
// The SQL Server script cannot run here, so what can be checked without a server is
// checked by reading: each statement reaches the server whole.

#include <gtest/gtest.h>

#include <string>

#include "platform/data/SqlText.hpp"
#include "suite/Schema.hpp"

namespace zev::test {
namespace {

using data::Dialect;

std::vector<std::string> Statements(Dialect dialect) {
    std::vector<std::string> out;
    for (std::string_view s : data::sql::SplitStatements(suite::SchemaScript(dialect))) {
        // Comment lines before a statement travel with it.
        while (s.substr(0, 2) == "--") {
            const size_t end = s.find('\n');
            s = data::sql::TrimStatement(end == std::string_view::npos ? std::string_view()
                                                                       : s.substr(end + 1));
        }
        out.emplace_back(s);
    }
    return out;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}
bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Every table is created, the suite's and the calendar's own; PostgreSQL keeps the calendar's
// change stamp (its table, its reader and the calendar's trigger), which nothing else needs: no
// other table has one.
TEST(ServerSchemas, EveryTableAndTheCalendarsStampAreCreated) {
    for (Dialect dialect : {Dialect::PostgreSQL, Dialect::SqlServer}) {
        const std::vector<std::string> statements = Statements(dialect);
        std::vector<std::string_view> tables(std::begin(suite::kSuiteTables),
                                             std::end(suite::kSuiteTables));
        tables.insert(tables.end(), {suite::kNoteTable, suite::kLogTable});
        for (std::string_view table : tables) {
            const std::string name(table);
            const std::string trigger = "tr_" + name.substr(2) + "_version";
            int creates = 0;
            int triggers = 0;
            for (const std::string& s : statements) {
                creates += s.find("CREATE TABLE " + name + " (") != std::string::npos ||
                           s.find("CREATE TABLE dbo." + name + " (") != std::string::npos;
                triggers += s.find("CREATE TRIGGER " + trigger) != std::string::npos;
            }
            const bool stamped = dialect == Dialect::PostgreSQL && name == "t_WorkCalendar";
            EXPECT_EQ(creates, 1) << name << " in dialect " << static_cast<int>(dialect);
            EXPECT_EQ(triggers, stamped ? 1 : 0)
                << trigger << " in dialect " << static_cast<int>(dialect);
        }
        int stampParts = 0;
        for (const std::string& s : statements) {
            stampParts += s.find("zev_data_version") != std::string::npos;
        }
        EXPECT_EQ(stampParts, dialect == Dialect::PostgreSQL ? 4 : 0);
    }
}

TEST(ServerSchemas, SqlServerBodiesStayInOnePiece) {
    // CREATE TRIGGER and CREATE PROCEDURE must each be alone in their batch, body and all;
    // the script holds none now, and every statement reaches the server whole.
    int bodies = 0;
    for (const std::string& s : Statements(Dialect::SqlServer)) {
        EXPECT_TRUE(StartsWith(s, "CREATE ")) << s;
        if (StartsWith(s, "CREATE TRIGGER ") || StartsWith(s, "CREATE PROCEDURE ")) {
            ++bodies;
            EXPECT_NE(s.find(" AS\nBEGIN\n"), std::string::npos) << s;
            EXPECT_TRUE(EndsWith(s, "\nEND")) << s;
        } else {
            EXPECT_EQ(s.find("BEGIN"), std::string::npos) << s;
        }
        EXPECT_EQ(s.find("\nGO"), std::string::npos) << s;
    }
    EXPECT_EQ(bodies, 0);
}

}  // namespace
}  // namespace zev::test
