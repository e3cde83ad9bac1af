// The ODBC backend against the PostgreSQL server of the test run: what only a server
// connection can show (its dialect rewriting, its types, a server that goes away or stops
// answering, transactions of other connections).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::ComError;
using automation::OleFromCivil;
using automation::Variant;
using automation::VarType;
namespace errors = automation::errors;

// The value of one entry of an ODBC connection string ("" when absent).
std::string Entry(const std::string& connectionString, const std::string& key) {
    size_t start = 0;
    while (start < connectionString.size()) {
        size_t end = connectionString.find(';', start);
        if (end == std::string::npos) end = connectionString.size();
        const std::string part = connectionString.substr(start, end - start);
        const size_t eq = part.find('=');
        if (eq != std::string::npos && strcasecmp(part.substr(0, eq).c_str(), key.c_str()) == 0) {
            return part.substr(eq + 1);
        }
        start = end + 1;
    }
    return {};
}

std::string Replace(std::string connectionString, const std::string& key,
                    const std::string& value) {
    const std::string old = key + "=" + Entry(connectionString, key);
    const size_t at = connectionString.find(old);
    if (at == std::string::npos) return connectionString + ";" + key + "=" + value;
    return connectionString.replace(at, old.size(), key + "=" + value);
}

// A TCP relay in front of the server: the client connects to it as to the server. Taken
// down, it closes every relayed connection and refuses new ones, as a stopped server does;
// frozen, it keeps every socket open and passes nothing on, as a server whose machine has
// gone silent.
class Relay {
  public:
    Relay(std::string host, int port) : host_(std::move(host)), targetPort_(port) { Up(); }
    ~Relay() { Down(); }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    int Port() const { return port_; }

    void Up() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port_));
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listener_, 16) != 0) {
            throw std::runtime_error("relay cannot listen");
        }
        socklen_t length = sizeof addr;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length);
        port_ = ntohs(addr.sin_port);
        if (::pipe(wake_) != 0) throw std::runtime_error("pipe failed");
        stop_ = false;
        thread_ = std::thread([this] { Loop(); });
    }

    void Down() {
        if (!thread_.joinable()) return;
        stop_ = true;
        const char c = 'x';
        (void)!::write(wake_[1], &c, 1);
        thread_.join();
        ::close(wake_[0]);
        ::close(wake_[1]);
    }

    void Freeze() { frozen_ = true; }

  private:
    void Loop() {
        std::map<int, int> peer;  // each relayed socket and the one it pairs with
        while (!stop_) {
            std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
            if (!frozen_) {
                fds.push_back({listener_, POLLIN, 0});
                for (const auto& [fd, other] : peer)
                    fds.push_back({fd, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 100) <= 0) continue;
            for (size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].revents == 0) continue;
                if (fds[i].fd == listener_) {
                    const int client = ::accept(listener_, nullptr, nullptr);
                    const int server = ConnectToServer();
                    if (client < 0 || server < 0) {
                        if (client >= 0) ::close(client);
                        if (server >= 0) ::close(server);
                        continue;
                    }
                    peer[client] = server;
                    peer[server] = client;
                    continue;
                }
                const auto it = peer.find(fds[i].fd);
                if (it == peer.end()) continue;
                char buffer[16384];
                const ssize_t n = ::read(it->first, buffer, sizeof buffer);
                if (n <= 0 ||
                    ::send(it->second, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) != n) {
                    const int a = it->first;
                    const int b = it->second;
                    ::close(a);
                    ::close(b);
                    peer.erase(a);
                    peer.erase(b);
                }
            }
        }
        for (const auto& [fd, other] : peer)
            ::close(fd);
        ::close(listener_);
        frozen_ = false;
    }

    int ConnectToServer() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(targetPort_));
        ::inet_pton(AF_INET, host_.c_str(), &addr.sin_addr);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    std::string host_;
    int targetPort_;
    int port_ = 0;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<bool> frozen_{false};
    std::thread thread_;
};

ComError ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ComError& e) {
        return e;
    }
    return ComError(0, "", "no error");
}

