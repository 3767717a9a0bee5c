// The one recorder of live streams: what a recording holds, and what is left when the
// disk fills up midway (whole frames, a WAV head that counts exactly the samples kept,
// no file at all when not one frame fitted).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "media/recording_files.h"
#include "media/stream_recorder.h"
#include "support/small_disk.h"
#include "support/temp_dir.h"

namespace {

// A video frame of `bytes` bytes: an Annex B start code, then a byte naming the frame.
std::vector<std::uint8_t> bufFrame(std::size_t bytes, std::uint8_t name) {
    std::vector<std::uint8_t> frame(bytes, name);
    frame[0] = 0;
    frame[1] = 0;
    frame[2] = 0;
    frame[3] = 1;
    return frame;
}

constexpr std::size_t kFrameBytes = 5000;
constexpr int kManyFrames = 60;  // 300 kB: more than the small disk holds

enum class EDisk { kRoomy, kSmall, kFull };

struct CRow {
    const char* m_name;
    ERecordFormat m_eFormat;
    EDisk m_eDisk;
    std::function<void(CStreamRecorder&)> m_feed;
    bool m_fgCut;
    // Checks of the kept file's bytes (not called when no file is expected).
    std::function<void(const std::string& bytes, const CRecordingEnd& end)> m_check;
};

TEST(StreamRecorder, KeepsWholeFramesAndSaysWhyARecordingWasCut) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a small disk needs root";
    }
    const auto many = [](CStreamRecorder& recorder) {
        for (int i = 0; i < kManyFrames; ++i) {
            recorder.vAddVideo(i % 10 == 0, bufFrame(kFrameBytes, static_cast<std::uint8_t>(i)));
        }
    };
    const auto manySamples = [](CStreamRecorder& recorder) {
        const std::vector<std::int16_t> samples(160, 1234);
        for (int i = 0; i < 1000; ++i) {
            recorder.vAddSamples(samples);
        }
    };
    const auto wholeFrames = [](const std::string& bytes, const CRecordingEnd& end) {
        EXPECT_EQ(bytes.size(), end.m_ulBytes);
        EXPECT_EQ(bytes.size(), static_cast<std::size_t>(end.m_lFrames) * kFrameBytes);
        EXPECT_GT(end.m_lFrames, 0);
        EXPECT_LT(end.m_lFrames, kManyFrames);
        for (long i = 0; i < end.m_lFrames; ++i) {
            // Frame i holds its own name after its start code: nothing lost or cut.
            EXPECT_EQ(
                static_cast<unsigned char>(bytes[static_cast<std::size_t>(i) * kFrameBytes + 4]),
                static_cast<unsigned char>(i));
        }
    };
    const auto wavMatches = [](const std::string& bytes, const CRecordingEnd& end) {
        ASSERT_GE(bytes.size(), 44U);
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(uiLe32At(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(bytes.substr(36, 4), "data");
        EXPECT_EQ(uiLe32At(bytes, 40), bytes.size() - 44);
        EXPECT_EQ((bytes.size() - 44) % 2, 0U);
        EXPECT_EQ(bytes.size(), end.m_ulBytes);
    };
    const std::vector<CRow> rows{
        {"video begins at its first key frame", ERecordFormat::kH264, EDisk::kRoomy,
         [](CStreamRecorder& recorder) {
             recorder.vAddVideo(false, bufFrame(10, 1));
             recorder.vAddVideo(true, bufFrame(10, 2));
             recorder.vAddVideo(false, bufFrame(10, 3));
         },
         false,
         [](const std::string& bytes, const CRecordingEnd& end) {
             EXPECT_EQ(end.m_lFrames, 2);
             EXPECT_EQ(bytes.size(), 20U);
             EXPECT_EQ(bytes[4], 2);
             EXPECT_EQ(bytes[14], 3);
         }},
        {"sound keeps whole AMR frames behind its head", ERecordFormat::kAmr, EDisk::kRoomy,
         [](CStreamRecorder& recorder) { recorder.vAddAmr(std::vector<std::uint8_t>(70, 0x3C)); },
         false,
         [](const std::string& bytes, const CRecordingEnd& end) {
             EXPECT_EQ(end.m_lFrames, 2);
             EXPECT_EQ(bytes, "#!AMR\n" + std::string(64, '\x3C'));
         }},
        {"WAV head counts its samples", ERecordFormat::kWav, EDisk::kRoomy,
         [](CStreamRecorder& recorder) {
             recorder.vAddSamples(std::vector<std::int16_t>(320, -2));
         },
         false,
         [&](const std::string& bytes, const CRecordingEnd& end) {
             wavMatches(bytes, end);
             EXPECT_EQ(bytes.size(), 44U + 640U);
             EXPECT_EQ(end.m_lFrames, 2);
         }},
        {"video onto a disk that fills up midway", ERecordFormat::kH264, EDisk::kSmall, many, true,
         wholeFrames},
        {"WAV onto a disk that fills up midway", ERecordFormat::kWav, EDisk::kSmall, manySamples,
         true, wavMatches},
        {"video onto a full disk leaves no file", ERecordFormat::kH264, EDisk::kFull, many, true,
         nullptr},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.m_name);
        CSmallDisk disk(row.m_eDisk == EDisk::kRoomy ? (8U << 20) : (64U << 10));
        ASSERT_TRUE(disk.fgMounted());
        if (row.m_eDisk == EDisk::kFull) {
            disk.vFill();
        }
        const std::string path = disk.file("recording");
        CStreamRecorder recorder(path, row.m_eFormat);
        std::string error;
        // A WAV head may not fit a full disk: then the recording does not even begin.
        if (!recorder.fgOpen(error)) {
            EXPECT_EQ(row.m_eDisk, EDisk::kFull) << error;
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        row.m_feed(recorder);
        const CRecordingEnd end = recorder.sClose();
        EXPECT_EQ(end.fgCut(), row.m_fgCut) << end.m_strError;
        EXPECT_FALSE(std::filesystem::exists(path + ".part"));
        if (row.m_fgCut) {
            EXPECT_NE(end.m_strError.find("No space left on device"), std::string::npos)
                << end.m_strError;
            EXPECT_EQ(strRecordingCutLine(end),
                      "recording cut after " + std::to_string(end.m_lFrames) + " frames / " +
                          std::to_string(end.m_ulBytes) + " bytes: " + end.m_strError);
        }
        if (row.m_check == nullptr) {
            EXPECT_FALSE(end.m_fgKept);
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        ASSERT_TRUE(end.m_fgKept);
        row.m_check(strReadFile(path), end);
    }
}

}  // namespace
