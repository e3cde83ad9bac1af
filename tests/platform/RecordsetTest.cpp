#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "tests/support/ErrorNumber.hpp"
#include "tests/support/ForwardingConnection.hpp"
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

// GETDATE() is the system's clock, which tests fix: its year goes into the text column,
// and the server's date follows the clock whenever it is fixed or released again.
TEST_P(DataLayer, ServerDateFollowsTheClockAndItsYearGoesIntoATextColumn) {
    const double moments[] = {OleFromCivil(2009, 6, 30, 23, 59, 58), OleFromCivil(1999, 12, 31)};
    for (const double moment : moments) {
        const automation::ScopedFixedNow fixed(moment);
        Exec("DELETE FROM t_SystemProfile WHERE FKey='StartYear'");
        Exec(
            "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','StartYear',"
            "YEAR(GETDATE()))");
        data::Recordset rs = Conn().Execute(
            "SELECT FValue,GetDate() FROM t_SystemProfile WHERE FCategory='IC' AND "
            "FKey='StartYear'");
        EXPECT_EQ(rs.Fields("FValue").Value(),
                  Variant(std::to_string(automation::CivilFromOle(moment).Year)));
        EXPECT_EQ(automation::CDate(rs.Fields(1).Value()), moment);
    }
    // Released, the clock is the system's again.
    data::Recordset rs = Conn().Execute("SELECT GETDATE()");
    EXPECT_LT(std::abs(automation::CDate(rs.Fields(0).Value()) - automation::Now()), 1.0);
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
    // Inside a transaction (where a server may take the changes in one round trip): a
    // first change that touches no row does not end the batch, and a failing one fails it
    // and names itself.
    Exec("BEGIN TRANSACTION");
    Exec(
        "UPDATE t_WorkCalendar SET FInterID=99 WHERE FDay='1999-01-01'\r\n"
        "UPDATE t_WorkCalendar SET FInterID=4 WHERE FDay='2009-06-05'\r\n"
        "DELETE FROM t_WOScheduleDetail WHERE FSeqID=20090603");
    const std::string refused =
        "UPDATE t_WorkCalendar SET FDay='2009-06-08' WHERE FDay='2009-06-09'";
    EXPECT_NE(failure("UPDATE t_WorkCalendar SET FInterID=5 WHERE FDay='2009-06-08'\r\n" + refused)
                  .find(refused),
              std::string::npos);
    Exec("ROLLBACK");
    EXPECT_EQ(numbers(), "20 0 3 5 0 0 6 7 10 2 ");
    Exec("BEGIN TRANSACTION");
    Exec(
        "UPDATE t_WorkCalendar SET FInterID=99 WHERE FDay='1999-01-01'\r\n"
        "UPDATE t_WorkCalendar SET FInterID=4 WHERE FDay='2009-06-05'");
    Exec("COMMIT");
    EXPECT_EQ(numbers(), "20 0 3 4 0 0 6 7 10 2 ");

    // A table dropped after its statement was compiled.
    Exec("DROP TABLE t_WOScheduleDetail");
    const std::string gone = "DELETE FROM t_WOScheduleDetail WHERE FSeqID=20090601";
    EXPECT_NE(failure(gone).find("(" + gone + ")"), std::string::npos) << failure(gone);
}

