// The project file: exact byte layout, the finished-on-save rule, the reading rules,
// hostile files and atomic saving.
#include "document/project_file.h"

#include "platform/clock.h"
#include "records/calendar.h"
#include "tests/document/document_test_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

namespace zentra {
namespace {

using namespace test;

template <std::size_t N> void Fill(std::array<char, N>& field, const std::string& text) {
    SetText(field, text.c_str());
}

// Every stored field gets a value of its own (within the bounds a reader keeps).
void FillDistinct(CZentraDoc& d) {
    Fill(d.m_Description, "Feeder 4 survey, meter serial 0071-22");
    Fill(d.m_BriefDescription, "Feeder 4");
    Fill(d.m_ProjectName, "Substation B");
    d.m_ProjectStartDate = 20120102;
    d.m_ProjectEndDate = 20120304;
    d.m_ShowProject = 0;
    d.m_Period = 7;
    d.m_PeriodMultiplier = 60;
    d.m_Duration = 11;
    d.m_DurationMultiplier = 3600;
    d.m_Samples = 6000;
    d.m_LoggingStartTime = 1357394589;
    d.m_LoggingEndTime = 1357398189;
    d.m_StartDate = 20130105;
    d.m_StartHour = 13;
    d.m_StartMinute = 14;
    d.m_StartSecond = 15;
    d.m_StartImmediately = 0;
    for (int i = 0; i < kSelectedParameters; ++i)
        d.m_SelectedParameters[static_cast<std::size_t>(i)] = 49 - i;
    d.m_LoggingSetUp = 0;
    d.m_Locked = 1;
    d.m_Finished = 1;
    for (int k = 0; k < kGraphCount; ++k) {
        Graph& g = d.m_Graphs[static_cast<std::size_t>(k)];
        g.m_Enabled = k % 2;
        g.m_RealTime = 1;
        g.m_GraphMode = (k + 1) % 2;
        g.m_HistoryTime = 1357000000 + k;
        g.m_GraphNumber = k;
        g.m_Word52 = 100 + k;
        g.m_Quadrant = k % 4;
        for (int t = 0; t < kTracesPerGraph; ++t) {
            const auto ut = static_cast<std::size_t>(t);
            g.m_LineColour[ut] = (k + t) % kTraceColourCount;
            g.m_LineStyle[ut] = 1000 * k + t;
            g.m_Associations[ut] = k + t + 1;
            Fill(g.m_Headings[ut], "Heading " + std::to_string(k) + "." + std::to_string(t));
        }
        Fill(g.m_LegendX, "LX" + std::to_string(k));
        Fill(g.m_LegendY, "LY" + std::to_string(k));
        g.m_RelativeY = k % 2;
        g.m_NominalY = {100.5 + k, 50.25 + k};
        g.m_CentreZero = (k / 2) % 2;
        g.m_ScaleX = 5 + k;
        g.m_ScaleY = 2 + k;
        g.m_NominalScaleY = 1 + k;
        g.m_LeftArrowActive = k % 3 == 0;
        g.m_RightArrowActive = k % 3 == 1;
        g.m_FirstIndex = -(k + 3);
        g.m_ScrollOffset = -10 * k;
        g.m_LastIndex = 100 + k;
        g.m_SecondsPerDiv = 60 * k;
        g.m_TickLengthX = 1.25 + k;
        g.m_TickLengthY = 100.0 - k;
    }
    Fill(d.m_LiveAxisStart, "10:00:01");
    Fill(d.m_LiveAxisEnd, "10:00:21");
    Fill(d.m_LiveAxisDate, "Jan 05 2013");
    Fill(d.m_Comms.port, "COM7");
    Fill(d.m_Comms.baud, "9600");
    Fill(d.m_Comms.parity, "EVEN");
    Fill(d.m_Comms.dataBits, "7");
    Fill(d.m_Comms.stopBits, "2");
    Fill(d.m_Comms.latency, "350");
    d.m_Comms.floatOrder = 2;
    d.m_Comms.portSetUp = 1;
    d.m_ModbusNode = 17.0;
    d.m_ModelNumber = 761.0;
    d.m_VersionFraction = 0.25f;
    d.m_SystemVoltage = 415.5;
    d.m_SystemCurrent = 7.5;
    d.m_SystemTypeNumber = 4.0;
    d.m_MeterSpare = 1234.5;
    for (int i = 0; i < kReadingMapSize; ++i)
        d.m_ReadingMap[static_cast<std::size_t>(i)] = kReadingMapSize - i;
    d.m_SystemType = 5;
    Fill(d.m_LogAxisStart, "09:00:00");
    Fill(d.m_LogAxisEnd, "11:00:00");
    Fill(d.m_LogAxisDate, "Feb 28 2013");
    d.m_SampleCount = 7000;
    d.m_DataViewTop = 3;
    for (int n = 0; n < kMaxSamples; ++n) {
        for (int e = 0; e < kSampleValues; ++e)
            d.m_SampleValues[static_cast<std::size_t>(n)][static_cast<std::size_t>(e)] =
                n * 100.0 + e + 0.5;
        d.m_SampleTimes[static_cast<std::size_t>(n)] = 1357394589 + n;
    }
}

// Checks the bytes of each field and marks them; every unmarked byte must be zero.
class LayoutChecker {
  public:
    explicit LayoutChecker(const Bytes& image) : image_(image), seen_(image.size(), false) {}
    void Mark(std::size_t at, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) {
            ASSERT_FALSE(seen_.at(at + i)) << "byte " << at + i << " checked twice";
            seen_[at + i] = true;
        }
    }
    template <class T> void Check(std::size_t at, T expected) {
        using Bits =
            std::conditional_t<sizeof(T) == 1, std::uint8_t,
                               std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
        EXPECT_EQ(std::bit_cast<T>(static_cast<Bits>(Raw(image_, at, sizeof(T)))), expected)
            << "offset " << at;
        Mark(at, sizeof(T));
    }
    void U8(std::size_t at, std::uint8_t expected) { Check(at, expected); }
    void Int32(std::size_t at, std::int32_t expected) { Check(at, expected); }
    void Int64(std::size_t at, std::int64_t expected) { Check(at, expected); }
    void Double(std::size_t at, double expected) { Check(at, expected); }
    void Float(std::size_t at, float expected) { Check(at, expected); }
    // Text then zeros to the end of the field.
    template <std::size_t N> void Text(std::size_t at, const std::array<char, N>& expected) {
        const std::string text(expected.data());
        for (std::size_t i = 0; i < N; ++i)
            ASSERT_EQ(image_.at(at + i), i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0)
                << "offset " << at << " + " << i;
        Mark(at, N);
    }
    void RestIsZero() {
        for (std::size_t i = 0; i < image_.size(); ++i)
            if (!seen_[i]) {
                ASSERT_EQ(image_[i], 0) << "reserved byte " << i;
            }
    }

