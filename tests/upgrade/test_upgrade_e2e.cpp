// The station's upgrader against simulated devices on loopback: both connect
// directions, every file type, the failure rows, the answers however they arrive,
// second connections, refusals and the retry of failed devices.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "devsim/sim_upgrade_wire.h"
#include "upgrade/upg_wire.h"
#include "upgrade_bench.h"

namespace {

using devsim::EUpgFault;
using devsim::EUpgMode;

std::string strSha256Of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    devsim::CSimSha256 digest;
    digest.vUpdate(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return digest.strHexDigest();
}

// A TCP connection from `from` to the station's listener; true when the station
// closes it within the deadline without sending anything.
bool fgClosedAtOnce(const std::string& from) {
    CSocket socket = CSocket::Tcp();
    std::uint32_t fromNet = 0;
    fgParseIp(from, fromNet);
    if (iBind(socket, CEndpoint{fromNet, 0}) != 0 ||
        iConnect(socket, CEndpoint{iIpv4Net(127, 0, 0, 1), kPortUpgrade}) != 0) {
        return false;
    }
    int events = 0;
    std::array<std::uint8_t, 16> buffer{};
    return iWaitOne(socket, true, false, 5000, events) == 1 && iRecv(socket, buffer) == 0;
}

TEST_F(UpgradeBench, EveryTypeInBothDirectionsArrivesIntact) {
    // Device i takes the first i + 1 files; every other device calls the station.
    vStart(8, [](std::size_t i, devsim::CSimBehaviour& b) {
        b.m_eUpgMode = i % 2 == 1 ? EUpgMode::kConnectBack : EUpgMode::kListen;
    });
    const std::vector<CUpgFile> pool{
        {strFile("uboot.bin", 1), kUpgTypeUboot},
        {strFile("env.bin", 1000), kUpgTypeEnv},
        {strFile("kernel.bin", 200'000), kUpgTypeKernel},
        {strFile("rootfs.bin", 65'536), kUpgTypeRootfs},
        {strFile("config_info.ini", 4097), kUpgTypeConfig},
        {strFile("ipcupg.bin", 1'500'000), kUpgTypeApp},
        {strFile("a_very_long_name_of_a_user_file_beyond_31.dat", 333), kUpgTypeOthers},
        {strFile("second.dat", 70'000), kUpgTypeOthers},
    };
    for (std::size_t i = 0; i < 8; ++i) {
        const std::vector<CUpgFile> files(pool.begin(), pool.begin() + static_cast<long>(i + 1));
        ASSERT_EQ(m_upgrader->iStartUpgrade(files, {strDevice(i)}), 1);
    }
    ASSERT_TRUE(m_view.fgWaitFor([](const CRecordingView& v) { return v.m_done.size() >= 8; }));

    for (std::size_t i = 0; i < 8; ++i) {
        const std::string device = strDevice(i);
        const auto done = m_view.sDone(device);
        ASSERT_TRUE(done.has_value()) << device;
        EXPECT_EQ(done->m_eOutcome, EUpgOutcome::kSucceeded) << device;
        EXPECT_TRUE(done->m_fgConfirmed) << device;
        EXPECT_EQ(done->m_ulBytesSent, done->m_ulBytesTotal) << device;

        std::vector<devsim::CSimUpgFile> expected;
        for (std::size_t f = 0; f <= i; ++f) {
            expected.push_back({strUpgFileName(pool[f].m_strPath), pool[f].m_uiType,
                                std::filesystem::file_size(pool[f].m_strPath),
                                strSha256Of(pool[f].m_strPath)});
        }
        EXPECT_EQ(m_fleet->sDeviceState(i).m_upgFiles, expected) << device;

        const std::vector<std::string> lines = m_view.vecLines(device);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), (i % 2 == 1 ? "\r\n" : "\r\ndev ") + device + " Connected");
        EXPECT_EQ(m_view.iCount(EUpgEvent::kFileSent, device), static_cast<int>(i + 1));
        EXPECT_EQ(m_view.iCount(EUpgEvent::kDeviceOk, device), 1);
    }
    // The sender's and the receiver's lines come from two threads: only their presence
    // is fixed, not their order.
    const std::vector<std::string> third = m_view.vecLines(strDevice(2));
    EXPECT_NE(std::find(third.begin(), third.end(), "\r\n127.0.0.4 send kernel file success"),
              third.end());
    EXPECT_EQ(m_upgrader->iRecordCount(), 0U);
}

TEST_F(UpgradeBench, EachFailureEndsWithItsLineAndNoRecord) {
    const std::vector<std::pair<EUpgMode, EUpgFault>> behaviours{
        {EUpgMode::kRefuse, EUpgFault::kNone},   // never reachable
        {EUpgMode::kListen, EUpgFault::kNone},   // gets an empty file
        {EUpgMode::kListen, EUpgFault::kStall},  // stops reading
        {EUpgMode::kListen, EUpgFault::kAnswerFailed}, {EUpgMode::kListen, EUpgFault::kCloseMidway},
        {EUpgMode::kListen, EUpgFault::kNone},
    };
    vStart(behaviours.size(), [&](std::size_t i, devsim::CSimBehaviour& b) {
        b.m_eUpgMode = behaviours[i].first;
        b.m_eUpgFault = behaviours[i].second;
    });
    // Larger than the loopback buffers, so that a device that stops reading is noticed.
    const CUpgFile big{strFile("rootfs.bin", 24u << 20), kUpgTypeRootfs};
    const CUpgFile small{strFile("kernel.bin", 5000), kUpgTypeKernel};
    const CUpgFile empty{strFile("env.bin", 0), kUpgTypeEnv};
    m_upgrader->iStartUpgrade({small}, {strDevice(0), strDevice(3), strDevice(5)});
    m_upgrader->iStartUpgrade({small, empty}, {strDevice(1)});
    m_upgrader->iStartUpgrade({big, small}, {strDevice(2), strDevice(4)});
    ASSERT_TRUE(m_view.fgWaitSummaries(1));

    // A device that closes with bytes unread makes its side reset the connection.
    const std::vector<EUpgReason> closed{EUpgReason::kDeviceClosed, EUpgReason::kDeviceReset};
    const struct {
        std::size_t device;
        EUpgOutcome outcome;
        std::vector<EUpgReason> reasons;
        std::string line;  // the line that ends the device's transfer
    } rows[] = {
        {0,
         EUpgOutcome::kNoAnswer,
         {EUpgReason::kConnectTimeout},
         "\r\ndev 127.0.0.2 update timeout"},
        {1, EUpgOutcome::kFailed, {EUpgReason::kFileUnreadable}, "\r\n127.0.0.3 Upgrade failed"},
        {2, EUpgOutcome::kFailed, {EUpgReason::kSendFailed}, "\r\n127.0.0.4 Upgrade failed"},
        {3, EUpgOutcome::kFailed, {EUpgReason::kDeviceRefused}, "\r\n127.0.0.5 Send file failed"},
        {4, EUpgOutcome::kFailed, closed, "\r\n127.0.0.6 Upgrade failed"},
        {5,
         EUpgOutcome::kSucceeded,
         {EUpgReason::kNone},
         "\r\nrecv dev resp,127.0.0.7 Upgrade success"},
    };
    for (const auto& row : rows) {
        const std::string device = strDevice(row.device);
        const auto done = m_view.sDone(device);
        ASSERT_TRUE(done.has_value()) << device;
        EXPECT_EQ(done->m_eOutcome, row.outcome) << device;
        EXPECT_NE(std::find(row.reasons.begin(), row.reasons.end(), done->m_eReason),
                  row.reasons.end())
            << device << " " << strUpgReasonKey(done->m_eReason);
        // The sender's lines may still follow the receiver's last one.
        const std::vector<std::string> lines = m_view.vecLines(device);
        EXPECT_NE(std::find(lines.begin(), lines.end(), row.line), lines.end()) << device;
    }
    // The empty file failed the transfer before its head: the device received nothing.
    EXPECT_EQ(m_fleet->sDeviceState(1).m_uiUpgTransfers, 0U);
    EXPECT_EQ(m_upgrader->iRecordCount(), 0U);
    const std::string summary = strUpgSummaryLine(m_view.m_summaries.front());
    EXPECT_TRUE(summary.starts_with("\r\nUpgrade: 1 succeeded, 4 failed, 1 no answer")) << summary;
    EXPECT_NE(summary.find("\r\n  127.0.0.2 no answer: update timeout"), std::string::npos);
    EXPECT_NE(summary.find("\r\n  127.0.0.6 failed: "), std::string::npos) << summary;
    EXPECT_NE(summary.find("without confirming"), std::string::npos) << summary;
}

TEST_F(UpgradeBench, AnAnswerInOneOrTwoSegmentsConfirmsOnceHoweverOftenRepeated) {
    vStart(2, [](std::size_t i, devsim::CSimBehaviour& b) {
        b.m_eUpgFault = i == 0 ? EUpgFault::kDoubleAnswer : EUpgFault::kSplitAnswer;
    });
    m_upgrader->iStartUpgrade({{strFile("kernel.bin", 3000), kUpgTypeKernel}},
                              {strDevice(0), strDevice(1)});
    ASSERT_TRUE(m_view.fgWaitSummaries(1));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(m_view.iCount(EUpgEvent::kDeviceOk, strDevice(i)), 1) << i;
        EXPECT_EQ(m_view.sDone(strDevice(i))->m_eOutcome, EUpgOutcome::kSucceeded) << i;
    }
}

TEST_F(UpgradeBench, ExtraConnectionsAndCommandsDoNotDisturbARunningTransfer) {
    // Device 0 stops reading, so its transfer stays up for a while; device 1 is not
    // reachable, so its record stays in the connecting phase.
    CUpgOptions options = sFastOptions();
    options.m_iConnectAttempts = 25;
    vStart(
        2,
        [](std::size_t i, devsim::CSimBehaviour& b) {
            b.m_eUpgFault = i == 0 ? EUpgFault::kStall : EUpgFault::kNone;
            b.m_eUpgMode = i == 0 ? EUpgMode::kListen : EUpgMode::kRefuse;
        },
        options);
    const CUpgFile big{strFile("rootfs.bin", 24u << 20), kUpgTypeRootfs};
    const CUpgFile small{strFile("uboot.bin", 10), kUpgTypeUboot};
    m_upgrader->iStartUpgrade({big}, {strDevice(0), strDevice(1)});
    ASSERT_TRUE(m_view.fgWaitFor([](const CRecordingView& v) {
        return v.iCount(EUpgEvent::kConnected, strDevice(0)) == 1;
    }));

    // A second connection for the connected record, and one from an address without a
    // record, are both closed at once.
    EXPECT_TRUE(fgClosedAtOnce(strDevice(0)));
    EXPECT_TRUE(fgClosedAtOnce("127.0.0.60"));
    // A command for the running transfer is refused; one for the connecting record
    // adds its files, up to eight in all.
    EXPECT_EQ(m_upgrader->iStartUpgrade({small}, {strDevice(0)}), 0);
    EXPECT_EQ(m_view.vecLines(strDevice(0)).back(), "\r\n127.0.0.2 Upgrade already running");
    EXPECT_EQ(m_upgrader->iStartUpgrade({small, small}, {strDevice(1)}), 1);
    EXPECT_EQ(m_upgrader->iStartUpgrade(std::vector<CUpgFile>(6, small), {strDevice(1)}), 0);
    const std::vector<CUpgDeviceResult> run = m_upgrader->vecRunDevices();
    ASSERT_EQ(run.size(), 2U);
    EXPECT_EQ(run[1].m_files.size(), 3U);
    EXPECT_EQ(run[0].m_eOutcome, EUpgOutcome::kRunning);
}

TEST_F(UpgradeBench, RetrySendsTheSameFilesToTheFailedDevicesOnly) {
    vStart(2, [](std::size_t i, devsim::CSimBehaviour& b) {
        b.m_eUpgFault = i == 0 ? EUpgFault::kAnswerFailed : EUpgFault::kNone;
    });
    const CUpgFile file{strFile("ipcupg.bin", 100'000), kUpgTypeApp};
    m_upgrader->iStartUpgrade({file}, {strDevice(0), strDevice(1)});
    ASSERT_TRUE(m_view.fgWaitSummaries(1));
    EXPECT_EQ(m_view.m_summaries[0].m_iFailed, 1);

    m_fleet->vUpdateDevice(0, [](devsim::CSimDeviceState&, devsim::CSimBehaviour& b) {
        b.m_eUpgFault = EUpgFault::kNone;
    });
    EXPECT_EQ(m_upgrader->iRetryFailed(), 1);
    ASSERT_TRUE(m_view.fgWaitSummaries(2));
    const CUpgSummary& retry = m_view.m_summaries[1];
    EXPECT_EQ(retry.m_iSucceeded, 1);
    ASSERT_EQ(retry.m_devices.size(), 1U);
    EXPECT_EQ(retry.m_devices[0].m_strDevice, strDevice(0));
    EXPECT_EQ(m_fleet->sDeviceState(0).m_uiUpgTransfers, 2U);
    EXPECT_EQ(m_fleet->sDeviceState(1).m_uiUpgTransfers, 1U);
}

}  // namespace
