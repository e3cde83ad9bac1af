// CalendarRules and RuleDays (CalendarRules.hpp): the statements on the rules, and their
// expansion by libical's recurrence iterator.
#include "suite/CalendarRules.hpp"

#include <libical/ical.h>

#include <chrono>
#include <map>
#include <memory>
#include <numeric>
#include <set>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/CalendarNotes.hpp"
#include "suite/Schema.hpp"

namespace zev::suite {
namespace {

using automation::Variant;

constexpr const char* kSource = "ZevWorkCal.CalendarRules";
constexpr const char* kSelectRules =
    "SELECT FRuleID, FRule, FKind, FNote, FStart FROM t_WorkCalendarRule ORDER BY FRuleID";
constexpr const char* kLargestId = "SELECT MAX(FRuleID) FROM t_WorkCalendarRule";
constexpr const char* kInsertRule =
    "INSERT INTO t_WorkCalendarRule(FRuleID,FRule,FKind,FNote,FStart) VALUES(?,?,?,?,?)";
constexpr const char* kCountRule = "SELECT COUNT(*) FROM t_WorkCalendarRule WHERE FRuleID=?";
constexpr const char* kDeleteRule = "DELETE FROM t_WorkCalendarRule WHERE FRuleID=?";
constexpr const char* kCannotExpand = "重复规则无法展开";
constexpr const char* kNoDay = "这条规则从它的第一天起没有一天";
constexpr const char* kSameRule = "已有同样的规则";

// The failure of a rule that cannot be expanded, naming it as a message may show it.
automation::ComError CannotExpand(std::string_view recurrence) {
    return automation::ComError(
        automation::errors::kUnspecified, kSource,
        automation::MarkedText(kCannotExpand, ": " + automation::EscapeControls(recurrence)));
}

struct IteratorFree {
    void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
};

constexpr std::string_view kExceptions = " EXDATE:";

// The recurrence libical reads from `text` (its RRULE part), when it reads one that
// repeats by days or coarser.
std::optional<icalrecurrencetype> Parsed(std::string_view text) {
    std::string value(automation::Trim(RecurrenceRule(text), " \t"));
    if (automation::UpperAscii(value.substr(0, 6)) == "RRULE:") value.erase(0, 6);
    if (value.empty()) return std::nullopt;
    icalerror_clear_errno();
    const icalrecurrencetype rule = icalrecurrencetype_from_string(value.c_str());
    if (icalerrno != ICAL_NO_ERROR || rule.freq == ICAL_NO_RECURRENCE ||
        rule.freq == ICAL_SECONDLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE ||
        rule.freq == ICAL_HOURLY_RECURRENCE) {
        icalerror_clear_errno();
        return std::nullopt;
    }
    return rule;
}

}  // namespace

icaltimetype IcalDate(double day) {
    const automation::CivilDateTime c = automation::CivilFromOle(day);
    // A date of its own: the null date's time fields are not midnight but unset, which
    // the iterator takes for a time before the day and so shifts or never ends a rule.
    icaltimetype t = icaltime_null_date();
    t.year = c.Year;
    t.month = c.Month;
    t.day = c.Day;
    t.hour = 0;
    t.minute = 0;
    t.second = 0;
    t.is_date = 1;
    return t;
}

std::string_view RecurrenceRule(std::string_view text) {
    const size_t at = text.find(kExceptions);
    return at == std::string_view::npos ? text : text.substr(0, at);
}

std::optional<std::set<int32_t>> RecurrenceExceptions(std::string_view text) {
    std::set<int32_t> days;
    const size_t at = text.find(kExceptions);
    if (at == std::string_view::npos) return days;
    std::string_view rest = text.substr(at + kExceptions.size());
    if (rest.empty() || rest.back() == ',') return std::nullopt;
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string_view one = rest.substr(0, comma);
        // An iCalendar date as libical reads one ("20320501").
        const std::string value(one);
        icalerror_clear_errno();
        const icaltimetype t = icaltime_from_string(value.c_str());
        const bool date =
            icalerrno == ICAL_NO_ERROR && !icaltime_is_null_time(t) && t.is_date && t.year >= 100 &&
            value.size() == 8 &&
            std::chrono::year_month_day{std::chrono::year(t.year),
                                        std::chrono::month(static_cast<unsigned>(t.month)),
                                        std::chrono::day(static_cast<unsigned>(t.day))}
                .ok();
        icalerror_clear_errno();
        if (!date) return std::nullopt;
        days.insert(automation::OleDaySerial(automation::OleFromCivil(t.year, t.month, t.day)));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return days;
}

std::string WithExceptions(std::string_view text, const std::set<int32_t>& days) {
    std::string kept(RecurrenceRule(text));
    for (const int32_t day : days) {
        char* written = icaltime_as_ical_string_r(IcalDate(static_cast<double>(day)));
        kept += (day == *days.begin() ? std::string(kExceptions) : std::string(","));
        kept += written;
        icalmemory_free_buffer(written);
    }
    return kept;
}

std::optional<std::string> RecurrenceOf(std::string_view text) {
    std::optional<icalrecurrencetype> rule = Parsed(text);
    if (!rule) return std::nullopt;
    const std::optional<std::set<int32_t>> exceptions = RecurrenceExceptions(text);
    if (!exceptions) return std::nullopt;
    // An iterator from any day tells whether the library can expand the rule at all.
    const std::unique_ptr<icalrecur_iterator, IteratorFree> each(
        icalrecur_iterator_new(*rule, IcalDate(automation::OleFromCivil(2000, 1, 1))));
    if (!each) return std::nullopt;
    char* written = icalrecurrencetype_as_string_r(&*rule);
    if (written == nullptr) return std::nullopt;
    std::string kept(written);
    icalmemory_free_buffer(written);
    return WithExceptions(kept, *exceptions);
}

namespace {

// The library expands no recurrence past 2582; the days from 2580 on are found 400 years
// (or a multiple) earlier, where the calendar's days and weekdays are the same.
const int32_t kLibraryLimit = automation::OleDaySerial(automation::OleFromCivil(2580, 1, 1));
constexpr int32_t kDaysOf400Years = 146097;

// The days of `rule`, started on the day `start` (a serial), from `first` to `last` as the
// library's iterator gives them.
std::vector<int32_t> IteratedDays(const icalrecurrencetype& parsed, const CalendarRule& rule,
                                  int32_t start, int32_t first, int32_t last) {
    const std::unique_ptr<icalrecur_iterator, IteratorFree> each(
        icalrecur_iterator_new(parsed, IcalDate(start)));
    if (!each) {
        throw CannotExpand(rule.Recurrence);
    }
    std::vector<int32_t> days;
    // The iterator gives each day once, in order: never more steps than days, whatever
    // the library does with a rule it cannot end.
    int64_t steps = int64_t{last} - start + 2;
    for (icaltimetype t = icalrecur_iterator_next(each.get());
         !icaltime_is_null_time(t) && steps-- > 0; t = icalrecur_iterator_next(each.get())) {
        const int32_t day =
            automation::OleDaySerial(automation::OleFromCivil(t.year, t.month, t.day));
        if (day > last) break;
        if (day >= first && (days.empty() || days.back() != day)) days.push_back(day);
    }
    return days;
}

// How many days the rule's days repeat after: 400 years times the cycles that bring its
// interval back to the same step; 0 when they do not repeat (a COUNT).
int64_t RepeatDays(const icalrecurrencetype& parsed) {
    if (parsed.count > 0) return 0;
    const int64_t interval = parsed.interval > 0 ? parsed.interval : 1;
    // A rule of weeks by weekdays alone, or of days alone, repeats with its step: a run of
    // steps a year or more long will do.
    const auto none = [](const short* values) { return values[0] == ICAL_RECURRENCE_ARRAY_MAX; };
    const bool byDaysAlone = none(parsed.by_month) && none(parsed.by_month_day) &&
                             none(parsed.by_year_day) && none(parsed.by_week_no) &&
                             none(parsed.by_set_pos);
    if (byDaysAlone && (parsed.freq == ICAL_WEEKLY_RECURRENCE ||
                        (parsed.freq == ICAL_DAILY_RECURRENCE && none(parsed.by_day)))) {
        const int64_t step = parsed.freq == ICAL_WEEKLY_RECURRENCE ? 7 * interval : interval;
        return step * ((366 + step - 1) / step);
    }
    // The steps of each frequency in 400 years.
    int64_t steps = 0;
    switch (parsed.freq) {
        case ICAL_YEARLY_RECURRENCE:
            steps = 400;
            break;
        case ICAL_MONTHLY_RECURRENCE:
            steps = 4800;
            break;
        case ICAL_WEEKLY_RECURRENCE:
            steps = kDaysOf400Years / 7;
            break;
        case ICAL_DAILY_RECURRENCE:
            steps = kDaysOf400Years;
            break;
        default:
            return 0;
    }
    return interval / std::gcd(interval, steps) * kDaysOf400Years;
}

// Where the rule, started a whole number of repeats earlier, has a whole repeat before the
// library's end: a day from 1600 on, where the library counts weekdays as the calendar
// does; nullopt for a rule that does not repeat so (a COUNT, too long a repeat).
std::optional<int64_t> EarlyStart(const icalrecurrencetype& parsed, int32_t start) {
    const int64_t repeat = RepeatDays(parsed);
    if (repeat == 0) return std::nullopt;
    const int64_t base = kLibraryLimit - repeat;
    const int64_t early =
        start - (start > base ? (start - base + repeat - 1) / repeat : 0) * repeat;
    if (early < automation::OleDaySerial(automation::OleFromCivil(1600, 1, 1))) return std::nullopt;
    return early;
}

}  // namespace

std::optional<double> RuleDaysEnd(const CalendarRule& rule) {
    const std::optional<icalrecurrencetype> parsed = Parsed(rule.Recurrence);
    if (!parsed) return std::nullopt;
    const double end = kLibraryLimit - 1.0;
    if (!icaltime_is_null_time(parsed->until) &&
        automation::OleFromCivil(parsed->until.year, parsed->until.month, parsed->until.day) <=
            end) {
        return std::nullopt;
    }
    if (parsed->count > 0) {
        const size_t given = RecurrenceDays(rule, rule.Start, end).size();
        return given >= static_cast<size_t>(parsed->count) ? std::nullopt
                                                           : std::optional<double>(end);
    }
    return EarlyStart(*parsed, automation::OleDaySerial(rule.Start)) ? std::nullopt
                                                                     : std::optional<double>(end);
}

std::vector<int32_t> RuleDays(const CalendarRule& rule, double from, double to) {
    std::vector<int32_t> days = RecurrenceDays(rule, from, to);
    const std::optional<std::set<int32_t>> exceptions = RecurrenceExceptions(rule.Recurrence);
    if (exceptions && !exceptions->empty()) {
        std::erase_if(days, [&](int32_t day) { return exceptions->contains(day); });
    }
    return days;
}

std::vector<int32_t> RecurrenceDays(const CalendarRule& rule, double from, double to) {
    const std::optional<icalrecurrencetype> parsed = Parsed(rule.Recurrence);
    if (!parsed) {
        throw CannotExpand(rule.Recurrence);
    }
    const int32_t start = automation::OleDaySerial(rule.Start);
    const int32_t first = std::max(automation::OleDaySerial(from), start);
    const int32_t last = automation::OleDaySerial(to);
    if (last < first) return {};
    std::vector<int32_t> days;
    if (first < kLibraryLimit) {
        days = IteratedDays(*parsed, rule, start, first, std::min(last, kLibraryLimit - 1));
    }
    if (last < kLibraryLimit) return days;
    // Past the library's end, the days of the last repeat before it, shifted by whole
    // repeats. Started a whole number of repeats earlier (the same date and weekday, the
    // same step of its interval), a rule gives the same days; so it is started early
    // enough for a whole repeat to lie before the library's end (RuleDaysEnd says where a
    // rule cannot be).
    const std::optional<int64_t> early = EarlyStart(*parsed, start);
    if (!early) return days;
    const int64_t repeat = RepeatDays(*parsed);
    const int64_t base = kLibraryLimit - repeat;
    const std::vector<int32_t> once = IteratedDays(*parsed, rule, static_cast<int32_t>(*early),
                                                   static_cast<int32_t>(base), kLibraryLimit - 1);
    const int64_t until = icaltime_is_null_time(parsed->until)
                              ? INT64_MAX
                              : automation::OleDaySerial(automation::OleFromCivil(
                                    parsed->until.year, parsed->until.month, parsed->until.day));
    for (int64_t shift = repeat; base + shift <= last; shift += repeat) {
        for (const int32_t day : once) {
            const int64_t shifted = day + shift;
            if (shifted > last || shifted > until) return days;
            if (shifted >= first) days.push_back(static_cast<int32_t>(shifted));
        }
    }
    return days;
}

size_t DaysRulesWouldTurn(const std::vector<CalendarRule>& rules, double from, double to,
                          const std::function<std::optional<bool>(int32_t)>& rests) {
    std::map<int32_t, bool> ruled;
    for (const CalendarRule& r : rules) {
        for (const int32_t day : RuleDays(r, from, to))
            ruled[day] = r.Rest;
    }
    size_t differ = 0;
    for (const auto& [day, rest] : ruled) {
        const std::optional<bool> held = rests(day);
        differ += held && *held != rest ? 1 : 0;
    }
    return differ;
}

bool CalendarRules::HasTable() {
    return connection_.HasTable(kRuleTable);
}

std::vector<CalendarRule> CalendarRules::Rules() {
    std::vector<CalendarRule> rules;
    if (!HasTable()) return rules;
    for (data::Recordset rs = connection_.ExecuteWith(kSelectRules, {}); !rs.Eof(); rs.MoveNext()) {
        rules.push_back(
            {automation::CLng(rs.Fields(0).Value()), automation::CStr(rs.Fields(1).Value()),
             automation::CStr(rs.Fields(2).Value()) == "rest",
             rs.Fields(3).Value().IsNull() ? "" : automation::CStr(rs.Fields(3).Value()),
             automation::OleDatePart(automation::CDate(rs.Fields(4).Value()))});
    }
    return rules;
}

component::Outcome CalendarRules::Add(CalendarRule& rule) {
    if (!HasTable()) return component::Outcome::Refused(kNoRuleTable);
    const std::optional<std::string> recurrence = RecurrenceOf(rule.Recurrence);
    if (!recurrence) {
        return component::Outcome::Refused(kCannotExpand,
                                           ": " + automation::EscapeControls(rule.Recurrence));
    }
    rule.Note = std::string(automation::Trim(rule.Note, " \t"));
    if (std::optional<component::Outcome> problem = NoteProblem(rule.Note)) return *problem;
    rule.Recurrence = *recurrence;
    // A rule that never gives a day (ended before its first day, or beginning past where
    // the rules can be expanded) would be stored for nothing.
    const double lastDay = automation::OleFromCivil(9999, 12, 31);
    if (RuleDays(rule, rule.Start, std::min(rule.Start + kDaysOf400Years, lastDay)).empty()) {
        return component::Outcome::Refused(kNoDay, ": " + rule.Recurrence);
    }
    for (const CalendarRule& held : Rules()) {
        if (held.Recurrence == rule.Recurrence && held.Rest == rule.Rest &&
            held.Note == rule.Note && held.Start == automation::OleDatePart(rule.Start)) {
            return component::Outcome::Refused(kSameRule, ": " + std::to_string(held.Id));
        }
    }
    data::Recordset largest = connection_.ExecuteWith(kLargestId, {});
    rule.Id =
        largest.Fields(0).Value().IsNull() ? 1 : automation::CLng(largest.Fields(0).Value()) + 1;
    const Variant values[] = {Variant(rule.Id), Variant(rule.Recurrence),
                              Variant(rule.Rest ? "rest" : "work"), Variant(rule.Note),
                              Variant::FromDate(automation::OleDaySerial(rule.Start))};
    connection_.ExecuteWith(kInsertRule, values);
    return component::Outcome::Done();
}

component::Outcome CalendarRules::Remove(int32_t id) {
    if (!HasTable()) return component::Outcome::Unchanged();
    const Variant key[] = {Variant(id)};
    data::Recordset rs = connection_.ExecuteWith(kCountRule, key);
    if (automation::CLng(rs.Fields(0).Value()) == 0) return component::Outcome::Unchanged();
    connection_.ExecuteWith(kDeleteRule, key);
    return component::Outcome::Done();
}

namespace {

class DayRules final : public automation::Object, public host::IDayRules {
  public:
    size_t DaysToTurn(data::Connection& connection, double from, double to,
                      const std::function<std::optional<bool>(int32_t)>& rests) override {
        return DaysRulesWouldTurn(CalendarRules(connection).Rules(), from, to, rests);
    }
};

}  // namespace

void RegisterDayRules() {
    automation::RegisterFactory(host::progid::kDayRules,
                                [] { return std::make_shared<DayRules>(); });
}

}  // namespace zev::suite
