// WorkCalendarIndex (WorkCalendarIndex.hpp): reading the work-day rows, judging which of
// their values the index can model, and the dense tables the answers are read from.
#include "component/WorkCalendarIndex.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::component {

namespace {

using automation::Variant;
using automation::VarType;

// SQLite compares a day as the text it is stored as, which orders as the day only in the
// form the statements write ("2009-06-04"). A server compares dates; a day read there
// counts only when it is a whole day the date layer can hold.
constexpr const char* kEmbeddedRows =
    "SELECT typeof(FDay), CAST(FDay AS TEXT), FInterID FROM t_WorkCalendar WHERE FInterID>0";
constexpr const char* kServerRows =
    "SELECT CASE WHEN CAST(FDay AS date) = FDay AND FDay BETWEEN '0100-01-01' AND "
    "'9999-12-31' THEN 1 ELSE 0 END, FDay, FInterID FROM t_WorkCalendar WHERE FInterID>0";
// PostgreSQL counts the day's serial itself (days since 1899-12-30, the date layer's day
// 0), so that each row travels as small integers and is read without a date
// conversion; the serial is NULL for a day the index cannot model, and the second column
// tells a NULL day from it. No column is a bare column of the table, so that the ODBC
// driver does not look the table's columns up in the catalogue to describe the result.
constexpr const char* kPostgreSqlRows =
    "SELECT CASE WHEN CAST(FDay AS date) = FDay AND FDay BETWEEN '0100-01-01' AND "
    "'9999-12-31' THEN CAST(FDay AS date) - DATE '1899-12-30' END, "
    "CASE WHEN FDay IS NULL THEN 1 ELSE 0 END, COALESCE(FInterID) FROM t_WorkCalendar WHERE "
    "FInterID>0";

// A work-day number larger than any a question can reach: the number on or before a day
// fits in 32 bits (the member fails otherwise), and so does the step.
constexpr int64_t kBeyondAnyTarget = int64_t{INT32_MAX} * 2 + 2;

// FInterID as a whole number, as the engine computes with it; std::nullopt for a value
// with a fraction or a text. Numbers too large for a question to reach are capped.
std::optional<int64_t> WholeNumber(const Variant& value) {
    if (value.Type() == VarType::Long) return automation::CLng(value);
    if (value.Type() != VarType::Double) return std::nullopt;
    const double d = automation::CDbl(value);
    if (!std::isfinite(d) || d != std::trunc(d)) return std::nullopt;
    return d >= static_cast<double>(kBeyondAnyTarget) ? kBeyondAnyTarget : static_cast<int64_t>(d);
}

}  // namespace

std::optional<int32_t> DayOfDateText(std::string_view text) {
    const auto day = automation::ParseIsoDay(text);
    if (!day) return std::nullopt;
    return automation::SerialOfDay(*day);
}

WorkCalendarIndex WorkCalendarIndex::Load(data::Connection& connection) {
    const data::Dialect dialect = connection.GetDialect();
    const bool embedded = dialect == data::Dialect::SQLite;
    const bool counted = dialect == data::Dialect::PostgreSQL;
    data::Recordset rs = connection.Execute(embedded  ? kEmbeddedRows
                                            : counted ? kPostgreSqlRows
                                                      : kServerRows);
    WorkCalendarIndex index;
    std::vector<Row> rows;
    rows.reserve(static_cast<size_t>(rs.RecordCount()));
    for (; !rs.Eof() && index.answers_; rs.MoveNext()) {
        const Variant& kind = rs.Fields(0).Value();
        const Variant& day = rs.Fields(1).Value();
        const std::optional<int64_t> number = WholeNumber(rs.Fields(2).Value());
        std::optional<int32_t> serial;
        if (counted) {
            if (automation::CLng(day) == 1) {
                serial = kNullDay;
            } else if (kind.Type() == VarType::Long) {
                serial = automation::CLng(kind);
            }
        } else if (day.IsNull()) {
            serial = kNullDay;
        } else if (embedded && kind.IsString() && kind.StringRef() == "text") {
            serial = DayOfDateText(day.StringRef());
        } else if (!embedded && automation::CLng(kind) == 1 && day.Type() == VarType::Date &&
                   !automation::HasTimeOfDay(automation::CDate(day))) {
            serial = automation::OleDaySerial(automation::CDate(day));
        }
        index.answers_ = serial.has_value() && number.has_value();
        if (index.answers_) rows.push_back({*serial, *number});
    }
    rs.Close();
    if (index.answers_) index.Build(std::move(rows));
    return index;
}

