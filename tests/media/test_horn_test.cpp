// The horn test against simulated devices on loopback, inside a namespace of the
// test's own: the file arrives whole in pieces of at most 1,024 bytes, every fault
// ends the worker with one result, and a stop during the connect attempts ends it
// before the next attempt.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/file_util.h"
#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "devsim/dev_sim_fleet.h"
#include "devsim/sim_upgrade_wire.h"
#include "devsim/station_probe.h"
#include "media/horn_test.h"
#include "net/my_socket.h"
#include "protocol/requests.h"
#include "support/netns.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace {

using devsim::EHornFault;
using namespace std::chrono_literals;

class CHornRecorder final : public IHornView {
  public:
    void vOnHornConnectFailed(const std::string& device, int attempt, ESockErr error) override {
        (void)device;
        (void)error;
        const std::lock_guard lock(m_lock);
        m_failedAttempts.push_back(attempt);
        m_changed.notify_all();
    }
    void vOnHornProgress(const std::string&, std::uint64_t sent, std::uint64_t) override {
        const std::lock_guard lock(m_lock);
        m_progress.push_back(sent);
    }
    void vOnHornDone(const CHornResult& result) override {
        const std::lock_guard lock(m_lock);
        m_done.push_back(result);
        m_changed.notify_all();
    }
    template <typename Predicate>
    bool fgWaitFor(Predicate holds) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, 60s, [&] { return holds(*this); });
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<int> m_failedAttempts;
    std::vector<std::uint64_t> m_progress;
    std::vector<CHornResult> m_done;
};

class CQuietReceiver final : public ILanReceiver {
  public:
    void vOnDatagram(std::span<const std::uint8_t>, const CEndpoint&) override {}
    void vOnAnnouncement(std::span<const std::uint8_t>, const CEndpoint&) override {}
};

