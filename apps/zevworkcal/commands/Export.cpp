// zevworkcal export: the days that break the weekly rule (holidays, worked weekend days),
// with their notes, or every day, as CSV in the import's own format, as iCalendar that
// calendar programs subscribe to, or as JSON.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <libical/ical.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "apps/zevworkcal/ImportFile.hpp"
#include "apps/zevworkcal/QueryOutput.hpp"
#include "component/WeekendRule.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/CalendarNotes.hpp"
#include "suite/CalendarRules.hpp"
#include "suite/CalendarStore.hpp"

namespace zev::cli::commands {

namespace {

using host::MMTS::LoadLocalText;

enum class ExportFormat { Csv, Ics, Json };

struct ExportOptions {
    std::optional<std::string> from;
    std::optional<std::string> to;
    ExportFormat format = ExportFormat::Csv;
    bool all = false;
};

// A day as it is exported.
struct ExportedDay {
    int32_t Serial = 0;
    bool Work = false;
    int32_t Number = 0;  // its work-day number; 0 for a rest day
    std::string Note;
};

// The days of the range exported, each as the calendar holds it, read in one snapshot.
struct ExportRange {
    int32_t First = 0;  // the range's first day; its days follow
    std::vector<component::CalendarDay> Held;
    std::map<int32_t, std::string> Notes;
    std::vector<ExportedDay> Days;  // those exported day by day

