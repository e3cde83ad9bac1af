#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "tests/support/ErrorNumber.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::ComError;
using automation::OleFromCivil;
using automation::Variant;
using automation::VarType;
namespace errors = automation::errors;

class DataLayer : public DbTest {
  protected:
    void AddScheduleRows() {
        Exec(
            "INSERT INTO t_WOScheduleDetail(FDetailID,FSeqID) VALUES(1,20090601)\r\n"
            "INSERT INTO t_WOScheduleDetail(FDetailID,FSeqID) VALUES(2,20090602)\r\n"
            "INSERT INTO t_WOScheduleDetail(FDetailID,FSeqID) VALUES(3,20090603)");
    }
};

TEST_P(DataLayer, ResultsAreBufferedWithAnExactCountBeforeTheFirstRead) {
    AddScheduleRows();
    data::Recordset rs =
        Conn().Execute("SELECT FSeqID, FDetailID FROM t_WOScheduleDetail ORDER BY FDetailID");
    EXPECT_EQ(rs.RecordCount(), 3);
    std::vector<int32_t> seen;
    while (!rs.Eof()) {
        EXPECT_EQ(rs.Fields(0).Value().Type(), VarType::Long);
        seen.push_back(automation::CLng(rs.Fields("fseqid").Value()));
        rs.MoveNext();
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{20090601, 20090602, 20090603}));
    EXPECT_EQ(ErrorNumberOf([&] { (void)rs.Fields(0).Value(); }), errors::kNoCurrentRecord);
    EXPECT_EQ(ErrorNumberOf([&] { rs.MoveNext(); }), errors::kNoCurrentRecord);
    EXPECT_EQ(ErrorNumberOf([&] { rs.Fields(5); }), errors::kItemNotFound);
    EXPECT_EQ(ErrorNumberOf([&] { rs.Fields("FNoSuch"); }), errors::kItemNotFound);
    rs.Close();
    EXPECT_EQ(ErrorNumberOf([&] { (void)rs.Eof(); }), errors::kObjectClosed);
}

TEST_P(DataLayer, ReadingFromAnEmptyResultRaises3021) {
    data::Recordset rs = Conn().Execute(
        "SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='NoSuchKey'");
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(ErrorNumberOf([&] { (void)rs.Fields(0).Value(); }), errors::kNoCurrentRecord);
}

TEST_P(DataLayer, NullsDatesAndAggregates) {
    WriteExampleCalendar(Conn());
    data::Recordset rs = Conn().Execute("SELECT FDay FROM t_WorkCalendar WHERE FInterID=6");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields(0).Value().Type(), VarType::Date);
    EXPECT_EQ(automation::CDate(rs.Fields(0).Value()), OleFromCivil(2009, 6, 8));

    rs = Conn().Execute("SELECT MIN(FDay), MAX(FInterID) FROM t_WorkCalendar");
    EXPECT_EQ(automation::CDate(rs.Fields(0).Value()), OleFromCivil(2009, 6, 1));
    EXPECT_EQ(automation::CLng(rs.Fields(1).Value()), 8);

    rs = Conn().Execute("SELECT MAX(FDay) FROM t_WorkCalendar WHERE FDay<'2000-01-01'");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_TRUE(rs.Fields(0).Value().IsNull());
}

TEST_P(DataLayer, BatchRunsItsStatementsInOrderAndReturnsTheFirstResult) {
    data::Recordset rs = Conn().Execute(
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('X','A','1')\r\n"
        "UPDATE t_SystemProfile SET FValue='2' WHERE FCategory='X' AND FKey='A'\r\n"
        "SELECT FValue FROM t_SystemProfile WHERE FCategory='X'\r\n"
        "UPDATE t_SystemProfile SET FValue='3' WHERE FCategory='X' AND FKey='A'\r\n");
    ASSERT_TRUE(rs.IsOpen());
    EXPECT_EQ(automation::CStr(rs.Fields(0).Value()), "2");
    rs = Conn().Execute("SELECT FValue FROM t_SystemProfile WHERE FCategory='X'");
    EXPECT_EQ(automation::CStr(rs.Fields(0).Value()), "3");
}

