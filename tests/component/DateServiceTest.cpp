// The date service answering from the calendar held in memory: the same answers and the
// same failures as the members' statements on any table content, every committed change
// seen at the next call, and the statements wherever no change stamp can be trusted.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <random>

#include "component/WorkCalendarIndex.hpp"
#include "component/clsCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/ShareProps.hpp"
#include "tests/component/CalendarContents.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/ForwardingConnection.hpp"
#include "tests/support/Subprocess.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::FormatIsoAuto;
using automation::OleFromCivil;
using component::clsCal;
using component::Dir_Backward;
using component::Dir_Forward;
using component::Enu_Direction;

const double kFirstDay = OleFromCivil(2009, 6, 1);
// A far day that makes a calendar too long to be read at the first question.
constexpr int kLongSpan = 200000;
constexpr const char* kTooLongToReadAtOnce = "spoilt, too long to read at once";

std::vector<CalendarRow> SavedCalendar(int days, int64_t firstNumber = 1) {
    return SavedCalendarRows(kFirstDay, days, firstNumber);
}
std::vector<CalendarRow> SpoiltCalendar(uint32_t seed, int days) {
    return SpoiltCalendarRows(kFirstDay, seed, days);
}

// The error report's boxes, counted, the last one kept: many thousands of questions fail.
class ReportedFailures final : public ui::UserInterface {
  public:
    int MsgBox(const std::string& prompt, int, const std::string&) override {
        ++count;
        last = prompt;
        return ui::vbOK;
    }
    void SetMousePointer(int) override {}
    int GetMousePointer() const override { return ui::vbDefault; }
    void DoEvents() override {}

    size_t count = 0;  // the apartments ask in turn, never at once
    std::string last;
};

enum class Ask { Before, After, WorkDay };

struct Question {
    Ask ask;
    double day;
    Enu_Direction direction = Dir_Forward;
    int32_t interval = 0;
};

// An answer, or the failure as the caller sees it: thrown by WorkDayBefore and
// WorkDayAfter, shown by WorkDay's error report.
struct Outcome {
    double answer = 0.0;
    int32_t error = 0;
    std::string failure;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
    *os << (automation::IsValidOleDate(o.answer) ? FormatIsoAuto(o.answer) : "?") << " " << o.error
        << " " << o.failure;
}

std::string Describe(const Question& q) {
    const char* names[] = {"WorkDayBefore", "WorkDayAfter", "WorkDay"};
    std::string text =
        std::string(names[static_cast<int>(q.ask)]) + "(" +
        (automation::IsValidOleDate(q.day) ? FormatIsoAuto(q.day) : std::to_string(q.day));
    if (q.ask == Ask::WorkDay) {
        text += ", " + std::to_string(q.direction) + ", " + std::to_string(q.interval);
    }
    return text + ")";
}

int32_t ErrorNumberIn(const std::string& prompt) {
    const std::string label = "错误代码:";
    const size_t at = prompt.find(label);
    return at == std::string::npos ? -1 : std::stoi(prompt.substr(at + label.size()));
}

// A calendar object in an apartment of its own, on a connection made while the property
// string says `props`, asked through its members and through the bulk call.
class Calendar {
  public:
    Calendar(ReportedFailures& ui, const std::string& props, const data::ConnectionPtr& connection)
        : ui_(ui), connection_(std::make_shared<CountingConnection>(connection)) {
        suite::SetProcessProperty("PropsString", props);
        automation::ScopedFactory mine(host::progid::kAppConnection,
                                       [&]() -> automation::ObjectPtr { return connection_; });
        // The property is read at the first question on the connection.
        apartment_.Run([&] {
            cal_.emplace();
            cal_->ActiveConnection("");
            cal_->WorkDayBefore(kFirstDay);
        });
    }
    ~Calendar() {
        apartment_.Run([&] { cal_.reset(); });
    }

    std::vector<Outcome> Members(const std::vector<Question>& questions) {
        std::vector<Outcome> outcomes;
        apartment_.Run([&] {
            for (const Question& q : questions)
                outcomes.push_back(Member(q));
        });
        return outcomes;
    }

