#pragma once
// Runs a program as a child process with its own input and environment, and collects
// its output, for tests of the command line and of hosts: to its end (RunProcess), beside
// the test (BackgroundProcess), or line by line as the test talks to it (Coprocess).

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
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

// A program running beside the test, started at construction (arguments and environment
// as for RunProcess). The test writes to its stdin and reads its stdout as it goes.
class Coprocess {
  public:
    Coprocess(const std::string& program, const std::vector<std::string>& args,
              const std::map<std::string, std::string>& environment = {});
    // Kills the program if it still runs.
    ~Coprocess();
    Coprocess(const Coprocess&) = delete;
    Coprocess& operator=(const Coprocess&) = delete;

    void Write(const std::string& text);
    // The next line of its stdout without "\n"; nullopt when none is complete within
    // `timeout` or the output has ended.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // Writes `input`, closes stdin and waits for the end: the exit code, the stdout not
    // read yet and all of stderr.
    ProcessResult Wait(const std::string& input = {});

  private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string pending_;  // stdout read but not handed out
};

}  // namespace zev::test