class OdbcBackend : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("ZEVWORKCAL_TEST_PG") == nullptr) {
            GTEST_SKIP() << "ZEVWORKCAL_TEST_PG is not set: no PostgreSQL server for this run";
        }
        db_ = TestDatabase::Create(Backend::PostgreSQL);
        conn_ = db_->Connect();
        const std::string props = db_->PropsString();
        const size_t open = props.find('{');
        connectionString_ = props.substr(open + 1, props.rfind('}') - open - 1);
    }

    data::Connection& Conn() { return *conn_; }
    Variant Scalar(const std::string& sql) {
        data::Recordset rs = conn_->Execute(sql);
        return rs.Fields(0).Value();
    }

    std::unique_ptr<TestDatabase> db_;
    data::ConnectionPtr conn_;
    std::string connectionString_;
};

TEST_F(OdbcBackend, TheCalendarStatementsRunAsWritten) {
    WriteExampleCalendar(Conn());
    EXPECT_EQ(Conn().GetDialect(), data::Dialect::PostgreSQL);
    // A number, and the server's year, written to the text column FValue.
    Conn().Execute(
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','StartPeriod',1)");
    Conn().Execute(
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) "
        "VALUES('IC','StartYear',YEAR(GETDATE()))");
    EXPECT_EQ(
        Scalar("SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='StartPeriod'"),
        Variant("1"));
    data::Recordset rs = Conn().Execute(
        "SELECT FValue,GetDate() FROM t_SystemProfile WHERE FCategory='IC' AND FKey='StartYear'");
    ASSERT_EQ(rs.Fields(1).Value().Type(), VarType::Date);
    EXPECT_EQ(rs.Fields(0).Value(),
              Variant(std::to_string(
                  automation::CivilFromOle(automation::CDate(rs.Fields(1).Value())).Year)));

    // A day swap saved as a CR LF batch of updates, then the copy batch with its insert
    // that names neither INTO nor columns, in lower case.
    std::string batch;
    for (int day = 1; day <= 10; ++day) {
        char line[96];
        std::snprintf(line, sizeof line,
                      "UPDATE t_WorkCalendar SET FInterID=%d WHERE FDay='2009-06-%02d'\r\n",
                      day == 3  ? 0
                      : day < 3 ? day
                                : day - 1,
                      day);
        batch += line;
    }
    Conn().Execute(batch);
    Conn().Execute(
        "Delete from t_mutiworkcal where FCalID=999 \r\n insert t_mutiworkcal select "
        "finterid,fday,fdayid,fweekid,fmonthid,fyearid,999 from t_workcalendar");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_mutiworkcal WHERE FCalID=999 AND FInterID=0"),
              Variant(int32_t{1}));
    EXPECT_EQ(Scalar("SELECT Max(FInterID) FROM t_WorkCalendar WHERE FInterID>0 AND "
                     "FDay<='2009-06-10'"),
              Variant(int32_t{9}));
    EXPECT_EQ(automation::CDate(
                  Scalar("SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 AND FInterID-9=-2")),
              OleFromCivil(2009, 6, 8));
    EXPECT_EQ(Scalar("SELECT FDayID FROM t_WorkCalendar WHERE FDay='2009-06-08'"),
              Variant(int32_t{20090608}));
    Conn().Execute("INSERT INTO t_WOScheduleDetail(FDetailID,FSeqID) VALUES(1,20090608)");
    EXPECT_EQ(
        Conn().Execute("SELECT * FROM t_WOScheduleDetail WHERE FSeqID=20090608").RecordCount(), 1);
    EXPECT_TRUE(Conn().HasTable("T_WORKCALENDAR"));
    EXPECT_FALSE(Conn().HasTable("t_NoSuchTable"));
}

