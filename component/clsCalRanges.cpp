// clsCal's range questions (clsCal.hpp): WorkDaysBetween and DayKinds from the table by
// day in memory (CalendarDays) or by their statements, and CalendarSpan by its statement.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "component/CalendarCache.hpp"
#include "component/CalendarDays.hpp"
#include "component/MemberDates.hpp"
#include "component/WorkCalendarIndex.hpp"
#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::component {

namespace {

using automation::Variant;

// The table by day when it may answer now; nullptr when the statements must. Without a
// connection it fails as the statements do (91).
const CalendarDays* MemoryDays(uint64_t cost) {
    mdlCal::Connection();
    const CalendarDays* days = CalendarCache::CurrentDays(mdlCal::State().ActiveConnection, cost);
    return days != nullptr && days->Answers() ? days : nullptr;
}

// What the statements would spend on the ranges: a statement each, and the days it reads.
uint64_t StatementCost(std::span<const DayRange> ranges) {
    uint64_t cost = 0;
    for (const DayRange& range : ranges) {
        const std::optional<int32_t> from = automation::TryOleDaySerial(range.From);
        const std::optional<int32_t> to = automation::TryOleDaySerial(range.To);
        cost += CalendarCache::kStatementCost;
        if (from && to) {
            cost += static_cast<uint64_t>(std::abs(int64_t{*to} - *from)) /
                    CalendarCache::kStatementDaysPerRow;
        }
    }
    return cost;
}

// A date of a range question as its statements write it, and its day.
struct StatementDate {
    std::string text;
    int32_t day;
};

StatementDate ByFormatter(double date) {
    std::string text = DateText(date);
    const int32_t day = DayOfDateText(text).value_or(automation::OleDaySerial(date));
    return {std::move(text), day};
}

// Days held and work days from `from` up to the day before `to` (from.day <= to.day).
WorkDayCount CountByStatement(const StatementDate& from, const StatementDate& to) {
    data::Recordset rs = mdlCal::Connection().Execute(RangeStatements::Count(from.text, to.text));
    const int32_t held = automation::CLng(rs.Fields(0).Value());
    const int32_t work = automation::CLng(rs.Fields(1).Value());
    rs.Close();
    return {work, static_cast<int32_t>(int64_t{to.day} - from.day - held)};
}

WorkDayCount CountFor(const DayRange& range, const CalendarDays* memory) {
    const std::optional<int32_t> from = automation::TryOleDaySerial(range.From);
    const std::optional<int32_t> to = automation::TryOleDaySerial(range.To);
    if (memory != nullptr && from && to) {
        if (*to >= *from) return memory->Count(*from, *to);
        const WorkDayCount back = memory->Count(*to, *from);
        return {-back.WorkDays, back.Outside};
    }
    const StatementDate a = ByFormatter(range.From);
    const StatementDate b = ByFormatter(range.To);
    if (b.day >= a.day) return CountByStatement(a, b);
    const WorkDayCount back = CountByStatement(b, a);
    return {-back.WorkDays, back.Outside};
}

// DayKinds by its statement: one row per day held, merged where the engine returns one
// day in two rows (a day with two times of day on a server).
void KindsByStatement(double from, std::span<CalendarDay> days) {
    const StatementDate first = ByFormatter(from);
    // The statement reads up to the day before the day after the last one asked; a range
    // that reaches past the last day the date layer holds reads to the calendar's end.
    const int64_t endDay = int64_t{first.day} + static_cast<int64_t>(days.size());
    const std::string statement =
        endDay <= automation::OleDaySerial(automation::kMaxOleDate)
            ? RangeStatements::Kinds(first.text, ByFormatter(static_cast<double>(endDay)).text)
            : RangeStatements::KindsFrom(first.text);
    std::fill(days.begin(), days.end(), CalendarDay{});
    data::Recordset rs = mdlCal::Connection().Execute(statement);
    for (; !rs.Eof(); rs.MoveNext()) {
        const int64_t at =
            int64_t{automation::OleDaySerial(automation::CDate(rs.Fields(0).Value()))} - first.day;
        const Variant& number = rs.Fields(1).Value();
        const int32_t n = number.IsNull() ? 0 : automation::CLng(number);
        if (at < 0 || at >= static_cast<int64_t>(days.size())) continue;
        CalendarDay& day = days[static_cast<size_t>(at)];
        const CalendarDay read =
            n > 0 ? CalendarDay{CalendarDay::Work, n} : CalendarDay{CalendarDay::Rest, 0};
        if (day.kind == CalendarDay::Outside || read.Number > day.Number) day = read;
    }
    rs.Close();
}

}  // namespace

WorkDaysResult clsCal::WorkDaysBetween(std::span<const DayRange> ranges,
                                       std::span<WorkDayCount> counts) {
    WorkDaysResult result;
    try {
        const CalendarDays* memory = MemoryDays(StatementCost(ranges));
        for (; result.Answered < ranges.size(); ++result.Answered) {
            counts[result.Answered] = CountFor(ranges[result.Answered], memory);
        }
    } catch (...) {
        result.Failure = automation::CurrentExceptionAsError().Info();
    }
    return result;
}

WorkDaysResult clsCal::DayKinds(double from, std::span<CalendarDay> days) {
    WorkDaysResult result;
    if (days.empty()) return result;
    try {
        const CalendarDays* memory = MemoryDays(CalendarCache::kStatementCost +
                                                days.size() / CalendarCache::kStatementDaysPerRow);
        const std::optional<int32_t> first = automation::TryOleDaySerial(from);
        if (memory != nullptr && first) {
            memory->Kinds(*first, days);
        } else {
            KindsByStatement(from, days);
        }
        result.Answered = days.size();
    } catch (...) {
        result.Failure = automation::CurrentExceptionAsError().Info();
    }
    return result;
}

std::optional<DaySpan> clsCal::CalendarSpan() {
    // One statement on the table's key, cheaper than reading the calendar into memory
    // for a question that is asked once, to say where the calendar ends.
    data::Recordset rs = mdlCal::Connection().Execute(RangeStatements::kSpan);
    std::optional<DaySpan> span;
    if (!rs.Fields(0).Value().IsNull()) {
        span = DaySpan{automation::CDate(rs.Fields(0).Value()),
                       automation::CDate(rs.Fields(1).Value())};
    }
    rs.Close();
    return span;
}

}  // namespace zev::component
