// The recovery copy of a running log: when it is written, what it holds, that writing
// it leaves the live document alone, when it goes, and how a later start finds the
// copies of programs that have gone (and leaves those of running programs alone).
#include "document/recovery_file.h"

#include "document/project_file.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"
#include "records/calendar.h"
#include "tests/document/document_test_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace zentra {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::FilesIn;
using test::ReadBytes;

class RecoveryFile : public ::testing::Test {
  protected:
    const test::ScopedUserFolders folders_;
    platform::ManualClock clock_{LocalTimeOf(2013, 1, 5, 14, 3, 9)};
    const fs::path folder_ = fs::path(folders_.StateHome()) / "zentra";

    // A document in the middle of a logging run.
    std::unique_ptr<CZentraDoc> LoggingDoc() {
        auto doc = test::NewDocument();
        SetText(doc->m_ProjectName, "Pump house");
        doc->m_Locked = 1;
        doc->m_LoggingActive = 1;
        doc->m_RetrievalActive = 1;
        doc->m_LoggingEndTime = 1'000;
        doc->m_ProjectEndDate = 19700101;
        return doc;
    }
    // Logs n more samples, one a second, with values that tell them apart.
    void Log(CZentraDoc& doc, int n) {
        for (int i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(doc.m_SampleCount);
            doc.m_SampleValues[k][1] = 230.0 + 0.25 * static_cast<double>(k);
            doc.m_SampleValues[k][23] = -static_cast<double>(k);
            doc.m_SampleTimes[k] = clock_.Get();
            ++doc.m_SampleCount;
            clock_.Advance(1);
        }
    }
};

TEST_F(RecoveryFile, WrittenAtTheFirstSampleEverySixtySamplesEveryMinuteAndAtTheEnd) {
    auto doc = LoggingDoc();
    RecoveryWriter writer;
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::None); // nothing logged yet
    EXPECT_FALSE(writer.HasCopy());
    EXPECT_EQ(FilesIn(folder_), 0u);

    Log(*doc, 1);
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::Written);
    ASSERT_TRUE(writer.HasCopy());
    EXPECT_EQ(writer.CopyPath().parent_path(), folder_);
    EXPECT_EQ(writer.CopyPath().filename(), "recovery-" + std::to_string(getpid()) + ".ztr");

    // Samples 2..60: 59 new samples within the minute; nothing is due.
    for (int i = 0; i < 59; ++i) {
        clock_.Set(clock_.Get() - 1); // keep the minute from passing
        Log(*doc, 1);
        EXPECT_EQ(writer.Update(*doc), RecoveryStep::None) << doc->m_SampleCount;
    }
    Log(*doc, 1); // the 60th sample since the copy
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::Written);
    EXPECT_EQ(OnOpenDocument(*std::make_unique<CZentraDoc>(), writer.CopyPath()).ok, true);

    // A slow period: one sample, then a minute passes with nothing new, then one.
    Log(*doc, 1);
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::None);
    clock_.Advance(120);
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::Written); // the minute is up
    clock_.Advance(120);
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::None); // nothing new since

    // The run ends: the final copy holds every sample.
    Log(*doc, 2);
    doc->m_LoggingActive = 0;
    doc->m_Finished = 1;
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::Written);
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::None);
    auto copy = std::make_unique<CZentraDoc>();
    ASSERT_TRUE(OnOpenDocument(*copy, writer.CopyPath().string()).ok);
    EXPECT_EQ(copy->m_SampleCount, doc->m_SampleCount);

    // Saved after the run: the copy and its lock go.
    writer.Saved(*doc);
    EXPECT_FALSE(writer.HasCopy());
    EXPECT_FALSE(fs::exists(writer.CopyPath()));
}

