// What the upgrader concludes: a device succeeds only when it confirmed its files;
// one command is one run however its devices end; waves and the failure limit; the
// version a device comes back with.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <set>
#include <thread>

#include "upgrade/upgrade_view.h"
#include "upgrade_bench.h"

namespace {

using devsim::EUpgFault;
using devsim::EUpgMode;

// A device's upgrade port that takes one connection, reads up to m_ulReadBytes of it
// (head included) and then closes, or keeps reading without ever answering.
class CFakeReceiver {
  public:
    CFakeReceiver(const std::string& address, std::uint64_t readBytes, bool closeAfter)
        : m_ulReadBytes(readBytes), m_fgCloseAfter(closeAfter) {
        std::uint32_t addrNet = 0;
        fgParseIp(address, addrNet);
        m_listener = CSocket::Tcp();
        (void)iSetReuseAddr(m_listener, true);
        m_fgListening = iBind(m_listener, CEndpoint{addrNet, kPortDeviceUpgrade}) == 0 &&
                        iListen(m_listener, 4) == 0;
        m_thread = std::jthread([this](const std::stop_token& stop) { vServe(stop); });
    }
    bool fgListening() const { return m_fgListening; }
    std::uint64_t iBytesRead() const { return m_ulRead.load(); }

  private:
    void vServe(const std::stop_token& stop) {
        int events = 0;
        while (!stop.stop_requested() && iWaitOne(m_listener, true, false, 50, events) <= 0) {
        }
        CSocket connection = sAccept(m_listener, nullptr);
        std::array<std::uint8_t, 512> buffer{};
        while (!stop.stop_requested() && connection.fgValid()) {
            if (m_fgCloseAfter && m_ulRead.load() >= m_ulReadBytes) {
                return;  // closes with the rest unread, never answering
            }
            if (iWaitOne(connection, true, false, 50, events) <= 0) {
                continue;
            }
            const std::size_t room =
                m_fgCloseAfter
                    ? std::min<std::uint64_t>(buffer.size(), m_ulReadBytes - m_ulRead.load())
                    : buffer.size();
            const int got = iRecv(connection, std::span(buffer.data(), room));
            if (got <= 0) {
                return;
            }
            m_ulRead.fetch_add(static_cast<std::uint64_t>(got));
        }
    }

