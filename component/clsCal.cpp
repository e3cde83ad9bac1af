// clsCal (clsCal.hpp): its members; private: the statements' date text, the answers by
// statement, and asking the calendar held in memory first.
#include "component/clsCal.hpp"

#include <algorithm>
#include <optional>
#include <string>

#include "component/CalendarCache.hpp"
#include "component/MemberDates.hpp"
#include "component/WorkCalendarIndex.hpp"
#include "component/mdlCal.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::component {

using automation::Variant;

namespace {

// The first field of a statement that returns one value: the day it names, or dtDay
// when it is NULL.
DayAnswer DayOrFallback(const std::string& statement, double dtDay) {
    data::Recordset rs = mdlCal::Connection().Execute(statement);
    const Variant& value = rs.Fields(0).Value();
    const DayAnswer result =
        value.IsNull() ? DayAnswer{dtDay, false} : DayAnswer{automation::CDate(value), true};
    rs.Close();
    return result;
}

// The thread's copy of the calendar when it may answer now; nullptr when the statements
// must. Without a connection it fails as the statements do (91).
const WorkCalendarIndex* MemoryCopy() {
    mdlCal::Connection();
    return CalendarCache::Current(mdlCal::State().ActiveConnection, CalendarCache::kStatementCost);
}

// The answer from the copy of the calendar, for the date text the statements would use;
// std::nullopt when the statements must answer.
template <class Ask>
std::optional<DayAnswer> FromMemory(const std::string& text, Ask ask) {
    const std::optional<int32_t> day = DayOfDateText(text);
    const WorkCalendarIndex* index = MemoryCopy();
    if (!day || index == nullptr) return std::nullopt;
    return ask(*index, *day);
}

// WorkDay's first statement: the largest work-day number on or before the day. The
// literal form has the engine walk the index of numbers down from the top until a row on
// or before the day, as far as the rows after it; the indexed form, for a day in the first
// half of the calendar, walks the days up to it instead, so that either costs the rows
// between the day and the nearer end of the calendar. Both take the same maximum.
// The rows it reads are charged to the copy's account (CalendarCache::Charge).
std::string NumberStatement(const std::string& text, const CalendarCache::StatementHints& hints) {
    const std::optional<int32_t> day = DayOfDateText(text);
    if (hints.Indexed && hints.First && hints.Last && day) {
        const int64_t before = std::clamp<int64_t>(int64_t{*day} - *hints.First, 0, INT32_MAX);
        const int64_t after = std::clamp<int64_t>(int64_t{*hints.Last} - *day, 0, INT32_MAX);
        CalendarCache::Charge(mdlCal::State().ActiveConnection,
                              static_cast<uint64_t>(std::min(before, after)));
        if (before <= after) {
            return "SELECT Max(+FInterID) FROM t_WorkCalendar WHERE +FInterID>0 AND FDay<='" +
                   text + "'";
        }
    }
    return "SELECT Max(FInterID) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" + text + "'";
}

// WorkDay's second statement: the rows of number h - Interval (backward) or h + Interval.
// The literal condition reads every row; the indexed form adds one that keeps its rows and
// lets the engine seek them in the index of numbers: a whole number that meets the
// condition lies within one of the target, and on the embedded engine, where the column
// may hold a text, texts (which order after every number) are read as well.
std::string TargetStatement(int64_t h, Enu_Direction Direction, int32_t Interval,
                            const CalendarCache::StatementHints& hints, bool embedded) {
    const std::string number = std::to_string(h);
    const std::string interval = std::to_string(Interval);
    const std::string literal = Direction == Dir_Backward ? number + "-FInterID=" + interval
                                                          : "FInterID-" + number + "=" + interval;
    if (!hints.Indexed) return "SELECT FDay FROM t_WorkCalendar WHERE FInterID>0 AND " + literal;
    const int64_t target = Direction == Dir_Backward ? h - Interval : h + Interval;
    const std::string near =
        "FInterID BETWEEN " + std::to_string(target - 1) + " AND " + std::to_string(target + 1);
    return embedded
               ? "SELECT FDay FROM t_WorkCalendar WHERE (" + near +
                     " OR FInterID>='') AND +FInterID>0 AND " + literal
               : "SELECT FDay FROM t_WorkCalendar WHERE " + near + " AND FInterID>0 AND " + literal;
}

// WorkDay's two statements, run in one snapshot; fails where they fail.
DayAnswer WorkDayByStatements(const std::string& text, double dtDay, Enu_Direction Direction,
                              int32_t Interval) {
    const CalendarCache::StatementHints hints =
        CalendarCache::Hints(mdlCal::State().ActiveConnection);
    // Both statements read one committed calendar: a regeneration committed between them
    // would pair a number of the old calendar with the days of the new one.
    const data::ReadSnapshot snapshot(mdlCal::Connection());
    data::Recordset rs = mdlCal::Connection().Execute(NumberStatement(text, hints));
    const Variant& number = rs.Fields(0).Value();
    if (number.IsNull()) {
        rs.Close();
        return {dtDay, false};
    }
    const int32_t h = automation::CLng(number);
    rs.Close();

    const std::string statement = TargetStatement(
        h, Direction, Interval, hints, mdlCal::Connection().GetDialect() == data::Dialect::SQLite);
    data::Recordset target;
    target.Open(statement, mdlCal::State().ActiveConnection, -1, -1, -1);
    DayAnswer result{dtDay, false};
    if (!target.Eof() && !target.Fields(0).Value().IsNull()) {
        result = {automation::CDate(target.Fields(0).Value()), true};
    }
    target.Close();
    return result;
}

// One WorkDay question, from the copy when it can answer, else by the statements.
DayAnswer AnswerWorkDay(const std::string& text, double dtDay, Enu_Direction Direction,
                        int32_t Interval) {
    const std::optional<DayAnswer> answer =
        FromMemory(text, [&](const WorkCalendarIndex& index, int32_t day) {
            return index.WorkDayAnswer(day, dtDay, Direction, Interval);
        });
    return answer ? *answer : WorkDayByStatements(text, dtDay, Direction, Interval);
}

}  // namespace

