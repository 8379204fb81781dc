#include "document/recovery_file.h"

#include "platform/file_io.h"

#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "records/calendar.h"
#include "records/le_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentra {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCopyPrefix = "recovery-";
constexpr std::string_view kCopyExtension = ".ztr";
constexpr std::string_view kLockExtension = ".lock";
constexpr std::string_view kTemporaryExtension = ".tmp";
constexpr std::size_t kSavePathCapacity = 4096; // bytes of the path kept in a lock file
constexpr int kNameAttempts = 100;              // "recovery-<pid>-<n>" tried before giving up

// Fields of the copy read to describe it, at their file offsets.
constexpr std::size_t kNameAt = file_block::kProject + project_field::kProjectName;
constexpr std::size_t kEndTimeAt = file_block::kProject + project_field::kLoggingEndTime;
constexpr std::size_t kCountAt = file_block::kLogAxis + axis_field::kSampleCount;

using platform::WriteAll;

bool ReadAt(int fd, std::size_t offset, void* into, std::size_t size) {
    return ::pread(fd, into, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

// Opens (creating when missing) a lock file and takes its lock without waiting.
// -1 when the lock is held elsewhere or the file cannot be opened.
int TakeLock(const fs::path& lock) {
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string ReadSavePath(int lockFd) {
    char text[kSavePathCapacity] = {};
    const ssize_t n = ::pread(lockFd, text, sizeof text - 1, 0);
    if (n <= 0)
        return {};
    std::string path(text, static_cast<std::size_t>(n));
    if (const auto end = path.find_first_of("\n\0", 0, 2); end != std::string::npos)
        path.resize(end);
    return path;
}

// Describes a copy from its own bytes; false when it cannot be read.
bool Describe(const fs::path& copy, InterruptedRun& run) {
    const int fd = ::open(copy.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::uint8_t name[kShortTextCapacity] = {};
    std::uint8_t count[4] = {};
    std::uint8_t endTime[8] = {};
    struct stat info {};
    const bool read = ReadAt(fd, kNameAt, name, sizeof name) &&
                      ReadAt(fd, kCountAt, count, sizeof count) &&
                      ReadAt(fd, kEndTimeAt, endTime, sizeof endTime) && ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!read)
        return false;
    name[sizeof name - 1] = 0;
    run.projectName = reinterpret_cast<const char*>(name);
    run.sampleCount = std::clamp(le::Get<std::int32_t>(count, 0), 0, kMaxSamples);
    run.lastWritten = le::Get<std::int64_t>(endTime, 0);
    if (run.lastWritten <= 0)
        run.lastWritten = info.st_mtime;
    return true;
}

bool IsCopyName(const std::string& name) {
    return name.size() > kCopyPrefix.size() + kCopyExtension.size() &&
           name.starts_with(kCopyPrefix) && name.ends_with(kCopyExtension);
}

bool IsLockName(const std::string& name) {
    return name.starts_with(kCopyPrefix) && name.ends_with(kLockExtension);
}

fs::path CopyFor(const fs::path& lock) {
    fs::path copy = lock;
    copy.replace_extension(kCopyExtension);
    return copy;
}

std::string TemporaryFor(const fs::path& copy);

// A lock file without a copy, whose program has gone (it ended after giving its copy
// up, or died writing its first one): removed with any half-written copy.
void RemoveIfOrphaned(const fs::path& lock) {
    std::error_code ec;
    const fs::path copy = CopyFor(lock);
    if (fs::exists(copy, ec))
        return;
    const int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && !fs::exists(copy, ec)) {
        fs::remove(TemporaryFor(copy), ec);
        fs::remove(lock, ec);
    }
    ::close(fd);
}

fs::path LockFor(const fs::path& copy) {
    fs::path lock = copy;
    lock.replace_extension(kLockExtension);
    return lock;
}

std::string TemporaryFor(const fs::path& copy) {
    return copy.string() + std::string(kTemporaryExtension);
}

std::string Reason(std::string_view what, const fs::path& path, int error) {
    return std::string(what) + " \"" + path.string() + "\": " + std::strerror(error) + ".";
}

} // namespace

fs::path RecoveryFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return fs::path(state) / "zentra";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return fs::path(home) / ".local" / "state" / "zentra";
    return {};
}

