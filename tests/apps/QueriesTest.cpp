// The query commands as scripts run them: count, is-workday, list and the stream beside
// numpy's business-day functions on a calendar with holidays and a worked weekend, from
// before its first day to after its last; their formats and exit codes; the notes of days
// in list, export (read back by an independent iCalendar reader) and cal; the history;
// a database made before the calendar's own tables, and its upgrade; and cal on the
// terminal and as a PDF year planner.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/automation/Clock.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/data/SqliteConnection.hpp"
#include "suite/CalendarNotes.hpp"
#include "tests/support/NumpyBusday.hpp"
#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::FormatIsoDate;
using automation::OleFromCivil;

const std::map<std::string, std::string> kNoLocale = {
    {"LANG", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"ZEVWORKCAL_TEST_NOW", "2009-06-15T10:00"}};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Three weeks from Monday 2009-06-01: weekends rest but Saturday 06-13, which is worked;
// Wednesday 06-03 and Friday 06-12 rest; the calendar ends on a rest day.
const ModelCalendar kModel{OleFromCivil(2009, 6, 1),
                           "wwrwwrr"
                           "wwwwrwr"
                           "wwwwwrr"};

class Queries : public DbTest {
  protected:
    ProcessResult Run(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--props", Db().PropsString(), "--lang", "en"});
        return RunProcess(ZEV_ZEVWORKCAL, args, input, kNoLocale);
    }
};

std::string Day(double day) {
    return FormatIsoDate(day);
}

// count and is-workday for days around the calendar and list over all of them answer as
// numpy does, with exit code 3 wherever a day asked is not in the calendar.
TEST_P(Queries, CountIsWorkdayAndListAgreeWithNumpy) {
    kModel.Write(Conn());
    const double first = kModel.First;
    const double last = kModel.Last();
    std::vector<double> days;
    for (double d = first - 3; d <= last + 3; ++d)
        days.push_back(d);
    // The pairs that meet every edge: outside, first and last days, holidays, the worked
    // Saturday, the last work day.
    const std::vector<double> edges = {first - 2,  first,    first + 2, first + 5, first + 12,
                                       first + 13, last - 2, last,      last + 1,  last + 3};
    NumpyQuestions asked;
    asked.Days = days;
    for (double a : edges) {
        for (double b : edges)
            asked.Pairs.emplace_back(a, b);
    }
    const NumpyAnswers numpy = AskNumpy(kModel, asked);
    ASSERT_EQ(numpy.Counts.size(), asked.Pairs.size());

    for (size_t i = 0; i < asked.Pairs.size(); ++i) {
        const auto [a, b] = asked.Pairs[i];
        const ProcessResult r = Run({"count", Day(a), Day(b)});
        EXPECT_EQ(r.out, std::to_string(numpy.Counts[i]) + "\n") << Day(a) << " " << Day(b);
        bool inside = true;
        for (double d = std::min(a, b); d < std::max(a, b); ++d)
            inside &= kModel.Holds(d);
        EXPECT_EQ(r.exitCode, inside ? 0 : 3) << Day(a) << " " << Day(b) << r.err;
        EXPECT_EQ(Has(r.err, "outside the calendar"), !inside) << r.err;
    }

    std::string listed, work, rest;
    for (size_t i = 0; i < days.size(); ++i) {
        const auto [business, number] = numpy.Days[i];
        const ProcessResult r = Run({"is-workday", Day(days[i])});
        if (!kModel.Holds(days[i])) {
            EXPECT_EQ(r.exitCode, 3) << Day(days[i]);
            EXPECT_EQ(r.out, "outside\n");
            EXPECT_TRUE(Has(r.err, "outside the calendar: " + Day(days[i]) +
                                       "; the calendar holds 2009-06-01 .. 2009-06-21"))
                << r.err;
            continue;
        }
        EXPECT_EQ(r.exitCode, business ? 0 : 4) << Day(days[i]);
        EXPECT_EQ(r.out, business ? "work\n" : "rest\n") << Day(days[i]);
        const std::string line =
            Day(days[i]) + (business ? " work " + std::to_string(number) : " rest") + "\n";
        listed += line;
        (business ? work : rest) += line;
    }
    const ProcessResult all = Run({"list", Day(days.front()), Day(days.back() + 1)});
    EXPECT_EQ(all.out, listed);
    EXPECT_EQ(all.exitCode, 3);
    EXPECT_TRUE(Has(all.err, "(6)")) << all.err;  // three days on either side
    const ProcessResult works = Run({"list", Day(first), Day(last + 1), "--work"});
    EXPECT_EQ(works.out, work);
    EXPECT_EQ(works.exitCode, 0) << works.err;
    EXPECT_EQ(Run({"list", Day(first), Day(last + 1), "--rest"}).out, rest);
}

