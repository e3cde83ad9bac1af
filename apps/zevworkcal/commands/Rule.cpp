// zevworkcal rule: the calendar's recurring days. add, list and remove manage them; apply
// gives the days the calendar already holds what the rules say, as import does; extend
// applies them to the days it appends.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <cstdio>
#include <map>
#include <memory>
#include <optional>

#include "apps/zevworkcal/QueryOutput.hpp"
#include "component/CalendarWrite.hpp"
#include "component/PlannedYears.hpp"
#include "component/mdlCal.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Utf8.hpp"
#include "suite/CalendarRules.hpp"

namespace zev::cli::commands {

namespace {

using component::Outcome;
using host::MMTS::LoadLocalText;

struct RuleOptions {
    CLI::App* add = nullptr;
    CLI::App* list = nullptr;
    CLI::App* remove = nullptr;
    CLI::App* apply = nullptr;
    std::string recurrence;
    std::string kind;
    std::string note;
    std::string from;
    int32_t id = 0;
    std::string applyFrom;
    std::string applyTo;
    bool dryRun = false;
    Format format = Format::Text;
};

// "3 2026-12-09 rest FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1 Labour Day"
std::string RuleLine(const suite::CalendarRule& r) {
    return std::to_string(r.Id) + " " + automation::FormatIsoDate(r.Start) +
           (r.Rest ? " rest " : " work ") + automation::EscapeControls(r.Recurrence) +
           (r.Note.empty() ? "" : " " + automation::EscapeControls(r.Note));
}

int RunAdd(const RuleOptions& o, Session& s) {
    const std::string kind = automation::UpperAscii(o.kind);
    if (kind != "REST" && kind != "WORK") {
        throw UsageError(automation::MarkedText("KIND 应为 rest 或 work", ": " + o.kind));
    }
    const double start = o.from.empty() ? automation::Today() : ParseDateArgument(o.from);
    RequireSchema();
    const data::ConnectionPtr connection = AppConnection();
    component::CalendarWrite write(*connection);
    suite::CalendarRule rule{0, o.recurrence, kind == "REST", std::string(o.note),
                             automation::OleDatePart(start)};
    const Outcome added = suite::CalendarRules(*connection).Add(rule);
    if (!added.IsDone()) return ExitCodeOf(Shown(added));
    write.Record({"rule add", std::nullopt, "", rule.Recurrence, rule.Note});
    write.Commit();
    s.out.Line(RuleLine(rule));
    return kOk;
}

int RunList(const RuleOptions& o, Session& s) {
    RequireSchema();
    const data::ConnectionPtr connection = AppConnection();
    const std::vector<suite::CalendarRule> rules = suite::CalendarRules(*connection).Rules();
    std::string text = o.format == Format::Csv    ? "id,from,kind,rule,note\n"
                       : o.format == Format::Json ? "["
                                                  : "";
    for (size_t i = 0; i < rules.size(); ++i) {
        const suite::CalendarRule& r = rules[i];
        const std::string from = automation::FormatIsoDate(r.Start);
        const std::string kind = r.Rest ? "rest" : "work";
        switch (o.format) {
            case Format::Text:
                text += RuleLine(r) + "\n";
                break;
            case Format::Csv:
                text += std::to_string(r.Id) + "," + from + "," + kind + ",";
                AppendCsvField(text, r.Recurrence);
                text += ",";
                AppendCsvField(text, r.Note);
                text += "\n";
                break;
            case Format::Json:
                text += std::string(i == 0 ? "\n" : ",\n") + "{\"id\":" + std::to_string(r.Id) +
                        ",\"from\":\"" + from + "\",\"kind\":\"" + kind + "\",\"rule\":";
                AppendJsonString(text, r.Recurrence);
                text += ",\"note\":";
                AppendJsonString(text, r.Note);
                text += "}";
                break;
        }
    }
    if (o.format == Format::Json) text += rules.empty() ? "]\n" : "\n]\n";
    s.out.Write(text);
    return kOk;
}

int RunRemove(const RuleOptions& o, Session& s) {
    RequireSchema();
    const data::ConnectionPtr connection = AppConnection();
    component::CalendarWrite write(*connection);
    const Outcome removed = suite::CalendarRules(*connection).Remove(o.id);
    if (!removed.IsDone()) {
        return ExitCodeOf(Shown(Outcome::Refused("没有这条规则", ": " + std::to_string(o.id))));
    }
    write.Record({"rule remove", std::nullopt, std::to_string(o.id), "", ""});
    write.Commit();
    s.out.Line(LoadLocalText("规则已删除") + ": " + std::to_string(o.id));
    return kOk;
}

// Every day from FROM up to the day before TO on which a rule falls, the later rule
// having the last word on a day two give, in date order.
int RunApply(const RuleOptions& o, Session& s) {
    const double from = automation::OleDatePart(ParseDateArgument(o.applyFrom));
    const double to = automation::OleDatePart(ParseDateArgument(o.applyTo));
    if (to <= from) {
        throw UsageError(
            automation::MarkedText("TO 必须晚于 FROM", ": " + o.applyFrom + " " + o.applyTo));
    }
    return TurnListedDays(
        [&](data::Connection& connection) {
            WarnOfRulesEndingBefore(s, connection, to - 1);
            std::map<int32_t, ListedDay> days;
            for (const suite::CalendarRule& r : suite::CalendarRules(connection).Rules()) {
                for (const int32_t day : suite::RuleDays(r, from, to - 1))
                    days[day] = {static_cast<double>(day), r.Rest, r.Note, r.Id};
            }
            std::vector<ListedDay> listed;
            for (auto& [day, d] : days)
                listed.push_back(std::move(d));
            return listed;
        },
        {"rule", LoadLocalText("规则"), o.dryRun}, s);
}

int RunRule(const RuleOptions& o, Session& s) {
    if (o.add->parsed()) return RunAdd(o, s);
    if (o.list->parsed()) return RunList(o, s);
    if (o.remove->parsed()) return RunRemove(o, s);
    return RunApply(o, s);
}

}  // namespace

void WarnOfRulesEndingBefore(Session& s, data::Connection& connection, double last) {
    for (const suite::CalendarRule& r : suite::CalendarRules(connection).Rules()) {
        const std::optional<double> end = suite::RuleDaysEnd(r);
        if (!end || *end >= last) continue;
        std::fprintf(s.ui.ErrorStream(), "%s\n",
                     (LoadLocalText("警告") + ": " + LoadLocalText("规则的日子只能展开到") + " " +
                      automation::FormatIsoDate(*end) + ": " + std::to_string(r.Id) + " " +
                      automation::EscapeControls(r.Recurrence))
                         .c_str());
    }
}

void SayRuleDays(Session& s) {
    const std::unique_ptr<component::clsCal> cal = OpenCalendar();
    const std::optional<component::DaySpan> span = cal->CalendarSpan();
    if (!span) return;
    const std::optional<std::pair<double, double>> open =
        component::RuleApplyRange(span->First, span->Last, automation::Today());
    if (!open) return;
    const size_t differ = suite::DaysRulesWouldTurn(
        suite::CalendarRules(component::mdlCal::Connection()).Rules(), open->first, open->second,
        [&](int32_t day) -> std::optional<bool> {
            component::CalendarDay held;
            const component::WorkDaysResult result = cal->DayKinds(day, {&held, 1});
            if (result.Failure) throw automation::ComError(*result.Failure);
            if (held.kind == component::CalendarDay::Outside) return std::nullopt;
            return held.kind == component::CalendarDay::Rest;
        });
    const std::string notice = component::RuleDaysNotice(differ, open->first, open->second);
    if (!notice.empty()) s.out.Line(notice);
}

Command Rule(CLI::App& program) {
    auto o = std::make_shared<RuleOptions>();
    CLI::App* app = program.add_subcommand(
        "rule",
        "工厂日历的重复规则（iCalendar RRULE）：add、list、remove；apply 把规则用于已有的日子");
    app->require_subcommand(1);
    o->add = app->add_subcommand("add", "添加一条规则：RRULE、rest 或 work、备注");
    o->add->add_option("RRULE", o->recurrence, "重复规则，例如 FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1")
        ->required();
    o->add->add_option("KIND", o->kind, "rest 或 work")->required();
    o->add->add_option("NOTE", o->note, "这些日子的备注");
    o->add->add_option("--from", o->from, "规则从这一天起适用（默认今天）")->type_name("DATE");
    o->list = app->add_subcommand("list", "列出全部规则：编号、起始日、种类、规则、备注");
    AddFormatOption(*o->list, o->format);
    o->remove = app->add_subcommand("remove", "删除编号为 ID 的规则");
    o->remove->add_option("ID", o->id, "规则的编号")->required();
    o->apply = app->add_subcommand(
        "apply", "把规则用于从 FROM 到 TO 的前一天之间工厂日历已有的日子，经过窗口置换的全部检查");
    o->apply->add_option("FROM", o->applyFrom, "起始日期 YYYY-MM-DD")->required();
    o->apply->add_option("TO", o->applyTo, "结束日期（不含）YYYY-MM-DD")->required();
    o->apply->add_flag("--dry-run", o->dryRun, "只显示将做的改动，不写入数据库");
    return {app, [o](Session& s) { return RunRule(*o, s); },
            "rule add \"FREQ=YEARLY;BYMONTH=5;BYMONTHDAY=1\" rest \"Labour Day\""};
}

}  // namespace zev::cli::commands