// Values given apart from the statement reach the table as they are, on the backend and
// through a connection that only passes texts on (which writes them in as literals):
// quotes, markers inside literals, SQL and NULL stay values; days compare as dates and
// whole numbers as numbers; a statement whose markers and values differ in number fails
// and writes nothing.
TEST_P(DataLayer, ValuesGivenApartAreStoredAsTheyAreNeverReadAsSql) {
    WriteExampleCalendar(Conn());
    const Variant values[] = {Variant("it's"), Variant("x'); DELETE FROM t_WorkCalendar; --"),
                              Variant("?"),    Variant("工厂日历"),
                              Variant(""),     Variant::Null()};
    const auto passing = std::make_shared<ForwardingConnection>(Db().Connect());
    for (data::Connection* c : {&Conn(), static_cast<data::Connection*>(passing.get())}) {
        SCOPED_TRACE(c == &Conn() ? "bound by the backend" : "written in as literals");
        Exec("DELETE FROM t_SystemProfile WHERE FCategory='ZZ'");
        for (size_t k = 0; k < std::size(values); ++k) {
            const Variant row[] = {Variant("ZZ"), Variant("K" + std::to_string(k)), values[k]};
            c->ExecuteWith("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES(?,?,?)", row);
        }
        for (size_t k = 0; k < std::size(values); ++k) {
            const Variant key[] = {Variant("ZZ"), Variant("K" + std::to_string(k))};
            data::Recordset rs = c->ExecuteWith(
                "SELECT FValue, '?' FROM t_SystemProfile WHERE FCategory=? AND FKey=?", key);
            ASSERT_FALSE(rs.Eof()) << k;
            EXPECT_EQ(rs.Fields(0).Value(), values[k]) << k;
            EXPECT_EQ(rs.Fields(1).Value(), Variant("?"));
        }
        const auto count = [&](const Variant& from, const Variant& to) {
            const Variant range[] = {from, to};
            return automation::CLng(
                c->ExecuteWith("SELECT COUNT(*) FROM t_WorkCalendar WHERE FDay>=? AND FDay<=?",
                               range)
                    .Fields(0)
                    .Value());
        };
        EXPECT_EQ(count(Variant::FromDate(OleFromCivil(2009, 6, 2)),
                        Variant::FromDate(OleFromCivil(2009, 6, 4))),
                  3);
        // Days only: a time of day would compare differently on each engine.
        EXPECT_EQ(ErrorNumberOf([&] {
                      count(Variant::FromDate(OleFromCivil(2009, 6, 2)),
                            Variant::FromDate(OleFromCivil(2009, 6, 4, 14, 30)));
                  }),
                  errors::kInvalidProcedureCall);
        const Variant numbered[] = {Variant(int32_t{44}),
                                    Variant::FromDate(OleFromCivil(2009, 6, 10))};
        c->ExecuteWith("UPDATE t_WorkCalendar SET FInterID=? WHERE FDay=?", numbered);
        const Variant above[] = {Variant(int32_t{7})};
        EXPECT_EQ(c->ExecuteWith("SELECT FDay FROM t_WorkCalendar WHERE FInterID>?", above)
                      .Fields(0)
                      .Value(),
                  Variant::FromDate(OleFromCivil(2009, 6, 10)));
        // Whole numbers only: a fraction would compare differently on each engine.
        const Variant fraction[] = {Variant(7.5)};
        EXPECT_EQ(ErrorNumberOf([&] {
                      c->ExecuteWith("SELECT FDay FROM t_WorkCalendar WHERE FInterID>?", fraction);
                  }),
                  errors::kTypeMismatch);
        const Variant oneTooMany[] = {Variant("ZZ"), Variant("K9"), Variant("v"), Variant("w")};
        EXPECT_THROW(
            c->ExecuteWith("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES(?,?,?)",
                           oneTooMany),
            ComError);
        EXPECT_THROW(c->ExecuteWith("SELECT FValue FROM t_SystemProfile WHERE FKey=?", {}),
                     ComError);
    }
    EXPECT_EQ(Conn().Execute("SELECT COUNT(*) FROM t_WorkCalendar").Fields(0).Value(),
              Variant(int32_t{10}));
    EXPECT_EQ(
        Conn().Execute("SELECT COUNT(*) FROM t_SystemProfile WHERE FKey='K9'").Fields(0).Value(),
        Variant(int32_t{0}));
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

// A read snapshot reads one committed state while another connection commits beside it
// (without waiting for the reader), ends at its scope whatever happened inside, and does
// nothing when nested or inside a transaction of the caller's.
TEST_P(DataLayer, AReadSnapshotReadsOneStateAndEndsWithItsScope) {
    WriteExampleCalendar(Conn());
    auto other = Db().Connect();
    auto rows = [&] {
        data::Recordset rs = Conn().Execute("SELECT COUNT(*) FROM t_WorkCalendar");
        return automation::CLng(rs.Fields(0).Value());
    };
    {
        const data::ReadSnapshot snapshot(Conn());
        EXPECT_EQ(rows(), 10);
        other->Execute("DELETE FROM t_WorkCalendar WHERE FInterID=0");
        EXPECT_EQ(rows(), 10);
        { const data::ReadSnapshot nested(Conn()); }
        EXPECT_EQ(rows(), 10) << "the nested snapshot ended the outer one";
        EXPECT_NE(ErrorNumberOf([&] { Exec("BEGIN TRANSACTION"); }), 0);
        EXPECT_NE(ErrorNumberOf([&] { Exec("SELECT FDay FROM t_NoSuchTable"); }), 0);
    }
    EXPECT_EQ(rows(), 8);

    Exec("BEGIN TRANSACTION");
    {
        const data::ReadSnapshot inside(Conn());
        Exec("DELETE FROM t_WorkCalendar WHERE FInterID>6");
        EXPECT_EQ(rows(), 6);
    }
    Exec("COMMIT");
    data::Recordset rs = other->Execute("SELECT COUNT(*) FROM t_WorkCalendar");
    EXPECT_EQ(automation::CLng(rs.Fields(0).Value()), 6);
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

std::string JournalMode(data::Connection& connection) {
    data::Recordset rs = connection.Execute("PRAGMA journal_mode");
    return automation::CStr(rs.Fields(0).Value());
}

int64_t Rows(data::Connection& connection) {
    data::Recordset rs = connection.Execute("SELECT COUNT(*) FROM t");
    return static_cast<int64_t>(automation::CDbl(rs.Fields(0).Value()));
}

// A database of 10 rows left in the rollback journal mode that older files have.
std::string LegacyDatabase(const TempDir& dir, const std::string& name) {
    const std::string file = dir.File(name);
    auto c = data::OpenSqlite(file, data::OpenMode::Create);
    c->Execute("PRAGMA journal_mode=DELETE");
    c->Execute("CREATE TABLE t(x)");
    c->Execute(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<10) "
        "INSERT INTO t SELECT i FROM n");
    return file;
}

TEST(SqliteBackend, ReadersAnswerFromTheLastCommitWhileAWriterWorks) {
    TempDir dir;
    const std::string file = LegacyDatabase(dir, "r.db");
    EXPECT_EQ(JournalMode(*data::OpenSqlite(dir.File("new.db"), data::OpenMode::Create)), "wal")
        << "a new database starts in it";
    auto writer = data::OpenSqlite(file);
    EXPECT_EQ(JournalMode(*writer), "wal") << "opening a writable database switches it";
    auto reader = data::OpenSqlite(file);
    writer->Execute("BEGIN TRANSACTION");
    // Enough to spill the writer's cache, which in the rollback journal locks readers out.
    writer->Execute(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<100000) "
        "INSERT INTO t SELECT randomblob(200) FROM n");
    EXPECT_EQ(Rows(*reader), 10);
    writer->Execute("COMMIT");
    EXPECT_EQ(Rows(*reader), 100010);
}