    // Whether the calendar holds `serial` as a day of kind `rest` with the note `note`.
    bool Holds(int32_t serial, bool rest, const std::string& note) const {
        if (serial < First || serial - First >= static_cast<int64_t>(Held.size())) return false;
        const component::CalendarDay& day = Held[static_cast<size_t>(serial - First)];
        if (day.kind == component::CalendarDay::Outside) return false;
        const auto held = Notes.find(serial);
        return (day.kind == component::CalendarDay::Rest) == rest &&
               (held == Notes.end() ? std::string() : held->second) == note;
    }
};

// The days of the calendar from --from up to the day before --to (each side the
// calendar's end when not given) that are exported: every day with --all, else the
// exceptions to the stored weekly rule and the days that carry a note (a note on a plain
// day is kept too), all read in one snapshot.
ExportRange DaysToExport(const ExportOptions& o, std::optional<double> from,
                         std::optional<double> to, component::clsCal& cal) {
    data::Connection& connection = component::mdlCal::Connection();
    const data::ReadSnapshot snapshot(connection);
    const std::optional<component::DaySpan> span = cal.CalendarSpan();
    if (!span) return {};
    int32_t first = automation::OleDaySerial(span->First);
    int32_t end = automation::OleDaySerial(span->Last) + 1;
    if (from) first = std::max(first, automation::OleDaySerial(*from));
    if (to) end = std::min(end, automation::OleDaySerial(*to));
    if (end <= first) return {};

    ExportRange range;
    range.First = first;
    std::vector<component::CalendarDay>& held = range.Held;
    held.resize(static_cast<size_t>(end - first));
    const component::WorkDaysResult result = cal.DayKinds(first, held);
    if (result.Failure) throw automation::ComError(*result.Failure);
    std::map<int32_t, std::string>& notes = range.Notes;
    for (suite::DayNote& n : suite::CalendarNotes(connection).Notes(first, end))
        notes.emplace(n.Day, std::move(n.Note));
    suite::CalendarStore store(connection);
    const component::WeekendRule rule{store.SwitchIsOn("SatNotWork"),
                                      store.SwitchIsOn("SunNotWork")};

    std::vector<ExportedDay>& days = range.Days;
    for (size_t i = 0; i < held.size(); ++i) {
        const component::CalendarDay& day = held[i];
        if (day.kind == component::CalendarDay::Outside) continue;
        const int32_t serial = first + static_cast<int32_t>(i);
        const bool work = day.kind == component::CalendarDay::Work;
        const auto note = notes.find(serial);
        const bool exception = work == rule.IsRestDay(serial);
        if (!o.all && !exception && note == notes.end()) continue;
        days.push_back({serial, work, day.Number, note == notes.end() ? "" : note->second});
    }
    return range;
}

std::string IsoOf(int32_t serial) {
    std::string text;
    automation::AppendIsoDate(text, automation::DayOfSerial(serial));
    return text;
}

// The import's format: "date,kind,note", then DATE,rest|work[,NOTE] per day.
std::string CsvOf(const std::vector<ExportedDay>& days) {
    std::string text = "date,kind,note\n";
    for (const ExportedDay& d : days) {
        // Three fields on every row, as the header names them; an empty note is none.
        text += IsoOf(d.Serial) + (d.Work ? ",work," : ",rest,");
        if (!d.Note.empty()) AppendCsvField(text, d.Note);
        text += '\n';
    }
    return text;
}

std::string JsonOf(const std::vector<ExportedDay>& days) {
    std::string text = "[";
    for (size_t i = 0; i < days.size(); ++i) {
        const ExportedDay& d = days[i];
        text += (i == 0 ? "\n{\"date\":\"" : ",\n{\"date\":\"") + IsoOf(d.Serial) +
                (d.Work ? "\",\"kind\":\"work\",\"number\":" : "\",\"kind\":\"rest\",\"number\":") +
                std::to_string(d.Number) + ",\"note\":";
        AppendJsonString(text, d.Note);
        text += '}';
    }
    return text + (days.empty() ? "]\n" : "\n]\n");
}

// A text that every calendar program takes inside a UID: letters, digits, ".", "-", "_".
std::string UidPart(const std::string& name) {
    std::string part;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        part += plain ? c : '-';
    }
    return part.empty() ? "calendar" : part;
}

icaltimetype IcalDay(int32_t serial) {
    return suite::IcalDate(static_cast<double>(serial));
}

// Now, in UTC, as DTSTAMP needs it.
icaltimetype IcalNow() {
    const automation::CivilDateTime c = automation::CivilFromOle(automation::Now());
    std::tm local{};
    local.tm_year = c.Year - 1900;
    local.tm_mon = c.Month - 1;
    local.tm_mday = c.Day;
    local.tm_hour = c.Hour;
    local.tm_min = c.Minute;
    local.tm_sec = c.Second;
    local.tm_isdst = -1;
    return icaltime_from_timet_with_zone(std::mktime(&local), 0, icaltimezone_get_utc_timezone());
}

// One all-day event per day, UID the day and the calendar's name, so that a calendar
// program subscribed to the export keeps each day as one event across exports.
std::string IcsOf(const ExportRange& range, const std::vector<suite::CalendarRule>& rules) {
    const std::vector<ExportedDay>& days = range.Days;
    const std::string name = CalendarName();
    // The calendar's own identity keeps two plants apart whatever their files are called;
    // a calendar made before identities were given keeps the UIDs of its name.
    const std::optional<std::string> identity =
        suite::CalendarStore(component::mdlCal::Connection()).Identity();
    const std::string uidTail = "-" + UidPart(identity ? *identity : name) + "@zevworkcal";
    const std::string restKind = LoadLocalText("工厂休息日");
    const std::string workKind = LoadLocalText("工厂工作日");
    const icaltimetype stamp = IcalNow();
    icalcomponent* calendar = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
    icalcomponent_add_property(calendar, icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar, icalproperty_new_prodid("-//ZevWorkCal//zevworkcal//EN"));
    icalcomponent_add_property(calendar, icalproperty_new_calscale("GREGORIAN"));
    icalproperty* title = icalproperty_new_x(automation::EscapeControls(name).c_str());
    icalproperty_set_x_name(title, "X-WR-CALNAME");
    icalcomponent_add_property(calendar, title);
    // A day a rule made as the rule says travels in the rule's recurring event: the kind
    // and the note of the last rule on each day. Any other day of a rule in the range (the
    // calendar holds it otherwise, or a later rule has the last word) is an EXDATE of the
    // rule's event, so that the file imported again gives every day as the calendar has it.
    const int32_t rangeLast = range.First + static_cast<int32_t>(range.Held.size()) - 1;
    std::map<int32_t, const suite::CalendarRule*> byRule;
    std::map<const suite::CalendarRule*, std::vector<int32_t>> ruleDays;
    if (!range.Held.empty()) {
        for (const suite::CalendarRule& r : rules) {
            std::vector<int32_t>& given = ruleDays[&r];
            given = suite::RuleDays(r, range.First, rangeLast);
            for (const int32_t day : given)
                byRule[day] = &r;
        }
    }
    const auto madeBy = [&](int32_t day, const suite::CalendarRule& r) {
        const auto last = byRule.find(day);
        return last != byRule.end() && last->second == &r && range.Holds(day, r.Rest, r.Note);
    };
    const auto summaryOf = [&](icalcomponent* event, const std::string& note, bool work) {
        // The library escapes line ends and separators, not the other control characters.
        const std::string summary = !note.empty() ? automation::EscapeControls(note)
                                    : work        ? workKind
                                                  : restKind;
        icalcomponent_add_property(event, icalproperty_new_summary(summary.c_str()));
        if (note.empty()) {
            icalproperty* unnoted = icalproperty_new_x("TRUE");
            icalproperty_set_x_name(unnoted, kNoNoteMark);
            icalcomponent_add_property(event, unnoted);
        }
        if (work) icalcomponent_add_property(event, icalproperty_new_categories("WORK"));
        icalcomponent_add_property(event, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
    };
    for (const suite::CalendarRule& r : rules) {
        icalcomponent* event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
        const std::vector<int32_t> first = suite::RuleDays(r, r.Start, r.Start + 3660);
        const int32_t start = first.empty() ? automation::OleDaySerial(r.Start) : first.front();
        const std::string uid = "rule" + std::to_string(r.Id) + uidTail;
        icalcomponent_add_property(event, icalproperty_new_uid(uid.c_str()));
        icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp));
        icalcomponent_add_property(event, icalproperty_new_dtstart(IcalDay(start)));
        icalcomponent_add_property(event, icalproperty_new_dtend(IcalDay(start + 1)));
        icalcomponent_add_property(event,
                                   icalproperty_new_rrule(icalrecurrencetype_from_string(
                                       std::string(suite::RecurrenceRule(r.Recurrence)).c_str())));
        for (const int32_t day :
             suite::RecurrenceExceptions(r.Recurrence).value_or(std::set<int32_t>()))
            icalcomponent_add_property(event, icalproperty_new_exdate(IcalDay(day)));
        for (const int32_t day : ruleDays[&r]) {
            if (!madeBy(day, r))
                icalcomponent_add_property(event, icalproperty_new_exdate(IcalDay(day)));
        }
        summaryOf(event, r.Note, !r.Rest);
        icalcomponent_add_component(calendar, event);
    }
    for (const ExportedDay& d : days) {
        // A day changed since its rule made it goes alone.
        const auto made = byRule.find(d.Serial);
        if (made != byRule.end() && madeBy(d.Serial, *made->second)) continue;
        icalcomponent* event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
        std::string uid = IsoOf(d.Serial);
        uid.erase(std::remove(uid.begin(), uid.end(), '-'), uid.end());
        icalcomponent_add_property(event, icalproperty_new_uid((uid + uidTail).c_str()));
        icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp));
        icalcomponent_add_property(event, icalproperty_new_dtstart(IcalDay(d.Serial)));
        icalcomponent_add_property(event, icalproperty_new_dtend(IcalDay(d.Serial + 1)));
        summaryOf(event, d.Note, d.Work);
        icalcomponent_add_component(calendar, event);
    }
    char* text = icalcomponent_as_ical_string_r(calendar);
    icalcomponent_free(calendar);
    if (text == nullptr) {
        throw automation::ComError(automation::errors::kUnspecified, "zevworkcal",
                                   automation::MarkedText("无法写出 iCalendar 日历"));
    }
    std::string written(text);
    std::free(text);
    return written;
}

