// The command line in-process: its pure helpers (the property string the global options
// make, read back the way the connection object reads it, and the input lines of
// `workday --stdin`), and what only a connection of the test's own can show.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "apps/zevworkcal/Arguments.hpp"
#include "apps/zevworkcal/Cli.hpp"
#include "apps/zevworkcal/InputLines.hpp"
#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "suite/AppConnection.hpp"
#include "tests/support/ForwardingConnection.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using cli::GlobalOptions;

suite::NamedDatabase Named(const std::string& props) {
    return suite::DatabaseNamed(
        [&](std::string_view key) { return host::MMTS::PropsValueOf(props, key); });
}

TEST(Arguments, DatabaseNamesAreCarriedExactlyAsGiven) {
    const std::pair<GlobalOptions, suite::NamedDatabase> cases[] = {
        {{.db = " cal.db ", .dbGiven = true}, {"SQLite", " cal.db "}},
        {{.db = "a}b;c=d{e}%41.db", .dbGiven = true}, {"SQLite", "a}b;c=d{e}%41.db"}},
        {{.odbc = "Driver={PostgreSQL Unicode};Server=h;Pwd={a;b}}c}", .odbcGiven = true},
         {"ODBC", "Driver={PostgreSQL Unicode};Server=h;Pwd={a;b}}c}"}},
        // Without --db or --odbc, the database of --props, then the default.
        {{.props = "Data Source=other.db"}, {"SQLite", "other.db"}},
        {{.lang = "en"}, {"SQLite", "zevworkcal.db"}},
        // --db comes before what --props names.
        {{.db = "x.db", .dbGiven = true, .props = "Provider=ODBC;Data Source={DSN=y}"},
         {"SQLite", "x.db"}},
    };
    for (const auto& [options, expected] : cases) {
        const std::string props = cli::BuildPropsString(options);
        const suite::NamedDatabase named = Named(props);
        EXPECT_EQ(named.Provider + "|" + named.Source, expected.Provider + "|" + expected.Source)
            << props;
        EXPECT_EQ(host::MMTS::PropsValueOf(props, "Language"), options.lang) << props;
    }
    EXPECT_THROW(cli::BuildPropsString({.dbGiven = true}), cli::UsageError);
    EXPECT_THROW(cli::BuildPropsString({.odbcGiven = true}), cli::UsageError);
}

TEST(Arguments, OnlyAMarkedDataSourceIsDecoded) {
    // What a host writes today keeps its meaning.
    EXPECT_EQ(Named("Provider=SQLite;Data Source={100%25 a%3Bb}").Source, "100%25 a%3Bb");
    EXPECT_EQ(Named("Data Source=a%3Bb;data source encoding=PERCENT").Source, "a;b");
    // Malformed encodings fail without quoting the data source, which may hold a password.
    for (const char* source : {"Pwd=%4", "Pwd=%zz1", "Pwd=%00", "Pwd=100%"}) {
        try {
            Named(std::string("Data Source=") + source + ";Data Source Encoding=Percent");
            ADD_FAILURE() << source;
        } catch (const automation::ComError& e) {
            EXPECT_EQ(e.Description().find("Pwd"), std::string::npos) << e.Description();
        }
    }
    EXPECT_THROW(Named("Data Source=x;Data Source Encoding=base64"), automation::ComError);
}

// The lines of `input` as the reader hands them out, or "!" and the error's text.
std::vector<std::string> ReadLines(const std::string& input) {
    TempDir dir;
    const std::string file = dir.File("input");
    std::FILE* f = std::fopen(file.c_str(), "wb");
    std::fwrite(input.data(), 1, input.size(), f);
    std::fclose(f);
    const int fd = ::open(file.c_str(), O_RDONLY);
    std::vector<std::string> lines;
    int waits = 0;
    cli::InputLines reader(fd, [&] { ++waits; });
    try {
        while (const auto line = reader.Next())
            lines.emplace_back(*line);
    } catch (const cli::UsageError& e) {
        lines.push_back(std::string("!") + e.what());
    }
    close(fd);
    // A file is at hand to its end: the reader runs the caller's function only every
    // kMostBetweenWaits bytes.
    EXPECT_EQ(static_cast<size_t>(waits), input.size() / cli::InputLines::kMostBetweenWaits);
    return lines;
}