// Runs `body` in a child process without the rights of root, so that file permissions
// hold; the child's exit code, 128 + the signal number when it was killed.
int RunUnprivileged(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(120);
        int code = 121;
        try {
            code = body();
        } catch (...) {
            code = 122;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A read-only file or folder cannot take the write-ahead log: the database is read in the
// mode it has; a database in WAL mode in a folder where its readers cannot share their
// index file is refused with a message naming the file. Nothing takes the process down.
TEST(SqliteBackend, AReadOnlyFileOrFolderIsReadAsItIsOrRefusedClearly) {
    struct Case {
        const char* name;
        bool wal;           // the database is in WAL mode already
        bool readOnlyFile;  // else the folder is read-only
        bool readable;
    };
    const Case cases[] = {{"legacy-file", false, true, true},
                          {"legacy-folder", false, false, true},
                          {"wal-file", true, true, true},
                          {"wal-folder", true, false, false}};
    for (const Case& c : cases) {
        TempDir dir;
        const std::string file = LegacyDatabase(dir, "ro.db");
        if (c.wal) data::OpenSqlite(file);
        chmod(dir.Path().c_str(), c.readOnlyFile ? 0777 : 0555);
        chmod(file.c_str(), c.readOnlyFile ? 0444 : 0666);
        const int code = RunUnprivileged([&] {
            try {
                auto connection = data::OpenSqlite(file);
                if (Rows(*connection) != 10) return 1;
                return JournalMode(*connection) == (c.wal ? "wal" : "delete") ? 0 : 2;
            } catch (const ComError& e) {
                return e.Description().find(file) != std::string::npos ? 10 : 3;
            }
        });
        EXPECT_EQ(code, c.readable ? 0 : 10) << c.name;
        chmod(dir.Path().c_str(), 0700);
    }
}

}  // namespace
}  // namespace zev::test
