// The range questions (WorkDaysBetween, DayKinds, CalendarSpan) and whether the members'
// answers are days of the calendar: from memory and by the statements alike equal to
// numpy's business-day functions on a calendar with holidays and a worked weekend, for
// every pair of days from before its first day to after its last, and from memory equal
// to the statements on spoilt tables, failures included.

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

#include "component/clsCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/ShareProps.hpp"
#include "tests/component/CalendarContents.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/ForwardingConnection.hpp"
#include "tests/support/NumpyBusday.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {
namespace {

using automation::OleFromCivil;
using component::CalendarDay;
using component::DayAnswer;
using component::DaySpan;
using component::WorkDayCount;

const double kFirstDay = OleFromCivil(2009, 6, 1);

// Three weeks from Monday 2009-06-01: weekends rest but Saturday 06-13, which is worked;
// Wednesday 06-03 and Friday 06-12 rest; the calendar ends on a rest day.
const ModelCalendar kModel{kFirstDay,
                           "wwrwwrr"
                           "wwwwrwr"
                           "wwwwwrr"};

// What is asked: every pair of days, the kinds of every day, and each day with each step.
struct Questions {
    double from = 0.0;  // the first day asked
    int days = 0;
    std::vector<int> steps;
};

// What a calendar answers, each failure as its error number.
struct Answers {
    std::vector<WorkDayCount> counts;
    int32_t countFailure = 0;
    std::vector<CalendarDay> kinds;
    int32_t kindsFailure = 0;
    std::optional<DaySpan> span;
    int32_t spanFailure = 0;
    std::vector<std::optional<DayAnswer>> before, after;  // std::nullopt: it failed
    std::vector<double> steps;
    std::vector<uint8_t> found;
    int32_t stepFailure = 0;
    bool operator==(const Answers&) const = default;
};

// A clsCal in an apartment of its own, on a connection made while the property string
// says `props`.
class Calendar {
  public:
    Calendar(const std::string& props, const data::ConnectionPtr& connection)
        : connection_(std::make_shared<CountingConnection>(connection)) {
        suite::SetProcessProperty("PropsString", props);
        automation::ScopedFactory mine(host::progid::kAppConnection,
                                       [&]() -> automation::ObjectPtr { return connection_; });
        apartment_.Run([&] {
            cal_.emplace();
            cal_->ActiveConnection("");
            cal_->WorkDayBefore(kFirstDay);  // the property is read at the first question
        });
    }
    ~Calendar() {
        apartment_.Run([&] { cal_.reset(); });
    }

    Answers Ask(const Questions& q) {
        Answers a;
        apartment_.Run([&] { a = AskHere(q); });
        return a;
    }
    int Statements() const { return connection_->statements; }

  private:
    Answers AskHere(const Questions& q) {
        Answers a;
        std::vector<component::DayRange> ranges;
        std::vector<component::WorkDayQuestion> steps;
        for (int i = 0; i < q.days; ++i) {
            for (int k = 0; k < q.days; ++k)
                ranges.push_back({q.from + i, q.from + k});
            for (int step : q.steps)
                steps.push_back({q.from + i, component::Dir_Forward, step});
        }
        a.counts.resize(ranges.size());
        const component::WorkDaysResult counted = cal_->WorkDaysBetween(ranges, a.counts);
        a.counts.resize(counted.Answered);
        a.countFailure = counted.Failure ? counted.Failure->Number : 0;
        a.kinds.resize(static_cast<size_t>(q.days));
        const component::WorkDaysResult kinds = cal_->DayKinds(q.from, a.kinds);
        a.kindsFailure = kinds.Failure ? kinds.Failure->Number : 0;
        if (kinds.Failure) a.kinds.clear();
        try {
            a.span = cal_->CalendarSpan();
        } catch (const automation::ComError& e) {
            a.spanFailure = e.Number();
        }
        for (int i = 0; i < q.days; ++i) {
            a.before.push_back(Member([&] { return cal_->WorkDayBeforeAnswer(q.from + i); }));
            a.after.push_back(Member([&] { return cal_->WorkDayAfterAnswer(q.from + i); }));
        }
        a.steps.resize(steps.size());
        a.found.resize(steps.size());
        const component::WorkDaysResult stepped = cal_->WorkDays(steps, a.steps, a.found);
        a.steps.resize(stepped.Answered);
        a.found.resize(stepped.Answered);
        a.stepFailure = stepped.Failure ? stepped.Failure->Number : 0;
        return a;
    }

