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

}  // namespace
}  // namespace zev::data::sql