    // The WorkDay questions through WorkDays; past a failure the call is made again for
    // the rest.
    std::vector<Outcome> Bulk(const std::vector<Question>& questions) {
        std::vector<component::WorkDayQuestion> asked;
        for (const Question& q : questions)
            asked.push_back({q.day, q.direction, q.interval});
        std::vector<double> answers(asked.size());
        std::vector<Outcome> outcomes(asked.size());
        apartment_.Run([&] {
            for (size_t from = 0; from < asked.size();) {
                const component::WorkDaysResult r = cal_->WorkDays(
                    std::span(asked).subspan(from), std::span(answers).subspan(from));
                for (size_t i = 0; i < r.Answered; ++i)
                    outcomes[from + i].answer = answers[from + i];
                from += r.Answered;
                if (r.Failure) outcomes[from++].error = r.Failure->Number;
            }
        });
        return outcomes;
    }

    int Statements() const { return connection_->statements; }

  private:
    Outcome Member(const Question& q) {
        Outcome o;
        if (q.ask == Ask::WorkDay) {
            const size_t boxes = ui_.count;
            o.answer = cal_->WorkDay(q.day, q.direction, q.interval);
            if (ui_.count > boxes) {
                o.failure = ui_.last;
                o.error = ErrorNumberIn(o.failure);
            }
            return o;
        }
        try {
            o.answer =
                q.ask == Ask::Before ? cal_->WorkDayBefore(q.day) : cal_->WorkDayAfter(q.day);
        } catch (const automation::ComError& e) {
            o.error = e.Number();
            o.failure = e.Source() + "|" + e.Description();
        }
        return o;
    }

    ReportedFailures& ui_;
    std::shared_ptr<CountingConnection> connection_;
    Apartment apartment_;
    std::optional<clsCal> cal_;
};

// Every date from three days before the calendar to three after it, every other one with
// a time of day, each with both neighbours and every step from -40 to 40 both ways; and
// dates that are no dates.
std::vector<Question> QuestionsAround(int days) {
    std::vector<Question> questions;
    for (int d = -3; d < days + 3; ++d) {
        const double day = kFirstDay + d + (d % 2 == 0 ? 0.0 : 0.625);
        questions.push_back({Ask::Before, day});
        questions.push_back({Ask::After, day});
        for (int32_t interval = -40; interval <= 40; ++interval) {
            questions.push_back({Ask::WorkDay, day, Dir_Backward, interval});
            questions.push_back({Ask::WorkDay, day, Dir_Forward, interval});
        }
    }
    for (double bad : {1e10, -1e10, 2958466.5}) {
        questions.push_back({Ask::Before, bad});
        questions.push_back({Ask::WorkDay, bad, Dir_Forward, 1});
    }
    return questions;
}

std::vector<Question> WorkDayQuestions(const std::vector<Question>& questions) {
    std::vector<Question> only;
    std::copy_if(questions.begin(), questions.end(), std::back_inserter(only),
                 [](const Question& q) { return q.ask == Ask::WorkDay; });
    return only;
}

class DateService : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        props_ = "Language=zz;" + Db().PropsString();
    }

    Calendar FromMemory() { return Calendar(*failures_, props_, Db().Connect()); }
    Calendar ByStatements() {
        return Calendar(*failures_, "CalendarCache=off;" + props_, Db().Connect());
    }
    size_t Reported() const { return failures_->count; }

    void LoosenTheTable() { LoosenCalendarTable(GetParam(), Conn()); }
    void Write(const std::vector<CalendarRow>& rows) {
        ReplaceCalendarRows(Conn(), kFirstDay, rows);
    }

    std::shared_ptr<ReportedFailures> failures_ = std::make_shared<ReportedFailures>();
    ui::ScopedUserInterface scope_{failures_};
    std::string props_;
};