TEST_F(OdbcBackend, ValuesKeepTheirTypesAndText) {
    data::Recordset rs = Conn().Execute(
        "SELECT 2147483647, CAST(2147483648 AS bigint), CAST(12.5 AS numeric(10,2)), "
        "CAST(NULL AS integer), CAST('2009-06-04 14:30:15.250' AS timestamp), "
        "CAST(0.5 AS real), '天 工厂日历 𝄞'");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields(0).Value(), Variant(int32_t{2147483647}));
    EXPECT_EQ(rs.Fields(1).Value(), Variant(2147483648.0));
    EXPECT_EQ(rs.Fields(2).Value(), Variant(12.5));
    EXPECT_TRUE(rs.Fields(3).Value().IsNull());
    EXPECT_EQ(rs.Fields(4).Value(), Variant::FromDate(OleFromCivil(2009, 6, 4, 14, 30, 15)));
    EXPECT_EQ(rs.Fields(5).Value(), Variant(0.5));
    EXPECT_EQ(rs.Fields(6).Value(), Variant("天 工厂日历 𝄞"));

    // Chinese text stored and read back, and a text longer than any one read of the driver.
    Conn().Execute(
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','PlanCycle','天')");
    EXPECT_EQ(Scalar("SELECT FValue FROM t_SystemProfile WHERE FKey='PlanCycle'"), Variant("天"));
    std::string expected;
    for (int i = 0; i < 6000; ++i)
        expected += "工";
    EXPECT_EQ(Scalar("SELECT repeat('工', 6000)"), Variant(expected));
}

TEST_F(OdbcBackend, AFailingStatementNamesItselfAndStopsTheBatch) {
    const ComError e = ErrorOf([&] {
        Conn().Execute(
            "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('X','A','1')\r\n"
            "insert t_NoSuchTable select 1\r\n"
            "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('X','B','1')");
    });
    EXPECT_EQ(e.Number(), errors::kCommandFailed);
    EXPECT_EQ(e.Source(), "ZevData.ODBC");
    // The SQLSTATE first, the statement as the caller wrote it last.
    EXPECT_EQ(e.Description().rfind("[42P01] ", 0), 0u) << e.Description();
    EXPECT_NE(e.Description().find("t_nosuchtable"), std::string::npos) << e.Description();
    const std::string tail = "(insert t_NoSuchTable select 1)";
    ASSERT_GE(e.Description().size(), tail.size());
    EXPECT_EQ(e.Description().substr(e.Description().size() - tail.size()), tail);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_SystemProfile WHERE FCategory='X'"),
              Variant(int32_t{1}));
}

TEST_F(OdbcBackend, TransactionsOwnTheirStatements) {
    // A statement the server refuses inside a transaction does not undo the others, as on
    // the suite's other engines.
    Conn().Execute("BEGIN TRANSACTION");
    Conn().Execute("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('X','A','1')");
    EXPECT_EQ(ErrorOf([&] { Conn().Execute("SELECT FNoSuch FROM t_SystemProfile"); }).Number(),
              errors::kCommandFailed);
    Conn().Execute("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('X','B','1')");
    EXPECT_EQ(ErrorOf([&] { Conn().Execute("BEGIN TRANSACTION"); }).Number(),
              errors::kCommandFailed);
    Conn().Execute("COMMIT");
    EXPECT_EQ(ErrorOf([&] { Conn().Execute("COMMIT TRANSACTION"); }).Number(),
              errors::kCommandFailed);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_SystemProfile WHERE FCategory='X'"),
              Variant(int32_t{2}));

    // A connection that goes away inside a transaction leaves nothing behind.
    {
        auto other = db_->Connect();
        other->Execute("BEGIN TRANSACTION\r\nDELETE FROM t_SystemProfile WHERE FCategory='X'");
    }
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM t_SystemProfile WHERE FCategory='X'"),
              Variant(int32_t{2}));
}