// The stream answers every day around the calendar with every step both ways as numpy's
// busday_offset does where the calendar holds the answer; elsewhere it answers the date
// asked followed by " ?", goes on, and ends with exit code 3.
TEST_P(Queries, TheStreamAnswersAsNumpyAndMarksWhatTheCalendarDoesNotHold) {
    kModel.Write(Conn());
    NumpyQuestions asked;
    std::string input;
    for (double d = kModel.First - 3; d <= kModel.Last() + 3; ++d) {
        asked.Offsets.emplace_back(d, 0);
        for (int step = -20; step <= 20; step += 2) {
            asked.Offsets.emplace_back(d, step);
            input += Day(d) + " " + std::to_string(step) + "\n";
            input += Day(d) + " " + std::to_string(-step) + " b\n";
        }
    }
    const NumpyAnswers numpy = AskNumpy(kModel, asked);
    ASSERT_EQ(numpy.Offsets.size(), asked.Offsets.size());
    std::string expected;
    int marked = 0;
    for (size_t i = 0; i < asked.Offsets.size(); ++i) {
        if (i % 22 == 0) continue;  // the day rolled backward, asked first
        const double day = asked.Offsets[i].first;
        const double rolled = numpy.Offsets[i - i % 22][0];
        const double result = numpy.Offsets[i][2];
        const bool held = kModel.Holds(rolled) && kModel.Holds(result);
        const std::string line = held ? Day(result) + "\n" : Day(day) + " ?\n";
        expected += line + line;  // forward, and the same step backward
        marked += held ? 0 : 2;
    }
    ASSERT_GT(marked, 0);
    const ProcessResult r = Run({"workday", "--stdin"}, input);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(Has(r.err, "outside the calendar: " + std::to_string(marked) + " / ")) << r.err;
}

