// CalendarDays (CalendarDays.hpp): the range questions' statements, reading every row,
// judging which of their values the table can model, and the table by day with its
// running counts.
#include "component/CalendarDays.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "component/WorkCalendarIndex.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::component {

namespace {

using automation::Variant;
using automation::VarType;

// As the index reads its rows (WorkCalendarIndex.cpp): SQLite compares a day as the text
// it is stored as, a server compares dates.
constexpr const char* kEmbeddedRows =
    "SELECT typeof(FDay), CAST(FDay AS TEXT), FInterID FROM t_WorkCalendar";
constexpr const char* kServerRows =
    "SELECT CASE WHEN CAST(FDay AS date) = FDay AND FDay BETWEEN '0100-01-01' AND "
    "'9999-12-31' THEN 1 ELSE 0 END, FDay, FInterID FROM t_WorkCalendar";

// No number read for a day yet (its rows' FInterID are NULL so far).
constexpr int64_t kNoNumber = std::numeric_limits<int64_t>::min();

// FInterID as the statements compare and read it: a whole number in 32 bits, or NULL
// (kNoNumber). std::nullopt for what the table does not model: a fraction, a text, a
// number the statements could not read as 32 bits.
std::optional<int64_t> Number(const Variant& value) {
    if (value.IsNull()) return kNoNumber;
    if (value.Type() == VarType::Long) return automation::CLng(value);
    if (value.Type() != VarType::Double) return std::nullopt;
    const double d = automation::CDbl(value);
    if (!std::isfinite(d) || d != std::trunc(d) || d < INT32_MIN || d > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int64_t>(d);
}

// The day of a row as the statements compare it; std::nullopt when it is no day the
// table models.
std::optional<int32_t> DayOf(bool embedded, const Variant& kind, const Variant& day) {
    if (embedded) {
        if (!kind.IsString() || kind.StringRef() != "text") return std::nullopt;
        return DayOfDateText(day.StringRef());
    }
    if (automation::CLng(kind) != 1 || day.Type() != VarType::Date ||
        automation::HasTimeOfDay(automation::CDate(day))) {
        return std::nullopt;
    }
    return automation::OleDaySerial(automation::CDate(day));
}

struct Row {
    int32_t day;
    int64_t number;  // kNoNumber for NULL
};

}  // namespace

namespace RangeStatements {

std::string Count(const std::string& from, const std::string& to) {
    return "SELECT COUNT(DISTINCT FDay), COUNT(DISTINCT CASE WHEN FInterID>0 THEN FDay END) "
           "FROM t_WorkCalendar WHERE FDay>='" +
           from + "' AND FDay<'" + to + "'";
}

std::string Kinds(const std::string& from, const std::string& to) {
    return "SELECT FDay, MAX(FInterID) FROM t_WorkCalendar WHERE FDay>='" + from + "' AND FDay<'" +
           to + "' GROUP BY FDay ORDER BY FDay";
}

std::string KindsFrom(const std::string& from) {
    return "SELECT FDay, MAX(FInterID) FROM t_WorkCalendar WHERE FDay>='" + from +
           "' GROUP BY FDay ORDER BY FDay";
}

}  // namespace RangeStatements

CalendarDays CalendarDays::Load(data::Connection& connection) {
    const bool embedded = connection.GetDialect() == data::Dialect::SQLite;
    data::Recordset rs = connection.Execute(embedded ? kEmbeddedRows : kServerRows);
    CalendarDays table;
    std::vector<Row> rows;
    rows.reserve(static_cast<size_t>(rs.RecordCount()));
    for (; !rs.Eof() && table.answers_; rs.MoveNext()) {
        const Variant& day = rs.Fields(1).Value();
        // A row without a day is in no range, and neither first nor last.
        if (day.IsNull()) continue;
        const std::optional<int32_t> serial = DayOf(embedded, rs.Fields(0).Value(), day);
        const std::optional<int64_t> number = Number(rs.Fields(2).Value());
        table.answers_ = serial.has_value() && number.has_value();
        if (table.answers_) rows.push_back({*serial, *number});
    }
    rs.Close();
    if (!table.answers_ || rows.empty()) return table;

    const auto [low, high] = std::minmax_element(
        rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.day < b.day; });
    const int64_t span = int64_t{high->day} - low->day + 1;
    if (span > static_cast<int64_t>(rows.size()) * 4 + 4096) {
        table.answers_ = false;
        return table;
    }
    table.first_ = low->day;
    std::vector<int64_t> largest(static_cast<size_t>(span), kNoNumber);
    std::vector<bool> held(static_cast<size_t>(span), false);
    for (const Row& row : rows) {
        const size_t at = static_cast<size_t>(row.day - table.first_);
        held[at] = true;
        largest[at] = std::max(largest[at], row.number);
    }
    table.days_.resize(static_cast<size_t>(span));
    table.workBefore_.assign(static_cast<size_t>(span) + 1, 0);
    table.heldBefore_.assign(static_cast<size_t>(span) + 1, 0);
    for (size_t i = 0; i < table.days_.size(); ++i) {
        CalendarDay& d = table.days_[i];
        if (held[i]) {
            d = largest[i] > 0 ? CalendarDay{CalendarDay::Work, static_cast<int32_t>(largest[i])}
                               : CalendarDay{CalendarDay::Rest, 0};
        }
        table.workBefore_[i + 1] = table.workBefore_[i] + (d.kind == CalendarDay::Work ? 1 : 0);
        table.heldBefore_[i + 1] = table.heldBefore_[i] + (held[i] ? 1 : 0);
    }
    return table;
}

WorkDayCount CalendarDays::Count(int32_t from, int32_t to) const {
    const int64_t size = static_cast<int64_t>(days_.size());
    const auto position = [&](int32_t day) {
        return static_cast<size_t>(std::clamp<int64_t>(int64_t{day} - first_, 0, size));
    };
    const size_t lo = position(from);
    const size_t hi = position(to);
    const int32_t held = heldBefore_.empty() ? 0 : heldBefore_[hi] - heldBefore_[lo];
    const int32_t work = workBefore_.empty() ? 0 : workBefore_[hi] - workBefore_[lo];
    return {work, static_cast<int32_t>(int64_t{to} - from - held)};
}

void CalendarDays::Kinds(int32_t from, std::span<CalendarDay> days) const {
    // days[i] is the day at position begin + i of days_; the part that overlaps days_ is
    // copied, the rest is outside.
    const int64_t size = static_cast<int64_t>(days_.size());
    const int64_t begin = int64_t{from} - first_;
    const int64_t end = begin + static_cast<int64_t>(days.size());
    const int64_t lo = std::max<int64_t>(begin, 0);
    const int64_t hi = std::min(end, size);
    if (lo >= hi) {
        std::fill(days.begin(), days.end(), CalendarDay{});
        return;
    }
    const auto into = [&](int64_t position) { return days.begin() + (position - begin); };
    std::fill(days.begin(), into(lo), CalendarDay{});
    std::copy(days_.begin() + lo, days_.begin() + hi, into(lo));
    std::fill(into(hi), days.end(), CalendarDay{});
}

}  // namespace zev::component