// A database made by the earlier schema, whose reader of the stamp answers -1 while any
// writer of the suite's tables holds its lock, gives no stamp then: rows read while a
// writer is open may change at its commit.
// A batch of day numbers inside a transaction reaches the server as one statement where
// it can; the calendar must end as the statements leave it run one by one.
TEST_F(OdbcBackend, ABatchOfDayNumbersEndsAsItsStatementsOneByOne) {
    const auto number = [](int n, const char* day) {
        return "UPDATE t_WorkCalendar SET FInterID=" + std::to_string(n) + " WHERE FDay='" + day +
               "'";
    };
    struct Case {
        const char* what;
        std::vector<std::string> statements;
    };
    const Case cases[] = {
        {"days renumbered, one keeping its number",
         {number(7, "2009-06-01"), number(2, "2009-06-02"), number(9, "2009-06-03")}},
        {"a day numbered twice: the last number stays",
         {number(7, "2009-06-04"), number(8, "2009-06-05"), number(9, "2009-06-04")}},
        {"a day the calendar does not hold",
         {number(4, "2009-06-05"), number(5, "2010-01-01"), number(6, "2009-06-08")}},
        {"another statement among them",
         {number(4, "2009-06-05"), "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay>='2009-06-09'",
          number(6, "2009-06-09")}},
    };
    const auto rows = [&] {
        std::map<std::string, int32_t> out;
        for (data::Recordset rs = Conn().Execute("SELECT FDay, FInterID FROM t_WorkCalendar");
             !rs.Eof(); rs.MoveNext()) {
            out[automation::FormatIsoDate(automation::CDate(rs.Fields(0).Value()))] =
                automation::CLng(rs.Fields(1).Value());
        }
        return out;
    };
    for (const Case& c : cases) {
        std::string batch;
        Conn().Execute("DELETE FROM t_WorkCalendar");
        WriteExampleCalendar(Conn());
        for (const std::string& statement : c.statements) {
            Conn().Execute(statement);
            batch += statement + "\r\n";
        }
        const std::map<std::string, int32_t> oneByOne = rows();
        Conn().Execute("DELETE FROM t_WorkCalendar");
        WriteExampleCalendar(Conn());
        Conn().Execute("BEGIN TRANSACTION");
        Conn().Execute(batch);
        Conn().Execute("COMMIT");
        EXPECT_EQ(rows(), oneByOne) << c.what;
    }
}

TEST_F(OdbcBackend, AStampOfTheEarlierSchemaIsNoneWhileAWriterIsOpen) {
    WriteExampleCalendar(Conn());
    Conn().Execute("DROP TRIGGER tr_WorkCalendar_version ON t_WorkCalendar");
    Conn().Execute("CREATE SEQUENCE zev_data_version_earlier");
    Conn().Execute(
        "CREATE OR REPLACE FUNCTION zev_bump_data_version() RETURNS trigger LANGUAGE plpgsql AS "
        "$$ BEGIN PERFORM pg_advisory_xact_lock_shared(7260405511); "
        "PERFORM nextval('zev_data_version_earlier'); RETURN NULL; END $$");
    Conn().Execute(
        "CREATE OR REPLACE FUNCTION zev_read_data_version() RETURNS bigint LANGUAGE plpgsql "
        "VOLATILE AS $$ DECLARE v bigint; BEGIN IF NOT pg_try_advisory_lock(7260405511) THEN "
        "RETURN -1; END IF; SELECT CASE WHEN is_called THEN last_value ELSE 0 END INTO v FROM "
        "zev_data_version_earlier; "
        "PERFORM pg_advisory_unlock(7260405511); RETURN v; END $$");
    Conn().Execute(
        "CREATE TRIGGER tr_WorkCalendar_version AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON "
        "t_WorkCalendar FOR EACH STATEMENT EXECUTE FUNCTION zev_bump_data_version()");
    auto reader = db_->Connect();
    const auto stamp = [&] { return reader->ChangeStamp("t_WorkCalendar"); };
    const std::optional<uint64_t> before = stamp();
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(stamp(), before);
    auto writer = db_->Connect();
    writer->Execute("BEGIN TRANSACTION");
    writer->Execute("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-08'");
    EXPECT_FALSE(stamp().has_value());
    writer->Execute("COMMIT");
    const std::optional<uint64_t> after = stamp();
    ASSERT_TRUE(after.has_value());
    EXPECT_NE(after, before);
    EXPECT_EQ(stamp(), after);
}

