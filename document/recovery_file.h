// Crash recovery of a logging run. While logging runs, the program keeps a copy of
// the project (the same byte layout as a project file) in the user's state folder,
// rewritten atomically every kRecoveryEverySamples new samples and at least once a
// minute of logging. The copy goes when the project is saved after the run, or when
// the user gives the project up; a crash, a kill or a power cut leaves it behind,
// and the next start offers to reopen it.
//
// One copy per running program: "recovery-<pid>.ztr", guarded by an flock on
// "recovery-<pid>.lock" that the program holds for as long as it runs. A copy whose
// lock can be taken belongs to a program that has gone; a copy whose lock is held
// belongs to a program still running and is left alone. The lock file holds the path
// the program meant to save the project to (one line, may be empty).
#pragma once

#include "document/project_file.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zentra {

struct CZentraDoc;

inline constexpr std::int32_t kRecoveryEverySamples = 60;
inline constexpr std::chrono::seconds kRecoveryInterval{60};

inline constexpr std::string_view kRecoveryCaption = "Recover Logging Run";

// $XDG_STATE_HOME/zentra when XDG_STATE_HOME is an absolute path, otherwise
// $HOME/.local/state/zentra; empty when neither can be found.
std::filesystem::path RecoveryFolder();

// A copy left behind by a program that is no longer running.
struct InterruptedRun {
    std::filesystem::path copy;   // the project image
    std::filesystem::path lock;   // its lock file
    std::string projectName;      // m_ProjectName of the copy
    std::int32_t sampleCount = 0; // samples it holds
    std::int64_t lastWritten = 0; // seconds since 1970: when the copy was written
    std::string savePath;         // where its program meant to save; may be empty
};

// The copies in the folder whose program has gone, the most recently written first.
// Copies of full length only; copies of running programs are not listed.
std::vector<InterruptedRun> FindInterruptedRuns(const std::filesystem::path& folder);
std::vector<InterruptedRun> FindInterruptedRuns();

// The question put to the user: "A logging run was interrupted (project "...", N
// samples, last written Mmm DD YYYY HH:MM:SS). Recover it?"
std::string RecoveryQuestion(const InterruptedRun& run);

// An interrupted run taken over by this program: while the claim is held no other
// program offers the same copy. Released (not removed) when destroyed.
class RecoveryClaim {
  public:
    // Takes the run's lock; nullopt when another program holds it or the copy has
    // gone meanwhile.
    static std::optional<RecoveryClaim> Take(const InterruptedRun& run);

    RecoveryClaim(RecoveryClaim&& other) noexcept;
    RecoveryClaim& operator=(RecoveryClaim&&) = delete;
    RecoveryClaim(const RecoveryClaim&) = delete;
    RecoveryClaim& operator=(const RecoveryClaim&) = delete;
    ~RecoveryClaim();

    const InterruptedRun& Run() const { return run_; }

    // Reads the copy into the document, which becomes an unsaved document: no path,
    // modified, titled after the file its program meant to save to (if any).
    FileResult Load(CZentraDoc& doc) const;

    // Deletes the copy and its lock file (the run was recovered or given up).
    void Remove();

  private:
    RecoveryClaim(InterruptedRun run, int lockFd) : run_(std::move(run)), lockFd_(lockFd) {}
    InterruptedRun run_;
    int lockFd_ = -1;
};

// What one Update did.
enum class RecoveryStep {
    None,    // nothing was due
    Written, // the copy was rewritten
    Failed,  // a write was due and failed (LastError says why); retried when next due
};

// Keeps this program's recovery copy of the document being logged. Costs a few
// comparisons per call while no write is due; the one image buffer is allocated at
// the first write and reused.
class RecoveryWriter {
  public:
    explicit RecoveryWriter(std::filesystem::path folder = RecoveryFolder());
    // Releases the lock. A copy that still holds unsaved samples stays for the next
    // start; otherwise the lock file goes too.
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    // Called after every tick (or any time). Writes the copy when samples were added
    // and one of these holds: it is the run's first copy, kRecoveryEverySamples
    // samples were added since the last copy, kRecoveryInterval has passed since it,
    // or logging has ended (the final copy). The document is not changed.
    RecoveryStep Update(CZentraDoc& doc);

    // Writes the copy now and guards the document until it is saved or given up
    // (a recovered document this program has taken over).
    RecoveryStep WriteNow(CZentraDoc& doc);

    // The document was saved. Once logging has ended the copy is removed; while
    // logging goes on it stays and keeps being refreshed.
    void Saved(const CZentraDoc& doc);

    // The user gave the document up (closed or replaced it without saving).
    void Discard();

    // Where the program means to save the project; recorded in the lock file.
    void SetSavePath(const std::string& path);

    bool HasCopy() const { return hasCopy_; }
    const std::filesystem::path& CopyPath() const { return copyPath_; }
    const std::string& LastError() const { return lastError_; }

  private:
    bool Claim();
    bool WriteCopy(CZentraDoc& doc);
    void RemoveCopy();
    void RecordSavePath();

    std::filesystem::path folder_;
    std::filesystem::path copyPath_;
    std::string copyName_;      // copyPath_ as text, for the calls that write
    std::string temporaryName_; // written first, then renamed over copyName_
    std::filesystem::path lockPath_;
    int lockFd_ = -1;
    int folderFd_ = -1;
    std::vector<std::uint8_t> image_;
    std::string savePath_;
    std::string lastError_;
    bool guarding_ = false;         // a run (or a recovered document) is being kept
    bool hasCopy_ = false;          // the copy on disk is this run's
    bool attempted_ = false;        // a write was tried for this run
    bool finalAttempted_ = false;   // the write after logging ended was tried
    std::int32_t copiedCount_ = 0;  // samples in the copy
    std::int32_t attemptCount_ = 0; // samples at the last write (or failed try)
    std::int64_t lastAttempt_ = 0;  // platform time of the last write (or failed try)
};

} // namespace zentra
