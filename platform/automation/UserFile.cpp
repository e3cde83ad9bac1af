// ReadUserFile and FileToReplace (UserFile.hpp): bounded reads of a named regular file or
// of standard input, and the regular file that a finished write replaces.
#include "platform/automation/UserFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/automation/ComError.hpp"
#include "platform/automation/Utf8.hpp"

namespace zev::automation {
namespace {

constexpr const char* kSource = "zevworkcal";

[[noreturn]] void Refuse(const char* text, const std::string& file, const std::string& more = {}) {
    throw ComError(errors::kUnspecified, kSource,
                   MarkedText(text, ": " + EscapeControls(file) + more));
}

struct Closer {
    int fd;
    ~Closer() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads `fd` to its end into `text`, never more than one byte past `limit`.
void ReadBounded(int fd, const std::string& file, const UserFileLimits& limits, std::string& text) {
    char buffer[65536];
    while (text.size() <= limits.limit) {
        const size_t room = limits.limit + 1 - text.size();
        const ssize_t n = ::read(fd, buffer, room < sizeof buffer ? room : sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Refuse(limits.unreadable, file, std::string(": ") + std::strerror(errno));
        if (n == 0) return;
        text.append(buffer, static_cast<size_t>(n));
    }
    Refuse(limits.tooLarge, file);
}

}  // namespace

std::string ReadUserFile(const std::string& file, const UserFileLimits& limits) {
    std::string text;
    if (file == "-") {
        ReadBounded(STDIN_FILENO, file, limits, text);
        return text;
    }
    // Not blocking: opening a FIFO would wait for a writer before it could be refused.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) Refuse(limits.unreadable, file, std::string(": ") + std::strerror(errno));
    const Closer closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        Refuse(limits.unreadable, file, std::string(": ") + std::strerror(errno));
    }
    if (!S_ISREG(st.st_mode)) Refuse(limits.notRegular, file);
    if (static_cast<unsigned long long>(st.st_size) > limits.limit) Refuse(limits.tooLarge, file);
    text.reserve(static_cast<size_t>(st.st_size));
    ReadBounded(fd, file, limits, text);
    return text;
}

namespace {

// Follows at most `links` more links, as the system does before it says ELOOP.
std::string Followed(const std::string& path, const char* notRegular, int links) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return path;  // a new file, or a failure the write names
    if (S_ISLNK(st.st_mode)) {
        // The link's final target; a link that names nothing yet makes its target.
        char* const resolved = ::realpath(path.c_str(), nullptr);
        const int reason = resolved == nullptr ? errno : 0;
        const std::unique_ptr<char, decltype(&std::free)> target(resolved, &std::free);
        if (target) return Followed(target.get(), notRegular, links - 1);
        // Links that loop, or more of them than the system follows, end at no file: the
        // write would put a file in place of the link.
        if (reason == ELOOP || links <= 0) {
            Refuse(notRegular, path, std::string(": ") + std::strerror(ELOOP));
        }
        char named[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), named, sizeof named - 1);
        if (n <= 0) return path;
        std::string next(named, static_cast<size_t>(n));
        if (next.front() != '/' && path.find('/') != std::string::npos) {
            next = path.substr(0, path.rfind('/') + 1) + next;
        }
        return Followed(next, notRegular, links - 1);
    }
    if (!S_ISREG(st.st_mode)) Refuse(notRegular, path);
    return path;
}

}  // namespace

std::string FileToReplace(const std::string& path, const char* notRegular) {
    return Followed(path, notRegular, 40);
}

}  // namespace zev::automation
