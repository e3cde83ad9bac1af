// The change stamp that a copy of a table in memory is kept on: it moves with every
// committed change that a statement on the table could read, stays that of the last
// committed state while another connection's change is open, and there is none to trust
// while a change of this connection's own may still be rolled back.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "platform/data/Connection.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

class ChangeStamp : public DbTest {
  protected:
    std::optional<uint64_t> Stamp() { return Conn().ChangeStamp("t_WorkCalendar"); }
};

TEST_P(ChangeStamp, MovesWithEveryCommittedChangeByAnyConnection) {
    auto other = Db().Connect();
    WriteExampleCalendar(*other);
    struct Step {
        const char* what;
        std::function<void()> change;
        bool moves;
    };
    const Step steps[] = {
        {"nothing", [] {}, false},
        {"a read", [&] { Exec("SELECT COUNT(*) FROM t_WorkCalendar"); }, false},
        {"a change of another connection rolled back",
         [&] {
             other->Execute("BEGIN TRANSACTION");
             other->Execute("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-09'");
             other->Execute("ROLLBACK");
         },
         false},
        {"a row written by another connection",
         [&] { other->Execute("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-08'"); },
         true},
        {"a row written by this connection",
         [&] { Exec("UPDATE t_WorkCalendar SET FInterID=6 WHERE FDay='2009-06-08'"); }, true},
        {"the table emptied by another connection",
         [&] { other->Execute("DELETE FROM t_WorkCalendar"); }, true},
        {"a column added by this connection",
         [&] { Exec("ALTER TABLE t_WorkCalendar ADD COLUMN FNote INTEGER"); }, true},
        {"a column renamed by another connection",
         [&] {
             // A read first brings the other connection's idea of the schema up to date.
             other->Execute("SELECT COUNT(*) FROM t_WorkCalendar");
             other->Execute("ALTER TABLE t_WorkCalendar RENAME COLUMN FNote TO FRemark");
         },
         true},
        {"a temporary table of this connection hiding it",
         [&] { Exec("CREATE TEMP TABLE t_WorkCalendar (FInterID INTEGER, FDay DATE)"); }, true},
        {"the temporary table dropped", [&] { Exec("DROP TABLE t_WorkCalendar"); }, true},
        {"the table dropped and made again by another connection",
         [&] {
             other->Execute("DROP TABLE t_WorkCalendar");
             other->Execute("CREATE TABLE t_WorkCalendar (FInterID INTEGER, FDay DATE)");
         },
         true},
    };
    for (const Step& step : steps) {
        const std::optional<uint64_t> before = Stamp();
        step.change();
        const std::optional<uint64_t> after = Stamp();
        EXPECT_EQ(after != before, step.moves) << step.what;
        if (!step.moves) {
            EXPECT_TRUE(after.has_value()) << step.what;
        }
    }
}

TEST_P(ChangeStamp, IsNoneWhileAChangeMayStillBeRolledBack) {
    WriteExampleCalendar(Conn());
    const std::optional<uint64_t> committed = Stamp();
    ASSERT_TRUE(committed.has_value());

    // This connection's own transaction, and its read snapshot.
    Exec("BEGIN TRANSACTION");
    Exec("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-08'");
    EXPECT_FALSE(Stamp().has_value());
    Exec("ROLLBACK");
    EXPECT_TRUE(Stamp().has_value());
    {
        const data::ReadSnapshot snapshot(Conn());
        EXPECT_FALSE(Stamp().has_value());
    }

    // Another connection's change, not yet committed: readers see the last commit, whose
    // stamp stays, however many statements the writer runs.
    auto writer = Db().Connect();
    const std::optional<uint64_t> before = Stamp();
    ASSERT_TRUE(before.has_value());
    writer->Execute("BEGIN TRANSACTION");
    writer->Execute("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-09'");
    EXPECT_EQ(Stamp(), before);
    writer->Execute("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-10'");
    EXPECT_EQ(Stamp(), before);
    writer->Execute("COMMIT");
    const std::optional<uint64_t> after = Stamp();
    ASSERT_TRUE(after.has_value());
    EXPECT_NE(after, before);
}

ZEV_INSTANTIATE_DB_TEST(ChangeStamp);

}  // namespace
}  // namespace zev::test