  private:
    const Bytes& image_;
    std::vector<bool> seen_;
};

void CheckGraphBytes(LayoutChecker& c, std::size_t base, const Graph& g) {
    namespace o = graph_offset;
    c.U8(base + o::kEnabled, g.m_Enabled);
    c.U8(base + o::kRealTime, g.m_RealTime);
    c.U8(base + o::kGraphMode, g.m_GraphMode);
    c.Int64(base + o::kHistoryTime, g.m_HistoryTime);
    c.Int32(base + 48, g.m_GraphNumber);
    c.Int32(base + 52, g.m_Word52);
    c.Int32(base + 56, g.m_Quadrant);
    for (std::size_t t = 0; t < 3; ++t) {
        c.Int32(base + 60 + 4 * t, g.m_LineColour[t]);
        c.Int32(base + 72 + 4 * t, g.m_LineStyle[t]);
        c.Int32(base + 84 + 4 * t, g.m_Associations[t]);
        c.Text(base + 96 + 101 * t, g.m_Headings[t]);
    }
    c.Text(base + 399, g.m_LegendX);
    c.Text(base + 500, g.m_LegendY);
    c.U8(base + 601, g.m_RelativeY);
    c.Double(base + 608, g.m_NominalY[0]);
    c.Double(base + 616, g.m_NominalY[1]);
    c.U8(base + 624, g.m_CentreZero);
    c.Int32(base + 628, g.m_ScaleX);
    c.Int32(base + 632, g.m_ScaleY);
    c.Int32(base + 636, g.m_NominalScaleY);
    c.U8(base + 656, g.m_LeftArrowActive);
    c.U8(base + 657, g.m_RightArrowActive);
    c.Int32(base + 692, g.m_FirstIndex);
    c.Int32(base + 696, g.m_ScrollOffset);
    c.Int32(base + 700, g.m_LastIndex);
    c.Int32(base + 704, g.m_SecondsPerDiv);
    c.Double(base + 712, g.m_TickLengthX);
    c.Double(base + 720, g.m_TickLengthY);
}

TEST(ProjectFile, GoldenLayoutAndFieldByFieldReadBack) {
    const test::ScopedUserFolders folders; // documents read and write the user's defaults
    platform::ManualClock clock(LocalTimeOf(2013, 3, 1, 9, 0, 0));
    auto doc = NewDocument();
    FillDistinct(*doc);
    const Bytes image = StoreImage(*doc);
    ASSERT_EQ(image.size(), 1'510'187u);

    LayoutChecker c(image);
    const CZentraDoc& d = *doc;
    c.Text(2000, d.m_Description);
    c.Text(3001, d.m_BriefDescription);
    c.Text(3102, d.m_ProjectName);
    c.Int32(3204, 20120102);
    c.Int32(3208, 20120304);
    c.U8(3212, 0);
    c.Int32(3216, 7);
    c.Int32(3220, 60);
    c.Int32(3224, 11);
    c.Int32(3228, 3600);
    c.Int32(3232, 6000);
    c.Int64(3240, 1357394589);
    c.Int64(3248, 1357398189);
    c.Int32(3256, 20130105);
    c.Int32(3260, 13);
    c.Int32(3264, 14);
    c.Int32(3268, 15);
    c.Int32(3272, 0);
    for (std::size_t i = 0; i < 23; ++i)
        c.Int32(3276 + 4 * i, static_cast<std::int32_t>(49 - i));
    c.U8(3368, 0);
    c.U8(3369, 1);
    c.U8(3370, 1);
    for (std::size_t k = 0; k < 12; ++k)
        CheckGraphBytes(c, 3376 + 728 * k, d.m_Graphs[k]);
    c.Text(12112, d.m_LiveAxisStart);
    c.Text(12133, d.m_LiveAxisEnd);
    c.Text(12154, d.m_LiveAxisDate);
    c.Text(12175, d.m_Comms.port);
    c.Text(12185, d.m_Comms.baud);
    c.Text(12195, d.m_Comms.parity);
    c.Text(12205, d.m_Comms.dataBits);
    c.Text(12215, d.m_Comms.stopBits);
    c.Text(12225, d.m_Comms.latency);
    c.Int32(12243, 2);
    c.Int32(12247, 1);
    c.Double(12251, 17.0);
    c.Double(12259, 761.0);
    c.Float(12267, 0.25f);
    c.Double(12275, 415.5);
    c.Double(12283, 7.5);
    c.Double(12291, 4.0);
    c.Double(12299, 1234.5);
    for (std::size_t i = 0; i < 48; ++i)
        c.Int32(12307 + 4 * i, static_cast<std::int32_t>(48 - i));
    c.Int32(12507, 5);
    c.Text(12515, d.m_LogAxisStart);
    c.Text(12536, d.m_LogAxisEnd);
    c.Text(12557, d.m_LogAxisDate);
    c.Int32(12579, 7000);
    c.Int32(12583, 3);
    for (std::size_t n = 0; n < 7200; ++n) {
        for (std::size_t e = 0; e < 25; ++e)
            c.Double(12587 + 200 * n + 8 * e, static_cast<double>(n) * 100.0 + e + 0.5);
        c.Int64(1452587 + 8 * n, 1357394589 + static_cast<std::int64_t>(n));
    }
    c.RestIsZero();

    // Read back into a document with different contents: the reading rules apply...
    auto back = NewDocument();
    back->m_LiveValues[5][7] = 3.0;
    back->m_ArchivedFile = 0;
    SerializeLoad(image.data(), *back);
    EXPECT_EQ(back->m_Finished, 1);
    EXPECT_EQ(back->m_Comms.portSetUp, 0);
    EXPECT_EQ(back->m_LiveValues[5][7], 0.0);
    EXPECT_EQ(back->m_ArchivedFile, 1);
    for (std::size_t k = 0; k < 12; ++k) {
        EXPECT_EQ(back->m_Graphs[k].m_RealTime, 0) << k;
        back->m_Graphs[k].m_RealTime = d.m_Graphs[k].m_RealTime;
    }
    // ...and with those forced fields put back, every other field stores the same bytes.
    back->m_Comms.portSetUp = d.m_Comms.portSetUp;
    const Bytes again = StoreImage(*back);
    const auto diff = std::mismatch(image.begin(), image.end(), again.begin());
    EXPECT_EQ(diff.first, image.end())
        << "field read back wrongly at offset " << (diff.first - image.begin());
}

class ProjectFileOnDisk : public ::testing::Test {
  protected:
    const test::ScopedUserFolders folders_; // documents read and write the user's defaults
    platform::ManualClock clock_{LocalTimeOf(2013, 1, 5, 14, 3, 9)};
    test::TempDir dir_;
};

TEST_F(ProjectFileOnDisk, NewDocumentSavedAtOnce) {
    auto doc = NewDocument();
    doc->SetModifiedFlag(true);
    const std::string path = dir_.File("new.ztr");
    const FileResult result = OnSaveDocument(*doc, path);
    ASSERT_TRUE(result.ok) << result.error;

    const Bytes file = ReadBytes(path);
    ASSERT_EQ(file.size(), 1'510'187u);
    EXPECT_EQ(file[3370], 1);
    EXPECT_EQ(I32(file, 3204), 20130105);
    EXPECT_EQ(I32(file, 3208), 20130105);
    EXPECT_EQ(I64(file, 3248), clock_.Get());
    for (std::size_t i = 12587; i < file.size(); ++i)
        ASSERT_EQ(file[i], 0) << "sample byte " << i;

    EXPECT_EQ(doc->m_Finished, 0);
    EXPECT_EQ(doc->m_LoggingEndTime, clock_.Get());
    EXPECT_EQ(doc->m_LoggingActive, 0);
    EXPECT_EQ(doc->m_Locked, 0);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->m_PathName, path);
    EXPECT_EQ(doc->m_Title, "new.ztr");
    // No temporary file is left behind.
    EXPECT_EQ(FilesIn(dir_.path()), 1u);
}