std::vector<InterruptedRun> FindInterruptedRuns(const fs::path& folder) {
    std::vector<InterruptedRun> runs;
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        return runs;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (IsLockName(name)) {
            RemoveIfOrphaned(entry.path());
            continue;
        }
        if (!IsCopyName(name) || !entry.is_regular_file(ec) ||
            entry.file_size(ec) != kProjectFileSize)
            continue;
        InterruptedRun run;
        run.copy = entry.path();
        run.lock = LockFor(run.copy);
        // A running program holds its lock: its copy is not ours to offer.
        const int lockFd = TakeLock(run.lock);
        if (lockFd < 0)
            continue;
        run.savePath = ReadSavePath(lockFd);
        const bool described = Describe(run.copy, run);
        ::close(lockFd);
        if (described)
            runs.push_back(std::move(run));
    }
    std::sort(runs.begin(), runs.end(), [](const InterruptedRun& a, const InterruptedRun& b) {
        return a.lastWritten > b.lastWritten;
    });
    return runs;
}

std::vector<InterruptedRun> FindInterruptedRuns() {
    return FindInterruptedRuns(RecoveryFolder());
}

std::string RecoveryQuestion(const InterruptedRun& run) {
    const GetSystemDate when(run.lastWritten);
    std::string text = "A logging run was interrupted (project \"";
    text += run.projectName;
    text += "\", ";
    text += std::to_string(run.sampleCount);
    text += run.sampleCount == 1 ? " sample" : " samples";
    text += ", last written ";
    text += when.m_MonthName.data();
    text += ' ';
    text += when.m_Day.data();
    text += ' ';
    text += when.m_Year.data();
    text += ' ';
    text += when.m_Clock.data();
    text += "). Recover it?";
    return text;
}

// --- RecoveryClaim ---------------------------------------------------------------------

std::optional<RecoveryClaim> RecoveryClaim::Take(const InterruptedRun& run) {
    const int fd = TakeLock(run.lock);
    if (fd < 0)
        return std::nullopt;
    std::error_code ec;
    if (!fs::exists(run.copy, ec)) { // recovered or given up by another program meanwhile
        ::close(fd);
        return std::nullopt;
    }
    return RecoveryClaim(run, fd);
}

RecoveryClaim::RecoveryClaim(RecoveryClaim&& other) noexcept
    : run_(std::move(other.run_)), lockFd_(std::exchange(other.lockFd_, -1)) {}

RecoveryClaim::~RecoveryClaim() {
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

FileResult RecoveryClaim::Load(CZentraDoc& doc) const {
    FileResult result = OnOpenDocument(doc, run_.copy.string());
    if (!result.ok)
        return result;
    // An unsaved document: the user decides where it goes.
    doc.m_PathName.clear();
    doc.m_Title = run_.savePath.empty() ? std::string("Untitled")
                                        : fs::path(run_.savePath).filename().string();
    doc.SetModifiedFlag(true);
    return result;
}

void RecoveryClaim::Remove() {
    std::error_code ec;
    fs::remove(run_.copy, ec);
    fs::remove(TemporaryFor(run_.copy), ec);
    fs::remove(run_.lock, ec);
    if (lockFd_ >= 0)
        ::close(std::exchange(lockFd_, -1));
}

// --- RecoveryWriter --------------------------------------------------------------------

RecoveryWriter::RecoveryWriter(fs::path folder) : folder_(std::move(folder)) {}

RecoveryWriter::~RecoveryWriter() {
    if (lockFd_ >= 0) {
        if (!hasCopy_) {
            std::error_code ec;
            fs::remove(lockPath_, ec);
        }
        ::close(lockFd_); // a copy left behind is now an interrupted run
    }
    if (folderFd_ >= 0)
        ::close(folderFd_);
}

bool RecoveryWriter::Claim() {
    if (lockFd_ >= 0)
        return true;
    if (folder_.empty()) {
        lastError_ = "Cannot keep a recovery copy: neither XDG_STATE_HOME nor HOME is set.";
        return false;
    }
    std::error_code ec;
    fs::create_directories(folder_, ec);
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::replace, ec);
    folderFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ < 0) {
        lastError_ = Reason("Cannot keep a recovery copy in", folder_, errno);
        return false;
    }
    const std::string pid = std::to_string(::getpid());
    for (int n = 0; n < kNameAttempts; ++n) {
        // A dead program with the same process id may have left its copy: not ours.
        const std::string stem =
            std::string(kCopyPrefix) + pid + (n == 0 ? std::string() : "-" + std::to_string(n));
        const fs::path copy = folder_ / (stem + std::string(kCopyExtension));
        const fs::path lock = folder_ / (stem + std::string(kLockExtension));
        if (fs::exists(copy, ec) || fs::exists(lock, ec))
            continue;
        const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            continue;
        // A starting program tidying orphaned lock files may have removed this one
        // between its creation and the lock: then it guards nothing.
        struct stat held {
        }, named{};
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
            ::stat(lock.c_str(), &named) != 0 || held.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        lockFd_ = fd;
        lockPath_ = lock;
        copyPath_ = copy;
        copyName_ = copy.string();
        temporaryName_ = TemporaryFor(copy);
        RecordSavePath();
        return true;
    }
    lastError_ = "Cannot keep a recovery copy in \"" + folder_.string() + "\": no free name.";
    return false;
}

