#pragma once
// Databases for tests: a fresh database with the suite's tables on each backend the run
// covers, and a fixture that runs a test once per backend.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/data/Connection.hpp"

namespace zev::test {

// A temporary directory, removed with everything in it at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

enum class Backend { SQLite, PostgreSQL };

std::string BackendName(Backend backend);
inline void PrintTo(Backend backend, std::ostream* os) {
    *os << BackendName(backend);
}

// The backends of this run: SQLite always, PostgreSQL when the test script has started
// a server (ZEVWORKCAL_TEST_PG holds its connection string).
std::vector<Backend> TestedBackends();

// The ODBC connection string of the PostgreSQL server of this run (ZEVWORKCAL_TEST_PG).
std::string PostgresServerString();
// An ODBC connection string with its Database entry replaced by `name`.
std::string WithDatabase(const std::string& connectionString, const std::string& name);

// A fresh database holding the suite's tables and seeded settings.
class TestDatabase {
  public:
    static std::unique_ptr<TestDatabase> Create(Backend backend);
    virtual ~TestDatabase() = default;

    Backend GetBackend() const { return backend_; }
    // A new connection to the database.
    virtual data::ConnectionPtr Connect() = 0;
    // The Provider and Data Source entries that name the database.
    virtual std::string PropsString() const = 0;

  protected:
    explicit TestDatabase(Backend backend) : backend_(backend) {}

  private:
    Backend backend_;
};

// Runs a test once per backend with a fresh database whose property string is the
// process's, and with the suite's components registered.
class DbTest : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override;
    void TearDown() override;

    TestDatabase& Db() { return *db_; }
    // A connection of the test's own, opened at set-up.
    data::Connection& Conn() { return *conn_; }
    // Runs a statement on the test's connection.
    void Exec(const std::string& sql) { conn_->Execute(sql); }

  private:
    std::unique_ptr<TestDatabase> db_;
    data::ConnectionPtr conn_;
};

struct BackendParamName {
    std::string operator()(const ::testing::TestParamInfo<Backend>& info) const {
        return BackendName(info.param);
    }
};

#define ZEV_INSTANTIATE_DB_TEST(Fixture)                                                      \
    INSTANTIATE_TEST_SUITE_P(Db, Fixture, ::testing::ValuesIn(::zev::test::TestedBackends()), \
                             ::zev::test::BackendParamName())

// Registers the suite's components once per process.
void RegisterSuiteOnce();

// Writes the example calendar 2009-06-01 to 2009-06-10 with weekend rest days: work days
// 06-01..06-05 numbered 1..5 and 06-08..06-10 numbered 6..8.
void WriteExampleCalendar(data::Connection& connection);

}  // namespace zev::test
