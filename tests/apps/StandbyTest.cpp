// Readers on a PostgreSQL hot standby, with a real primary and standby: every query and
// clsCal answer there as on the primary once the standby has replayed a change, a stream
// reader there never answers from a mixed or empty calendar while the primary
// regenerates, and every writer is refused there by name.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

#include "component/clsCal.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/data/OdbcConnection.hpp"
#include "suite/ShareProps.hpp"
#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

const char* StandbyServer() {
    const char* standby = std::getenv("ZEVWORKCAL_TEST_PG_STANDBY");
    return standby != nullptr && *standby != '\0' ? standby : nullptr;
}

std::string Scalar(data::Connection& connection, const std::string& query) {
    data::Recordset rs = connection.Execute(query);
    return rs.Eof() ? std::string() : automation::CStr(rs.Fields(0).Value());
}

// A database of its own on the primary, with a calendar 2009-06-01 .. 2010-12-31 whose
// weekends rest, and the same database on the standby once it has replayed it.
class Standby : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("ZEVWORKCAL_TEST_PG") == nullptr || StandbyServer() == nullptr) {
            GTEST_SKIP() << "ZEVWORKCAL_TEST_PG_STANDBY is not set: no standby for this run";
        }
        name_ = "zev_standby_" + std::to_string(::getpid());
        data::OpenOdbc(PostgresServerString())
            ->Execute("CREATE DATABASE " + name_ + " TEMPLATE template0");
        primary_ = WithDatabase(PostgresServerString(), name_);
        standby_ = WithDatabase(StandbyServer(), name_);
        ASSERT_EQ(Run(primary_, {"init"}).exitCode, 0);
        ASSERT_EQ(Run(primary_, kWeekendsRest).exitCode, 0);
        AwaitReplay();
    }
    void TearDown() override {
        if (name_.empty()) return;
        // The commands' sessions on the primary can outlive them by a moment; the
        // standby's end when it replays the drop.
        const data::ConnectionPtr admin = data::OpenOdbc(PostgresServerString());
        for (int i = 0; i < 200; ++i) {
            if (Scalar(*admin, "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = '" + name_ +
                                   "'") == "0") {
                break;
            }
            ::usleep(50 * 1000);
        }
        admin->Execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    }

    // zevworkcal on `server`'s database in English, its clock at noon of 2009-06-15.
    static ProcessResult Run(const std::string& server, Args args, const std::string& input = {}) {
        args.insert(args.begin(), {"--lang", "en", "--odbc", server});
        return RunProcess(
            ZEV_ZEVWORKCAL, args, input,
            {{"LANG", ""}, {"LC_ALL", ""}, {"ZEVWORKCAL_TEST_NOW", "2009-06-15T12:00"}});
    }
    Coprocess StandbyStream() const {
        return Coprocess(ZEV_ZEVWORKCAL, {"--odbc", standby_, "workday", "--stdin"},
                         {{"LANG", ""}, {"LC_ALL", ""}});
    }

    // Returns once the standby has replayed everything the primary has written so far:
    // its replay position reaches the primary's end of the log, taken now.
    static void AwaitReplay() {
        const std::string end =
            Scalar(*data::OpenOdbc(PostgresServerString()), "SELECT pg_current_wal_insert_lsn()");
        const data::ConnectionPtr standby = data::OpenOdbc(StandbyServer());
        const std::string replayed =
            "SELECT CASE WHEN pg_last_wal_replay_lsn() >= '" + end + "' THEN 1 ELSE 0 END";
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (Scalar(*standby, replayed) != "1") {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no replay up to " << end;
            ::usleep(5 * 1000);
        }
    }

    static inline const Args kWeekendsRest = {"generate", "2009-06-01", "2011-01-01", "--replace"};
    static inline const Args kSaturdaysWork = {"generate", "2009-06-01", "2011-01-01",
                                               "--saturday-work", "--replace"};
    std::string name_;
    std::string primary_;
    std::string standby_;
};

TEST_F(Standby, EveryReaderAnswersThereAsOnThePrimaryOnceASwapIsReplayed) {
    const std::vector<Args> queries = {
        {"before", "2009-07-01"},
        {"after", "2009-07-01"},
        {"workday", "2009-06-30", "1"},
        {"count", "2009-06-01", "2009-08-01"},
        {"is-workday", "2009-07-01"},
        {"list", "2009-06-29", "2009-07-04"},
        {"cal", "2009"},
        {"export"},
        {"history"},
        {"status", "--format", "json"},
    };
    const auto answers = [&](const std::string& server) {
        std::vector<std::string> out;
        for (const Args& query : queries) {
            const ProcessResult r = Run(server, query);
            // is-workday says rest by its exit code; status warns on the error stream.
            out.push_back(std::to_string(r.exitCode) + " " + r.out + r.err);
        }
        return out;
    };
    // A host's clsCal and a scheduler's stream on the standby, open across the swap, keep
    // their copies of the calendar in memory.
    RegisterSuiteOnce();
    suite::SetProcessProperty("PropsString", "Provider=ODBC;Data Source={" + standby_ + "};");
    component::clsCal cal;
    cal.ActiveConnection("");
    Coprocess stream = StandbyStream();
    const double july1 = automation::OleFromCivil(2009, 7, 1);

    std::vector<std::string> before = answers(standby_);
    stream.Write("2009-06-30 1\n");
    EXPECT_EQ(stream.ReadLine(20s), "2009-07-01");
    EXPECT_EQ(cal.WorkDayAfter(july1), july1);

    ASSERT_EQ(Run(primary_, {"swap", "2009-07-01"}).exitCode, 0);
    AwaitReplay();
    std::vector<std::string> after = answers(standby_);
    stream.Write("2009-06-30 1\n");
    EXPECT_EQ(stream.ReadLine(20s), "2009-07-02");
    EXPECT_EQ(cal.WorkDayAfter(july1), automation::OleFromCivil(2009, 7, 2));
    suite::ClearProcessProperties();

    // status differs by its own nature; every other answer is the primary's.
    const std::string standbyStatus = after.back();
    before.pop_back();
    after.pop_back();
    std::vector<std::string> onPrimary = answers(primary_);
    const std::string primaryStatus = onPrimary.back();
    onPrimary.pop_back();
    EXPECT_EQ(after, onPrimary);
    // The swap shows in every answer, so none of them came from the calendar before it.
    for (size_t i = 0; i + 1 < queries.size(); ++i)
        EXPECT_NE(before[i], after[i]) << queries[i][0];
    EXPECT_NE(standbyStatus.find("\"standby\":true,\"replay_lag_seconds\":"), std::string::npos)
        << standbyStatus;
    EXPECT_EQ(standbyStatus.find("\"replay_lag_seconds\":null"), std::string::npos)
        << "a standby that has replayed a change can tell its lag: " << standbyStatus;
    EXPECT_NE(primaryStatus.find("\"standby\":false,\"replay_lag_seconds\":null"),
              std::string::npos)
        << primaryStatus;
    EXPECT_NE(Run(standby_, {"status"}).out.find("\nStandby, read-only; replay lag: "),
              std::string::npos);
    EXPECT_EQ(stream.Wait().exitCode, 0);
}

