// zevworkcal note: gives a day of the calendar its note, or removes it, in one calendar
// write with its history row.
#include "apps/zevworkcal/commands/Commands.hpp"

#include <memory>
#include <vector>

#include "component/CalendarWrite.hpp"
#include "platform/automation/OleDate.hpp"
#include "suite/CalendarNotes.hpp"

namespace zev::cli::commands {

namespace {

struct NoteOptions {
    std::string date;
    std::string text;
};

int RunNote(const NoteOptions& o, Session& s) {
    const double day = automation::OleDatePart(ParseDateArgument(o.date));
    RequireSchema();
    const data::ConnectionPtr connection = AppConnection();
    component::CalendarWrite write(*connection);
    suite::CalendarNotes notes(*connection);
    const std::vector<suite::DayNote> before = notes.Notes(day, day + 1);
    const component::Outcome set = notes.SetNote(day, o.text);
    if (set.What() == component::Outcome::Kind::Refused) return ExitCodeOf(Shown(set));
    const std::vector<suite::DayNote> after = notes.Notes(day, day + 1);
    const std::string now = after.empty() ? std::string() : after.front().Note;
    if (set.IsDone()) {
        write.Record({"note", day, before.empty() ? std::string() : before.front().Note, now});
    }
    write.Commit();
    s.out.Line(automation::FormatIsoDate(day) + (now.empty() ? "" : " " + now));
    return kOk;
}

}  // namespace

Command Note(CLI::App& program) {
    auto o = std::make_shared<NoteOptions>();
    CLI::App* app = program.add_subcommand(
        "note", "给工厂日历中的一天写上备注（说明为什么休息或上班）；TEXT 为空时删除备注");
    app->add_option("DATE", o->date, "工厂日历中的一天，YYYY-MM-DD")->required();
    app->add_option("TEXT", o->text, "备注，最多 200 个字符")->required();
    return {app, [o](Session& s) { return RunNote(*o, s); }, "note 2027-10-01 国庆节"};
}

}  // namespace zev::cli::commands
