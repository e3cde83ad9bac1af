#pragma once
// What a command of zevworkcal is: its own parser (a CLI11 subcommand with the command's
// options) and the function Run calls after parsing. Also what every command runs with
// and the steps several commands share.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "apps/zevworkcal/Arguments.hpp"
#include "apps/zevworkcal/Cli.hpp"
#include "component/Outcome.hpp"
#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "platform/data/Connection.hpp"
#include "platform/ui/ConsoleUi.hpp"
#include "window/frmCal.hpp"

namespace zev::cli {

// The console interface, noting whether the error report showed a failure.
class CliUi final : public ui::UserInterface {
  public:
    CliUi(std::FILE* err, std::FILE* in) : err_(err), console_(err, in) {}
    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override;
    void SetMousePointer(int pointer) override { console_.SetMousePointer(pointer); }
    int GetMousePointer() const override { return console_.GetMousePointer(); }
    void DoEvents() override {}
    bool Failed() const { return failed_; }
    std::FILE* ErrorStream() const { return err_; }

  private:
    std::FILE* err_;
    ui::ConsoleUi console_;
    bool failed_ = false;
};

// Standard output of a run. Every write is checked: a write that fails (a full disk, a
// closed pipe) raises a ComError, so that cut-off answers never end in exit code 0.
class Output {
  public:
    explicit Output(std::FILE* out) : out_(out) {}
    void Write(std::string_view text);
    // `text` and a line end.
    void Line(std::string_view text);
    // Pushes out what is buffered.
    void Flush();
    // Whether a write has failed (and raised).
    bool Failed() const { return failed_; }
    // Whether the output goes to a terminal.
    bool IsTerminal() const;

  private:
    [[noreturn]] void Fail(int error);
    std::FILE* out_;
    bool failed_ = false;
};

// What a command runs with: the streams of the run and its console interface (which
// writes to the run's error stream).
struct Session {
    Output& out;
    std::FILE* in;
    CliUi& ui;
};

// A command: its subcommand, set up with the command's own options, and what runs when
// the command line names it. The run function returns the exit code; failures are thrown
// and mapped to exit codes in one place, Run.
// Its description and the descriptions of its options are source texts, which the help,
// the manual page and the parser's complaints show through the text lookup.
struct Command {
    CLI::App* app;
    std::function<int(Session&)> run;
    // One command line that shows the command at work, without "zevworkcal ".
    std::string example = {};
    // Exit codes of its own beyond 0, 1 and 2, with their source texts.
    std::vector<std::pair<int, std::string>> exitCodes = {};
};

// The name of a choice option's check: this prefix and its words, which the completion
// offers.
inline constexpr const char* kChoicesValidator = "choices:";
// The words with a space between each two.
std::string JoinWords(const std::vector<std::string>& words);

// An option that takes one of a few words, compared without regard to case, and sets
// `target` to what the word stands for. Only the words are accepted (not the values they
// stand for), and the help shows the option's `typeName` alone.
template <class T>
CLI::Option* AddChoiceOption(CLI::App& app, const std::string& name,
                             std::vector<std::pair<std::string, T>> choices, T& target,
                             const std::string& description, const std::string& typeName) {
    std::vector<std::string> words;
    for (const auto& choice : choices)
        words.push_back(choice.first);
    return app
        .add_option_function<std::string>(
            name,
            [choices = std::move(choices), &target](const std::string& word) {
                for (const auto& [w, value] : choices)
                    if (w == word) target = value;
            },
            description)
        ->type_name(typeName)
        ->check(CLI::IsMember(words, CLI::ignore_case)
                    .description("")
                    .name(std::string(kChoicesValidator) + JoinWords(words)));
}

// Adds a command to the program's parser.
using CommandSetup = Command (*)(CLI::App& program);

// The program's parser with its global options and every command, as Run uses it; the
// manual page and the bash completion are made from the same parser.
struct ProgramParser {
    CLI::App app;
    GlobalOptions global;
    std::vector<Command> commands;
};
std::unique_ptr<ProgramParser> MakeProgramParser();

// The database the property string names must hold the suite's tables; the second form
// checks it on a connection open to it.
void RequireSchema();
void RequireSchema(data::Connection& connection);
// A clsCal on the database the property string names, once it holds the suite's tables.
std::unique_ptr<component::clsCal> OpenCalendar();
// A new connection to the database the property string names.
data::ConnectionPtr AppConnection();
// The calendar's name: its database file, or the database or data source that the
// property string's connection string names ("ODBC" when it names neither).
std::string CalendarName();
// The first field of a one-value statement, as text ("" for NULL or no row).
std::string ScalarText(data::Connection& connection, const std::string& statement);
// The date of an option's DATE (ParseDateArgument); none for an option not given.
std::optional<double> OptionalDate(const std::optional<std::string>& text);
// Writes a date answer as one line.
void PrintDate(Output& out, double date);

// The maintenance window without a display, for the commands that act as a planner in
// it: runs the start-up check on the database the property string names, lets
// `prepare` adjust the settings it loaded, loads the window, and hands it to `act`; the
// window closes when `act` returns. Its message boxes go to the console interface. A
// failing check or load is thrown.
void WithWindow(const std::function<void(component::ComponentState&)>& prepare,
                const std::function<void(window::frmCal&)>& act);
// The refusal of a command that the access checker does not let maintain the calendar.
inline constexpr const char* kNoAccess = "您没有维护工厂日历的权限";

// Whether the window's grids may be swapped at all, as swap and import turn days: Done, or
// the refusal of a window without a calendar or with grids that loaded in part.
component::Outcome MayTurnDays(const window::frmCal& w);
// Selects `day` in the grid that holds it, on that grid's tab (tab 1: a rest day); false
// when neither does.
bool SelectDay(window::frmCal& w, double day);
// Shows a refusal of the planner's action: the looked-up text (and `detail`), in a box
// with the exclamation icon, as the window shows its own.
void Refuse(Session& s, const char* text, const std::string& detail = {});
// Shows what an operation came to, as the window shows it, and passes it on.
component::Outcome Shown(component::Outcome outcome);
// The exit code of what an operation came to: 0 when it was done, else 1 (a refusal, a
// failure, or nothing done), its message already shown.
int ExitCodeOf(const component::Outcome& outcome);

}  // namespace zev::cli
