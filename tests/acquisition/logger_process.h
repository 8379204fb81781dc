// zentra-log run as a program of its own, as a user runs it: its output read as it
// comes, its CPU time read from /proc, and signals sent to it (Ctrl+C, or a kill that
// gives it no chance to tidy up).
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zentra::test {

// The zentra-log program of this build: $ZENTRA_BINARY_DIR/tools/zentra-log, else
// beside the test program's folder.
std::string LoggerProgram();

class LoggerProcess {
  public:
    // Starts the program with these arguments; `env` entries override (or, with an
    // empty value, keep) those of this process.
    LoggerProcess(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env);
    ~LoggerProcess(); // kills and reaps a program still running
    LoggerProcess(const LoggerProcess&) = delete;
    LoggerProcess& operator=(const LoggerProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Reads output until `text` has appeared on standard output (or standard error
    // when fromErrors), the program ended or the time ran out. True when it appeared.
    bool WaitForText(const std::string& text, std::chrono::milliseconds limit,
                     bool fromErrors = false);
    // Reads output for this long (keeps the pipes from filling).
    void Drain(std::chrono::milliseconds span);
    // The highest N of the "sample N/M" lines printed so far, or 0.
    int LastSampleShown() const;

    // Still running (not exited, not killed).
    bool Running();
    // User plus system CPU time used so far, in seconds (from /proc/<pid>/stat).
    double CpuSeconds() const;
    void Signal(int signal);
    // Waits for the end (reading output meanwhile); the exit status, or -1 when it
    // did not end in time or ended on a signal.
    int Wait(std::chrono::milliseconds limit);

    const std::string& Output() const { return out_; }
    const std::string& Errors() const { return err_; }

  private:
    void ReadSome(std::chrono::milliseconds wait);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::string out_;
    std::string err_;
};

} // namespace zentra::test
