#include "tests/support/TestDatabase.hpp"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>

#include "platform/automation/OleDate.hpp"
#include "platform/data/ConnectionString.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/Register.hpp"
#include "suite/Schema.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"

namespace zev::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zevworkcal-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string BackendName(Backend backend) {
    return backend == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

std::vector<Backend> TestedBackends() {
    std::vector<Backend> backends{Backend::SQLite};
    if (const char* pg = std::getenv("ZEVWORKCAL_TEST_PG"); pg != nullptr && *pg != '\0') {
        backends.push_back(Backend::PostgreSQL);
    }
    return backends;
}

std::string WithDatabase(const std::string& connectionString, const std::string& name) {
    return data::WithAttribute(connectionString, "Database", name);
}

std::string PostgresServerString() {
    const char* pg = std::getenv("ZEVWORKCAL_TEST_PG");
    if (pg == nullptr || *pg == '\0') throw std::runtime_error("ZEVWORKCAL_TEST_PG is not set");
    return pg;
}

namespace {

class SqliteTestDatabase final : public TestDatabase {
  public:
    SqliteTestDatabase() : TestDatabase(Backend::SQLite), file_(dir_.File("suite.db")) {
        auto connection = data::OpenSqlite(file_, data::OpenMode::Create);
        suite::InitDatabase(*connection);
    }
    data::ConnectionPtr Connect() override { return data::OpenSqlite(file_); }
    std::string PropsString() const override {
        return "Provider=SQLite;Data Source={" + file_ + "};";
    }

  private:
    TempDir dir_;
    std::string file_;
};

// A database of its own for each test on the server the test script started: cloned from
// a template that the first test of the run builds with the suite's schema. Test
// programs run side by side, so the template is built under an advisory lock, and under a
// temporary name until it is complete.
class PostgresTestDatabase final : public TestDatabase {
  public:
    PostgresTestDatabase() : TestDatabase(Backend::PostgreSQL), server_(PostgresServerString()) {
        auto admin = data::OpenOdbc(server_);
        const std::string source = EnsureTemplate(*admin);
        static std::atomic<int> counter{0};
        std::random_device random;
        char name[64];
        std::snprintf(name, sizeof name, "zev_t_%d_%d_%08x", static_cast<int>(::getpid()),
                      counter++, random());
        name_ = name;
        admin->Execute("CREATE DATABASE " + name_ + " TEMPLATE " + source);
        connectionString_ = WithDatabase(server_, name_);
    }
    ~PostgresTestDatabase() override {
        try {
            auto admin = data::OpenOdbc(server_);
            admin->Execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
        } catch (...) {
            // The cluster is thrown away after the run; a database left over does no harm.
        }
    }
    data::ConnectionPtr Connect() override { return data::OpenOdbc(connectionString_); }
    std::string PropsString() const override {
        return "Provider=ODBC;Data Source={" + connectionString_ + "};";
    }

  private:
    std::string EnsureTemplate(data::Connection& admin) {
        // Named after the schema script, so that a server kept between builds never hands
        // out an older schema.
        const std::string_view script = suite::SchemaScript(data::Dialect::PostgreSQL);
        uint64_t hash = 1469598103934665603ull;
        for (char c : script)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        char name[64];
        std::snprintf(name, sizeof name, "zev_template_%016llx",
                      static_cast<unsigned long long>(hash));
        const std::string templateName = name;
        const std::string building = templateName + "_build";
        admin.Execute("SELECT pg_advisory_lock(7260405512)");
        try {
            data::Recordset rs =
                admin.Execute("SELECT 1 FROM pg_database WHERE datname='" + templateName + "'");
            if (rs.Eof()) {
                admin.Execute("DROP DATABASE IF EXISTS " + building + " WITH (FORCE)");
                admin.Execute("CREATE DATABASE " + building + " TEMPLATE template0");
                suite::InitDatabase(*data::OpenOdbc(WithDatabase(server_, building)));
                admin.Execute("ALTER DATABASE " + building + " RENAME TO " + templateName);
            }
        } catch (...) {
            admin.Execute("SELECT pg_advisory_unlock(7260405512)");
            throw;
        }
        admin.Execute("SELECT pg_advisory_unlock(7260405512)");
        return templateName;
    }

    std::string server_;
    std::string name_;
    std::string connectionString_;
};

}  // namespace

std::unique_ptr<TestDatabase> TestDatabase::Create(Backend backend) {
    switch (backend) {
        case Backend::SQLite:
            return std::make_unique<SqliteTestDatabase>();
        case Backend::PostgreSQL:
            return std::make_unique<PostgresTestDatabase>();
    }
    throw std::runtime_error("backend not available in this build: " + BackendName(backend));
}

void RegisterSuiteOnce() {
    static std::once_flag once;
    std::call_once(once, [] { suite::RegisterSuite(); });
}

void DbTest::SetUp() {
    RegisterSuiteOnce();
    db_ = TestDatabase::Create(GetParam());
    suite::SetProcessProperty("PropsString", db_->PropsString());
    conn_ = db_->Connect();
}

void DbTest::TearDown() {
    conn_.reset();
    suite::ClearProcessProperties();
    db_.reset();
}

void WriteExampleCalendar(data::Connection& connection) {
    suite::WriteCalendarRows(connection, automation::OleFromCivil(2009, 6, 1),
                             automation::OleFromCivil(2009, 6, 11), true, true);
}

}  // namespace zev::test
