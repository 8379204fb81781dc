#include "tests/acquisition/logger_process.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zentra::test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string LoggerProgram() {
    if (const char* dir = std::getenv("ZENTRA_BINARY_DIR"); dir && *dir)
        return std::string(dir) + "/tools/zentra-log";
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "tools" / "zentra-log").string();
}

std::vector<std::string> QuickRunArgs(const std::vector<std::string>& extra) {
    std::vector<std::string> args{"COM1", "--period", "1s", "--latency", "20", "--tick-ms", "50"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::map<std::string, std::string> LoggerEnvironment(const std::string& folder,
                                                     const std::string& device) {
    return {{"ZENTRA_COM1", device},
            {"XDG_STATE_HOME", folder + "/state"},
            {"XDG_CONFIG_HOME", folder + "/config"},
            {"HOME", folder}};
}

LoggerProcess::LoggerProcess(const std::vector<std::string>& args,
                             const std::map<std::string, std::string>& env,
                             const std::string& program) {
    std::vector<std::string> envText;
    for (const auto& [name, value] : env)
        envText.push_back(name + "=" + value);
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!env.contains(entry.substr(0, entry.find('='))))
            envText.push_back(entry);
    }
    std::vector<std::string> argText{program};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> envp, argv;
    for (auto& e : envText)
        envp.push_back(e.data());
    for (auto& a : argText)
        argv.push_back(a.data());
    envp.push_back(nullptr);
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
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0)
        pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    fds_[0] = outPipe[0];
    fds_[1] = errPipe[0];
}

LoggerProcess::~LoggerProcess() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
    }
    for (const int fd : fds_)
        if (fd >= 0)
            close(fd);
}

void LoggerProcess::ReadSome(std::chrono::milliseconds wait) {
    pollfd polled[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
    if (::poll(polled, 2, static_cast<int>(wait.count())) <= 0)
        return;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        if (polled[i].fd < 0 || !(polled[i].revents & (POLLIN | POLLHUP)))
            continue;
        const ssize_t n = ::read(polled[i].fd, buffer, sizeof buffer);
        if (n > 0)
            (i == 0 ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
        else if (n == 0) { // the program closed it: stop polling it
            close(fds_[i]);
            fds_[i] = -1;
        }
    }
}

bool LoggerProcess::WaitForText(const std::string& text, std::chrono::milliseconds limit,
                                bool fromErrors) {
    const auto until = Clock::now() + limit;
    const std::string& where = fromErrors ? err_ : out_;
    while (where.find(text) == std::string::npos) {
        if (Clock::now() > until || (fds_[0] < 0 && fds_[1] < 0))
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
    for (auto at = out_.find("sample "); at != std::string::npos; at = out_.find("sample ", at + 1))
        last = std::max(last, std::atoi(out_.c_str() + at + 7));
    return last;
}

bool LoggerProcess::Running() {
    if (pid_ > 0 && !reaped_ && ::waitpid(pid_, &status_, WNOHANG) == pid_)
        reaped_ = true;
    return pid_ > 0 && !reaped_;
}

double LoggerProcess::CpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command name (which may hold blanks) start after ") ".
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1.0;
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i < 14; ++i) // fields 3..13
        fields >> skip;
    fields >> utime >> stime; // fields 14 and 15
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
    for (int i = 0; i < 100 && (fds_[0] >= 0 || fds_[1] >= 0); ++i) // what it wrote last
        ReadSome(10ms);
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

} // namespace zentra::test
