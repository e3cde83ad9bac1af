// zevworkcal --odbc: every command on a database server reached through ODBC.

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/automation/Variant.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "suite/Schema.hpp"
#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

ProcessResult Zevworkcal(const std::vector<std::string>& args) {
    // No locale: texts come back as written.
    return RunProcess(ZEV_ZEVWORKCAL, args, {},
                      {{"LANG", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}});
}

// An empty database on the run's server, dropped at the end of the test.
class EmptyServerDatabase : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("ZEVWORKCAL_TEST_PG") == nullptr) {
            GTEST_SKIP() << "ZEVWORKCAL_TEST_PG is not set: no PostgreSQL server for this run";
        }
        name_ = "zev_cli_" + std::to_string(::getpid());
        Admin()->Execute("CREATE DATABASE " + name_ + " TEMPLATE template0");
        connectionString_ = WithDatabase(PostgresServerString(), name_);
    }
    void TearDown() override {
        if (!name_.empty()) Admin()->Execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    }
    static data::ConnectionPtr Admin() { return data::OpenOdbc(PostgresServerString()); }

    std::string name_;
    std::string connectionString_;
};

TEST_F(EmptyServerDatabase, InitCreatesTheTablesAndEveryCommandRunsThere) {
    const std::string cs = PostgresServerString();
    const size_t at = cs.find("Pwd=");
    ASSERT_NE(at, std::string::npos);
    const std::string password = cs.substr(at + 4, cs.find(';', at) - at - 4);

    const ProcessResult init = Zevworkcal({"--odbc", connectionString_, "init"});
    ASSERT_EQ(init.exitCode, 0) << init.err;
    EXPECT_EQ(init.out.find(password), std::string::npos) << "the password is shown";
    EXPECT_TRUE(suite::MissingTables(*data::OpenOdbc(connectionString_)).empty());

    ASSERT_EQ(
        Zevworkcal({"--odbc", connectionString_, "generate", "2009-06-01", "2009-06-11"}).exitCode,
        0);
    EXPECT_EQ(Zevworkcal({"--odbc", connectionString_, "before", "2009-06-07"}).out,
              "2009-06-05\n");
    EXPECT_EQ(Zevworkcal({"--odbc", connectionString_, "after", "2009-06-07"}).out, "2009-06-08\n");
    EXPECT_EQ(
        Zevworkcal({"--odbc", connectionString_, "workday", "2009-06-07", "1", "--backward"}).out,
        "2009-06-04\n");
    const ProcessResult status = Zevworkcal({"--odbc", connectionString_, "status"});
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_NE(status.out.find("2009-06-01 .. 2009-06-10"), std::string::npos) << status.out;
    EXPECT_EQ(status.out.find(password), std::string::npos) << "the password is shown";

    const ProcessResult again = Zevworkcal({"--odbc", connectionString_, "init"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("t_WorkCalendar"), std::string::npos) << again.err;
}

TEST(OdbcCommandLine, AServerThatCannotBeReachedFailsWithTheDriversReason) {
    const ProcessResult r = Zevworkcal(
        {"--odbc", "Driver=PostgreSQL Unicode;Server=127.0.0.1;Port=1;Database=x;Uid=x;Pwd=x",
         "before", "2009-06-07"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("[08001]"), std::string::npos) << r.err;
}

TEST(OdbcCommandLine, ConnectionStringsThatCannotBeCarriedAreRefused) {
    // The property string ends a braced value at its first "}".
    const ProcessResult braced =
        Zevworkcal({"--odbc", "Driver={PostgreSQL Unicode};Server=127.0.0.1", "status"});
    EXPECT_EQ(braced.exitCode, 2);
    EXPECT_NE(braced.err.find("Driver="), std::string::npos) << braced.err;

    const ProcessResult both = Zevworkcal({"--db", "x.db", "--odbc", "DSN=x", "status"});
    EXPECT_EQ(both.exitCode, 2) << both.err;
}

}  // namespace
}  // namespace zev::test