// The three ways agree on saved and spoilt calendars: the members by their statements
// (CalendarCache=off), the members from memory, and the bulk call and the index on their
// own. From memory the members run no statement where the index can answer.
TEST_P(DateService, MemoryStatementsAndIndexAgreeOnEveryTableContent) {
    LoosenTheTable();
    constexpr int kDays = 14;
    std::vector<Question> questions = QuestionsAround(kDays);
    // And around the far days of the contents below.
    for (int d : {4137, 4138, 4139, 4140, 4141, 4142, kLongSpan - 1, kLongSpan, kLongSpan + 1}) {
        questions.push_back({Ask::Before, kFirstDay + d});
        questions.push_back({Ask::After, kFirstDay + d});
        for (int32_t interval : {-2, -1, 0, 1, 2})
            questions.push_back({Ask::WorkDay, kFirstDay + d, Dir_Forward, interval});
    }
    const std::vector<Question> steps = WorkDayQuestions(questions);
    Calendar statements = ByStatements();
    Calendar memory = FromMemory();
    struct Content {
        const char* name;
        std::vector<CalendarRow> rows;
    };
    // The index keeps numbers up to twice its rows and 64 more in a table by position, the
    // rest in a sorted list: numbered from 80, the 10 work days end that table at 84.
    std::vector<Content> contents{
        {"saved", SavedCalendar(kDays)},
        {"empty", {}},
        {"numbered across the index's table of numbers", SavedCalendar(kDays, 2 * 10 + 64 - 4)}};
    // It keeps the last row on or before every day in a table by day while the calendar
    // spans at most four days per dated row and 4,096 more, and searches the rows beyond:
    // with the 11th work day 4,139 days after the first day the table just spans it, a day
    // later it is searched.
    for (const int far : {4139, 4140}) {
        std::vector<CalendarRow> rows = SavedCalendar(kDays);
        rows.push_back({far, 11});
        contents.push_back({far == 4139 ? "spanned by the table of days" : "searched", rows});
    }
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        contents.push_back({"spoilt", SpoiltCalendar(seed, kDays)});
    }
    // A calendar spanning more days than the copy reads at once: the members ask indexed
    // statements until the questions have cost as much as reading it, walking the days for
    // a day in the first half and the numbers for one in the second.
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        std::vector<CalendarRow> rows = SpoiltCalendar(seed, kDays);
        rows.push_back({kLongSpan, 7});
        contents.push_back({kTooLongToReadAtOnce, rows});
    }
    for (const Content& content : contents) {
        SCOPED_TRACE(content.name);
        Write(content.rows);
        const int statementsBefore = statements.Statements();
        const int memoryBefore = memory.Statements();
        const std::vector<Outcome> expected = statements.Members(questions);
        const std::vector<Outcome> fromMemory = memory.Members(questions);
        const std::vector<Outcome> bulk = memory.Bulk(steps);
        for (size_t i = 0; i < questions.size(); ++i) {
            ASSERT_EQ(fromMemory[i], expected[i])
                << Describe(questions[i]) << ": " << fromMemory[i].answer << " "
                << fromMemory[i].failure << " / " << expected[i].answer << " "
                << expected[i].failure;
        }
        // The index alone, where it answers, and the bulk call.
        const component::WorkCalendarIndex index =
            component::WorkCalendarIndex::Load(*Db().Connect());
        int deferred = 0;
        for (size_t i = 0, k = 0; i < questions.size(); ++i) {
            const Question& q = questions[i];
            if (q.ask != Ask::WorkDay) continue;
            const Outcome& b = bulk[k++];
            ASSERT_EQ(b.answer, expected[i].answer) << Describe(q);
            ASSERT_EQ(b.error, expected[i].error) << Describe(q);
            if (!automation::IsValidOleDate(q.day)) continue;
            try {
                const std::optional<double> a =
                    index.WorkDay(automation::OleDaySerial(q.day), q.day, q.direction, q.interval);
                deferred += a ? 0 : 1;
                if (a) {
                    ASSERT_EQ(*a, expected[i].answer) << Describe(q);
                }
            } catch (const automation::ComError& e) {
                ASSERT_EQ(e.Number(), expected[i].error) << Describe(q);
            }
        }
        // Every question ran statements with the copy turned off; from memory, the
        // calendar's span, one read of the calendar and WorkDay's two statements where the
        // index deferred.
        const auto dated = std::count_if(questions.begin(), questions.end(), [](const Question& q) {
            return automation::IsValidOleDate(q.day);
        });
        EXPECT_GE(statements.Statements() - statementsBefore, dated);
        if (content.name != std::string(kTooLongToReadAtOnce)) {
            EXPECT_LE(memory.Statements() - memoryBefore, 2 + 4 * deferred);
        }
        if (std::string(content.name) == "saved" || std::string(content.name) == "searched") {
            EXPECT_EQ(deferred, 0);
        }
    }
}