TEST_F(OdbcBackend, ABackendEndedByTheServerFailsClearlyAndANewConnectionWorks) {
    const int32_t pid = automation::CLng(Scalar("SELECT pg_backend_pid()"));
    auto admin = db_->Connect();
    admin->Execute("SELECT pg_terminate_backend(" + std::to_string(pid) + ")");
    for (int call = 0; call < 2; ++call) {
        const ComError e = ErrorOf([&] { Conn().Execute("SELECT FDay FROM t_WorkCalendar"); });
        EXPECT_EQ(e.Number(), errors::kUnspecified) << e.Description();
        EXPECT_NE(e.Description().find("] "), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find("(SELECT FDay FROM t_WorkCalendar)"), std::string::npos);
    }
    // The stamp never fails: one that cannot be read is none.
    EXPECT_FALSE(Conn().ChangeStamp("t_WorkCalendar").has_value());
    auto fresh = db_->Connect();
    EXPECT_EQ(fresh->Execute("SELECT 1").RecordCount(), 1);
}

TEST_F(OdbcBackend, AServerStoppedBetweenCallsFailsClearlyUntilItIsBack) {
    Relay relay(Entry(connectionString_, "Server"), std::stoi(Entry(connectionString_, "Port")));
    const std::string viaRelay = Replace(connectionString_, "Port", std::to_string(relay.Port()));
    auto connection = data::OpenOdbc(viaRelay);
    WriteExampleCalendar(*connection);

    relay.Down();
    const ComError lost =
        ErrorOf([&] { connection->Execute("SELECT MAX(FDay) FROM t_WorkCalendar"); });
    EXPECT_EQ(lost.Number(), errors::kUnspecified) << lost.Description();
    EXPECT_NE(lost.Description().find("(SELECT MAX(FDay) FROM t_WorkCalendar)"), std::string::npos);
    const ComError refused = ErrorOf([&] { data::OpenOdbc(viaRelay); });
    EXPECT_EQ(refused.Number(), errors::kUnspecified) << refused.Description();
    EXPECT_EQ(refused.Source(), "ZevData.ODBC");

    relay.Up();
    EXPECT_NE(ErrorOf([&] { connection->Execute("SELECT 1"); }).Number(), 0);
    auto again = data::OpenOdbc(viaRelay);
    EXPECT_EQ(
        automation::CDate(again->Execute("SELECT MAX(FDay) FROM t_WorkCalendar").Fields(0).Value()),
        OleFromCivil(2009, 6, 10));
}

TEST_F(OdbcBackend, WaitsAreCutShortByTheTimeouts) {
    // A server that accepts the connection but never answers the login.
    Relay relay(Entry(connectionString_, "Server"), std::stoi(Entry(connectionString_, "Port")));
    relay.Freeze();
    const std::string viaRelay = Replace(connectionString_, "Port", std::to_string(relay.Port()));
    const data::OdbcTimeouts shortWait{1, 1};
    const ComError login = ErrorOf([&] { data::OpenOdbc(viaRelay, shortWait); });
    EXPECT_EQ(login.Number(), errors::kUnspecified) << login.Description();

    // A statement that waits for a row another connection keeps locked.
    auto holder = db_->Connect();
    holder->Execute("BEGIN TRANSACTION");
    holder->Execute("UPDATE t_SystemProfile SET FValue='0' WHERE FKey='SatNotWork'");
    auto waiter = data::OpenOdbc(connectionString_, shortWait);
    const ComError wait = ErrorOf(
        [&] { waiter->Execute("UPDATE t_SystemProfile SET FValue='1' WHERE FKey='SatNotWork'"); });
    EXPECT_NE(wait.Number(), 0);
    EXPECT_NE(wait.Description().find("(UPDATE t_SystemProfile"), std::string::npos)
        << wait.Description();
    holder->Execute("ROLLBACK");
    EXPECT_EQ(waiter->Execute("SELECT 1").RecordCount(), 1);
}

}  // namespace
}  // namespace zev::test
