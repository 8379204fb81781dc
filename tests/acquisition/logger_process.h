// zentra-log run as a program of its own, as a user runs it: its output read as it
// comes, its CPU time read from /proc, and signals sent to it.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zentra::test {

// $ZENTRA_BINARY_DIR/tools/zentra-log, else beside the test program's folder.
std::string LoggerProgram();

// A quick run on COM1: a one-second period, a 20 ms latency and a 50 ms "second",
// then `extra`.
std::vector<std::string> QuickRunArgs(const std::vector<std::string>& extra);

// A whole file as it is on the disk (empty when it cannot be read).
std::string FileText(const std::string& path);
// How many times `part` occurs in `text`.
std::size_t Occurrences(const std::string& text, const std::string& part);

// COM1 on `device`; state, configuration and home folders inside `folder`.
std::map<std::string, std::string> LoggerEnvironment(const std::string& folder,
                                                     const std::string& device);

class LoggerProcess {
  public:
    // `env` entries override those of this process; `program` is zentra-log unless
    // told otherwise (another build of it, or another of the command-line tools).
    LoggerProcess(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env,
                  const std::string& program = LoggerProgram());
    ~LoggerProcess(); // kills and reaps a program still running
    LoggerProcess(const LoggerProcess&) = delete;
    LoggerProcess& operator=(const LoggerProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Reads output until `text` appears on stdout (stderr when fromErrors); false when
    // the program ended or the time ran out first.
    bool WaitForText(const std::string& text, std::chrono::milliseconds limit,
                     bool fromErrors = false);
    void Drain(std::chrono::milliseconds span); // reads output for this long
    int LastSampleShown() const;                // highest N of the "sample N/M" lines, or 0
    bool Running();
    double CpuSeconds() const; // user plus system, from /proc/<pid>/stat
    void Signal(int signal);
    // The exit status, or -1 when it did not end in time or ended on a signal.
    int Wait(std::chrono::milliseconds limit);

    const std::string& Output() const { return out_; }
    const std::string& Errors() const { return err_; }

  private:
    void ReadSome(std::chrono::milliseconds wait);

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1}; // stdout, stderr
    bool reaped_ = false;
    int status_ = 0;
    std::string out_;
    std::string err_;
};

} // namespace zentra::test