TEST_F(Standby, AStreamThereNeverAnswersFromAMixedOrEmptyCalendarWhileThePrimaryRegenerates) {
    // Questions that reach across most of the calendar: a calendar half old and half new,
    // or none, answers them as neither generation does.
    const std::string questions = "2009-06-01 300\n2010-12-31 300 b\n2009-09-15 150\n";
    const auto split = [](const std::string& out) {
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
            lines.push_back(out.substr(at, end - at));
        return lines;
    };
    const std::vector<std::string> weekendsRest =
        split(Run(primary_, {"workday", "--stdin"}, questions).out);
    ASSERT_EQ(Run(primary_, kSaturdaysWork).exitCode, 0);
    const std::vector<std::string> saturdaysWork =
        split(Run(primary_, {"workday", "--stdin"}, questions).out);
    ASSERT_EQ(Run(primary_, kWeekendsRest).exitCode, 0);
    ASSERT_EQ(weekendsRest.size(), 3u);
    ASSERT_EQ(saturdaysWork.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        ASSERT_NE(weekendsRest[i], saturdaysWork[i]) << i;
    AwaitReplay();

    Coprocess stream = StandbyStream();
    const std::string rounds =
        "i=0; while [ $i -lt 3 ]; do for w in '' --saturday-work; do "
        "ZEVWORKCAL_TEST_NOW=2009-06-15 "
        "\"$0\" --odbc \"$1\" generate 2009-06-01 2011-01-01 --replace $w >/dev/null || exit 1; "
        "done; i=$((i+1)); done";
    BackgroundProcess writer("/bin/sh", {"-c", rounds, ZEV_ZEVWORKCAL, primary_});
    int asked = 0;
    int unsound = 0;
    std::map<std::string, int> seen;
    while (writer.Running()) {
        stream.Write(questions);
        for (size_t i = 0; i < 3; ++i) {
            const std::optional<std::string> answer = stream.ReadLine(20s);
            ASSERT_TRUE(answer.has_value());
            ++asked;
            ++seen[*answer];
            if (*answer != weekendsRest[i] && *answer != saturdaysWork[i]) ++unsound;
        }
    }
    EXPECT_EQ(writer.Wait(), 0);
    EXPECT_EQ(unsound, 0) << "of " << asked << " answers";
    EXPECT_GT(asked, 0);
    // The last generation, once replayed, is what the stream answers from.
    AwaitReplay();
    stream.Write(questions);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(stream.ReadLine(20s), saturdaysWork[i]);
    EXPECT_EQ(stream.Wait().exitCode, 0);
    std::printf("%d answers on the standby, %zu distinct\n", asked, seen.size());
}

TEST_F(Standby, EveryWriterIsRefusedThereByNameBeforeItDoesAnything) {
    // A rule for `rule remove` to find, as the standby has it.
    ASSERT_EQ(
        Run(primary_, {"rule", "add", "FREQ=YEARLY;BYMONTH=10;BYMONTHDAY=1", "rest"}).exitCode, 0);
    AwaitReplay();
    TempDir dir;
    const std::string holidays = dir.File("holidays.csv");
    std::ofstream(holidays) << "2009-07-01,rest,shutdown\n";
    const std::vector<Args> writers = {
        kSaturdaysWork,
        {"swap", "2009-07-01"},
        {"note", "2009-07-01", "shutdown"},
        {"import", holidays},
        {"extend", "--until", "2011-06-01"},
        {"rule", "add", "FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1", "rest"},
        {"rule", "remove", "1"},
        {"rule", "apply", "2009-06-01", "2010-01-01"},
        {"init"},
        {"upgrade"},
    };
    for (const Args& writer : writers) {
        const ProcessResult r = Run(standby_, writer);
        EXPECT_EQ(r.exitCode, 1) << writer[0] << ": " << r.err;
        EXPECT_NE(r.err.find("the database is read-only (a standby): write on the primary"),
                  std::string::npos)
            << writer[0] << ": " << r.err;
        EXPECT_EQ(r.out, "") << writer[0];
    }
}

}  // namespace
}  // namespace zev::test
