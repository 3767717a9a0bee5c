// The stream client against a simulated camera, each test in a network namespace of
// its own (the camera at 127.0.0.2 there).
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devsim/dev_sim_fleet.h"
#include "devsim/sim_media.h"
#include "devsim/station_probe.h"
#include "media/ba_network.h"
#include "media/stream_test_support.h"
#include "support/netns.h"

namespace {

using namespace std::chrono_literals;
using devsim::CSimStreamRequest;

constexpr const char* kCamera = "127.0.0.2";

class StreamClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns = std::make_unique<CNetns>("kt-st");
        m_scope = std::make_unique<CNetnsScope>(*m_ns);
        ASSERT_TRUE(m_scope->fgEntered());
        std::string error;
        devsim::CDevSimConfig config;
        config.m_addresses = *devsim::sConsecutiveAddresses(kCamera, 1, error);
        m_fleet = std::make_unique<devsim::CDevSimFleet>(config);
        ASSERT_TRUE(m_fleet->sDeviceState(0).fgIsCamera());
        ASSERT_EQ(m_fleet->iStart(error), 0) << error;
        fgParseIp(kCamera, m_uiCamera);
        // The sub stream is encoded before the client's clock starts to count, so the
        // first frames are not late on a driven clock.
        ASSERT_FALSE(devsim::vecVideoLoop(640, 360).empty());
    }

    void TearDown() override {
        if (HasFailure()) {
            const std::string log = m_log.strText();
            std::printf("--- diagnostic lines (tail) ---\n%s\n",
                        log.substr(log.size() > 6000 ? log.size() - 6000 : 0).c_str());
        }
        m_fleet.reset();
        m_scope.reset();
        m_ns.reset();
    }

    // The main stream's loop is encoded before the client starts: on a busy machine the
    // encoding could otherwise outlast the watchdog's patience.
    static void vWarmMainStream() { ASSERT_FALSE(devsim::vecVideoLoop(1920, 1080).empty()); }
    void vBehave(const std::function<void(devsim::CSimStreamBehaviour&)>& change) {
        m_fleet->vUpdateDevice(
            0, [&](devsim::CSimDeviceState&, devsim::CSimBehaviour& b) { change(b.m_stream); });
    }
    devsim::CSimStreamLog sStreamLog() const { return m_fleet->sDeviceState(0).m_stream; }
    static std::size_t iLogins(const devsim::CSimStreamLog& log) {
        return static_cast<std::size_t>(
            std::count_if(log.m_requests.begin(), log.m_requests.end(),
                          [](const CSimStreamRequest& r) { return r.m_uiType == kReqLogin; }));
    }
    // Waits up to 20 s for the camera's stream log to satisfy done.
    bool fgWaitDevice(const std::function<bool(const devsim::CSimStreamLog&)>& done) const {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (done(sStreamLog())) {
                return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
    int iStart(CBaNetwork& client, int streamId, IStreamOwner& owner,
               const std::string& password = "kavno") {
        return client.BaNetwork_StartStream(streamId, owner,
                                            sMakeStreamCredentials("admin", password), m_uiCamera);
    }

    CLogWatch m_log;
    std::unique_ptr<CNetns> m_ns;
    std::unique_ptr<CNetnsScope> m_scope;
    std::unique_ptr<devsim::CDevSimFleet> m_fleet;
    std::uint32_t m_uiCamera = 0;
};

bool fgVideoFrames(const std::vector<CGotPacket>& packets, std::size_t count, int streamByte) {
    std::size_t found = 0;
    for (const CGotPacket& packet : packets) {
        found +=
            packet.m_head.m_uiType == kPktVideoFrame && packet.m_head.m_ucStreamId == streamByte
                ? 1
                : 0;
    }
    return found >= count;
}

TEST_F(StreamClientTest, LogsInAsksTwiceAndDeliversCountingKeyedH264Frames) {
    vWarmMainStream();
    CSteadyStreamClock clock;
    CRecordingOwner owner(clock);
    {
        CBaNetwork client(clock);
        ASSERT_EQ(iStart(client, kStreamMain, owner), 0);
        ASSERT_TRUE(owner.fgWaitPackets([](const auto& p) { return fgVideoFrames(p, 10, 0); }));
        ASSERT_TRUE(fgWaitDevice([](const auto& log) { return log.m_uiHeartbeats >= 1; }));
        EXPECT_TRUE(client.fgPlaying(EStreamChannel::kVideo));
        EXPECT_EQ(iStart(client, 2, owner), -1);
        EXPECT_TRUE(m_log.fgWaitFor("err stream id"));
    }
    EXPECT_EQ(owner.m_iManageStarted, 1);
    EXPECT_EQ(owner.m_iManageEnded, 1);

    const devsim::CSimStreamLog log = sStreamLog();
    EXPECT_GE(m_fleet->sDeviceState(0).m_uiStreamOpens, 1U);
    EXPECT_EQ(log.m_uiConnections, 1U);
    ASSERT_GE(log.m_requests.size(), 3U);
    EXPECT_EQ(
        std::vector(log.m_requests.begin(), log.m_requests.begin() + 3),
        (std::vector<CSimStreamRequest>{{kReqLogin, 0}, {kReqGetStream, 0}, {kReqGetStream, 0}}));

    const std::vector<CGotPacket> packets = owner.vecPackets();
    ASSERT_EQ(packets.front().m_head.m_uiType, kPktLoginReply);
    EXPECT_EQ(packets.front().m_head.m_iResult, 0);
    std::optional<std::uint32_t> lastSequence;
    bool firstFrame = true;
    for (const CGotPacket& packet : packets) {
        // Heartbeat answers come as authentication replies; nothing else but frames.
        if (packet.m_head.m_uiType != kPktVideoFrame) {
            EXPECT_TRUE(packet.m_head.m_uiType == kPktLoginReply ||
                        packet.m_head.m_uiType == kPktAuthReply);
            continue;
        }
        EXPECT_EQ(packet.m_iBytes, packet.m_head.m_uiPayloadBytes + kMediaHeadBytes);
        EXPECT_EQ(packet.m_head.m_ucCodec, kCodecH264);
        EXPECT_EQ(packet.m_iStreamId, kStreamMain);
        if (firstFrame) {
            EXPECT_NE(packet.m_head.m_ucKeyFrame, 0);
            firstFrame = false;
        }
        if (lastSequence) {
            EXPECT_EQ(packet.m_head.m_uiSequence, *lastSequence + 1);
        }
        lastSequence = packet.m_head.m_uiSequence;
    }
}

TEST_F(StreamClientTest, SwitchesMainToSubOnTheSameConnectionWithinASecond) {
    vWarmMainStream();
    CSteadyStreamClock clock;
    CRecordingOwner owner(clock);
    CBaNetwork client(clock);
    ASSERT_EQ(iStart(client, kStreamMain, owner), 0);
    ASSERT_TRUE(owner.fgWaitPackets([](const auto& p) { return fgVideoFrames(p, 3, 0); }));

    const auto asked = std::chrono::steady_clock::now();
    ASSERT_EQ(iStart(client, kStreamSub, owner), 0);
    ASSERT_TRUE(fgWaitDevice([](const auto& log) {
        return std::find(log.m_requests.begin(), log.m_requests.end(),
                         CSimStreamRequest{kReqSwitchStream, 1}) != log.m_requests.end();
    }));
    // The watch phase acts once a second; a busy machine gets some slack.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 2500ms);
    ASSERT_TRUE(owner.fgWaitPackets([](const auto& p) { return fgVideoFrames(p, 3, 1); }));

    const devsim::CSimStreamLog log = sStreamLog();
    EXPECT_EQ(log.m_uiConnections, 1U);
    const std::vector<CSimStreamRequest> tail(log.m_requests.end() - 2, log.m_requests.end());
    EXPECT_EQ(tail, (std::vector<CSimStreamRequest>{{kReqGetStream, 1}, {kReqSwitchStream, 1}}));
    // The switch reply is logged, never delivered.
    EXPECT_EQ(iCountType(owner.vecPackets(), kPktSwitchReply), 0U);
    EXPECT_TRUE(m_log.fgWaitFor("switch stream resp"));
}

TEST_F(StreamClientTest, DropsFramesOfTheOtherVideoStream) {
    vBehave([](auto& stream) { stream.m_iServeStream = 0; });
    CSteadyStreamClock clock;
    CRecordingOwner owner(clock);
    CBaNetwork client(clock);
    ASSERT_EQ(iStart(client, kStreamSub, owner), 0);
    EXPECT_TRUE(m_log.fgWaitFor("diff stream id, local id=1,remote id=0"));
    ASSERT_TRUE(fgWaitDevice([](const auto& log) { return log.m_ulMediaPackets >= 5; }));
    EXPECT_EQ(iCountType(owner.vecPackets(), kPktVideoFrame), 0U);
}

TEST_F(StreamClientTest, RefusedLoginIsDeliveredToTheOwner) {
    vBehave([](auto& stream) { stream.m_iLoginResult = kStreamResultCheckFailed; });
    CSteadyStreamClock clock;
    CRecordingOwner owner(clock);
    CBaNetwork client(clock);
    ASSERT_EQ(iStart(client, kStreamMain, owner), 0);
    ASSERT_TRUE(owner.fgWaitPackets(
        [](const auto& packets) { return iCountType(packets, kPktAuthReply) >= 1; }));
    const std::vector<CGotPacket> packets = owner.vecPackets();
    ASSERT_EQ(packets.front().m_head.m_uiType, kPktLoginReply);
    EXPECT_EQ(packets.front().m_head.m_iResult, kStreamResultCheckFailed);
    EXPECT_EQ(iCountType(packets, kPktVideoFrame), 0U);
    EXPECT_TRUE(m_log.fgWaitFor("login return err=-5"));
    EXPECT_TRUE(m_log.fgWaitFor("no auth, streamid=0"));
    // The password never reaches the diagnostic lines.
    EXPECT_EQ(m_log.strText().find("kavno"), std::string::npos);
    EXPECT_NE(m_log.strText().find("usr:admin,pwd:******"), std::string::npos);
}

// Heads cut into pieces a few milliseconds apart, and several packets in one send,
// reach the owner whole and in order.
TEST_F(StreamClientTest, SplitAndMergedPacketsArriveWhole) {
    struct CRow {
        bool m_split;
        int m_merge;
    };
    for (const CRow row : {CRow{true, 1}, CRow{false, 4}, CRow{true, 3}}) {
        SCOPED_TRACE("split " + std::to_string(row.m_split) + " merge " +
                     std::to_string(row.m_merge));
        vBehave([row](auto& stream) {
            stream.m_fgSplitHeads = row.m_split;
            stream.m_iMergePackets = row.m_merge;
        });
        CSteadyStreamClock clock;
        CRecordingOwner owner(clock);
        CBaNetwork client(clock);
        ASSERT_EQ(iStart(client, kStreamSub, owner), 0);
        ASSERT_TRUE(owner.fgWaitPackets([](const auto& p) { return fgVideoFrames(p, 12, 1); }));
        std::optional<std::uint32_t> last;
        for (const CGotPacket& packet : owner.vecPackets()) {
            if (packet.m_head.m_uiType == kPktVideoFrame) {
                EXPECT_TRUE(!last || packet.m_head.m_uiSequence == *last + 1);
                last = packet.m_head.m_uiSequence;
            }
        }
    }
    EXPECT_EQ(m_log.strText().find("head error"), std::string::npos);
}

// The watchdog on a driven clock: a camera that stops sending is asked again after
// more than three of the client's seconds without media.
TEST_F(StreamClientTest, WatchdogReconnectsAfterThreeSilentSeconds) {
    vBehave([](auto& stream) { stream.m_iStallAfter = 10; });
    CDrivenClock clock;
    CRecordingOwner owner(clock);
    CClockDriver driver(clock);
    CBaNetwork client(clock);
    ASSERT_EQ(iStart(client, kStreamSub, owner), 0);
    ASSERT_TRUE(m_log.fgWaitFor(">3s no stream heartbeat"));

    ASSERT_TRUE(owner.fgWaitStarts(2));

    // The silence: from the first connection's last frame to the second connect.
    const auto reconnected = owner.vecStartTimes()[1];
    std::optional<IStreamClock::Clock::time_point> lastFrame;
    for (const CGotPacket& packet : owner.vecPackets()) {
        if (packet.m_head.m_uiType == kPktVideoFrame && packet.m_at < reconnected) {
            lastFrame = packet.m_at;
        }
    }
    ASSERT_TRUE(lastFrame);
    const std::optional<std::chrono::nanoseconds> silence = reconnected - *lastFrame;
    ASSERT_TRUE(silence);
    EXPECT_GE(*silence, 3s);
    EXPECT_LE(*silence, 6s);
    EXPECT_TRUE(fgWaitDevice([](const auto& log) { return iLogins(log) >= 2; }));
}

// A receive thread that ends (bad magic, a packet too big for its buffer, the camera
// closing) is noticed by the watchdog, which connects again.
TEST_F(StreamClientTest, EndedReceiveThreadIsReplacedByANewConnection) {
    struct CRow {
        const char* m_name;
        int m_streamId;
        std::function<void(devsim::CSimStreamBehaviour&)> m_behave;
        const char* m_line;
    };
    const std::vector<CRow> rows{
        {"bad magic", kStreamSub, [](auto& s) { s.m_iBadMagicAfter = 3; },
         "video packet head error"},
        {"oversize video", kStreamSub, [](auto& s) { s.m_iOversizeAfter = 3; },
         "recvbuf overflow, len=1000000"},
        {"listen packet over 1,024 bytes", kStreamListen, [](auto& s) { s.m_iOversizeAfter = 3; },
         "recvbuf overflow, len=1200"},
        {"camera closes", kStreamSub, [](auto& s) { s.m_iCloseAfter = 3; }, "peer closed"},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.m_name);
        vBehave([&row](auto& stream) {
            stream = {};
            row.m_behave(stream);
        });
        m_log.vMark();
        const std::size_t loginsBefore = iLogins(sStreamLog());
        CDrivenClock clock;
        CRecordingOwner owner(clock);
        CClockDriver driver(clock);
        CBaNetwork client(clock);
        ASSERT_EQ(iStart(client, row.m_streamId, owner), 0);
        EXPECT_TRUE(m_log.fgWaitFor(row.m_line));
        EXPECT_TRUE(m_log.fgWaitFor("stream exit,re-req"));
        ASSERT_TRUE(owner.fgWaitStarts(2));
        EXPECT_TRUE(fgWaitDevice(
            [loginsBefore](const auto& log) { return iLogins(log) >= loginsBefore + 2; }));
        // Only whole packets reached the owner, never the spoilt one.
        for (const CGotPacket& packet : owner.vecPackets()) {
            EXPECT_EQ(packet.m_head.m_uiMagic, kStreamMagic);
            EXPECT_TRUE(packet.m_head.m_uiPayloadBytes != 1'000'000U &&
                        packet.m_head.m_uiPayloadBytes != 1'200U);
        }
    }
}

// A camera that goes away (a restart) and answers again is streaming within two
// seconds of answering: the client keeps asking every second while it is gone.
TEST_F(StreamClientTest, ReconnectsWithinTwoSecondsOfTheCameraAnsweringAgain) {
    CSteadyStreamClock clock;
    CRecordingOwner owner(clock);
    CBaNetwork client(clock);
    ASSERT_EQ(iStart(client, kStreamSub, owner), 0);
    ASSERT_TRUE(owner.fgWaitPackets(
        [](const auto& packets) { return fgVideoFrames(packets, 1, kStreamSub); }));
    m_log.vMark();
    m_fleet.reset();
    // Two attempts failed: the client is asking while nobody answers.
    ASSERT_TRUE(m_log.fgWaitFor("start get stream fail"));
    ASSERT_TRUE(m_log.fgWaitFor("start get stream fail"));

    std::string error;
    devsim::CDevSimConfig config;
    config.m_addresses = *devsim::sConsecutiveAddresses(kCamera, 1, error);
    m_fleet = std::make_unique<devsim::CDevSimFleet>(config);
    ASSERT_EQ(m_fleet->iStart(error), 0) << error;
    const auto answering = clock.tpNow();
    ASSERT_TRUE(owner.fgWaitStarts(2));
    const auto reconnected = owner.vecStartTimes()[1];
    const auto latency =
        std::chrono::duration_cast<std::chrono::milliseconds>(reconnected - answering);
    std::printf("reconnected %lld ms after the camera answered again\n",
                static_cast<long long>(latency.count()));
    EXPECT_LT(latency, 2s);
    EXPECT_TRUE(owner.fgWaitPackets(
        [](const auto& packets) { return fgVideoFrames(packets, 10, kStreamSub); }));
}

// Stopping ends every thread within the bounded waits, whatever the channel does.
TEST_F(StreamClientTest, StopsFromEveryStateWithinTheBoundedWaits) {
    vBehave([](auto& stream) { stream.m_iStallAfter = 5; });
    std::uint32_t nobody = 0;
    fgParseIp("127.0.0.9", nobody);
    struct CRow {
        const char* m_name;
        std::uint32_t m_uiAddr;
        int m_streamId;
        std::function<bool(CRecordingOwner&)> m_reach;
    };
    const std::vector<CRow> rows{
        {"just started", m_uiCamera, kStreamMain, [](auto&) { return true; }},
        {"connecting to nobody", nobody, kStreamMain,
         [this](auto&) { return m_log.fgWaitFor("start get stream fail,err=-2"); }},
        {"streaming, then stalled", m_uiCamera, kStreamSub,
         [](auto& owner) {
             return owner.fgWaitPackets([](const auto& p) { return fgVideoFrames(p, 5, 1); });
         }},
        {"listening", m_uiCamera, kStreamListen,
         [](auto& owner) {
             return owner.fgWaitPackets(
                 [](const auto& p) { return iCountType(p, kPktAudioFrame) >= 5; });
         }},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.m_name);
        CSteadyStreamClock clock;
        CRecordingOwner owner(clock);
        CBaNetwork client(clock);
        ASSERT_EQ(
            client.BaNetwork_StartStream(row.m_streamId, owner,
                                         sMakeStreamCredentials("admin", "kavno"), row.m_uiAddr),
            0);
        ASSERT_TRUE(row.m_reach(owner));
        const EStreamChannel channel =
            row.m_streamId == kStreamListen ? EStreamChannel::kListen : EStreamChannel::kVideo;
        const auto asked = std::chrono::steady_clock::now();
        client.BaNetwork_StopStream(channel);
        EXPECT_LT(std::chrono::steady_clock::now() - asked,
                  std::chrono::milliseconds(kManageStopWaitMs));
        EXPECT_FALSE(client.fgPlaying(channel));
        EXPECT_TRUE(m_log.fgWaitFor("exit manage thread"));
    }
    EXPECT_EQ(m_log.strText().find("still busy"), std::string::npos);
}

}  // namespace