TEST_F(ProjectFileOnDisk, SavingTwiceDuringLogging) {
    auto doc = NewDocument();
    doc->m_Locked = 1;
    doc->m_LoggingActive = 1;
    doc->m_SampleCount = 3;
    doc->SetModifiedFlag(true);

    ASSERT_TRUE(OnSaveDocument(*doc, dir_.File("first.ztr")).ok);
    const std::int64_t first = clock_.Get();
    clock_.Set(LocalTimeOf(2013, 1, 6, 0, 0, 30)); // past midnight
    doc->m_SampleCount = 4;
    ASSERT_TRUE(OnSaveDocument(*doc, dir_.File("second.ztr")).ok);

    const Bytes a = ReadBytes(dir_.File("first.ztr"));
    const Bytes b = ReadBytes(dir_.File("second.ztr"));
    EXPECT_EQ(a[3370], 1);
    EXPECT_EQ(b[3370], 1);
    EXPECT_EQ(I64(a, 3248), first);
    EXPECT_EQ(I64(b, 3248), clock_.Get());
    EXPECT_EQ(I32(a, 3208), 20130105);
    EXPECT_EQ(I32(b, 3208), 20130106);
    EXPECT_EQ(I32(b, 12579), 4);
    EXPECT_EQ(a[3369], 1);
    // Logging goes on in memory.
    EXPECT_EQ(doc->m_Finished, 0);
    EXPECT_EQ(doc->m_LoggingActive, 1);
    EXPECT_EQ(doc->m_ProjectEndDate, 20130106);
}