void RecoveryWriter::RecordSavePath() {
    if (lockFd_ < 0)
        return;
    const std::string line = savePath_.substr(0, kSavePathCapacity - 2) + "\n";
    if (::ftruncate(lockFd_, 0) == 0)
        (void)!::pwrite(lockFd_, line.data(), line.size(), 0);
}

void RecoveryWriter::SetSavePath(const std::string& path) {
    if (path == savePath_)
        return;
    savePath_ = path;
    RecordSavePath();
}

bool RecoveryWriter::WriteCopy(CZentraDoc& doc) {
    if (!Claim())
        return false;
    if (image_.empty())
        image_.resize(kProjectFileSize); // the one buffer, reused by every later copy

    // The image describes the run as it stands; writing it must not change the live
    // document, which stamps an unfinished project's end as it stores it.
    const std::int64_t endTime = doc.m_LoggingEndTime;
    const DayNumber endDate = doc.m_ProjectEndDate;
    SerializeStore(doc, image_.data());
    doc.m_LoggingEndTime = endTime;
    doc.m_ProjectEndDate = endDate;

    const int fd = ::open(temporaryName_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        lastError_ = Reason("Cannot write the recovery copy", temporaryName_, errno);
        return false;
    }
    int error = WriteAll(fd, image_);
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporaryName_.c_str(), copyName_.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporaryName_.c_str());
        lastError_ = Reason("Cannot write the recovery copy", copyPath_, error);
        return false;
    }
    ::fsync(folderFd_); // the rename itself survives a power cut
    lastError_.clear();
    return true;
}

void RecoveryWriter::RemoveCopy() {
    if (!hasCopy_)
        return;
    ::unlink(copyName_.c_str());
    ::unlink(temporaryName_.c_str());
    hasCopy_ = false;
}

RecoveryStep RecoveryWriter::Update(CZentraDoc& doc) {
    const bool logging = doc.m_LoggingActive != 0;
    if (!logging && !guarding_)
        return RecoveryStep::None;
    guarding_ = true;
    const std::int32_t count = doc.m_SampleCount;
    if (count == copiedCount_ && (hasCopy_ || count == 0))
        return RecoveryStep::None; // nothing new to keep

    const std::int64_t now = platform::Now();
    bool due = !attempted_ || (!logging && !finalAttempted_);
    due = due || count - attemptCount_ >= kRecoveryEverySamples ||
          now - lastAttempt_ >= kRecoveryInterval.count();
    if (!due)
        return RecoveryStep::None;

    attempted_ = true;
    finalAttempted_ = finalAttempted_ || !logging;
    attemptCount_ = count;
    lastAttempt_ = now;
    if (!WriteCopy(doc))
        return RecoveryStep::Failed;
    copiedCount_ = count;
    hasCopy_ = true;
    return RecoveryStep::Written;
}

RecoveryStep RecoveryWriter::WriteNow(CZentraDoc& doc) {
    guarding_ = true;
    attempted_ = true;
    finalAttempted_ = doc.m_LoggingActive == 0;
    attemptCount_ = doc.m_SampleCount;
    lastAttempt_ = platform::Now();
    if (!WriteCopy(doc))
        return RecoveryStep::Failed;
    copiedCount_ = doc.m_SampleCount;
    hasCopy_ = true;
    return RecoveryStep::Written;
}

void RecoveryWriter::Saved(const CZentraDoc& doc) {
    if (doc.m_LoggingActive)
        return; // later samples still need the copy
    Discard();
}

void RecoveryWriter::Discard() {
    RemoveCopy();
    guarding_ = false;
    attempted_ = false;
    finalAttempted_ = false;
    copiedCount_ = 0;
    attemptCount_ = 0;
    lastAttempt_ = 0;
}

} // namespace zentra