TEST_F(RecoveryFile, TheCopyIsTheProjectImageAndTheLiveDocumentIsNotStamped) {
    auto doc = LoggingDoc();
    Log(*doc, 5);
    RecoveryWriter writer;
    ASSERT_EQ(writer.Update(*doc), RecoveryStep::Written);

    // Saving stamps an unfinished project's end in memory; the copy must not.
    EXPECT_EQ(doc->m_LoggingEndTime, 1'000);
    EXPECT_EQ(doc->m_ProjectEndDate, 19700101);
    EXPECT_EQ(doc->m_Finished, 0);
    EXPECT_EQ(doc->m_LoggingActive, 1);
    EXPECT_FALSE(doc->IsModified());

    // Byte for byte what saving the project at this moment writes.
    EXPECT_TRUE(ReadBytes(writer.CopyPath()) == test::StoreImage(*doc));
    EXPECT_EQ(FilesIn(folder_), 2u); // the copy and its lock; no temporary file
}

TEST_F(RecoveryFile, ASaveDuringTheRunKeepsTheCopyAndGivingTheProjectUpRemovesIt) {
    auto doc = LoggingDoc();
    Log(*doc, 3);
    {
        RecoveryWriter writer;
        writer.Update(*doc);
        writer.Saved(*doc); // logging goes on: later samples still need it
        EXPECT_TRUE(fs::exists(writer.CopyPath()));
        writer.Discard();
        EXPECT_FALSE(fs::exists(writer.CopyPath()));
        // Guarding starts again with the next run's samples.
        Log(*doc, 1);
        EXPECT_EQ(writer.Update(*doc), RecoveryStep::Written);
        writer.Discard();
    }
    EXPECT_EQ(FilesIn(folder_), 0u); // lock file gone with the writer
    EXPECT_TRUE(FindInterruptedRuns().empty());
}

TEST_F(RecoveryFile, ARunningProgramsCopyIsNotOfferedADeadOnesIs) {
    auto doc = LoggingDoc();
    Log(*doc, 7);
    auto writer = std::make_unique<RecoveryWriter>();
    writer->SetSavePath("/data/site/pump.ztr");
    ASSERT_EQ(writer->Update(*doc), RecoveryStep::Written);
    const fs::path copy = writer->CopyPath();
    EXPECT_TRUE(FindInterruptedRuns().empty()); // its program (this one) still runs

    writer.reset(); // the program ends with the samples unsaved
    const auto runs = FindInterruptedRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].copy, copy);
    EXPECT_EQ(runs[0].projectName, "Pump house");
    EXPECT_EQ(runs[0].sampleCount, 7);
    EXPECT_EQ(runs[0].lastWritten, clock_.Get());
    EXPECT_EQ(runs[0].savePath, "/data/site/pump.ztr");
    EXPECT_EQ(RecoveryQuestion(runs[0]),
              "A logging run was interrupted (project \"Pump house\", 7 samples, last written "
              "Jan 05 2013 14:03:16). Recover it?");

    // A new writer in this process never takes the dead copy's name.
    RecoveryWriter next;
    Log(*doc, 1);
    ASSERT_EQ(next.Update(*doc), RecoveryStep::Written);
    EXPECT_NE(next.CopyPath(), copy);
    EXPECT_EQ(FindInterruptedRuns().size(), 1u);
    next.Discard();
}

TEST_F(RecoveryFile, CopiesOfOtherProcessesAliveAndKilled) {
    auto doc = LoggingDoc();
    Log(*doc, 4);
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    // A live program: writes its copy and waits.
    const pid_t live = fork();
    ASSERT_GE(live, 0);
    if (live == 0) {
        RecoveryWriter writer;
        const bool written = writer.Update(*doc) == RecoveryStep::Written;
        char c = written ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(release[0], &c, 1);
        _exit(0); // no destructors: as if killed
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_TRUE(FindInterruptedRuns().empty());

    // A killed program: its copy is offered once it has gone.
    const pid_t killed = fork();
    ASSERT_GE(killed, 0);
    if (killed == 0) {
        Log(*doc, 2);
        RecoveryWriter writer;
        writer.Update(*doc);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(killed, &status, 0), killed);
    auto runs = FindInterruptedRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].sampleCount, 6);
    EXPECT_NE(runs[0].copy.string().find(std::to_string(killed)), std::string::npos);

    // Once the live one goes too, both are offered, the latest written first.
    clock_.Advance(5);
    (void)!write(release[1], &c, 1);
    ASSERT_EQ(waitpid(live, &status, 0), live);
    runs = FindInterruptedRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_GE(runs[0].lastWritten, runs[1].lastWritten);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);
}