    template <class Call>
    static std::optional<DayAnswer> Member(Call call) {
        try {
            return call();
        } catch (const automation::ComError&) {
            return std::nullopt;
        }
    }

    std::shared_ptr<CountingConnection> connection_;
    Apartment apartment_;
    std::optional<component::clsCal> cal_;
};

class RangeQuestions : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        props_ = "Language=zz;" + Db().PropsString();
    }
    Calendar FromMemory() { return Calendar(props_, Db().Connect()); }
    Calendar ByStatements() { return Calendar("CalendarCache=off;" + props_, Db().Connect()); }

    std::string props_;
};

// What the calendar model and numpy say the answers are.
Answers Expected(const ModelCalendar& model, const Questions& q) {
    NumpyQuestions asked;
    for (int i = 0; i < q.days; ++i) {
        for (int k = 0; k < q.days; ++k)
            asked.Pairs.emplace_back(q.from + i, q.from + k);
        asked.Days.push_back(q.from + i);
        asked.Offsets.emplace_back(q.from + i, 0);
        for (int step : q.steps)
            asked.Offsets.emplace_back(q.from + i, step);
    }
    const NumpyAnswers numpy = AskNumpy(model, asked);
    EXPECT_EQ(numpy.Offsets.size(), asked.Offsets.size());
    Answers a;
    const auto held = [&](double from, double to) {
        int days = 0;
        for (double d = std::min(from, to); d < std::max(from, to); ++d)
            days += model.Holds(d) ? 1 : 0;
        return days;
    };
    for (size_t i = 0; i < asked.Pairs.size(); ++i) {
        const auto [from, to] = asked.Pairs[i];
        const int outside = static_cast<int>(std::abs(to - from)) - held(from, to);
        a.counts.push_back({numpy.Counts.at(i), outside});
    }
    for (int i = 0; i < q.days; ++i) {
        const double day = q.from + i;
        const auto [business, number] = numpy.Days.at(static_cast<size_t>(i));
        a.kinds.push_back(!model.Holds(day) ? CalendarDay{}
                          : business        ? CalendarDay{CalendarDay::Work, number}
                                            : CalendarDay{CalendarDay::Rest, 0});
        // Rolled to a day the calendar does not hold: the members answer the date asked.
        const size_t at = static_cast<size_t>(i) * (q.steps.size() + 1);
        const auto answer = [&](double found) {
            return model.Holds(found) ? DayAnswer{found, true} : DayAnswer{day, false};
        };
        const double rolled = numpy.Offsets.at(at)[0];
        a.before.push_back(answer(rolled));
        a.after.push_back(answer(numpy.Offsets.at(at)[1]));
        for (size_t s = 0; s < q.steps.size(); ++s) {
            const DayAnswer step =
                model.Holds(rolled) ? answer(numpy.Offsets.at(at + 1 + s)[2]) : answer(rolled);
            a.steps.push_back(step.Date);
            a.found.push_back(step.Found ? 1 : 0);
        }
    }
    a.span = DaySpan{model.First, model.Last()};
    return a;
}

// Every answer and every failure alike; counts named by their pair.
void ExpectEqualAnswers(const Answers& actual, const Answers& expected, const Questions& q) {
    ASSERT_EQ(actual.counts.size(), expected.counts.size());
    for (size_t i = 0; i < actual.counts.size(); ++i) {
        const size_t from = i / static_cast<size_t>(q.days);
        const size_t to = i % static_cast<size_t>(q.days);
        ASSERT_EQ(actual.counts[i], expected.counts[i])
            << "count " << automation::FormatIsoDate(q.from + static_cast<double>(from)) << " "
            << automation::FormatIsoDate(q.from + static_cast<double>(to)) << ": "
            << actual.counts[i].WorkDays << "/" << actual.counts[i].Outside;
    }
    EXPECT_EQ(actual.countFailure, expected.countFailure);
    EXPECT_EQ(actual.kinds, expected.kinds);
    EXPECT_EQ(actual.kindsFailure, expected.kindsFailure);
    EXPECT_EQ(actual.span, expected.span);
    EXPECT_EQ(actual.spanFailure, expected.spanFailure);
    EXPECT_EQ(actual.before, expected.before);
    EXPECT_EQ(actual.after, expected.after);
    EXPECT_EQ(actual.steps, expected.steps);
    EXPECT_EQ(actual.found, expected.found);
    EXPECT_EQ(actual.stepFailure, expected.stepFailure);
}

