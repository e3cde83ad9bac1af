// The class registry file (ClassRegistryFile.hpp): reading, checking and rewriting its
// sections under a lock; private: the line and section parser.
#include "platform/automation/ClassRegistryFile.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "platform/automation/AsciiText.hpp"

namespace zev::automation::com {
namespace {

namespace fs = std::filesystem;

// The lines of a text, each with its line break (the last one may have none).
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, next - start));
        start = next;
    }
    return lines;
}

// The section name of a header line "[name]"; nullopt for any other line.
std::optional<std::string_view> HeaderName(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
    return Trim(t.substr(1, t.size() - 2));
}

// A run of lines: the lines before the first header (no name), or one section.
struct Block {
    std::optional<std::string_view> Name;
    std::vector<std::string_view> Lines;
};

std::vector<Block> Blocks(std::string_view text) {
    std::vector<Block> blocks(1);
    for (std::string_view line : Lines(text)) {
        if (auto name = HeaderName(line)) blocks.push_back(Block{name, {}});
        blocks.back().Lines.push_back(line);
    }
    return blocks;
}

// The value of `key` (any case) in a section.
std::string_view Value(const Block& block, std::string_view key) {
    for (size_t i = 1; i < block.Lines.size(); ++i) {
        const std::string_view line = block.Lines[i];
        const size_t eq = line.find('=');
        if (eq != std::string_view::npos && EqualsNoCase(Trim(line.substr(0, eq)), key)) {
            return Trim(line.substr(eq + 1));
        }
    }
    return {};
}

void Append(std::string& out, const Block& block) {
    for (std::string_view line : block.Lines)
        out += line;
}

void RequireOneLine(std::string_view value, std::string_view what, bool header) {
    const bool bad = value.find_first_of(header ? "\r\n[]" : "\r\n") != std::string_view::npos ||
                     Trim(value) != value;
    if (bad || (header && value.empty())) {
        throw std::invalid_argument("cannot be written to the class registry: " +
                                    std::string(what) + " \"" + std::string(value) + "\"");
    }
}

std::string SectionText(const RegistryEntry& e) {
    RequireOneLine(e.ProgId, "ProgID", true);
    RequireOneLine(e.Clsid, "CLSID", false);
    RequireOneLine(e.Library, "library path", false);
    RequireOneLine(e.ThreadingModel, "threading model", false);
    return "[" + e.ProgId + "]\nCLSID=" + e.Clsid + "\nInprocServer=" + e.Library +
           "\nThreadingModel=" + e.ThreadingModel + "\n";
}

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

[[noreturn]] void ThrowNotARegularFile(const fs::path& file) {
    throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                            "the class registry is not a regular file: " + file.string());
}

// Only a regular file can be a registry: reading a FIFO would wait for a writer, a
// device may never end, and the rename of an edit would replace the node itself.
void RequireRegularIfPresent(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        if (errno == ENOENT) return;
        ThrowErrno("cannot read " + file.string());
    }
    if (!S_ISREG(st.st_mode)) ThrowNotARegularFile(file);
}

// The whole file; empty when it does not exist.
std::string ReadIfAny(const fs::path& file) {
    // Not blocking, in case a FIFO took the file's place since it was checked.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return {};
        ThrowErrno("cannot open " + file.string());
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        ThrowNotARegularFile(file);
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            ThrowErrno("cannot read " + file.string());
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
}

// Holds an exclusive lock on `<file>.lock` while the registry is read and replaced.
class RegistryLock {
  public:
    explicit RegistryLock(const fs::path& file) {
        const std::string path = file.string() + ".lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
        if (fd_ < 0) ThrowErrno("cannot open " + path);
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd_);
            ThrowNotARegularFile(path);
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            const int saved = errno;
            ::close(fd_);
            errno = saved;
            ThrowErrno("cannot lock " + path);
        }
    }
    ~RegistryLock() { ::close(fd_); }
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;

  private:
    int fd_ = -1;
};

