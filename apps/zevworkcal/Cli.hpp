#pragma once
// The command line of zevworkcal, as a function so that tests can run it in-process.

#include <cstdio>
#include <string>
#include <vector>

namespace zev::cli {

// Exit codes.
inline constexpr int kOk = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;
// The answer is the date asked, or counts days, that the calendar does not hold.
inline constexpr int kOutside = 3;
// is-workday: the day is a rest day.
inline constexpr int kRestDay = 4;

// Runs the command line `args` (without the program name). Results go to `out`, usage
// errors and failure reports to `err`, questions are read from `in`.
int Run(const std::vector<std::string>& args, std::FILE* out = stdout, std::FILE* err = stderr,
        std::FILE* in = stdin);

}  // namespace zev::cli