// Both ways answer as numpy does, from three days before the calendar to three after it
// and with steps that leave it on either side, on a range that ends inside it and on the
// last day the date layer holds; from memory with no statement beyond the two that read
// the calendar.
TEST_P(RangeQuestions, AgreeWithNumpyOnEveryPairOfDays) {
    kModel.Write(Conn());
    Questions q{kModel.First - 3, static_cast<int>(kModel.Kinds.size()) + 6, {}};
    for (int step = -18; step <= 18; step += 3)
        q.steps.push_back(step);
    const Answers expected = Expected(kModel, q);
    Calendar memory = FromMemory();
    Calendar statements = ByStatements();
    const int before = memory.Statements();
    ExpectEqualAnswers(memory.Ask(q), expected, q);
    EXPECT_LE(memory.Statements() - before, 2) << "the index and the table by day, read once";
    ExpectEqualAnswers(statements.Ask(q), expected, q);
    EXPECT_GT(statements.Statements(), q.days * q.days);
    // A range that ends inside the calendar has its last day answered too.
    const Questions inside{kModel.First + 2, 5, {1}};
    ExpectEqualAnswers(statements.Ask(inside), Expected(kModel, inside), inside);
    ExpectEqualAnswers(memory.Ask(inside), Expected(kModel, inside), inside);

    // A day swapped by another connection is seen by the next question.
    Exec("UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-06-17'");
    Exec("UPDATE t_WorkCalendar SET FInterID=FInterID-1 WHERE FDay>'2009-06-17' AND FInterID>0");
    ModelCalendar swapped = kModel;
    swapped.Kinds[16] = 'r';
    const Answers after = Expected(swapped, q);
    ExpectEqualAnswers(memory.Ask(q), after, q);
    ExpectEqualAnswers(statements.Ask(q), after, q);

    // A calendar that reaches the last day the date layer holds has that day answered.
    Exec(
        "INSERT INTO t_WorkCalendar(FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID) "
        "VALUES(0,'9999-12-31',99991231,999952,999912,9999)");
    const Questions last{OleFromCivil(9999, 12, 30), 2, {}};
    EXPECT_EQ(statements.Ask(last).kinds,
              (std::vector<CalendarDay>{CalendarDay{}, CalendarDay{CalendarDay::Rest, 0}}));
}

// On saved, empty and spoilt tables the copy answers and fails exactly as the statements.
TEST_P(RangeQuestions, FromMemoryEqualTheStatementsOnEveryTableContent) {
    LoosenCalendarTable(GetParam(), Conn());
    constexpr int kDays = 14;
    const Questions q{kFirstDay - 2, kDays + 4, {-9, -1, 0, 1, 5, 12}};
    Calendar memory = FromMemory();
    Calendar statements = ByStatements();
    std::vector<std::vector<CalendarRow>> contents{SavedCalendarRows(kFirstDay, kDays), {}};
    for (uint32_t seed = 1; seed <= 6; ++seed)
        contents.push_back(SpoiltCalendarRows(kFirstDay, seed, kDays));
    for (size_t c = 0; c < contents.size(); ++c) {
        SCOPED_TRACE(c);
        ReplaceCalendarRows(Conn(), kFirstDay, contents[c]);
        ExpectEqualAnswers(memory.Ask(q), statements.Ask(q), q);
    }
}

ZEV_INSTANTIATE_DB_TEST(RangeQuestions);

}  // namespace
}  // namespace zev::test