// Every command that answers from the calendar says when the calendar does not hold the
// answer, also when it holds no days at all; formats other than text carry the same.
TEST_P(Queries, FormatsAndExitCodes) {
    kModel.Write(Conn());
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string out;
        int exitCode;
    };
    const Case cases[] = {
        {{"count", "2009-06-01", "2009-06-08", "--format", "csv"},
         "",
         "from,to,work_days,outside_days\n2009-06-01,2009-06-08,4,0\n",
         0},
        {{"count", "2009-06-08", "2009-05-30", "--format", "json"},
         "",
         "{\"from\":\"2009-06-08\",\"to\":\"2009-05-30\",\"work_days\":-4,\"outside_days\":2}\n",
         3},
        {{"count", "2009-06-05", "2009-06-05"}, "", "0\n", 0},
        {{"is-workday", "2009-06-13", "--format", "json"},
         "",
         "{\"date\":\"2009-06-13\",\"kind\":\"work\",\"number\":9,\"note\":\"\"}\n",
         0},
        {{"is-workday", "2009-06-12T18:00", "--format", "csv"},
         "",
         "date,kind,number,note\n2009-06-12,rest,0,\n",
         4},
        // Outside the calendar the record is there too, in each format.
        {{"is-workday", "2009-05-31", "--format", "json"},
         "",
         "{\"date\":\"2009-05-31\",\"kind\":\"outside\",\"number\":null,\"note\":\"\"}\n",
         3},
        {{"is-workday", "2009-05-31", "--format", "csv"},
         "",
         "date,kind,number,note\n2009-05-31,outside,,\n",
         3},
        {{"list", "2009-06-12", "2009-06-14", "--format", "json"},
         "",
         "[\n{\"date\":\"2009-06-12\",\"kind\":\"rest\",\"number\":0,\"note\":\"\"},\n"
         "{\"date\":\"2009-06-13\",\"kind\":\"work\",\"number\":9,\"note\":\"\"}\n]\n",
         0},
        {{"list", "2009-06-21", "2009-06-23", "--format", "csv", "--rest"},
         "",
         "date,kind,number,note\n2009-06-21,rest,0,\n",
         3},
        {{"list", "2009-06-22", "2009-06-22", "--format", "json"}, "", "[]\n", 0},
        {{"list", "2009-06-05", "2009-06-04"}, "", "", 2},
        {{"list", "2009-06-05", "2009-06-09", "--work", "--rest"}, "", "", 2},
        {{"count", "2009-06-05", "2009-06-09", "--format", "xml"}, "", "", 2},
        {{"is-workday", "2009-06-31"}, "", "", 2},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Run(c.args, c.input);
        EXPECT_EQ(r.out, c.out) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args[1] << " " << r.err;
    }

    // A calendar without days: every answer is outside it.
    Exec("DELETE FROM t_WorkCalendar");
    const Case empty[] = {
        {{"before", "2009-06-05"}, "", "2009-06-05\n", 3},
        {{"after", "2009-06-05"}, "", "2009-06-05\n", 3},
        {{"workday", "2009-06-05", "2"}, "", "2009-06-05\n", 3},
        {{"workday", "--stdin"},
         "2009-06-05 2\n2009-06-06 0 b\n",
         "2009-06-05 ?\n2009-06-06 ?\n",
         3},
        {{"count", "2009-06-05", "2009-06-06"}, "", "0\n", 3},
        {{"is-workday", "2009-06-05"}, "", "outside\n", 3},
        {{"list", "2009-06-05", "2009-06-07"}, "", "", 3},
    };
    for (const Case& c : empty) {
        const ProcessResult r = Run(c.args, c.input);
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << r.err;
        EXPECT_TRUE(Has(r.err, "; the calendar holds no days")) << c.args[0] << " " << r.err;
    }
}

// What each command answers, and its exit code.
struct Answer {
    std::vector<std::string> args;
    std::string out;
    int exitCode;
};

// The notes of the model's exceptions, and one of a plain Sunday; quotes and commas.
void WriteNotes(data::Connection& connection) {
    suite::CalendarNotes notes(connection);
    const std::pair<int, std::string> noted[] = {
        {3, "端午节"}, {7, "Sunday, plain"}, {12, "Plant \"shutdown\""}, {13, "调休上班"}};
    for (const auto& [day, text] : noted)
        ASSERT_TRUE(notes.SetNote(OleFromCivil(2009, 6, day), text).IsDone()) << day;
}