clsCal::~clsCal() {
    try {
        mdlCal::State().ActiveConnection.reset();
    } catch (...) {
        // Final release never fails.
    }
}

void clsCal::ActiveConnection(std::string_view /*text*/) {
    auto connection = automation::CreateObjectAs<data::Connection>(host::progid::kAppConnection);
    mdlCal::State().ActiveConnection = std::move(connection);
}

void clsCal::SystemName(std::string_view text) {
    mdlCal::State().SystemName = text;
}

void clsCal::Show() {
    automation::ClearErr();
    try {
        mdlCal::CheckSettings();
        mdlCal::FormWindow().ShowModal();
    } catch (...) {
        mdlCal::ReportCaughtFailure();
        return;
    }
    // With nothing pending the report only resets the mouse pointer.
    mdlCal::ShowError();
}

automation::VBool clsCal::IsSetWorkCalendar() const {
    return mdlCal::State().IsSetWorkCalendar;
}

double clsCal::WorkDayBefore(double dtDay) {
    return WorkDayBeforeAnswer(dtDay).Date;
}

double clsCal::WorkDayAfter(double dtDay) {
    return WorkDayAfterAnswer(dtDay).Date;
}

double clsCal::WorkDay(double dtDay, Enu_Direction Direction, int32_t Interval) {
    return WorkDayAnswer(dtDay, Direction, Interval).Date;
}

DayAnswer clsCal::WorkDayBeforeAnswer(double dtDay) {
    const std::string text = DateText(dtDay);
    const std::optional<DayAnswer> answer =
        FromMemory(text, [&](const WorkCalendarIndex& index, int32_t day) {
            return index.WorkDayBeforeAnswer(day, dtDay);
        });
    if (answer) return *answer;
    return DayOrFallback(
        "SELECT MAX(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay<='" + text + "'", dtDay);
}

DayAnswer clsCal::WorkDayAfterAnswer(double dtDay) {
    const std::string text = DateText(dtDay);
    const std::optional<DayAnswer> answer =
        FromMemory(text, [&](const WorkCalendarIndex& index, int32_t day) {
            return index.WorkDayAfterAnswer(day, dtDay);
        });
    if (answer) return *answer;
    return DayOrFallback(
        "SELECT MIN(FDay) FROM t_WorkCalendar WHERE FInterID>0 AND FDay>='" + text + "'", dtDay);
}

DayAnswer clsCal::WorkDayAnswer(double dtDay, Enu_Direction Direction, int32_t Interval) {
    DayAnswer result;
    try {
        const std::string text = DateText(dtDay);
        result = AnswerWorkDay(text, dtDay, Direction, Interval);
        return result;
    } catch (...) {
        mdlCal::ReportCaughtFailure();
        return result;
    }
}

WorkDaysResult clsCal::WorkDays(std::span<const WorkDayQuestion> questions,
                                std::span<double> answers, std::span<uint8_t> found) {
    WorkDaysResult result;
    try {
        // Without a connection every question fails as the member fails, after its date.
        const data::ConnectionPtr& connection = mdlCal::State().ActiveConnection;
        const WorkCalendarIndex* index =
            connection ? CalendarCache::Current(connection,
                                                questions.size() * CalendarCache::kStatementCost)
                       : nullptr;
        // While the statements answer, each question may pay for the copy.
        const auto paidFor = [&] {
            return connection && index == nullptr ? CalendarCache::Current(connection, 0) : index;
        };
        while (result.Answered < questions.size()) {
            if (index != nullptr) {
                result.Answered = index->WorkDays(questions, answers, found, result.Answered);
                if (result.Answered == questions.size()) break;
            }
            // A question the copy leaves to the member's own steps.
            const WorkDayQuestion& q = questions[result.Answered];
            // The day the formatter writes for the date; none where it fails.
            const std::optional<int32_t> day = automation::TryOleDaySerial(q.dtDay);
            std::optional<DayAnswer> answer;
            if (index != nullptr && day) {
                answer = index->WorkDayAnswer(*day, q.dtDay, q.Direction, q.Interval);
            }
            if (!answer) {
                answer = WorkDayByStatements(DateText(q.dtDay), q.dtDay, q.Direction, q.Interval);
            }
            answers[result.Answered] = answer->Date;
            if (!found.empty()) found[result.Answered] = answer->Found ? 1 : 0;
            ++result.Answered;
            index = paidFor();
        }
    } catch (...) {
        result.Failure = automation::CurrentExceptionAsError().Info();
    }
    return result;
}

}  // namespace zev::component
