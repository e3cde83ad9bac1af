// InputLines (InputLines.hpp): line splitting over read(2), NUL and length checks.
#include "apps/zevworkcal/InputLines.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/automation/ComError.hpp"

namespace zev::cli {

namespace {
constexpr size_t kBlock = 64 * 1024;
// Whether a read of `fd` may wait now: nothing is at hand yet. A file that poll(2) does
// not answer for is taken as one that may wait.
bool MayWait(int fd) {
    pollfd p{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&p, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready <= 0;
}
constexpr const char* kSource = "zevworkcal";
}  // namespace

UsageError LineUsageError(long number, std::string_view problem) {
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on " " + std::string.
    std::string rest = " ";
    rest += std::to_string(number);
    rest += ": ";
    return UsageError(automation::JoinMarkedTexts(automation::MarkedText("输入行", rest), problem));
}

InputLines::InputLines(int fd, std::function<void()> beforeWait)
    : fd_(fd), beforeWait_(std::move(beforeWait)) {}

bool InputLines::Fill() {
    if (end_) return false;
    // What was handed out is gone; the unread rest moves to the front.
    buffer_.erase(0, begin_);
    begin_ = 0;
    if (beforeWait_ && (sinceWait_ >= kMostBetweenWaits || MayWait(fd_))) {
        beforeWait_();
        sinceWait_ = 0;
    }
    const size_t kept = buffer_.size();
    buffer_.resize(kept + kBlock);
    ssize_t got = 0;
    do {
        got = ::read(fd_, buffer_.data() + kept, kBlock);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        const int error = errno;
        buffer_.resize(kept);
        throw automation::ComError(
            automation::errors::kUnspecified, kSource,
            automation::MarkedText("无法读取标准输入", std::string(": ") + std::strerror(error)));
    }
    buffer_.resize(kept + static_cast<size_t>(got));
    sinceWait_ += static_cast<size_t>(got);
    end_ = got == 0;
    return !end_;
}

std::optional<std::string_view> InputLines::Next() {
    size_t newline = buffer_.find('\n', begin_);
    while (newline == std::string::npos && buffer_.size() - begin_ <= kMaxLine && Fill()) {
        newline = buffer_.find('\n', begin_);
    }
    const size_t end = newline == std::string::npos ? buffer_.size() : newline;
    if (newline == std::string::npos && end == begin_) return std::nullopt;
    ++number_;
    const std::string_view line(buffer_.data() + begin_, end - begin_);
    const auto refuse = [&](const char* problem) {
        throw LineUsageError(number_, automation::MarkedText(problem));
    };
    if (line.size() > kMaxLine) {
        // The rest of the long line is read and dropped a block at a time.
        while (newline == std::string::npos) {
            begin_ = buffer_.size();
            if (!Fill()) break;
            newline = buffer_.find('\n', begin_);
        }
        begin_ = newline == std::string::npos ? buffer_.size() : newline + 1;
        refuse("行太长");
    }
    begin_ = newline == std::string::npos ? end : newline + 1;
    if (line.find('\0') != std::string_view::npos) refuse("行中含有 NUL 字符");
    return line;
}

}  // namespace zev::cli
