#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "media/video_ctrl.h"
#include "support/capture_stderr.h"
#include "support/media_clips.h"
#include "support/wait_until.h"

namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 128;
constexpr int kHeight = 64;

std::vector<std::uint8_t> vecBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// The decode thread's view of the channel: what came back, in the order it came.
struct SEvents {
    std::mutex lock;
    std::vector<std::string> seen;
    void vAdd(std::string event) {
        std::lock_guard guard(lock);
        seen.push_back(std::move(event));
    }
    std::size_t uiCount() {
        std::lock_guard guard(lock);
        return seen.size();
    }
};

// A full queue refuses the 31st packet; once the thread runs again every packet is
// handled in queue order: pictures for good frames, the other packets handed back
// between them, bad and empty frames skipped without stopping the stream. The
// mailbox then holds only the newest picture.
TEST(VideoCtrl, QueueOrderRefusalAndNewestPictureInTheMailbox) {
    const auto units = vecEncodeH264(EClip::ColourBars, kWidth, kHeight, 6, 6);
    ASSERT_EQ(units.size(), 6U);
    SEvents events;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> blocked = false;
    CPictureMailbox mailbox;
    CVideoCtrl ctrl(
        mailbox,
        [&](std::span<const std::uint8_t> packet) {
            const std::string text(packet.begin(), packet.end());
            if (text == "hold") {
                blocked = true;
                released.wait();
            }
            events.vAdd(text);
        },
        [&](std::uint32_t seq) { events.vAdd("picture " + std::to_string(seq)); });
    ASSERT_EQ(ctrl.iStartDecodeAndDisplay(), 0);

    ASSERT_EQ(ctrl.iAddOther(vecBytes("hold")), 0);
    ASSERT_TRUE(fgWaitUntil([&] { return blocked.load(); }));
    const std::vector<std::uint8_t> garbage(200, 0x5A);
    struct SStep {
        const std::vector<std::uint8_t>* frame;  // null: an other packet named `name`
        std::uint32_t seq;
        const char* name;
    };
    const std::vector<std::uint8_t> none;
    const SStep steps[] = {
        {&units[0], 10, nullptr}, {nullptr, 0, "login reply"}, {&units[1], 11, nullptr},
        {&none, 12, nullptr},     {&units[2], 13, nullptr},    {&garbage, 14, nullptr},
        {&units[3], 15, nullptr}, {nullptr, 0, "auth reply"},  {&units[4], 16, nullptr},
        {&units[5], 17, nullptr},
    };
    for (const SStep& step : steps) {
        ASSERT_EQ(step.frame != nullptr ? ctrl.iAddFrame(*step.frame, step.seq)
                                        : ctrl.iAddOther(vecBytes(step.name)),
                  0);
    }
    for (int filler = ctrl.iQueued(); filler < CVideoCtrl::kQueueMax; ++filler) {
        ASSERT_EQ(ctrl.iAddOther(vecBytes("filler")), 0);
    }
    EXPECT_EQ(ctrl.iAddOther(vecBytes("refused")), -2);
    EXPECT_EQ(ctrl.iAddFrame(units[0], 99), -2);

    release.set_value();
    const std::size_t fillers = CVideoCtrl::kQueueMax - std::size(steps);
    const std::vector<std::string> expected = {
        "hold",       "picture 10", "login reply", "picture 11", "picture 13",
        "picture 15", "auth reply", "picture 16",  "picture 17",
    };
    ASSERT_TRUE(fgWaitUntil([&] { return events.uiCount() == expected.size() + fillers; }));
    EXPECT_EQ(ctrl.iQueued(), 0);
    {
        std::lock_guard guard(events.lock);
        EXPECT_EQ(std::vector<std::string>(
                      events.seen.begin(),
                      events.seen.begin() + static_cast<std::ptrdiff_t>(expected.size())),
                  expected);
    }

    SRgbPicture picture;
    ASSERT_TRUE(mailbox.fgTake(picture));
    EXPECT_EQ(picture.uiSeq, 17U);
    ASSERT_EQ(picture.iWidth, kWidth);
    ASSERT_EQ(picture.iHeight, kHeight);
    ASSERT_EQ(picture.rgb.size(), static_cast<std::size_t>(kWidth * kHeight * 4));
    const auto redBar = static_cast<std::size_t>((kHeight / 2 * kWidth + 5 * kWidth / 8 + 8) * 4);
    EXPECT_GT(picture.rgb[redBar], 200);
    EXPECT_LT(picture.rgb[redBar + 2], 50);
    EXPECT_FALSE(mailbox.fgTake(picture));
}

// Start and stop are harmless in any order and say what they did; packets queued
// while stopped are dropped at start, and an untaken picture is forgotten at stop.
TEST(VideoCtrl, StartAndStopInAnyOrder) {
    const auto units = vecEncodeH264(EClip::ColourBars, kWidth, kHeight, 1, 1);
    ASSERT_EQ(units.size(), 1U);
    std::atomic<int> pictures = 0;
    CPictureMailbox mailbox;
    CVideoCtrl ctrl(mailbox, {}, [&](std::uint32_t) { ++pictures; });
    ASSERT_EQ(ctrl.iAddFrame(units[0], 1), 0);

    enum class EStep { Start, Stop, Picture };
    struct SStep {
        EStep step;
        int result;
        const char* line;
        bool running;
    };
    const SStep steps[] = {
        {EStep::Stop, 0, "=>already destroy\r\n", false},
        {EStep::Start, 0, "=>DisplayInitial\r\n", true},
        {EStep::Start, 1, "=>already on\r\n", true},
        {EStep::Picture, 0, "", true},
        {EStep::Stop, 0, "=>stop\r\n", false},
        {EStep::Stop, 0, "=>already destroy\r\n", false},
        {EStep::Start, 0, "=>DisplayInitial\r\n", true},
    };
    for (const SStep& step : steps) {
        CCaptureStderr log;
        switch (step.step) {
            case EStep::Start:
                EXPECT_EQ(ctrl.iStartDecodeAndDisplay(), step.result);
                EXPECT_EQ(ctrl.iQueued(), 0);
                break;
            case EStep::Stop:
                EXPECT_EQ(ctrl.iStopDecodeAndDisplay(), step.result);
                break;
            case EStep::Picture:
                ASSERT_EQ(ctrl.iAddFrame(units[0], 2), 0);
                ASSERT_TRUE(fgWaitUntil([&] { return pictures.load() == 1; }));
                break;
        }
        EXPECT_NE(log.text().find(step.line), std::string::npos) << step.line;
        EXPECT_EQ(ctrl.fgIsRunning(), step.running);
    }
    SRgbPicture picture;
    EXPECT_FALSE(mailbox.fgTake(picture));
    EXPECT_EQ(pictures.load(), 1);
    // Destruction stops the running thread.
}

}  // namespace