// A change committed by another connection, or by another process, between two calls is
// seen by the second, through the members and through the bulk call; a change not yet
// committed is not, and keeps no one from answering from memory; the calendar is read
// once per change.
TEST_P(DateService, AChangeCommittedElsewhereIsSeenByTheNextCall) {
    WriteExampleCalendar(Conn());
    Calendar memory = FromMemory();
    const double june5 = OleFromCivil(2009, 6, 5);
    const double june6 = OleFromCivil(2009, 6, 6);
    const std::vector<Question> asked{{Ask::WorkDay, june5, Dir_Forward, 1}, {Ask::After, june6}};
    auto answers = [&] {
        std::vector<double> a;
        for (const Outcome& o : memory.Members(asked))
            a.push_back(o.answer);
        a.push_back(memory.Bulk({asked[0]})[0].answer);
        return a;
    };
    const int before = memory.Statements();
    EXPECT_EQ(answers(), std::vector<double>({june5 + 3, june6 + 2, june5 + 3}));
    EXPECT_EQ(answers(), std::vector<double>({june5 + 3, june6 + 2, june5 + 3}));

    // Another connection turns Monday 06-08 into a rest day.
    Exec(
        "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-08'\r\n"
        "UPDATE t_WorkCalendar SET FInterID=6 WHERE FDay='2009-06-09'\r\n"
        "UPDATE t_WorkCalendar SET FInterID=7 WHERE FDay='2009-06-10'");
    EXPECT_EQ(answers(), std::vector<double>({june5 + 4, june6 + 3, june5 + 4}));

    // Another connection's writer, still open, turns Tuesday 06-09 into a rest day: the
    // answers stay those of the last committed calendar, from memory, until it commits.
    auto writer = Db().Connect();
    writer->Execute("BEGIN TRANSACTION");
    writer->Execute(
        "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-09'\r\n"
        "UPDATE t_WorkCalendar SET FInterID=6 WHERE FDay='2009-06-10'");
    const int whileOpen = memory.Statements();
    EXPECT_EQ(answers(), std::vector<double>({june5 + 4, june6 + 3, june5 + 4}));
    EXPECT_EQ(memory.Statements(), whileOpen) << "answered from memory beside the writer";
    writer->Execute("COMMIT");
    EXPECT_EQ(answers(), std::vector<double>({june5 + 5, june6 + 4, june5 + 5}));

    // Another process regenerates the calendar with Saturdays working.
    const ProcessResult r =
        RunProcess(ZEV_ZEVWORKCAL, {"--props", props_, "generate", "2009-06-01", "2009-06-11",
                                    "--replace", "--saturday-work"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(answers(), std::vector<double>({june6, june6, june6}));
    EXPECT_EQ(memory.Statements() - before, 6)
        << "the calendar's span and one read of the calendar per change";
    EXPECT_EQ(Reported(), 0u);
}

// The table emptied, dropped and made again between calls: from memory the members
// answer and fail as their statements do at every step.
TEST_P(DateService, ATableEmptiedDroppedOrMadeAgainIsAnsweredAsTheStatementsAnswer) {
    WriteExampleCalendar(Conn());
    Calendar statements = ByStatements();
    Calendar memory = FromMemory();
    std::vector<Question> questions;
    for (double day : {OleFromCivil(2009, 6, 7), OleFromCivil(2009, 6, 20, 9, 30)}) {
        questions.push_back({Ask::Before, day});
        questions.push_back({Ask::After, day});
        questions.push_back({Ask::WorkDay, day, Dir_Backward, 2});
    }
    // Changes of the table's definition move no row trigger: renamed columns, and on the
    // server numbers rewritten by a change of the column's type.
    const bool server = GetParam() != Backend::SQLite;
    const char* steps[] = {
        "SELECT 1",
        "ALTER TABLE t_WorkCalendar RENAME COLUMN FDay TO FDate",
        "ALTER TABLE t_WorkCalendar RENAME COLUMN FDate TO FDay",
        server ? "ALTER TABLE t_WorkCalendar ALTER COLUMN FInterID TYPE BIGINT USING FInterID*2"
               : "UPDATE t_WorkCalendar SET FInterID=FInterID*2",
        "DELETE FROM t_WorkCalendar",
        "DROP TABLE t_WorkCalendar",
        "CREATE TABLE t_WorkCalendar (FInterID INTEGER NOT NULL DEFAULT 0, FDay DATE NOT NULL "
        "PRIMARY KEY, FDayID INTEGER NOT NULL DEFAULT 0, FWeekID INTEGER NOT NULL DEFAULT 0, "
        "FMonthID INTEGER NOT NULL DEFAULT 0, FYearID INTEGER NOT NULL DEFAULT 0)",
        "INSERT INTO t_WorkCalendar(FInterID,FDay) VALUES (1,'2009-06-03'),(2,'2009-06-19')",
        "UPDATE t_WorkCalendar SET FInterID=5 WHERE FDay='2009-06-19'",
    };
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        Exec(step);
        const std::vector<Outcome> expected = statements.Members(questions);
        ASSERT_EQ(memory.Members(questions), expected);
        const std::vector<Outcome> bulk = memory.Bulk(WorkDayQuestions(questions));
        for (size_t i = 0, k = 0; i < questions.size(); ++i) {
            if (questions[i].ask != Ask::WorkDay) continue;
            EXPECT_EQ(bulk[k].answer, expected[i].answer) << Describe(questions[i]);
            EXPECT_EQ(bulk[k++].error, expected[i].error) << Describe(questions[i]);
        }
    }
}

ZEV_INSTANTIATE_DB_TEST(DateService);

// A server database whose calendar table lacks the suite's trigger, or that lacks the
// stamp's reader altogether, keeps no stamp: every question runs the statements, so a
// change is seen all the same.
class DateServiceWithoutStamp : public DateService {
  protected:
    void ExpectStatementsAfter(const char* removal) {
        Exec(removal);
        WriteExampleCalendar(Conn());
        Calendar memory = FromMemory();
        const Question q{Ask::WorkDay, OleFromCivil(2009, 6, 5), Dir_Forward, 1};
        const int before = memory.Statements();
        EXPECT_EQ(memory.Members({q, q})[1].answer, OleFromCivil(2009, 6, 8));
        EXPECT_EQ(memory.Statements() - before, 4) << "two statements for each question";
        Exec("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-08'");
        EXPECT_EQ(memory.Members({q})[0].answer, OleFromCivil(2009, 6, 5));
        EXPECT_EQ(memory.Bulk({q})[0].answer, OleFromCivil(2009, 6, 5));
    }
};

TEST_P(DateServiceWithoutStamp, WhenTheTriggerIsMissing) {
    ExpectStatementsAfter("DROP TRIGGER tr_WorkCalendar_version ON t_WorkCalendar");
}

TEST_P(DateServiceWithoutStamp, WhenTheTriggerIsDisabled) {
    ExpectStatementsAfter("ALTER TABLE t_WorkCalendar DISABLE TRIGGER tr_WorkCalendar_version");
}

TEST_P(DateServiceWithoutStamp, WhenTheStampsReaderIsMissing) {
    ExpectStatementsAfter("DROP FUNCTION zev_read_data_version()");
}

INSTANTIATE_TEST_SUITE_P(Db, DateServiceWithoutStamp, ::testing::ValuesIn([] {
                             std::vector<Backend> servers = TestedBackends();
                             servers.erase(servers.begin());  // SQLite always keeps one
                             return servers;
                         }()),
                         BackendParamName());
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DateServiceWithoutStamp);