TEST_P(DataLayer, InsertWithoutIntoCopiesRows) {
    WriteExampleCalendar(Conn());
    Exec(
        "Delete from t_mutiworkcal where FCalID=999 \r\n"
        " insert t_mutiworkcal select finterid,fday,fdayid,fweekid,fmonthid,fyearid,999 from "
        "t_workcalendar");
    data::Recordset rs = Conn().Execute(
        "SELECT COUNT(*) FROM t_mutiworkcal m, t_WorkCalendar w WHERE m.FDay=w.FDay AND "
        "m.FInterID=w.FInterID AND m.FDayID=w.FDayID AND m.FCalID=999");
    EXPECT_EQ(automation::CLng(rs.Fields(0).Value()), 10);
}

TEST_P(DataLayer, ServerYearGoesIntoATextColumn) {
    Exec(
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','StartYear',"
        "YEAR(GETDATE()))");
    Exec("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','StartPeriod',1)");
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    data::Recordset rs = Conn().Execute(
        "SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='StartYear'");
    EXPECT_EQ(rs.Fields("FValue").Value(), Variant(std::to_string(local.tm_year + 1900)));
    rs = Conn().Execute(
        "SELECT FValue,GetDate() FROM t_SystemProfile WHERE FCategory='IC' AND FKey='StartPeriod'");
    EXPECT_EQ(rs.Fields(0).Value(), Variant("1"));
    const double serverNow = automation::CDate(rs.Fields(1).Value());
    EXPECT_EQ(automation::CivilFromOle(serverNow).Year, local.tm_year + 1900);
}

TEST_P(DataLayer, EngineErrorsNameTheStatement) {
    try {
        Conn().Execute("SELECT 1\r\nSELECT FDay FROM t_NoSuchTable");
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_NE(e.Number(), 0);
        // "<engine message> (<failing statement>)", the engine naming the table in
        // whatever case it folds names to.
        std::string lower = e.Description();
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const size_t statement = lower.find("(select fday from t_nosuchtable)");
        ASSERT_NE(statement, std::string::npos) << e.Description();
        EXPECT_NE(lower.substr(0, statement).find("t_nosuchtable"), std::string::npos)
            << e.Description();
    }
}

// The embedded engine compiles an UPDATE or DELETE once and runs it again with the next
// statement's values; what each statement does and how its failure reads stay the same.
TEST_P(DataLayer, StatementsThatDifferInTheirValuesEachDoWhatTheySay) {
    WriteExampleCalendar(Conn());
    AddScheduleRows();
    const auto numbers = [&] {
        std::string out;
        data::Recordset rs = Conn().Execute("SELECT FInterID FROM t_WorkCalendar ORDER BY FDay");
        for (; !rs.Eof(); rs.MoveNext())
            out += automation::CStr(rs.Fields(0).Value()) + " ";
        return out;
    };
    Exec(
        "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-03'\r\n"
        "UPDATE t_WorkCalendar SET FInterID=3 WHERE FDay='2009-06-04'\r\n"
        "UPDATE t_WorkCalendar SET FInterID=10 WHERE FDay='2009-06-10'\r\n"
        "DELETE FROM t_WOScheduleDetail WHERE FSeqID=20090602");
    EXPECT_EQ(numbers(), "1 2 0 3 5 0 0 6 7 10 ");
    Exec("UPDATE t_SystemProfile SET FValue='it''s' WHERE FCategory='IC' AND FKey='SatNotWork'");
    EXPECT_EQ(Conn()
                  .Execute("SELECT FValue FROM t_SystemProfile WHERE FKey='SatNotWork'")
                  .Fields(0)
                  .Value(),
              Variant("it's"));
    // Many shapes of statement, each its own.
    for (int k = 1; k <= 20; ++k) {
        Exec("UPDATE t_WorkCalendar SET FInterID=" + std::to_string(k) + std::string(k, ' ') +
             "WHERE FDay='2009-06-01'");
    }
    EXPECT_EQ(numbers(), "20 2 0 3 5 0 0 6 7 10 ");

    const auto failure = [&](const std::string& sql) {
        try {
            Exec(sql);
        } catch (const ComError& e) {
            return e.Description();
        }
        return std::string("no error");
    };
    // A value the table refuses, then the same statement with a good value.
    const std::string bad = "UPDATE t_WorkCalendar SET FDay='2009-13-45' WHERE FDay='2009-06-02'";
    EXPECT_NE(failure(bad).find("(" + bad + ")"), std::string::npos) << failure(bad);
    Exec("UPDATE t_WorkCalendar SET FDay='2009-06-12' WHERE FDay='2009-06-02'");
    EXPECT_EQ(Conn()
                  .Execute("SELECT FInterID FROM t_WorkCalendar WHERE FDay='2009-06-12'")
                  .Fields(0)
                  .Value(),
              Variant(int32_t{2}));
    // A table dropped after its statement was compiled.
    Exec("DROP TABLE t_WOScheduleDetail");
    const std::string gone = "DELETE FROM t_WOScheduleDetail WHERE FSeqID=20090601";
    EXPECT_NE(failure(gone).find("(" + gone + ")"), std::string::npos) << failure(gone);
}

