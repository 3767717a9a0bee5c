// The live view's session against a simulated camera, in a network namespace of its
// own: a video recording switched on while playing begins at a key frame and decodes
// from its first byte; a recording whose disk fills up is cut, says so once, and keeps
// whole frames; the sound recording holds decoded samples.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "devsim/dev_sim_fleet.h"
#include "devsim/station_probe.h"
#include "media/live_session.h"
#include "media/recording_files.h"
#include "media/sim_camera_test.h"
#include "support/netns.h"
#include "support/small_disk.h"
#include "support/wait_until.h"

namespace {

class CLiveReports final : public ILiveView {
  public:
    void vOnPictureReady() override { ++m_iPictures; }
    void vOnVideoLoginFailed(std::int32_t) override {}
    void vOnRecordingStarted(EStreamChannel channel, const std::string& path) override {
        std::lock_guard guard(m_lock);
        m_started.emplace_back(channel, path);
    }
    void vOnRecordingCut(EStreamChannel channel, const CRecordingEnd& end) override {
        std::lock_guard guard(m_lock);
        m_cuts.emplace_back(channel, end);
    }
    std::size_t iStarted() {
        std::lock_guard guard(m_lock);
        return m_started.size();
    }
    std::vector<std::pair<EStreamChannel, CRecordingEnd>> vecCuts() {
        std::lock_guard guard(m_lock);
        return m_cuts;
    }

    std::atomic<int> m_iPictures{0};

  private:
    std::mutex m_lock;
    std::vector<std::pair<EStreamChannel, std::string>> m_started;
    std::vector<std::pair<EStreamChannel, CRecordingEnd>> m_cuts;
};

class LiveSessionTest : public CSimCameraTest {};

TEST_F(LiveSessionTest, RecordingSwitchedOnWhilePlayingBeginsAtAKeyFrame) {
    vStart();
    CSmallDisk disk(32U << 20);
    ASSERT_TRUE(disk.fgMounted());
    CLiveReports reports;
    const std::string video = disk.file("video.h264");
    const std::string sound = disk.file("sound.pcm");
    {
        CLiveSession live(nullptr, reports);
        const StreamCredentials credentials = sMakeStreamCredentials("admin", "kavno");
        ASSERT_EQ(live.iStartVideo(kStreamSub, credentials, m_uiCamera, video), 0);
        ASSERT_EQ(live.iStartListen(credentials, m_uiCamera, sound), 0);
        // Pictures are shown before the recording starts: it joins mid-stream.
        ASSERT_TRUE(fgWaitUntil([&reports] { return reports.m_iPictures > 10; }));
        live.vSetVideoRecording(true);
        live.vSetListenRecording(true);
        ASSERT_TRUE(fgWaitUntil([&reports] { return reports.iStarted() == 2; }));
        ASSERT_TRUE(fgWaitUntil([&video, &sound] {
            std::error_code ignored;
            return std::filesystem::file_size(video, ignored) > 100'000 &&
                   std::filesystem::file_size(sound, ignored) > 50 * 320;
        }));
        live.vStopListen();
        live.vStopVideo();
    }
    EXPECT_TRUE(reports.vecCuts().empty());
    const CDecoded decoded = sDecodeAnnexB(strReadFile(video));
    EXPECT_EQ(decoded.m_iErrors, 0);
    EXPECT_GT(decoded.m_iPictures, 5);
    EXPECT_TRUE(decoded.m_fgFirstIsKey);
    EXPECT_EQ(strReadFile(sound).size() % 320, 0U);
}

TEST_F(LiveSessionTest, RecordingOntoAFillingDiskIsCutOnceAndKeepsWholeFrames) {
    vStart();
    CSmallDisk disk(160U << 10);
    ASSERT_TRUE(disk.fgMounted());
    CLiveReports reports;
    const std::string video = disk.file("video.h264");
    {
        CLiveSession live(nullptr, reports);
        live.vSetVideoRecording(true);
        ASSERT_EQ(live.iStartVideo(kStreamSub, sMakeStreamCredentials("admin", "kavno"), m_uiCamera,
                                   video),
                  0);
        ASSERT_TRUE(fgWaitUntil([&reports] { return !reports.vecCuts().empty(); }));
        // Playing goes on without the recording.
        const int pictures = reports.m_iPictures;
        EXPECT_TRUE(fgWaitUntil([&] { return reports.m_iPictures > pictures + 10; }));
        live.vStopVideo();
    }
    const auto cuts = reports.vecCuts();
    ASSERT_EQ(cuts.size(), 1U);
    const CRecordingEnd& end = cuts[0].second;
    EXPECT_EQ(cuts[0].first, EStreamChannel::kVideo);
    EXPECT_NE(end.m_strError.find("No space left on device"), std::string::npos);
    if (end.m_lFrames == 0) {
        EXPECT_FALSE(std::filesystem::exists(video));
        return;
    }
    const std::string bytes = strReadFile(video);
    EXPECT_EQ(bytes.size(), end.m_ulBytes);
    const CDecoded decoded = sDecodeAnnexB(bytes);
    EXPECT_EQ(decoded.m_iErrors, 0);
    EXPECT_TRUE(decoded.m_fgFirstIsKey);
}

}  // namespace