// Writes `text` to a new file beside `file` and renames it over `file`, so that readers
// see the old registry or the new one, never a part; the file keeps its permissions.
void ReplaceFile(const fs::path& file, const std::string& text) {
    std::string temp = file.string() + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) ThrowErrno("cannot create a file beside " + file.string());
    const auto fail = [&](const std::string& what) {
        const int saved = errno;
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        errno = saved;
        ThrowErrno(what);
    };
    struct stat st {};
    const mode_t mode = ::stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    if (::fchmod(fd, mode) != 0) fail("cannot set the permissions of " + temp);
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("cannot write " + temp);
        written += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) fail("cannot write " + temp);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) fail("cannot write " + temp);
    if (::rename(temp.c_str(), file.c_str()) != 0) fail("cannot replace " + file.string());
    // Make the rename itself durable; the content is complete either way.
    const int dir = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// The file an edit writes: the target of a symbolic link, so that a linked registry
// stays linked.
fs::path EditedFile(const std::string& file) {
    fs::path path = fs::absolute(file);
    std::error_code ec;
    if (fs::is_symlink(path, ec)) path = fs::weakly_canonical(path);
    return path;
}

void Edit(const fs::path& file, const std::function<std::string(std::string_view)>& change) {
    RequireRegularIfPresent(file);
    const RegistryLock lock(file);
    const std::string before = ReadIfAny(file);
    const std::string after = change(before);
    if (after != before) ReplaceFile(file, after);
}

}  // namespace

std::string GuidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::string RegistryFilePath() {
    if (const char* file = std::getenv(kRegistryEnvironment); file != nullptr && *file != '\0') {
        return file;
    }
    std::string base;
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        std::string homeText = home != nullptr ? home : "";
        if (homeText.empty()) {
            struct passwd pw {};
            struct passwd* found = nullptr;
            std::vector<char> buffer(16384);
            if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 &&
                found != nullptr && found->pw_dir != nullptr) {
                homeText = found->pw_dir;
            }
        }
        if (homeText.empty()) {
            throw std::runtime_error("no home directory for the class registry; set " +
                                     std::string(kRegistryEnvironment));
        }
        base = homeText + "/.config";
    }
    return base + "/zevworkcal/registry";
}

std::string WithEntry(std::string_view text, const RegistryEntry& entry) {
    const std::string section = SectionText(entry);
    std::string out;
    bool placed = false;
    for (const Block& block : Blocks(text)) {
        if (block.Name && EqualsNoCase(*block.Name, entry.ProgId)) {
            if (!placed) out += section;
            placed = true;
            continue;
        }
        Append(out, block);
    }
    if (!placed) {
        if (!out.empty() && out.back() != '\n') out += '\n';
        out += section;
    }
    return out;
}

std::string WithoutEntry(std::string_view text, std::string_view progId, std::string_view clsid) {
    std::string out;
    for (const Block& block : Blocks(text)) {
        if (block.Name && EqualsNoCase(*block.Name, progId) &&
            EqualsNoCase(Value(block, "CLSID"), clsid)) {
            continue;
        }
        Append(out, block);
    }
    return out;
}

std::optional<RegistryEntry> FindEntry(std::string_view text, std::string_view progId) {
    for (const Block& block : Blocks(text)) {
        if (!block.Name || !EqualsNoCase(*block.Name, progId)) continue;
        return RegistryEntry{std::string(*block.Name), std::string(Value(block, "CLSID")),
                             std::string(Value(block, "InprocServer")),
                             std::string(Value(block, "ThreadingModel"))};
    }
    return std::nullopt;
}

void WriteEntry(const std::string& file, const RegistryEntry& entry) {
    SectionText(entry);  // refuse what cannot be written before touching anything
    const fs::path path = EditedFile(file);
    fs::create_directories(path.parent_path());
    Edit(path, [&](std::string_view text) { return WithEntry(text, entry); });
}

void RemoveEntry(const std::string& file, std::string_view progId, std::string_view clsid) {
    const fs::path path = EditedFile(file);
    std::error_code ec;
    if (!fs::exists(path, ec)) return;  // nothing registered; create nothing either
    Edit(path, [&](std::string_view text) { return WithoutEntry(text, progId, clsid); });
}

}  // namespace zev::automation::com