    const std::uint64_t m_ulReadBytes;
    const bool m_fgCloseAfter;
    CSocket m_listener;
    bool m_fgListening = false;
    std::atomic<std::uint64_t> m_ulRead{0};
    std::jthread m_thread;
};

TEST_F(UpgradeBench, ADeviceSucceedsOnlyWhenItConfirmedEveryFile) {
    // Devices 0..2 simulated; 127.0.0.40 reads half the 3,000-byte file and closes;
    // 127.0.0.41 takes every byte and never answers.
    vStart(3, [](std::size_t i, devsim::CSimBehaviour& b) {
        b.m_eUpgFault = i == 0   ? EUpgFault::kNone
                        : i == 1 ? EUpgFault::kCloseMidway
                                 : EUpgFault::kAnswerFailed;
    });
    const std::uint64_t head = 12 + 168;
    const CFakeReceiver halfReader("127.0.0.40", head + 1500, true);
    const CFakeReceiver silent("127.0.0.41", 0, false);
    ASSERT_TRUE(halfReader.fgListening() && silent.fgListening());
    const CUpgFile small{strFile("config_info.ini", 3000), kUpgTypeConfig};
    ASSERT_EQ(m_upgrader->iStartUpgrade(
                  {small}, {strDevice(0), strDevice(1), strDevice(2), "127.0.0.40", "127.0.0.41"}),
              5);
    ASSERT_TRUE(m_view.fgWaitSummaries(1));

    const std::vector<EUpgReason> closed{EUpgReason::kDeviceClosed, EUpgReason::kDeviceReset};
    const struct {
        std::string device;
        EUpgOutcome outcome;
        std::vector<EUpgReason> reasons;
        std::string reasonText;  // part of the reason shown
    } rows[] = {
        {strDevice(0), EUpgOutcome::kSucceeded, {EUpgReason::kNone}, ""},
        {strDevice(1), EUpgOutcome::kFailed, closed, "of 3,000 bytes without confirming"},
        {strDevice(2), EUpgOutcome::kFailed, {EUpgReason::kDeviceRefused}, "RECVFILE FAILED"},
        {"127.0.0.40", EUpgOutcome::kFailed, closed, "of 3,000 bytes without confirming"},
        {"127.0.0.41",
         EUpgOutcome::kFailed,
         {EUpgReason::kUnconfirmed},
         "silent after the last of 3,000 bytes"},
    };
    ASSERT_EQ(m_view.m_summaries[0].m_devices.size(), std::size(rows));
    for (const auto& row : rows) {
        const auto done = m_view.sDone(row.device);
        ASSERT_TRUE(done.has_value()) << row.device;
        EXPECT_EQ(done->m_eOutcome, row.outcome) << row.device;
        EXPECT_EQ(done->m_fgConfirmed, row.outcome == EUpgOutcome::kSucceeded) << row.device;
        EXPECT_NE(std::find(row.reasons.begin(), row.reasons.end(), done->m_eReason),
                  row.reasons.end())
            << row.device << " " << strUpgReasonKey(done->m_eReason);
        EXPECT_NE(strUpgReasonText(*done).find(row.reasonText), std::string::npos)
            << row.device << ": " << strUpgReasonText(*done);
    }
    EXPECT_EQ(halfReader.iBytesRead(), head + 1500);
    EXPECT_EQ(silent.iBytesRead(), head + 3000);
}

TEST_F(UpgradeBench, FourDevicesFailingAtOnceNeitherEndNorSplitTheRun) {
    // Devices 0..3 refuse the file; 4..11 are held back until those four have ended,
    // so that the run is left with no transfer going while eight devices are still to
    // come (the moment at which a run used to end).
    std::mutex heldLock;
    std::condition_variable released;
    bool fourEnded = false;
    CUpgOptions options = sFastOptions();
    options.m_fnOnDeviceStart = [&](const std::string& address) {
        if (address >= strDevice(4) || address.size() > strDevice(4).size()) {
            std::unique_lock lock(heldLock);
            released.wait_for(lock, std::chrono::seconds(60), [&] { return fourEnded; });
        }
    };
    vStart(
        12,
        [](std::size_t i, devsim::CSimBehaviour& b) {
            b.m_eUpgFault = i < 4 ? EUpgFault::kAnswerFailed : EUpgFault::kNone;
        },
        options);
    std::vector<std::string> targets;
    for (std::size_t i = 0; i < 12; ++i) {
        targets.push_back(strDevice(i));
    }
    ASSERT_EQ(m_upgrader->iStartUpgrade({{strFile("kernel.bin", 5000), kUpgTypeKernel}}, targets),
              12);
    ASSERT_TRUE(m_view.fgWaitFor([](const CRecordingView& v) { return v.m_done.size() >= 4; }));
    {
        const std::lock_guard lock(heldLock);
        fourEnded = true;
    }
    released.notify_all();
    ASSERT_TRUE(m_view.fgWaitSummaries(1));
    EXPECT_FALSE(m_upgrader->fgRunning());

    const std::lock_guard lock(m_view.m_lock);
    ASSERT_EQ(m_view.m_summaries.size(), 1U);
    const CUpgSummary& summary = m_view.m_summaries[0];
    EXPECT_EQ(summary.m_devices.size(), 12U);
    EXPECT_EQ(summary.m_iFailed, 4);
    EXPECT_EQ(summary.m_iSucceeded, 8);
    // Every device's verdict came before the summary.
    EXPECT_EQ(m_view.m_done.size(), 12U);
}

TEST_F(UpgradeBench, WavesStartInTurnAndStopAfterTheFailureLimit) {
    const struct {
        int wave;
        int stopAfter;
        std::set<std::size_t> failing;  // of six devices
        std::size_t started;            // devices contacted
    } rows[] = {
        {2, 0, {}, 6},         // three waves of two
        {2, 2, {0, 1}, 2},     // the first wave fails: nothing more is started
        {4, 1, {5}, 6},        // the failure comes in the last wave
        {1, 2, {1, 2, 3}, 3},  // one at a time, stops after the second failure
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("wave " + std::to_string(row.wave) + " stop " + std::to_string(row.stopAfter));
        m_transport.UnInit();
        m_upgrader.reset();
        m_fleet.reset();
        m_view.m_done.clear();
        m_view.m_summaries.clear();
        // When a device is taken, every device of the earlier waves has its verdict.
        std::atomic<int> outOfTurn{0};
        std::atomic<int> taken{0};
        CUpgOptions options = sFastOptions();
        options.m_fnOnDeviceStart = [&](const std::string& address) {
            const int index = std::stoi(address.substr(address.rfind('.') + 1)) - 2;
            const std::size_t before = static_cast<std::size_t>(index / row.wave * row.wave);
            const std::lock_guard lock(m_view.m_lock);
            outOfTurn += m_view.m_done.size() < before ? 1 : 0;
            ++taken;
        };
        vStart(
            6,
            [&](std::size_t i, devsim::CSimBehaviour& b) {
                b.m_eUpgFault =
                    row.failing.contains(i) ? EUpgFault::kAnswerFailed : EUpgFault::kNone;
            },
            options);
        std::vector<std::string> targets;
        for (std::size_t i = 0; i < 6; ++i) {
            targets.push_back(strDevice(i));
        }
        CUpgPlan plan;
        plan.m_iWave = row.wave;
        plan.m_iStopAfter = row.stopAfter;
        ASSERT_EQ(m_upgrader->iStartUpgrade({{strFile("rootfs.bin", 2000), kUpgTypeRootfs}},
                                            targets, plan),
                  6);
        ASSERT_TRUE(m_view.fgWaitSummaries(1));
        EXPECT_EQ(outOfTurn.load(), 0);
        EXPECT_EQ(taken.load(), static_cast<int>(row.started));
        const CUpgSummary summary = m_view.m_summaries[0];
        EXPECT_EQ(summary.m_devices.size(), 6U);
        EXPECT_EQ(summary.m_iNotStarted, static_cast<int>(6 - row.started));
        for (std::size_t i = 0; i < 6; ++i) {
            const bool started = i < row.started;
            // A device not started was never sent anything.
            EXPECT_EQ(m_fleet->sDeviceState(i).m_uiUpgradeRequests, started ? 1U : 0U) << i;
            EXPECT_EQ(summary.m_devices[i].m_eOutcome, !started ? EUpgOutcome::kNotStarted
                                                       : row.failing.contains(i)
                                                           ? EUpgOutcome::kFailed
                                                           : EUpgOutcome::kSucceeded)
                << i;
        }
    }
}

TEST_F(UpgradeBench, TheVersionADeviceComesBackWithDecides) {
    const std::string kOld = "(old)";
    const struct {
        int restartMs;  // silence after the confirmed transfer (0: no restart)
        std::string newVersion;
        EUpgOutcome outcome;
        EUpgReason reason;
        std::string versionAfter;  // kOld: the version it had
    } rows[] = {
        {600, "V4.0.0", EUpgOutcome::kSucceeded, EUpgReason::kNone, "V4.0.0"},
        {600, "V3.9.9", EUpgOutcome::kFailed, EUpgReason::kVersionMismatch, "V3.9.9"},
        {600, "", EUpgOutcome::kFailed, EUpgReason::kVersionMismatch, kOld},
        {60000, "V4.0.0", EUpgOutcome::kFailed, EUpgReason::kDidNotComeBack, ""},
        {0, "", EUpgOutcome::kFailed, EUpgReason::kVersionMismatch, kOld},
    };
    std::vector<std::string> before;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        before.push_back(devsim::sMakeDefaultState(i, 0, 8, "").m_strVersion);
    }
    vStart(std::size(rows), [&](std::size_t i, devsim::CSimBehaviour& b) {
        b.m_iUpgRestartMs = rows[i].restartMs;
        b.m_strUpgVersion = rows[i].newVersion;
    });
    std::vector<std::string> targets;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        targets.push_back(strDevice(i));
    }
    CUpgPlan plan;
    plan.m_strExpectVersion = "V4.0.0";
    plan.m_verifyTimeout = std::chrono::seconds(4);
    m_upgrader->iStartUpgrade({{strFile("ipcupg.bin", 4000), kUpgTypeApp}}, targets, plan);
    ASSERT_TRUE(m_view.fgWaitSummaries(1));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto done = m_view.sDone(strDevice(i));
        ASSERT_TRUE(done.has_value()) << i;
        EXPECT_TRUE(done->m_fgConfirmed) << i;
        EXPECT_EQ(done->m_eOutcome, rows[i].outcome) << i;
        EXPECT_EQ(done->m_eReason, rows[i].reason) << i;
        EXPECT_EQ(done->m_strVersionAfter,
                  rows[i].versionAfter == kOld ? before[i] : rows[i].versionAfter)
            << i;
        EXPECT_EQ(done->m_strVersionBefore, before[i]) << i;
        EXPECT_EQ(done->m_strUid, m_fleet->sDeviceState(i).m_strUid) << i;
    }
}

}  // namespace

TEST(UpgradeText, ByteCountsAreGroupedInThousands) {
    const struct {
        std::uint64_t m_ulValue;
        const char* m_pszShown;
    } rows[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {100000, "100,000"},
        {25170824, "25,170,824"},
        {UINT64_MAX, "18,446,744,073,709,551,615"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(strGroupedNumber(row.m_ulValue), row.m_pszShown) << row.m_ulValue;
    }
}
