#include <gtest/gtest.h>

#include "platform/data/SqlText.hpp"

namespace zev::data::sql {
namespace {

using Pieces = std::vector<std::string_view>;

TEST(SqlText, SplitsAtCrLfAndSemicolonsOutsideLiterals) {
    EXPECT_EQ(SplitStatements("UPDATE a SET x=1\r\nUPDATE a SET x=2\r\n"),
              (Pieces{"UPDATE a SET x=1", "UPDATE a SET x=2"}));
    EXPECT_EQ(SplitStatements("Delete from t where FCalID=999 \r\n insert t select 1"),
              (Pieces{"Delete from t where FCalID=999", "insert t select 1"}));
    EXPECT_EQ(SplitStatements("SELECT 'a;b\r\nc' ; SELECT \"x;y\""),
              (Pieces{"SELECT 'a;b\r\nc'", "SELECT \"x;y\""}));
    EXPECT_EQ(SplitStatements("SELECT 'it''s;' -- ; comment\nFROM t"),
              (Pieces{"SELECT 'it''s;' -- ; comment\nFROM t"}));
    EXPECT_EQ(SplitStatements("CREATE FUNCTION f() AS $$ SELECT 1; $$;SELECT 2"),
              (Pieces{"CREATE FUNCTION f() AS $$ SELECT 1; $$", "SELECT 2"}));
    // A lone line feed keeps a statement together.
    EXPECT_EQ(SplitStatements("SELECT 1\nFROM t"), (Pieces{"SELECT 1\nFROM t"}));
    EXPECT_EQ(SplitStatements(" \r\n ;; \r\n"), Pieces{});
    EXPECT_EQ(SplitStatements("SELECT 'unterminated;"), (Pieces{"SELECT 'unterminated;"}));
}

TEST(SqlText, AddsIntoOnlyWhereItIsMissing) {
    EXPECT_EQ(AddInsertInto(" insert t_mutiworkcal select 1 from t"),
              " insert INTO t_mutiworkcal select 1 from t");
    EXPECT_EQ(AddInsertInto("INSERT\tt(a) VALUES(1)"), "INSERT INTO\tt(a) VALUES(1)");
    EXPECT_FALSE(AddInsertInto("INSERT INTO t VALUES(1)"));
    EXPECT_FALSE(AddInsertInto("insert into t VALUES(1)"));
    EXPECT_FALSE(AddInsertInto("SELECT 'insert t'"));
    EXPECT_FALSE(AddInsertInto("inserted_rows"));
}

TEST(SqlText, RecognisesTransactionStatements) {
    EXPECT_EQ(ClassifyTransaction("BEGIN TRANSACTION"), TransactionVerb::Begin);
    EXPECT_EQ(ClassifyTransaction("begin tran t1"), TransactionVerb::Begin);
    EXPECT_EQ(ClassifyTransaction("COMMIT"), TransactionVerb::Commit);
    EXPECT_EQ(ClassifyTransaction("COMMIT TRANSACTION"), TransactionVerb::Commit);
    EXPECT_EQ(ClassifyTransaction("rollback work"), TransactionVerb::Rollback);
    EXPECT_EQ(ClassifyTransaction("BEGIN"), TransactionVerb::None);
    EXPECT_EQ(ClassifyTransaction("COMMIT something else"), TransactionVerb::None);
    EXPECT_EQ(ClassifyTransaction("SELECT 1"), TransactionVerb::None);
}

TEST(SqlText, TakesOutTheLiteralsOfPlainUpdatesAndDeletesOnly) {
    struct Case {
        const char* statement;
        const char* templateText;  // nullptr: left alone
        std::vector<std::pair<bool, std::string>> values;
    };
    const Case cases[] = {
        {"UPDATE t_WorkCalendar SET FInterID=12 WHERE FDay='2009-06-30'",
         "UPDATE t_WorkCalendar SET FInterID=? WHERE FDay=?",
         {{false, "12"}, {true, "2009-06-30"}}},
        {"Delete from t_mutiworkcal where FCalID=999",
         "Delete from t_mutiworkcal where FCalID=?",
         {{false, "999"}}},
        {"update t2 set a='it''s',b=-7 where \"c 1\"<>'' and [d]=0",
         "update t2 set a=?,b=-? where \"c 1\"<>? and [d]=?",
         {{true, "it's"}, {false, "7"}, {true, ""}, {false, "0"}}},
        {"DELETE FROM t_WorkCalendar", "DELETE FROM t_WorkCalendar", {}},
        {"UPDATE t SET 名称='工厂日历' WHERE x1=1",
         "UPDATE t SET 名称=? WHERE x1=?",
         {{true, "工厂日历"}, {false, "1"}}},
        // A literal that may be more than a value, or a statement that returns rows.
        {"SELECT 1", nullptr, {}},
        {"INSERT INTO t VALUES(1)", nullptr, {}},
        {"UPDATE t SET a=(SELECT 1 FROM u ORDER BY 1)", nullptr, {}},
        {"UPDATE t SET a=1 RETURNING 1", nullptr, {}},
        {"DELETE FROM t ORDER BY a LIMIT 1", nullptr, {}},
        {"UPDATE t SET a=1.5", nullptr, {}},
        {"UPDATE t SET a=1e3", nullptr, {}},
        {"UPDATE t SET a=0x10", nullptr, {}},
        {"UPDATE t SET a=N'x'", nullptr, {}},
        {"UPDATE t SET a=X'0A'", nullptr, {}},
        {"UPDATE t SET a=1234567890123456789", nullptr, {}},
        {"UPDATE t SET a=?", nullptr, {}},
        {"UPDATE t SET a=:v", nullptr, {}},
        {"UPDATE s.t SET a=1", nullptr, {}},
        {"UPDATE t SET a=1 -- note", nullptr, {}},
        {"UPDATE t SET a='open", nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        const std::optional<Parameterized> p = ParameterizeLiterals(c.statement);
        if (c.templateText == nullptr) {
            EXPECT_FALSE(p.has_value());
            continue;
        }
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(p->Template, c.templateText);
        std::vector<std::pair<bool, std::string>> values;
        for (const LiteralValue& v : p->Values)
            values.emplace_back(v.IsText, v.Text);
        EXPECT_EQ(values, c.values);
    }
}

}  // namespace
}  // namespace zev::data::sql
