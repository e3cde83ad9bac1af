#pragma once
// Runs a program as a child process with its own input and environment, and collects
// its output, for tests of the command line and of hosts.

#include <map>
#include <string>
#include <vector>

namespace zev::test {

struct ProcessResult {
    int exitCode = -1;  // 128 + signal number when killed by a signal
    std::string out;
    std::string err;
};

// Runs `program` with `args`. `environment` entries are set (an empty value removes the
// variable); everything else is inherited. `input` is written to the child's stdin.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = {},
                         const std::map<std::string, std::string>& environment = {});

}  // namespace zev::test