// The days, ends, summaries, categories and UIDs of the events of an iCalendar text, as
// Debian's python3-icalendar reads them.
std::string EventsRead(const std::string& ics) {
    const ProcessResult r = RunProcess(
        "/usr/bin/python3",
        {"-c",
         "import sys, icalendar\n"
         "cal = icalendar.Calendar.from_ical(sys.stdin.buffer.read())\n"
         "for e in cal.walk('VEVENT'):\n"
         "    c = e.get('CATEGORIES')\n"
         "    c = ','.join(str(x) for x in c.cats) if c is not None else ''\n"
         "    line = '|'.join([e.decoded('DTSTART').isoformat(), e.decoded('DTEND').isoformat(),\n"
         "                     str(e.get('SUMMARY')), c, str(e.get('UID'))])\n"
         "    sys.stdout.buffer.write((line + '\\n').encode('utf-8'))\n"},
        ics);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

// A day's note follows it in list (text and JSON); export writes the exceptions and the
// days with notes, or every day of a range, in CSV as import reads it, in JSON, and in
// iCalendar that an independent reader reads back with the same days and notes; cal lists
// the notes of its exceptions.
TEST_P(Queries, NotesShowInListExportAndCal) {
    kModel.Write(Conn());
    WriteNotes(Conn());
    const Answer answers[] = {
        {{"list", "2009-06-12", "2009-06-15"},
         "2009-06-12 rest Plant \"shutdown\"\n2009-06-13 work 9 调休上班\n2009-06-14 rest\n",
         0},
        {{"list", "2009-06-12", "2009-06-14", "--format", "json"},
         "[\n{\"date\":\"2009-06-12\",\"kind\":\"rest\",\"number\":0,\"note\":\"Plant "
         "\\\"shutdown\\\"\"},\n{\"date\":\"2009-06-13\",\"kind\":\"work\",\"number\":9,"
         "\"note\":\"调休上班\"}\n]\n",
         0},
        {{"export"},
         "date,kind,note\n2009-06-03,rest,端午节\n2009-06-07,rest,\"Sunday, plain\"\n"
         "2009-06-12,rest,\"Plant \"\"shutdown\"\"\"\n2009-06-13,work,调休上班\n",
         0},
        {{"export", "--from", "2009-06-10", "--to", "2009-06-13"},
         "date,kind,note\n2009-06-12,rest,\"Plant \"\"shutdown\"\"\"\n",
         0},
        {{"export", "--all", "--from", "2009-05-30", "--to", "2009-06-02"},
         "date,kind,note\n2009-06-01,work,\n",
         0},
        {{"export", "--all", "--from", "2009-06-13", "--to", "2009-06-15", "--format", "json"},
         "[\n{\"date\":\"2009-06-13\",\"kind\":\"work\",\"number\":9,\"note\":\"调休上班\"},\n"
         "{\"date\":\"2009-06-14\",\"kind\":\"rest\",\"number\":0,\"note\":\"\"}\n]\n",
         0},
        {{"export", "--from", "2009-06-22", "--format", "json"}, "[]\n", 0},
        {{"export", "--from", "2009-06-10", "--to", "2009-06-05"}, "", 2},
        {{"export", "--format", "xml"}, "", 2},
        {{"export", "--to", "2009-06-31"}, "", 2},
    };
    for (const Answer& a : answers) {
        const ProcessResult r = Run(a.args);
        EXPECT_EQ(r.out, a.out) << a.args[0] << " " << a.args.back();
        EXPECT_EQ(r.exitCode, a.exitCode) << a.args[0] << " " << a.args.back() << r.err;
    }

    const ProcessResult ics =
        Run({"export", "--all", "--from", "2009-06-12", "--to", "2009-06-15", "--format", "ics"});
    ASSERT_EQ(ics.exitCode, 0) << ics.err;
    EXPECT_EQ(ics.out, Run({"export", "--all", "--from", "2009-06-12", "--to", "2009-06-15",
                            "--format", "ics"})
                           .out);  // the same events, UIDs and stamps each time
    std::string events = EventsRead(ics.out);
    // The UIDs: the day, then the calendar's name.
    for (const char* day : {"20090612-", "20090613-", "20090614-"}) {
        const size_t at = events.find(std::string("|") + day);
        ASSERT_NE(at, std::string::npos) << day << "\n" << events;
        const size_t end = events.find("@zevworkcal\n", at);
        ASSERT_NE(end, std::string::npos) << events;
        events.erase(at, end + 11 - at);
    }
    EXPECT_EQ(events,
              "2009-06-12|2009-06-13|Plant \"shutdown\"|\n"
              "2009-06-13|2009-06-14|调休上班|WORK\n"
              "2009-06-14|2009-06-15|Factory rest day|\n");

    const ProcessResult year = Run({"cal", "2009", "--color=never"});
    ASSERT_EQ(year.exitCode, 0) << year.err;
    EXPECT_TRUE(Has(year.out,
                    "Exceptions to the weekly rule\n"
                    "2009-06-03  Wednesday   rest day, not a weekend  端午节\n"
                    "2009-06-12  Friday      rest day, not a weekend  Plant \"shutdown\"\n"
                    "2009-06-13  Saturday    weekend day worked       调休上班\n"))
        << year.out;
    EXPECT_FALSE(Has(year.out, "Sunday, plain"));  // not an exception
}

// history lists the rows oldest first whatever order they were written in, in each
// format, from a day up to before another; no rows give no lines.
TEST_P(Queries, HistoryListsTheChangesOldestFirst) {
    suite::CalendarNotes notes(Conn());
    {
        const automation::ScopedFixedNow now(OleFromCivil(2009, 6, 10) + 9.5 / 24);
        ASSERT_TRUE(notes.AppendHistory(
            {"swap", OleFromCivil(2009, 6, 12), "work", "rest", "Plant \"shutdown\""}));
    }
    {
        const automation::ScopedFixedNow now(OleFromCivil(2009, 6, 1) + 8.0 / 24);
        ASSERT_TRUE(notes.AppendHistory(
            {"generate", std::nullopt, "2009-06-01", "2009-06-21", "SatNotWork=1 SunNotWork=1"}));
    }
    const std::string me = suite::LoginName();
    const Answer answers[] = {
        {{"history"},
         "2009-06-01 08:00:00  " + me +
             "  zevworkcal  generate  2009-06-01 -> 2009-06-21  SatNotWork=1 SunNotWork=1\n"
             "2009-06-10 09:30:00  " +
             me + "  zevworkcal  swap  2009-06-12  work -> rest  Plant \"shutdown\"\n",
         0},
        {{"history", "--from", "2009-06-02", "--format", "csv"},
         "time,user,program,action,day,from,to,note\n2009-06-10 09:30:00," + me +
             ",zevworkcal,swap,2009-06-12,work,rest,\"Plant \"\"shutdown\"\"\"\n",
         0},
        {{"history", "--to", "2009-06-02", "--format", "json"},
         "[\n{\"time\":\"2009-06-01 08:00:00\",\"user\":\"" + me +
             "\",\"program\":\"zevworkcal\",\"action\":\"generate\",\"day\":null,"
             "\"from\":\"2009-06-01\",\"to\":\"2009-06-21\",\"note\":\"SatNotWork=1 "
             "SunNotWork=1\"}\n]\n",
         0},
        {{"history", "--from", "2009-06-11"}, "", 0},
        {{"history", "--from", "2009-06-11", "--format", "json"}, "[]\n", 0},
        {{"history", "--from", "2009-06-11", "--to", "2009-06-10"}, "", 2},
    };
    for (const Answer& a : answers) {
        const ProcessResult r = Run(a.args);
        EXPECT_EQ(r.out, a.out) << a.args.back();
        EXPECT_EQ(r.exitCode, a.exitCode) << a.args.back() << r.err;
    }
}

// A database made before the calendar's own tables (on PostgreSQL also before its change
// stamp) answers every read without notes; history names upgrade; upgrade adds what is
// missing once, says so, and changes nothing the second time; notes then work, and the
// stamp moves again. A database without the suite's tables is sent to init.
TEST_P(Queries, AnOldDatabaseReadsWithoutNotesAndUpgradesOnce) {
    kModel.Write(Conn());
    Exec("DROP TABLE t_WorkCalendarNote");
    Exec("DROP TABLE t_WorkCalendarLog");
    const bool server = GetParam() == Backend::PostgreSQL;
    if (server) {
        Exec("DROP TRIGGER tr_WorkCalendar_version ON t_WorkCalendar");
        Exec("DROP FUNCTION zev_bump_data_version()");
        Exec("DROP FUNCTION zev_read_data_version()");
        Exec("DROP TABLE zev_data_version");
        EXPECT_FALSE(Db().Connect()->ChangeStamp("t_WorkCalendar").has_value());
    }
    const ProcessResult status = Run({"status"});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_TRUE(Has(status.err,
                    "Note: the database lacks the calendar's own tables; run "
                    "zevworkcal upgrade (" +
                        std::string(server ? "zev_data_version, " : "") +
                        "t_WorkCalendarNote, t_WorkCalendarLog)\n"))
        << status.err;
    // A write works without the log table and says once that it keeps no history.
    ASSERT_EQ(Run({"check"}).exitCode, 0);
    const ProcessResult extended = Run({"extend", "--until", "2009-08-31"});
    EXPECT_EQ(extended.exitCode, 0) << extended.err;
    const std::string noHistory = "no history is kept until";
    const size_t said = extended.err.find(noHistory);
    EXPECT_NE(said, std::string::npos) << extended.err;
    EXPECT_EQ(extended.err.find(noHistory, said + 1), std::string::npos) << extended.err;
    const Answer before[] = {
        {{"list", "2009-06-12", "2009-06-14"}, "2009-06-12 rest\n2009-06-13 work 9\n", 0},
        {{"export"}, "date,kind,note\n2009-06-03,rest,\n2009-06-12,rest,\n2009-06-13,work,\n", 0},
        {{"history"}, "", 1},
        {{"upgrade"},
         std::string(server ? "Added: zev_data_version\n" : "") +
             "Added: t_WorkCalendarNote\nAdded: t_WorkCalendarLog\n",
         0},
        {{"upgrade"},
         "The database already has all of the calendar's tables; nothing was changed\n",
         0},
        {{"history"}, "", 0},
    };
    for (const Answer& a : before) {
        const ProcessResult r = Run(a.args);
        EXPECT_EQ(r.out, a.out) << a.args[0];
        EXPECT_EQ(r.exitCode, a.exitCode) << a.args[0] << r.err;
        if (a.exitCode == 1) {
            EXPECT_TRUE(Has(r.err, "no history table t_WorkCalendarLog; run zevworkcal upgrade"))
                << r.err;
        }
    }
    EXPECT_EQ(Run({"cal", "2009"}).exitCode, 0);
    EXPECT_FALSE(Has(Run({"status"}).err, "upgrade"));
    const auto connection = Db().Connect();
    EXPECT_TRUE(connection->ChangeStamp("t_WorkCalendar").has_value());
    ASSERT_TRUE(
        suite::CalendarNotes(*connection).SetNote(OleFromCivil(2009, 6, 3), "端午节").IsDone());
    EXPECT_EQ(Run({"list", "2009-06-03", "2009-06-04"}).out, "2009-06-03 rest 端午节\n");

    Exec("DROP TABLE t_WOScheduleDetail");
    const ProcessResult refused = Run({"upgrade"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(Has(refused.err, "run zevworkcal init first: t_WOScheduleDetail")) << refused.err;
}

ZEV_INSTANTIATE_DB_TEST(Queries);

// cal on one database file: the year as text, in colour or with marks, and as a PDF.
class YearAtAGlance : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"init"}).exitCode, 0);
        auto c = data::OpenSqlite(db_);
        kModel.Write(*c);
    }
    ProcessResult Run(std::vector<std::string> args,
                      std::map<std::string, std::string> environment = {}) {
        args.insert(args.begin(), {"--db", db_});
        environment.insert(kNoLocale.begin(), kNoLocale.end());
        return RunProcess(ZEV_ZEVWORKCAL, args, {}, environment);
    }
    // `command` run on a terminal of its own (util-linux's script), as a user types it.
    ProcessResult OnTerminal(const std::string& command,
                             const std::map<std::string, std::string>& environment) {
        return RunProcess("/usr/bin/script", {"-qec", command, "/dev/null"}, {}, environment);
    }

    TempDir dir_;
    std::string db_ = dir_.File("plant.db");
};

