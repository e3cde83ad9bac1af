// zevworkcal --odbc: every command on a database server reached through ODBC.

#include <gtest/gtest.h>
#include <unistd.h>

#include "component/clsCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/data/ConnectionString.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "suite/AppConnection.hpp"
#include "suite/Schema.hpp"
#include "suite/ShareProps.hpp"
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
        if (name_.empty()) return;
        // A command's server session can outlive its process by a moment; FORCE would
        // have to end it, which only a superuser may do for another login's session.
        const data::ConnectionPtr admin = Admin();
        for (int i = 0; i < 200; ++i) {
            data::Recordset rs = admin->Execute(
                "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = '" + name_ + "'");
            if (automation::CDbl(rs.Fields(0).Value()) == 0) break;
            ::usleep(50 * 1000);
        }
        admin->Execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
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

// A login of its own whose password needs braces and escapes, on a database of its own:
// connection strings as users write them.
class BracedLogin : public EmptyServerDatabase {
  protected:
    void SetUp() override {
        EmptyServerDatabase::SetUp();
        if (name_.empty()) return;
        role_ = name_ + "_login";
        Admin()->Execute("CREATE ROLE " + role_ + " LOGIN PASSWORD '" + kPassword + "'");
        data::OpenOdbc(connectionString_)
            ->Execute("GRANT CREATE, USAGE ON SCHEMA public TO " + role_);
        std::string server;
        for (const data::ConnectionAttribute& a :
             data::ParseConnectionString(PostgresServerString())) {
            if (a.Key == "Server" || a.Key == "Port") server += a.Key + "=" + a.Value + ";";
        }
        braced_ = "Driver={PostgreSQL Unicode};" + server + "Database=" + name_ + ";Uid=" + role_ +
                  ";Pwd={" + kWrittenPassword + "}";
    }
    void TearDown() override {
        EmptyServerDatabase::TearDown();
        if (!role_.empty()) Admin()->Execute("DROP ROLE IF EXISTS " + role_);
    }
    // Whether a text shows the password or a piece of it.
    static bool ShowsPassword(const std::string& text) {
        for (const char* piece : {"p;w}d", "w}}d", "=x{y"})
            if (text.find(piece) != std::string::npos) return true;
        return false;
    }

    static constexpr const char* kPassword = "p;w}d=x{y";
    static constexpr const char* kWrittenPassword = "p;w}}d=x{y";
    std::string role_;
    std::string braced_;
};

TEST_F(BracedLogin, EveryCommandTakesTheConnectionStringAsWrittenAndNeverShowsThePassword) {
    const std::vector<std::vector<std::string>> commands = {
        {"init"},
        {"generate", "2009-06-01", "2009-06-11"},
        {"before", "2009-06-07"},
        {"workday", "2009-06-07", "1", "--backward"},
        {"status"},
    };
    for (std::vector<std::string> args : commands) {
        args.insert(args.begin(), {"--odbc", braced_});
        const ProcessResult r = Zevworkcal(args);
        EXPECT_EQ(r.exitCode, 0) << args[2] << ": " << r.err;
        EXPECT_FALSE(ShowsPassword(r.out + r.err)) << r.out << r.err;
    }
    EXPECT_EQ(Zevworkcal({"--odbc", braced_, "before", "2009-06-07"}).out, "2009-06-05\n");

    // Refusals and failures that could quote the string: a login refused, an unknown
    // option before it, a value a driver cannot read. After the command it is taken.
    std::string wrong = braced_;
    wrong.replace(wrong.find("x{y"), 3, "x{z");
    const std::pair<std::vector<std::string>, int> failing[] = {
        {{"--odbc", wrong, "status"}, 1},
        {{"status", "--odbc", braced_}, 0},
        {{"status", "--frob", braced_}, 2},
        {{"--odbc", braced_ + ";Port={1;2}", "status"}, 1},
    };
    for (const auto& [args, code] : failing) {
        const ProcessResult r = Zevworkcal(args);
        EXPECT_EQ(r.exitCode, code) << r.err;
        EXPECT_FALSE(ShowsPassword(r.out + r.err)) << r.out << r.err;
    }
}

TEST_F(BracedLogin, AHostsPropertyStringCarriesItMarkedAsEncoded) {
    ASSERT_EQ(Zevworkcal({"--odbc", braced_, "init"}).exitCode, 0);
    WriteExampleCalendar(*data::OpenOdbc(braced_));
    RegisterSuiteOnce();
    suite::SetProcessProperty(
        "PropsString", "Provider=ODBC;Data Source=" + suite::PercentEncodeDataSource(braced_) +
                           ";Data Source Encoding=Percent;");
    {
        component::clsCal cal;
        cal.ActiveConnection("");
        EXPECT_EQ(cal.WorkDayAfter(automation::OleFromCivil(2009, 6, 7)),
                  automation::OleFromCivil(2009, 6, 8));
    }
    suite::ClearProcessProperties();
}

}  // namespace
}  // namespace zev::test
