#include "tests/acquisition/logger_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zentra::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

} // namespace

std::string LoggerProgram() {
    if (const char* dir = std::getenv("ZENTRA_BINARY_DIR"); dir && *dir)
        return std::string(dir) + "/tools/zentra-log";
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "tools" / "zentra-log").string();
}

LoggerProcess::LoggerProcess(const std::vector<std::string>& args,
                             const std::map<std::string, std::string>& env) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos)
            merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [name, value] : env)
        merged[name] = value;
    std::vector<std::string> envText;
    for (const auto& [name, value] : merged)
        envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string program = LoggerProgram();
    std::vector<std::string> argText{program};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argText)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0)
        return;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0)
        pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
}

LoggerProcess::~LoggerProcess() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
    }
    for (const int fd : {outFd_, errFd_})
        if (fd >= 0)
            close(fd);
}

void LoggerProcess::ReadSome(std::chrono::milliseconds wait) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (::poll(fds, 2, static_cast<int>(wait.count())) <= 0)
        return;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
            continue;
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0)
            (i == 0 ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
        else if (n == 0) { // the program closed it: stop polling it
            close(fds[i].fd);
            (i == 0 ? outFd_ : errFd_) = -1;
        }
    }
}

bool LoggerProcess::WaitForText(const std::string& text, std::chrono::milliseconds limit,
                                bool fromErrors) {
    const auto until = Clock::now() + limit;
    const std::string& where = fromErrors ? err_ : out_;
    while (where.find(text) == std::string::npos) {
        if (Clock::now() > until || (outFd_ < 0 && errFd_ < 0))
            return false;
        ReadSome(20ms);
    }
    return true;
}

void LoggerProcess::Drain(std::chrono::milliseconds span) {
    const auto until = Clock::now() + span;
    while (Clock::now() < until)
        ReadSome(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()));
}

int LoggerProcess::LastSampleShown() const {
    int last = 0;
    for (std::size_t at = out_.find("sample "); at != std::string::npos;
         at = out_.find("sample ", at + 1)) {
        const int n = std::atoi(out_.c_str() + at + 7);
        if (n > last)
            last = n;
    }
    return last;
}

bool LoggerProcess::Running() {
    if (pid_ <= 0 || reaped_)
        return false;
    const pid_t done = ::waitpid(pid_, &status_, WNOHANG);
    if (done == pid_)
        reaped_ = true;
    return !reaped_;
}

double LoggerProcess::CpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command name (which may hold blanks) start after ") ".
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void LoggerProcess::Signal(int signal) {
    if (pid_ > 0 && !reaped_)
        ::kill(pid_, signal);
}

int LoggerProcess::Wait(std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    while (Running()) {
        if (Clock::now() > until)
            return -1;
        ReadSome(20ms);
    }
    // What it wrote before it ended.
    for (int i = 0; i < 100 && (outFd_ >= 0 || errFd_ >= 0); ++i)
        ReadSome(10ms);
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

} // namespace zentra::test