// Without colour the rest days of the calendar carry "*" (outside days nothing), with it
// they carry their colours and today is reversed; auto gives colour on a terminal only,
// and not while NO_COLOR is set.
TEST_F(YearAtAGlance, MarksTheRestDaysWithColoursOrStars) {
    const ProcessResult plain = Run({"cal", "2009"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_FALSE(Has(plain.out, "\033["));
    // April, May (outside the calendar: no marks) and June side by side; June's first week.
    EXPECT_TRUE(Has(plain.out, "        四月                    五月                    六月\n"))
        << plain.out;
    EXPECT_TRUE(Has(plain.out, "   1  2  3     1  2  3* 4  5  6* 7*\n")) << plain.out;
    EXPECT_TRUE(Has(plain.out, "9 10     8  9 10 11 12*13 14*\n")) << plain.out;
    EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '*'), 7 + 1);  // and the legend
    EXPECT_TRUE(Has(plain.out, "工厂日历的日期 2009-06-01 .. 2009-06-21\n"));
    EXPECT_TRUE(Has(plain.out,
                    "2009-06-03  星期三      不是周末的休息日\n"
                    "2009-06-12  星期五      不是周末的休息日\n"
                    "2009-06-13  星期六      工作的周末\n"));

    const ProcessResult english = Run({"--lang", "en", "cal", "--months", "2", "--color=always"});
    ASSERT_EQ(english.exitCode, 0) << english.err;
    EXPECT_TRUE(Has(english.out, "Factory Calendar 2009-06 .. 2009-07  plant.db\n"));
    EXPECT_TRUE(Has(english.out, "\033[1;35m 3\033[0m")) << english.out;  // a holiday
    EXPECT_TRUE(Has(english.out, "\033[1;32m13\033[0m")) << english.out;  // a worked Saturday
    EXPECT_TRUE(Has(english.out, "\033[7m15\033[0m")) << english.out;     // today, 06-15
    EXPECT_TRUE(Has(english.out, "\033[2m 1\033[0m")) << english.out;     // July: outside
    EXPECT_FALSE(Has(english.out, "*"));

    const std::string command = std::string(ZEV_ZEVWORKCAL) + " --db " + db_ + " cal 2009";
    std::map<std::string, std::string> terminal = kNoLocale;
    terminal["TERM"] = "xterm";
    EXPECT_TRUE(Has(OnTerminal(command, terminal).out, "\033[31m"));
    terminal["NO_COLOR"] = "1";
    const ProcessResult without = OnTerminal(command, terminal);
    EXPECT_FALSE(Has(without.out, "\033[")) << without.out;
    EXPECT_TRUE(Has(without.out, "6* 7*"));
    EXPECT_FALSE(Has(Run({"cal", "2009", "--color=auto"}).out, "\033["));

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"cal", "99"},
                                               {"cal", "--months", "0"},
                                               {"cal", "--color=sometimes"},
                                               {"cal", "--months", "2", "--pdf", "x.pdf"}}) {
        EXPECT_EQ(Run(bad).exitCode, 2) << bad[1];
    }
    // The months past 9999-12, where the dates end, are left out.
    const std::pair<std::string, std::vector<std::string>> last[] = {
        {"2026-06-15", {"cal", "9999", "--months", "13"}},
        {"9999-12-10", {"cal", "--months", "3"}},
    };
    for (const auto& [today, args] : last) {
        const ProcessResult r = Run(args, {{"ZEVWORKCAL_TEST_NOW", today + "T10:00"}});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(Has(r.out, "十二月")) << r.out;
    }
}

