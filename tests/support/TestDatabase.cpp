#include "tests/support/TestDatabase.hpp"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <random>

#include "platform/automation/OleDate.hpp"
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

}  // namespace

std::unique_ptr<TestDatabase> TestDatabase::Create(Backend backend) {
    switch (backend) {
        case Backend::SQLite:
            return std::make_unique<SqliteTestDatabase>();
        case Backend::PostgreSQL:
            break;
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