TEST_F(ProjectFileOnDisk, FinishedProjectKeepsItsEndTime) {
    auto doc = NewDocument();
    doc->m_Locked = 1;
    doc->m_Finished = 1;
    doc->m_LoggingEndTime = 1357000000;
    doc->m_ProjectEndDate = 20121231;
    clock_.Advance(86400 * 3);
    ASSERT_TRUE(OnSaveDocument(*doc, dir_.File("done.ztr")).ok);
    const Bytes file = ReadBytes(dir_.File("done.ztr"));
    EXPECT_EQ(I64(file, 3248), 1357000000);
    EXPECT_EQ(I32(file, 3208), 20121231);
    EXPECT_EQ(doc->m_LoggingEndTime, 1357000000);
    EXPECT_EQ(doc->m_ProjectEndDate, 20121231);
}

TEST_F(ProjectFileOnDisk, ReadingRulesWhateverTheFileHeld) {
    auto doc = NewDocument();
    doc->m_SampleCount = 2;
    doc->m_SampleValues[1][3] = 12.5;
    Bytes image = StoreImage(*doc);
    // Another writer may leave anything in the reserved bytes and graph headers.
    std::fill_n(image.begin(), 2000, 0xA5);
    for (std::size_t k = 0; k < 12; ++k)
        std::fill_n(image.begin() + 3376 + 728 * k, 32, 0x5A);
    const std::string path = dir_.File("held.ztr");
    WriteBytes(path, image);

    auto opened = NewDocument();
    opened->m_LiveValues[600][49] = 1.0;
    opened->SetModifiedFlag(true);
    const FileResult result = OnOpenDocument(*opened, path);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(opened->m_LiveValues[600][49], 0.0); // the last slot of the ring too
    EXPECT_EQ(opened->m_SampleCount, 2);
    EXPECT_EQ(opened->m_SampleValues[1][3], 12.5);
    EXPECT_FALSE(opened->IsModified());
    EXPECT_EQ(opened->m_PathName, path);
}