std::string Tool(const std::string& program, const std::vector<std::string>& args) {
    const ProcessResult r = RunProcess(program, args);
    EXPECT_EQ(r.exitCode, 0) << program << ": " << r.err;
    return r.out;
}

// The PDF is one A4 landscape page, written without a display, its texts (CJK glyphs
// included, and the notes of the exceptions) readable back from it; a file that cannot be written
// fails the command.
TEST_F(YearAtAGlance, WritesAOnePageYearPlannerWithoutADisplay) {
    const std::map<std::string, std::string> noDisplay = {
        {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
    struct Case {
        std::vector<std::string> language;
        std::vector<std::string> texts;
        std::string font;  // embedded
    };
    const Case cases[] = {
        {{},
         {"2009年工厂日历", "plant.db", "六月", "每周规则的例外", "2009-06-13", "工作的周末",
          "工厂日历的日期 2009-06-01 .. 2009-06-21", "Make-up day"},
         "NotoSansCJK"},
        {{"--lang", "en"},
         {"Factory Calendar 2009", "June", "December", "Exceptions to the weekly rule",
          "2009-06-12", "rest day, not a weekend", "weekend day worked", "Mo", "Make-up day"},
         "DejaVuSans"},
    };
    ASSERT_TRUE(suite::CalendarNotes(*data::OpenSqlite(db_))
                    .SetNote(OleFromCivil(2009, 6, 13), "Make-up day")
                    .IsDone());
    for (const Case& c : cases) {
        const std::string file = dir_.File("year.pdf");
        std::vector<std::string> args = c.language;
        args.insert(args.end(), {"cal", "2009", "--pdf", file});
        const ProcessResult r = Run(args, noDisplay);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
        const std::string info = Tool("/usr/bin/pdfinfo", {file});
        EXPECT_TRUE(Has(info, "Pages:           1\n")) << info;
        EXPECT_TRUE(Has(info, "Page size:       842 x 595 pts (A4)")) << info;
        // Qt writes the characters of shared glyphs as the lowest code point the font maps
        // to them (a Kangxi radical for 工): read back as NFKC reads them.
        const std::string text =
            RunProcess("/usr/bin/python3",
                       {"-c",
                        "import sys, unicodedata; "
                        "print(unicodedata.normalize('NFKC', sys.stdin.read()))"},
                       Tool("/usr/bin/pdftotext", {"-layout", file, "-"}))
                .out;
        for (const std::string& expected : c.texts)
            EXPECT_TRUE(Has(text, expected)) << expected << "\n" << text;
        EXPECT_TRUE(Has(Tool("/usr/bin/pdffonts", {file}), c.font));
    }
    const std::string missing = dir_.File("no/such/folder/year.pdf");
    const ProcessResult failed = Run({"cal", "2009", "--pdf", missing}, noDisplay);
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(Has(failed.err, "无法写出 PDF 文件")) << failed.err;
    EXPECT_FALSE(std::filesystem::exists(missing));
}

// The PDF replaces a regular file only: a FIFO, a device node, a folder, a link to one of
// them or links in a loop, stays as it was and the command fails naming it; through a link to a
// regular file the link stays and its target becomes the PDF; an empty name is a usage error.
TEST_F(YearAtAGlance, APdfReplacesOnlyARegularFileAndThroughALinkItsTarget) {
    namespace fs = std::filesystem;
    const std::string fifo = dir_.File("fifo.pdf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = dir_.File("null.pdf");  // a node like /dev/null, made here
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
    }
    fs::create_directory(dir_.File("folder.pdf"));
    std::ofstream(dir_.File("old.pdf")) << "old";
    fs::create_directory(dir_.File("elsewhere"));
    fs::create_symlink(dir_.File("old.pdf"), dir_.File("elsewhere/link.pdf"));
    fs::create_symlink(fifo, dir_.File("to-fifo.pdf"));
    fs::create_symlink(dir_.File("loop-b.pdf"), dir_.File("loop-a.pdf"));
    fs::create_symlink(dir_.File("loop-a.pdf"), dir_.File("loop-b.pdf"));
    struct Case {
        std::string file;
        int exitCode;
        fs::file_type after;  // of what the name names, its links followed
    };
    std::vector<Case> cases = {{fifo, 1, fs::file_type::fifo},
                               {dir_.File("folder.pdf"), 1, fs::file_type::directory},
                               {dir_.File("to-fifo.pdf"), 1, fs::file_type::fifo},
                               {dir_.File("loop-a.pdf"), 1, fs::file_type::none},
                               {dir_.File("elsewhere/link.pdf"), 0, fs::file_type::regular},
                               {"", 2, fs::file_type::not_found}};
    if (root) cases.push_back({device, 1, fs::file_type::character});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ProcessResult r = Run({"cal", "2009", "--pdf", c.file}, {{"QT_QPA_PLATFORM", ""}});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        if (c.exitCode == 1) {
            EXPECT_TRUE(Has(r.err, "不是普通文件")) << r.err;
        }
        if (!c.file.empty()) {
            std::error_code unresolved;  // links in a loop end nowhere
            EXPECT_EQ(fs::status(c.file, unresolved).type(), c.after);
        }
    }
    EXPECT_TRUE(fs::is_symlink(dir_.File("elsewhere/link.pdf")));
    EXPECT_TRUE(fs::is_symlink(dir_.File("loop-a.pdf")) && fs::is_symlink(dir_.File("loop-b.pdf")));
    std::ifstream written(dir_.File("old.pdf"));
    std::string head(4, '\0');
    written.read(head.data(), 4);
    EXPECT_EQ(head, "%PDF");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.File("elsewhere")), {}), 1);
}

}  // namespace
}  // namespace zev::test