TEST_P(DataLayer, TransactionsCommitAndRollBack) {
    Exec("BEGIN TRANSACTION");
    Exec("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('X','A','1')");
    Exec("ROLLBACK");
    Exec("BEGIN TRANSACTION");
    Exec("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('X','B','1')");
    Exec("COMMIT TRANSACTION");
    auto other = Db().Connect();
    data::Recordset rs =
        other->Execute("SELECT FKey FROM t_SystemProfile WHERE FCategory='X' ORDER BY FKey");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields(0).Value(), Variant("B"));
}

TEST_P(DataLayer, OpenRunsTheSourceOnTheConnection) {
    WriteExampleCalendar(Conn());
    auto connection = Db().Connect();
    data::Recordset rs;
    rs.Open("SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 AND FInterID-5=1", connection, -1, -1,
            -1);
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(automation::CDate(rs.Fields(0).Value()), OleFromCivil(2009, 6, 8));
    data::Recordset none;
    EXPECT_EQ(ErrorNumberOf([&] { none.Open("SELECT 1", nullptr); }), errors::kObjectNotSet);
}

TEST_P(DataLayer, DataVersionMovesWithChangesFromAnyConnection) {
    auto other = Db().Connect();
    const uint64_t v0 = Conn().DataVersion();
    EXPECT_EQ(Conn().DataVersion(), v0);
    other->Execute("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('X','A','1')");
    const uint64_t v1 = Conn().DataVersion();
    EXPECT_NE(v1, v0);
    Exec("UPDATE t_SystemProfile SET FValue='2' WHERE FCategory='X'");
    EXPECT_NE(Conn().DataVersion(), v1);
}

ZEV_INSTANTIATE_DB_TEST(DataLayer);

// Engine-specific behaviour of the embedded database.
TEST(SqliteBackend, RefusesWhatIsNotADatabase) {
    TempDir dir;
    auto numberOf = [](const std::string& path) {
        try {
            data::OpenSqlite(path);
        } catch (const ComError& e) {
            return e.Number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf(dir.Path().string()), errors::kUnspecified);
    EXPECT_EQ(numberOf(dir.File("missing.db")), errors::kUnspecified);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
    {
        std::FILE* f = std::fopen(dir.File("junk.db").c_str(), "w");
        std::fputs("this is not a database, just some text long enough to be read", f);
        std::fclose(f);
    }
    EXPECT_EQ(numberOf(dir.File("junk.db")), errors::kUnspecified);
    EXPECT_EQ(numberOf(""), errors::kUnspecified);
}

TEST(SqliteBackend, ASecondWriterWaitsForTheFirst) {
    TempDir dir;
    auto first = data::OpenSqlite(dir.File("w.db"), data::OpenMode::Create);
    first->Execute("CREATE TABLE t(x INTEGER)");
    auto second = data::OpenSqlite(dir.File("w.db"));
    first->Execute("BEGIN TRANSACTION");
    first->Execute("INSERT INTO t VALUES(1)");
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        first->Execute("COMMIT");
    });
    // Blocks on the busy timeout until the first commits, instead of failing at once.
    EXPECT_NO_THROW(second->Execute("INSERT INTO t VALUES(2)"));
    releaser.join();
    data::Recordset rs = second->Execute("SELECT COUNT(*) FROM t");
    EXPECT_EQ(automation::CLng(rs.Fields(0).Value()), 2);
}

}  // namespace
}  // namespace zev::test