TEST_F(ProjectFileOnDisk, FileOfAnotherLengthIsRefusedAndTheDocumentUntouched) {
    auto doc = NewDocument();
    SetText(doc->m_ProjectName, "Kept");
    doc->m_SampleCount = 9;
    doc->m_PathName = "/somewhere/kept.ztr";
    doc->SetModifiedFlag(true);

    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1000}, kProjectFileSize - 1, kProjectFileSize + 1}) {
        Bytes bytes(size, 0x11);
        const std::string path = dir_.File("wrong" + std::to_string(size) + ".ztr");
        WriteBytes(path, bytes);
        const FileResult result = OnOpenDocument(*doc, path);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("1,510,187 bytes"), std::string::npos) << result.error;
        EXPECT_STREQ(doc->m_ProjectName.data(), "Kept");
        EXPECT_EQ(doc->m_SampleCount, 9);
        EXPECT_EQ(doc->m_ArchivedFile, 0);
        EXPECT_EQ(doc->m_PathName, "/somewhere/kept.ztr");
        EXPECT_TRUE(doc->IsModified());
    }
    const FileResult missing = OnOpenDocument(*doc, dir_.File("missing.ztr"));
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("missing.ztr"), std::string::npos);
    const FileResult folder = OnOpenDocument(*doc, dir_.path());
    EXPECT_FALSE(folder.ok);
    EXPECT_STREQ(doc->m_ProjectName.data(), "Kept");
}

TEST_F(ProjectFileOnDisk, FailedSaveKeepsTheOldFileAndSaysWhy) {
    auto doc = NewDocument();
    const std::string path = dir_.File("old.ztr");
    SetText(doc->m_ProjectName, "Old contents");
    ASSERT_TRUE(OnSaveDocument(*doc, path).ok);
    const Bytes before = ReadBytes(path);

    SetText(doc->m_ProjectName, "New contents");
    doc->SetModifiedFlag(true);
    const std::int64_t endTime = doc->m_LoggingEndTime;
    clock_.Advance(60);

    // A file size limit makes the write fail part-way, for any user.
    {
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        limited.rlim_cur = 100'000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const FileResult result = OnSaveDocument(*doc, path);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);

        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("old.ztr"), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(std::strerror(EFBIG)), std::string::npos) << result.error;
    }
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->m_LoggingEndTime, endTime);
    EXPECT_EQ(FilesIn(dir_.path()), 1u); // the temporary file is gone

    // A folder the user may not write to (permissions do not bind the superuser).
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(dir_.path().c_str(), 0555), 0);
        const FileResult result = OnSaveDocument(*doc, path);
        chmod(dir_.path().c_str(), 0755);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(std::strerror(EACCES)), std::string::npos) << result.error;
        EXPECT_EQ(ReadBytes(path), before);
        EXPECT_TRUE(doc->IsModified());
    }
    // A folder that does not exist.
    const FileResult nowhere = OnSaveDocument(*doc, dir_.File("no/such/folder.ztr"));
    EXPECT_FALSE(nowhere.ok);
    EXPECT_FALSE(nowhere.error.empty());
    EXPECT_EQ(doc->m_PathName, path);
}

TEST_F(ProjectFileOnDisk, ReplacesAnExistingFileAndLongNamesWork) {
    auto doc = NewDocument();
    const std::string path = dir_.File(std::string(240, 'p') + ".ztr");
    ASSERT_TRUE(OnSaveDocument(*doc, path).ok);
    SetText(doc->m_ProjectName, "Second");
    ASSERT_TRUE(OnSaveDocument(*doc, path).ok);
    auto opened = NewDocument();
    ASSERT_TRUE(OnOpenDocument(*opened, path).ok);
    EXPECT_STREQ(opened->m_ProjectName.data(), "Second");
}

} // namespace
} // namespace zentra