TEST(Arguments, InputLinesAreNumberedAndRefuseNulBytes) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(ReadLines("a\n\nb c\r\nlast"), (Lines{"a", "", "b c\r", "last"}));
    EXPECT_EQ(ReadLines(""), Lines{});
    EXPECT_EQ(ReadLines("\n"), Lines{""});
    EXPECT_EQ(ReadLines(std::string("a\n\nb\0c\nd\n", 10)),
              (Lines{"a", "", "!~$~输入行^|^ 3: ^|^~$~行中含有 NUL 字符"}));
    EXPECT_EQ(ReadLines(std::string("\0", 1)), Lines{"!~$~输入行^|^ 1: ^|^~$~行中含有 NUL 字符"});
    const std::string longLine(cli::InputLines::kMaxLine + 1, 'x');
    EXPECT_EQ(ReadLines("a\n" + longLine + "\nb\n"), (Lines{"a", "!~$~输入行^|^ 2: ^|^~$~行太长"}));
    // Lines across the reader's blocks come out whole.
    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += "2009-06-07 " + std::to_string(i) + "\n";
    const Lines read = ReadLines(many);
    ASSERT_EQ(read.size(), 20000u);
    EXPECT_EQ(read[12345], "2009-06-07 12345");
    while (many.size() < 2 * cli::InputLines::kMostBetweenWaits + 1)
        many += many;
    EXPECT_EQ(ReadLines(many).back(), "2009-06-07 19999");
}

// A co-process's input: before a read that would wait the caller's function runs (here
// it answers with the next line, then ends the input), and never while input is at hand.
TEST(Arguments, InputLinesRunTheCallersFunctionBeforeAReadThatWouldWait) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ASSERT_EQ(::write(pipeEnds[1], "a\nb\n", 4), 4);
    int waits = 0;
    cli::InputLines reader(pipeEnds[0], [&] {
        if (++waits == 1) {
            EXPECT_EQ(::write(pipeEnds[1], "c\n", 2), 2);
        } else {
            ::close(pipeEnds[1]);
        }
    });
    std::vector<std::pair<std::string, int>> seen;
    while (const auto line = reader.Next())
        seen.emplace_back(std::string(*line), waits);
    ::close(pipeEnds[0]);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"a", 0}, {"b", 0}, {"c", 1}}));
    EXPECT_EQ(waits, 2);
}

// status reads every figure in one read snapshot: another connection that empties the
// calendar's last days right after its first figure changes none of the report, which the
// next status shows.
class StatusInProcess : public DbTest {
  protected:
    std::string Status() {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(cli::Run({"--props", Db().PropsString(), "status"}, out, err), cli::kOk);
        std::string text(static_cast<size_t>(std::ftell(out)), '\0');
        std::rewind(out);
        EXPECT_EQ(std::fread(text.data(), 1, text.size(), out), text.size());
        std::fclose(out);
        std::fclose(err);
        return text;
    }
};

TEST_P(StatusInProcess, ItsFiguresComeFromOneSnapshot) {
    WriteExampleCalendar(Conn());
    const std::string before = Status();
    ASSERT_NE(before.find("2009-06-10"), std::string::npos) << before;
    std::shared_ptr<CommitsBetweenStatements> spoiler;
    {
        automation::ScopedFactory spoiling(
            host::progid::kAppConnection, [&]() -> automation::ObjectPtr {
                spoiler = std::make_shared<CommitsBetweenStatements>(
                    Db().Connect(), Db().Connect(), "SELECT MIN(FDay) FROM t_WorkCalendar",
                    "DELETE FROM t_WorkCalendar WHERE FDay>='2009-06-09'");
                return spoiler;
            });
        EXPECT_EQ(Status(), before);
        EXPECT_TRUE(spoiler->Committed());
    }
    EXPECT_NE(Status(), before);
}

ZEV_INSTANTIATE_DB_TEST(StatusInProcess);

}  // namespace
}  // namespace zev::test
