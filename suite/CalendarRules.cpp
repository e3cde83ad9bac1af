// CalendarRules and RuleDays (CalendarRules.hpp): the statements on the rules, and their
// expansion by libical's recurrence iterator.
#include "suite/CalendarRules.hpp"

#include <libical/ical.h>

#include <map>
#include <memory>

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
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

struct IteratorFree {
    void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
};

// The recurrence libical reads from `text`, when it reads one that repeats by days or
// coarser.
std::optional<icalrecurrencetype> Parsed(std::string_view text) {
    std::string value(automation::Trim(text, " \t"));
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

icaltimetype IcalDate(double day) {
    const automation::CivilDateTime c = automation::CivilFromOle(day);
    icaltimetype t = icaltime_null_date();
    t.year = c.Year;
    t.month = c.Month;
    t.day = c.Day;
    return t;
}

}  // namespace

std::optional<std::string> RecurrenceOf(std::string_view text) {
    std::optional<icalrecurrencetype> rule = Parsed(text);
    if (!rule) return std::nullopt;
    // An iterator from any day tells whether the library can expand the rule at all.
    const std::unique_ptr<icalrecur_iterator, IteratorFree> each(
        icalrecur_iterator_new(*rule, IcalDate(automation::OleFromCivil(2000, 1, 1))));
    if (!each) return std::nullopt;
    char* written = icalrecurrencetype_as_string_r(&*rule);
    if (written == nullptr) return std::nullopt;
    std::string kept(written);
    icalmemory_free_buffer(written);
    return kept;
}

std::vector<int32_t> RuleDays(const CalendarRule& rule, double from, double to) {
    std::optional<icalrecurrencetype> parsed = Parsed(rule.Recurrence);
    const std::unique_ptr<icalrecur_iterator, IteratorFree> each(
        parsed ? icalrecur_iterator_new(*parsed, IcalDate(rule.Start)) : nullptr);
    if (!each) {
        throw automation::ComError(automation::errors::kUnspecified, kSource,
                                   automation::MarkedText(kCannotExpand, ": " + rule.Recurrence));
    }
    const int32_t first =
        std::max(automation::OleDaySerial(from), automation::OleDaySerial(rule.Start));
    const int32_t last = automation::OleDaySerial(to);
    std::vector<int32_t> days;
    for (icaltimetype t = icalrecur_iterator_next(each.get()); !icaltime_is_null_time(t);
         t = icalrecur_iterator_next(each.get())) {
        const int32_t day =
            automation::OleDaySerial(automation::OleFromCivil(t.year, t.month, t.day));
        if (day > last) break;
        if (day >= first && (days.empty() || days.back() != day)) days.push_back(day);
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
    if (!recurrence) return component::Outcome::Refused(kCannotExpand, ": " + rule.Recurrence);
    if (std::optional<component::Outcome> problem = NoteProblem(rule.Note)) return *problem;
    rule.Recurrence = *recurrence;
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
