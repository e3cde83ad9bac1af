#pragma once
// The lines of a file descriptor, read in large blocks for batch speed. Before a read that
// may wait for more input, a caller's function runs, so that a program answering a
// co-process line by line can push out its answers first instead of holding them while
// both sides wait. While input is at hand it runs only every few MiB read, so that a
// caller doing a fixed cost there (a freshness check) pays it seldom on a batch.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "apps/zevworkcal/Arguments.hpp"

namespace zev::cli {

// A usage error in input line `number`: "line N: " before the text of the problem.
UsageError LineUsageError(long number, std::string_view problem);

class InputLines {
  public:
    // Lines longer than this are refused rather than collected without end.
    static constexpr size_t kMaxLine = 4096;
    // Input read while more is at hand before `beforeWait` runs all the same.
    static constexpr size_t kMostBetweenWaits = 4 * 1024 * 1024;

    // `beforeWait` runs before every read of `fd` that may wait, and before any read once
    // a few MiB were read since it last ran.
    InputLines(int fd, std::function<void()> beforeWait);

    // The next line without its "\n"; nullopt at the end of the input. The view is valid
    // until the next call. A line holding a NUL byte or longer than kMaxLine is passed
    // over (read to its end, never kept whole) and raises UsageError naming its number, so
    // that the next call goes on with the line after it; a failed read raises a ComError.
    std::optional<std::string_view> Next();
    // The number of the line Next returned last, counting from 1.
    long Number() const { return number_; }

  private:
    // Reads one more block; false at the end of the input.
    bool Fill();

    int fd_;
    std::function<void()> beforeWait_;
    std::string buffer_;
    size_t begin_ = 0;  // start of the unread part of buffer_
    bool end_ = false;
    long number_ = 0;
    size_t sinceWait_ = 0;  // bytes read since beforeWait_ last ran
};

}  // namespace zev::cli