TEST_F(RecoveryFile, AClaimLoadsAnUnsavedDocumentAndIsExclusive) {
    auto doc = LoggingDoc();
    Log(*doc, 9);
    {
        RecoveryWriter writer;
        writer.SetSavePath("/data/site/pump.ztr");
        writer.Update(*doc);
    }
    const auto runs = FindInterruptedRuns();
    ASSERT_EQ(runs.size(), 1u);
    auto claim = RecoveryClaim::Take(runs[0]);
    ASSERT_TRUE(claim.has_value());
    EXPECT_FALSE(RecoveryClaim::Take(runs[0]).has_value()); // another starting program
    EXPECT_TRUE(FindInterruptedRuns().empty());

    auto recovered = std::make_unique<CZentraDoc>();
    const FileResult loaded = claim->Load(*recovered);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(recovered->m_SampleCount, 9);
    EXPECT_TRUE(recovered->m_SampleValues == doc->m_SampleValues);
    EXPECT_TRUE(recovered->m_SampleTimes == doc->m_SampleTimes);
    EXPECT_STREQ(recovered->m_ProjectName.data(), "Pump house");
    EXPECT_EQ(recovered->m_Locked, 1);
    EXPECT_TRUE(recovered->IsModified());
    EXPECT_TRUE(recovered->m_PathName.empty());
    EXPECT_EQ(recovered->m_Title, "pump.ztr");

    claim->Remove();
    EXPECT_EQ(FilesIn(folder_), 0u);
    EXPECT_FALSE(RecoveryClaim::Take(runs[0]).has_value()); // gone
}

TEST_F(RecoveryFile, AFailedWriteIsReportedAndRetriedWhenNextDueNotEveryTick) {
    // The state folder's place is taken by a file: no copy can be kept there.
    const fs::path blocked = fs::path(folders_.root()) / "blocked";
    std::ofstream(blocked) << "x";
    auto doc = LoggingDoc();
    RecoveryWriter writer(blocked / "zentra");
    Log(*doc, 1);
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::Failed);
    EXPECT_NE(writer.LastError().find("blocked"), std::string::npos) << writer.LastError();
    Log(*doc, 1);
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::None);
    clock_.Advance(60);
    Log(*doc, 1);
    EXPECT_EQ(writer.Update(*doc), RecoveryStep::Failed);

    // Without any state folder or home there is no copy, and no crash.
    const test::ScopedEnv noState("XDG_STATE_HOME", nullptr);
    const test::ScopedEnv noHome("HOME", nullptr);
    EXPECT_TRUE(RecoveryFolder().empty());
    EXPECT_TRUE(FindInterruptedRuns().empty());
    RecoveryWriter homeless;
    EXPECT_EQ(homeless.Update(*doc), RecoveryStep::Failed);
}

TEST_F(RecoveryFile, FolderFollowsTheStateHomeOrTheHomeFolder) {
    EXPECT_EQ(RecoveryFolder(), folder_);
    const test::ScopedEnv relative("XDG_STATE_HOME", "relative/state");
    const test::ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(RecoveryFolder(), fs::path("/home/someone/.local/state/zentra"));
}

TEST_F(RecoveryFile, LockFilesLeftWithoutACopyAreTidiedAwayButNotThoseOfRunningPrograms) {
    // A program that died writing its first copy: a lock and a half-written copy.
    fs::create_directories(folder_);
    std::ofstream(folder_ / "recovery-4242.lock") << "/data/a.ztr\n";
    std::ofstream(folder_ / "recovery-4242.ztr.tmp") << "half";
    // A running program that has given its copy up still holds its lock.
    auto doc = LoggingDoc();
    Log(*doc, 1);
    RecoveryWriter running;
    running.Update(*doc);
    running.Discard();
    EXPECT_EQ(FilesIn(folder_), 3u);

    EXPECT_TRUE(FindInterruptedRuns().empty());
    EXPECT_EQ(FilesIn(folder_), 1u); // only the running program's lock
    Log(*doc, 1);
    EXPECT_EQ(running.Update(*doc), RecoveryStep::Written); // its lock still guards it
    EXPECT_TRUE(FindInterruptedRuns().empty());
}

TEST_F(RecoveryFile, ShortOrForeignFilesInTheFolderAreNotOffered) {
    fs::create_directories(folder_);
    std::ofstream(folder_ / "recovery-1.ztr") << "cut short by a full disk";
    std::ofstream(folder_ / "notes.ztr") << "not ours";
    test::WriteBytes(folder_ / "recovery-2.ztr.tmp", Bytes(kProjectFileSize, 0));
    EXPECT_TRUE(FindInterruptedRuns().empty());
}

} // namespace
} // namespace zentra