// Without a connection, and for a date that is no date, the bulk call fails as WorkDay
// fails, question by question.
TEST(DateServiceBulk, FailsAsWorkDayFails) {
    RegisterSuiteOnce();
    const std::shared_ptr<ui::ScriptedUi> ui = std::make_shared<ui::ScriptedUi>();
    const ui::ScopedUserInterface scope(ui);
    OnFreshThread([&] {
        clsCal cal;
        const component::WorkDayQuestion questions[] = {{1e10, Dir_Forward, 1},
                                                        {kFirstDay, Dir_Forward, 1}};
        double answers[2] = {};
        for (size_t i = 0; i < 2; ++i) {
            const component::WorkDaysResult r = cal.WorkDays({&questions[i], 1}, {&answers[i], 1});
            EXPECT_EQ(r.Answered, 0u);
            ASSERT_TRUE(r.Failure);
            EXPECT_EQ(
                cal.WorkDay(questions[i].dtDay, questions[i].Direction, questions[i].Interval),
                0.0);
            ASSERT_EQ(ui->Boxes().size(), i + 1);
            EXPECT_EQ(r.Failure->Number, ErrorNumberIn(ui->Boxes()[i].prompt));
        }
        EXPECT_EQ(ErrorNumberIn(ui->Boxes()[1].prompt), automation::errors::kObjectNotSet);
    });
}

}  // namespace
}  // namespace zev::test
