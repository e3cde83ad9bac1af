#pragma once
// The commands of zevworkcal, one file each; Run lists them in the order of the help.

#include <functional>
#include <string>
#include <vector>

#include "apps/zevworkcal/Command.hpp"
#include "apps/zevworkcal/ImportFile.hpp"

namespace zev::cli::commands {

Command Init(CLI::App& program);
Command Upgrade(CLI::App& program);
Command Text(CLI::App& program);
Command Before(CLI::App& program);
Command After(CLI::App& program);
Command Workday(CLI::App& program);
Command Count(CLI::App& program);
Command IsWorkday(CLI::App& program);
Command List(CLI::App& program);
Command Cal(CLI::App& program);
Command Export(CLI::App& program);
Command History(CLI::App& program);
Command Status(CLI::App& program);
Command Generate(CLI::App& program);
Command Extend(CLI::App& program);
Command Swap(CLI::App& program);
Command Note(CLI::App& program);
Command Import(CLI::App& program);
Command Rule(CLI::App& program);
Command Check(CLI::App& program);
Command Show(CLI::App& program);

// How TurnListedDays writes: the history's action and source, or nothing at all.
struct ListedDaysWrite {
    std::string action;  // "import", "rule"
    std::string source;  // what asked for the days: the file, the rules
    bool dryRun = false;
};

// Makes each day that `listing` gives (read on the connection of the write, once it is
// held) the kind it asks for with its note, as a planner turns days in the window: every
// guard of the swap, then the save, the notes and a history row a day, in one calendar
// write; the first refusal, or --dry-run, leaves everything as it was. Prints each day
// with what became of it: "DATE rest|work|unchanged [NOTE]".
int TurnListedDays(const std::function<std::vector<ListedDay>(data::Connection&)>& listing,
                   const ListedDaysWrite& how, Session& s);

// After a generation: how many days the stored rules would give another kind, naming
// `rule apply` over the new calendar; nothing when none would.
void SayRuleDays(Session& s);
// Warns, on standard error, of each stored rule whose days end before `last` (an OLE date)
// because the recurrence cannot be expanded that far.
void WarnOfRulesEndingBefore(Session& s, data::Connection& connection, double last);

}  // namespace zev::cli::commands
