#pragma once
// The commands of zevworkcal, one file each; Run lists them in the order of the help.

#include "apps/zevworkcal/Command.hpp"

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
Command Check(CLI::App& program);
Command Show(CLI::App& program);

}  // namespace zev::cli::commands
