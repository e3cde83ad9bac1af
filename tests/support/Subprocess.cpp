#include "tests/support/Subprocess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace zev::test {

namespace {

std::vector<char*> Argv(std::vector<std::string>& strings) {
    std::vector<char*> argv;
    for (std::string& a : strings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Child {
    pid_t pid;
    int in;
    int out;
    int err;
};

Child Spawn(const std::string& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& environment) {
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv = Argv(argStrings);

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) {
            close(fd);
        }
        for (const auto& [name, value] : environment) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    // A child that stops reading must not kill the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    return {pid, inPipe[1], outPipe[0], errPipe[0]};
}

// Feeds the input and drains both outputs together so that no pipe fills up, then waits
// for the child. Closes the child's descriptors.
ProcessResult Finish(const Child& child, const std::string& input, ProcessResult result = {}) {
    size_t written = 0;
    int inFd = child.in;
    if (input.empty() && inFd >= 0) {
        close(inFd);
        inFd = -1;
    }
    bool outOpen = child.out >= 0, errOpen = child.err >= 0;
    char buffer[4096];
    while (outOpen || errOpen) {
        pollfd fds[3] = {{outOpen ? child.out : -1, POLLIN, 0},
                         {errOpen ? child.err : -1, POLLIN, 0},
                         {inFd, POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0) break;
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t n = write(inFd, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<size_t>(n);
            if (n < 0 || written == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
        for (int i = 0; i < 2; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                (i == 0 ? outOpen : errOpen) = false;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
            }
        }
    }
    if (inFd >= 0) close(inFd);
    int status = 0;
    waitpid(child.pid, &status, 0);
    result.exitCode = ExitCodeOf(status);
    return result;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input,
                         const std::map<std::string, std::string>& environment) {
    return Finish(Spawn(program, args, environment), input);
}

BackgroundProcess::BackgroundProcess(const std::string& program,
                                     const std::vector<std::string>& args) {
    std::vector<std::string> strings{program};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv = Argv(strings);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // A group of its own, so that killing it reaches the programs it started too.
        setpgid(0, 0);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    setpgid(pid, pid);  // also here, so that the group exists before any kill
    pid_ = pid;
}

BackgroundProcess::~BackgroundProcess() {
    if (pid_ < 0) return;
    kill(-pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
}

bool BackgroundProcess::Running() {
    if (pid_ < 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    exitCode_ = ExitCodeOf(status);
    pid_ = -1;
    return false;
}

int BackgroundProcess::Wait() {
    if (pid_ >= 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
        exitCode_ = ExitCodeOf(status);
        pid_ = -1;
    }
    return exitCode_;
}

Coprocess::Coprocess(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& environment) {
    const Child child = Spawn(program, args, environment);
    pid_ = child.pid;
    in_ = child.in;
    out_ = child.out;
    err_ = child.err;
}

Coprocess::~Coprocess() {
    if (pid_ < 0) return;
    kill(pid_, SIGKILL);
    for (int fd : {in_, out_, err_}) {
        if (fd >= 0) close(fd);
    }
    waitpid(pid_, nullptr, 0);
}

void Coprocess::Write(const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(in_, text.data() + written, text.size() - written);
        if (n <= 0) throw std::runtime_error("the coprocess does not read its input");
        written += static_cast<size_t>(n);
    }
}

std::optional<std::string> Coprocess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const size_t newline = pending_.find('\n'); newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{out_, POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            return std::nullopt;
        }
        char buffer[4096];
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) return std::nullopt;
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

ProcessResult Coprocess::Wait(const std::string& input) {
    ProcessResult result;
    result.out = std::move(pending_);
    result = Finish({pid_, in_, out_, err_}, input, std::move(result));
    pid_ = in_ = out_ = err_ = -1;
    return result;
}

}  // namespace zev::test
