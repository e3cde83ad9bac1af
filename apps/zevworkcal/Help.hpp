#pragma once
// The help of zevworkcal, its manual page and its bash completion, all made from the
// program's parser and its command table: a command added to the table gets its help,
// its manual page entry and its completion from its own setup (descriptions, options,
// example). Descriptions are source texts, shown through the text lookup.

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>
#include <vector>

#include "apps/zevworkcal/Command.hpp"

namespace zev::cli {

// `zevworkcal --help`: usage, options, the commands, exit codes and an example.
std::string ProgramHelp(const CLI::App& program, const std::vector<Command>& commands);
// `zevworkcal COMMAND --help`: usage, arguments, options, exit codes and the example.
std::string CommandHelp(const CLI::App& program, const Command& command);
// The help of the command line's selected command (of its subcommand named, as
// `zevworkcal rule add --help`), or the program's.
std::string HelpFor(const CLI::App& program, const std::vector<Command>& commands);

// zevworkcal(1) in roff, in the language of the text lookup.
std::string ManualPage(const CLI::App& program, const std::vector<Command>& commands,
                       std::string_view version);
// The bash completion of the commands, their subcommands and their options.
std::string BashCompletion(const CLI::App& program, const std::vector<Command>& commands);

}  // namespace zev::cli
