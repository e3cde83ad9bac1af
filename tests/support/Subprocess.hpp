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

// A child process that runs beside the test, its output discarded and its errors shown
// in the test's own. It is killed, with what it started, and reaped at destruction if it
// is still running.
class BackgroundProcess {
  public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // Whether the child is still running; reaps it once it has ended.
    bool Running();
    // Waits for the child's end: its exit code, 128 + the signal number when killed.
    int Wait();

  private:
    int pid_ = -1;
    int exitCode_ = -1;
};

}  // namespace zev::test