void WorkCalendarIndex::Build(std::vector<Row> rows) {
    rowCount_ = rows.size();
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.day < b.day; });
    // Numbers up to a few times the rows go by position; a calendar numbered 1..N as
    // generation and saving number it has all of them there.
    dayOfNumber_.assign(std::min<size_t>(rows.size() * 2 + 64, kBeyondAnyTarget), kNoRow);
    int64_t running = 0;
    for (const Row& row : rows) {
        Record(row.number, row.day);
        if (row.day == kNullDay) continue;
        running = std::max(running, row.number);
        days_.push_back(row.day);
        maxNumber_.push_back(running);
    }
    std::sort(sparseNumbers_.begin(), sparseNumbers_.end());
    std::vector<std::pair<int64_t, int32_t>> merged;
    for (const auto& [number, day] : sparseNumbers_) {
        if (!merged.empty() && merged.back().first == number) {
            if (merged.back().second != day) merged.back().second = kAmbiguous;
        } else {
            merged.emplace_back(number, day);
        }
    }
    sparseNumbers_ = std::move(merged);

    if (days_.empty()) return;
    const int64_t span = int64_t{days_.back()} - days_.front() + 1;
    if (span > static_cast<int64_t>(days_.size()) * 4 + 4096) return;
    lastAt_.resize(static_cast<size_t>(span));
    numberAt_.resize(static_cast<size_t>(span));
    size_t next = 0;
    for (int64_t offset = 0; offset < span; ++offset) {
        while (next < days_.size() && days_[next] <= days_.front() + offset)
            ++next;
        lastAt_[static_cast<size_t>(offset)] = static_cast<int32_t>(next) - 1;
        // The first day holds a row, so next is at least 1; numbers are at least 1.
        const int64_t number = maxNumber_[next - 1];
        numberAt_[static_cast<size_t>(offset)] =
            number > INT32_MAX ? kNumberBeyond32Bits : static_cast<int32_t>(number);
    }
}

void WorkCalendarIndex::Record(int64_t number, int32_t day) {
    if (number >= kBeyondAnyTarget) return;
    if (number > static_cast<int64_t>(dayOfNumber_.size())) {
        sparseNumbers_.emplace_back(number, day);
        return;
    }
    int32_t& known = dayOfNumber_[static_cast<size_t>(number - 1)];
    // Rows of one number are returned in an order the engine chooses; only when they
    // agree on the day is the answer the same whichever comes first.
    if (known == kNoRow) {
        known = day;
    } else if (known != day) {
        known = kAmbiguous;
    }
}

std::ptrdiff_t WorkCalendarIndex::LastOnOrBefore(int32_t day) const {
    if (days_.empty() || day < days_.front()) return -1;
    if (day >= days_.back()) return static_cast<std::ptrdiff_t>(days_.size()) - 1;
    if (!lastAt_.empty()) return lastAt_[static_cast<size_t>(day - days_.front())];
    return std::upper_bound(days_.begin(), days_.end(), day) - days_.begin() - 1;
}

int32_t WorkCalendarIndex::DayOfNumber(int64_t number) const {
    if (number <= static_cast<int64_t>(dayOfNumber_.size())) {
        return dayOfNumber_[static_cast<size_t>(number - 1)];
    }
    const auto it = std::lower_bound(sparseNumbers_.begin(), sparseNumbers_.end(),
                                     std::pair<int64_t, int32_t>{number, INT32_MIN});
    return it == sparseNumbers_.end() || it->first != number ? kNoRow : it->second;
}

std::optional<double> WorkCalendarIndex::WorkDayBefore(int32_t day, double dtDay) const {
    const std::optional<DayAnswer> answer = WorkDayBeforeAnswer(day, dtDay);
    return answer ? std::optional(answer->Date) : std::nullopt;
}

std::optional<double> WorkCalendarIndex::WorkDayAfter(int32_t day, double dtDay) const {
    const std::optional<DayAnswer> answer = WorkDayAfterAnswer(day, dtDay);
    return answer ? std::optional(answer->Date) : std::nullopt;
}