int RunExport(const ExportOptions& o, Session& s) {
    const std::optional<double> from = OptionalDate(o.from);
    const std::optional<double> to = OptionalDate(o.to);
    if (from && to && automation::OleDaySerial(*to) < automation::OleDaySerial(*from)) {
        throw UsageError(automation::MarkedText("TO 不能早于 FROM", ": " + *o.from + " " + *o.to));
    }
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    const ExportRange range = DaysToExport(o, from, to, *cal);
    const std::vector<ExportedDay>& days = range.Days;
    switch (o.format) {
        case ExportFormat::Csv:
            s.out.Write(CsvOf(days));
            break;
        case ExportFormat::Ics:
            // Each rule travels as one recurring event, unless every day is asked for.
            s.out.Write(IcsOf(
                range, o.all ? std::vector<suite::CalendarRule>()
                             : suite::CalendarRules(component::mdlCal::Connection()).Rules()));
            break;
        case ExportFormat::Json:
            s.out.Write(JsonOf(days));
            break;
    }
    return kOk;
}

}  // namespace

Command Export(CLI::App& program) {
    auto o = std::make_shared<ExportOptions>();
    CLI::App* app = program.add_subcommand(
        "export",
        "写出每周规则的例外（不是周末的休息日、工作的周末）及有备注的日子，或用 --all 写出每一天");
    app->add_option("--from", o->from, "起始日期 YYYY-MM-DD（默认工厂日历的第一天）")
        ->type_name("DATE");
    app->add_option("--to", o->to, "结束日期（不含）YYYY-MM-DD（默认工厂日历的最后一天之后）")
        ->type_name("DATE");
    AddChoiceOption<ExportFormat>(
        *app, "--format",
        {{"csv", ExportFormat::Csv}, {"ics", ExportFormat::Ics}, {"json", ExportFormat::Json}},
        o->format, "输出格式：csv（导入的格式）、ics（iCalendar）或 json（默认 csv）", "FORMAT");
    app->add_flag("--all", o->all, "写出每一天，而不只是例外");
    return {app, [o](Session& s) { return RunExport(*o, s); },
            "export --from 2027-01-01 --format ics"};
}

}  // namespace zev::cli::commands