std::string strSha256(const std::string& bytes) {
    devsim::CSimSha256 digest;
    digest.vUpdate(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return digest.strHexDigest();
}

std::string strRandomBytes(std::size_t count) {
    std::mt19937 random(static_cast<unsigned>(count));
    std::string bytes(count, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    return bytes;
}

class HornTest : public ::testing::Test {
  protected:
    static constexpr const char* kDevice = "127.0.0.2";
    static constexpr const char* kOtherDevice = "127.0.0.3";

    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns = std::make_unique<CNetns>("kt-horn");
        m_scope = std::make_unique<CNetnsScope>(*m_ns);
        ASSERT_TRUE(m_scope->fgEntered());
    }

    void TearDown() override {
        m_horn.reset();
        m_transport.UnInit();
        m_fleet.reset();
        m_scope.reset();
        m_ns.reset();
    }

    // Two devices in the pool; the first gets `fault`. Without withStation only the
    // fleet runs (the CLI brings its own station).
    void vStart(devsim::CSimHornBehaviour fault, CHornOptions options = {},
                bool withStation = true) {
        std::string error;
        devsim::CDevSimConfig config;
        config.m_addresses = *devsim::sConsecutiveAddresses(kDevice, 2, error);
        config.m_behaviour.m_horn = fault;
        m_fleet = std::make_unique<devsim::CDevSimFleet>(config);
        m_fleet->vUpdateDevice(
            1, [](devsim::CSimDeviceState&, devsim::CSimBehaviour& b) { b.m_horn = {}; });
        ASSERT_EQ(m_fleet->iStart(error), 0) << error;
        if (!withStation) {
            return;
        }
        ASSERT_TRUE(m_transport.Init(
            m_receiver,
            std::vector<CInterfaceAddr>{{iIpv4Net(127, 0, 0, 1), iIpv4Net(255, 0, 0, 0)}}));
        m_link = std::make_unique<CUdpHornLink>(m_transport,
                                                std::vector<std::string>{kDevice, kOtherDevice});
        m_horn = std::make_unique<CHornTest>(*m_link, m_view, options);
    }

    // Opens the receivers before the test starts, so that the first connect finds
    // them open (a device opens its receiver a moment after the request).
    void vOpenReceiversFirst() {
        m_link->vSendOpenHorn();
        ASSERT_TRUE(
            fgWaitDevice(0, [](const devsim::CSimDeviceState& s) { return s.m_uiHornOpens >= 1; }));
    }

    template <typename Predicate>
    bool fgWaitDevice(std::size_t index, Predicate holds) {
        return fgWaitUntil([&] { return holds(m_fleet->sDeviceState(index)); }, 60s);
    }

    CHornResult sWaitDone() {
        EXPECT_TRUE(m_view.fgWaitFor([](const CHornRecorder& v) { return !v.m_done.empty(); }));
        const std::lock_guard lock(m_view.m_lock);
        return m_view.m_done.empty() ? CHornResult{} : m_view.m_done.front();
    }

    std::unique_ptr<CNetns> m_ns;
    std::unique_ptr<CNetnsScope> m_scope;
    CTempDir m_dir;
    std::unique_ptr<devsim::CDevSimFleet> m_fleet;
    CQuietReceiver m_receiver;
    CMySocket m_transport;
    std::unique_ptr<CUdpHornLink> m_link;
    CHornRecorder m_view;
    std::unique_ptr<CHornTest> m_horn;
};

TEST_F(HornTest, FileArrivesWholeInPiecesAndStopReachesTheDevice) {
    vStart({});
    vOpenReceiversFirst();
    const std::string bytes = strRandomBytes(2500);
    m_dir.write(kHornFileName, bytes);
    ASSERT_EQ(m_horn->iStart(kDevice, strFindDataFile(m_dir.path().string() + "/", kHornFileName)),
              0);

    const CHornResult result = sWaitDone();
    EXPECT_EQ(result.m_eOutcome, EHornOutcome::kSent);
    EXPECT_EQ(result.m_ulBytesSent, 2500U);
    EXPECT_EQ(result.m_iConnectAttempts, 1);
    EXPECT_EQ(m_view.m_progress, (std::vector<std::uint64_t>{1024, 2048, 2500}));
    ASSERT_TRUE(
        fgWaitDevice(0, [](const devsim::CSimDeviceState& s) { return s.m_horn.m_uiEnded >= 1; }));
    const devsim::CSimDeviceState device = m_fleet->sDeviceState(0);
    EXPECT_EQ(device.m_horn.m_uiConnections, 1U);
    EXPECT_EQ(device.m_horn.m_ulLastBytes, 2500U);
    EXPECT_EQ(device.m_horn.m_strLastSha256, strSha256(bytes));
    // Every pooled device is told to open its receiver; only one gets the sound.
    EXPECT_TRUE(
        fgWaitDevice(1, [](const devsim::CSimDeviceState& s) { return s.m_uiHornOpens >= 2; }));
    EXPECT_EQ(m_fleet->sDeviceState(1).m_horn.m_uiConnections, 0U);

    // The test stays started after the file went out, until it is stopped.
    EXPECT_TRUE(m_horn->fgRunning());
    m_horn->vStop();
    EXPECT_FALSE(m_horn->fgRunning());
    EXPECT_TRUE(
        fgWaitDevice(0, [](const devsim::CSimDeviceState& s) { return s.m_horn.m_uiStops == 1; }));
}

TEST_F(HornTest, EachFaultEndsTheWorkerWithOneResult) {
    struct SRow {
        const char* name;
        devsim::CSimHornBehaviour fault;
        long long fileBytes;  // -1: no file
        EHornOutcome expected;
        int connectFailures;
    };
    // The dropped connection needs a file larger than what the socket buffers of
    // both sides can hold, so that the drop is seen while sending.
    const SRow rows[] = {
        {"refused", {EHornFault::kRefuse, 0}, 2500, EHornOutcome::kConnectFailed, 3},
        {"dropped",
         {EHornFault::kDropAfter, 64 * 1024},
         32LL << 20,
         EHornOutcome::kConnectionLost,
         0},
        {"missing file", {}, -1, EHornOutcome::kNoFile, 0},
        {"empty file", {}, 0, EHornOutcome::kNoFile, 0},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        m_view.m_done.clear();
        m_view.m_failedAttempts.clear();
        vStart(row.fault);
        vOpenReceiversFirst();
        CTempDir dir;
        if (row.fileBytes >= 0) {
            dir.write(kHornFileName, strRandomBytes(static_cast<std::size_t>(row.fileBytes)));
        }
        const std::string path = strFindDataFile(dir.path().string() + "/", kHornFileName);
        ASSERT_EQ(m_horn->iStart(kDevice, path), 0);

        const CHornResult result = sWaitDone();
        EXPECT_EQ(result.m_eOutcome, row.expected);
        EXPECT_EQ(static_cast<int>(m_view.m_failedAttempts.size()), row.connectFailures);
        EXPECT_EQ(m_view.m_done.size(), 1U);
        const devsim::CSimDeviceState device = m_fleet->sDeviceState(0);
        switch (row.expected) {
            case EHornOutcome::kConnectFailed:
                EXPECT_EQ(result.m_iConnectAttempts, 3);
                EXPECT_EQ(m_view.m_failedAttempts, (std::vector<int>{1, 2, 3}));
                // The first request, the test's, and one after each failed attempt.
                EXPECT_TRUE(fgWaitDevice(
                    0, [](const devsim::CSimDeviceState& s) { return s.m_uiHornOpens >= 5; }));
                break;
            case EHornOutcome::kConnectionLost:
                EXPECT_NE(result.m_eError, ESockErr::None);
                EXPECT_LT(result.m_ulBytesSent, result.m_ulBytesTotal);
                EXPECT_TRUE(fgWaitDevice(
                    0, [](const devsim::CSimDeviceState& s) { return s.m_horn.m_uiDropped == 1; }));
                EXPECT_EQ(m_fleet->sDeviceState(0).m_horn.m_ulLastBytes, 64U * 1024);
                break;
            default:
                EXPECT_EQ(result.m_strFile, path);
                EXPECT_NE(strHornResultLine(result).find(path), std::string::npos);
                EXPECT_EQ(device.m_horn.m_uiConnections, 0U);
                break;
        }
    }
}

TEST_F(HornTest, StopDuringTheConnectAttemptsEndsBeforeTheNextAttempt) {
    CHornOptions options;
    options.m_iConnectRetryMs = 10 * 60 * 1000;  // far beyond the test's deadline
    vStart({EHornFault::kRefuse, 0}, options);
    m_dir.write(kHornFileName, strRandomBytes(2500));
    ASSERT_EQ(m_horn->iStart(kDevice, m_dir.file(kHornFileName)), 0);
    ASSERT_TRUE(
        m_view.fgWaitFor([](const CHornRecorder& v) { return !v.m_failedAttempts.empty(); }));

    m_horn->vStop();
    const CHornResult result = sWaitDone();
    EXPECT_EQ(result.m_eOutcome, EHornOutcome::kStopped);
    EXPECT_EQ(result.m_iConnectAttempts, 1);
    EXPECT_TRUE(
        fgWaitDevice(0, [](const devsim::CSimDeviceState& s) { return s.m_horn.m_uiStops == 1; }));
}

TEST_F(HornTest, CliPushesTheFileAndReportsTheBytesSent) {
    vStart({}, {}, false);
    // The receiver opens on the first request; the CLI's own request may be handled a
    // moment after its first connect attempt.
    const CSocket udp = CSocket::Udp();
    const CmdBytes open = bufBuildOpenHorn();
    ASSERT_EQ(iSendTo(udp, open, CEndpoint{iIpv4Net(127, 0, 0, 2), kPortCommand}),
              static_cast<int>(open.size()));
    ASSERT_TRUE(
        fgWaitDevice(0, [](const devsim::CSimDeviceState& s) { return s.m_uiHornOpens >= 1; }));
    const std::string bytes = strRandomBytes(5000);
    const std::string path = m_dir.write("tone.bin", bytes);

    const CCliParse parsed = sParseCliArgs({"--bind", "127.0.0.1/8", "horn", kDevice, path});
    ASSERT_TRUE(parsed.m_options) << parsed.m_strError;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(iRunCli(*parsed.m_options, out, err), kCliOk) << err.str();
    EXPECT_EQ(out.str(), "127.0.0.2 horn test sound sent, 5000 of 5000 bytes sent\n");
    ASSERT_TRUE(
        fgWaitDevice(0, [](const devsim::CSimDeviceState& s) { return s.m_horn.m_uiEnded >= 1; }));
    EXPECT_EQ(m_fleet->sDeviceState(0).m_horn.m_strLastSha256, strSha256(bytes));
}

}  // namespace