std::optional<double> WorkCalendarIndex::WorkDay(int32_t day, double dtDay, Enu_Direction Direction,
                                                 int32_t Interval) const {
    const std::optional<DayAnswer> answer = WorkDayAnswer(day, dtDay, Direction, Interval);
    return answer ? std::optional(answer->Date) : std::nullopt;
}

std::optional<DayAnswer> WorkCalendarIndex::WorkDayBeforeAnswer(int32_t day, double dtDay) const {
    if (!answers_) return std::nullopt;
    const std::ptrdiff_t i = LastOnOrBefore(day);
    if (i < 0) return DayAnswer{dtDay, false};
    return DayAnswer{static_cast<double>(days_[static_cast<size_t>(i)]), true};
}

std::optional<DayAnswer> WorkCalendarIndex::WorkDayAfterAnswer(int32_t day, double dtDay) const {
    if (!answers_) return std::nullopt;
    const std::ptrdiff_t i = LastOnOrBefore(day);
    if (i >= 0 && days_[static_cast<size_t>(i)] == day) {
        return DayAnswer{static_cast<double>(day), true};
    }
    const size_t next = static_cast<size_t>(i + 1);
    if (next >= days_.size()) return DayAnswer{dtDay, false};
    return DayAnswer{static_cast<double>(days_[next]), true};
}

std::optional<DayAnswer> WorkCalendarIndex::WorkDayAnswer(int32_t day, double dtDay,
                                                          Enu_Direction Direction,
                                                          int32_t Interval) const {
    if (!answers_) return std::nullopt;
    const std::ptrdiff_t i = LastOnOrBefore(day);
    if (i < 0) return DayAnswer{dtDay, false};
    // The member reads the number as a 32-bit integer and fails as this does.
    const int64_t h =
        automation::RoundToLong(static_cast<double>(maxNumber_[static_cast<size_t>(i)]));
    const int64_t target = Direction == Dir_Backward ? h - Interval : h + Interval;
    if (target < 1) return DayAnswer{dtDay, false};
    const int32_t found = DayOfNumber(target);
    if (found == kAmbiguous) return std::nullopt;
    if (found == kNoRow || found == kNullDay) return DayAnswer{dtDay, false};
    return DayAnswer{static_cast<double>(found), true};
}

size_t WorkCalendarIndex::WorkDays(std::span<const WorkDayQuestion> questions,
                                   std::span<double> answers, size_t from) const {
    return WorkDays(questions, answers, {}, from);
}

size_t WorkCalendarIndex::WorkDays(std::span<const WorkDayQuestion> questions,
                                   std::span<double> answers, std::span<uint8_t> found,
                                   size_t from) const {
    if (!answers_) return from;
    const bool noting = !found.empty();
    for (size_t i = from; i < questions.size(); ++i) {
        const WorkDayQuestion& q = questions[i];
        const double d = q.dtDay;
        // The formatter's day; dates it might refuse go to the member.
        if (!(d > automation::kMinOleDate - 1.0 && d <= automation::kMaxOleDate)) return i;
        const int32_t day = automation::RoundedDaySerial(d);
        int64_t h = 0;
        if (!numberAt_.empty() && day >= days_.front() && day <= days_.back()) {
            // One read for the number on or before the day, the common case.
            h = numberAt_[static_cast<size_t>(day - days_.front())];
            if (h == kNumberBeyond32Bits) return i;
        } else {
            const std::ptrdiff_t p = LastOnOrBefore(day);
            if (p < 0) {
                answers[i] = d;
                if (noting) found[i] = 0;
                continue;
            }
            h = maxNumber_[static_cast<size_t>(p)];
            if (h > INT32_MAX) return i;
        }
        const int64_t target = q.Direction == Dir_Backward ? h - q.Interval : h + q.Interval;
        if (target < 1) {
            answers[i] = d;
            if (noting) found[i] = 0;
            continue;
        }
        const int32_t at = DayOfNumber(target);
        if (at == kAmbiguous) return i;
        const bool held = at != kNoRow && at != kNullDay;
        answers[i] = held ? static_cast<double>(at) : d;
        if (noting) found[i] = held ? 1 : 0;
    }
    return questions.size();
}

}  // namespace zev::component
