// A run of the line check as the window starts it, against a simulated bench in a
// network namespace of its own: the check logs in on sockets of its own, so the
// station that found the devices (the window's) hears none of the login answers and
// lists no Wi-Fi network; the finished devices are told in order on the run's own
// thread; the report is written.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "check/line_check_run.h"
#include "devsim/dev_sim_fleet.h"
#include "devsim/station_probe.h"
#include "protocol/lan_station.h"
#include "support/netns.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace {

constexpr std::size_t kDevices = 3;

// The window's Wi-Fi list, as the station's login feature fills it.
class CWifiRows final : public ILoginView {
  public:
    void vAddWifiRow(const std::string&, int, int) override { ++m_iRows; }
    void vSetWifiStatus(const std::string&) override {}
    void vStopWifiPoll() override {}
    void vShowWifiResult(const std::string&) override {}
    void vSetDeviceTypeText(const std::string&) override {}
    void vSetDetectorFlags(bool, bool, bool) override {}
    std::atomic<int> m_iRows{0};
};

class CDoneOrder final : public ICheckProgress {
  public:
    void vOnDeviceDone(const CDeviceCheck& row, int done, int total) override {
        std::lock_guard guard(m_lock);
        m_done.push_back(done);
        m_iTotal = total;
        m_threads.push_back(std::this_thread::get_id());
        m_ips.push_back(row.m_strIp);
    }
    std::mutex m_lock;
    std::vector<int> m_done;
    int m_iTotal = 0;
    std::vector<std::thread::id> m_threads;
    std::vector<std::string> m_ips;
};

TEST(LineCheckRun, ChecksWithoutTouchingTheStationsListsAndWritesTheReport) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns ns("kt-lr");
    CNetnsScope scope(ns);
    ASSERT_TRUE(scope.fgEntered());
    std::string error;
    devsim::CDevSimConfig config;
    config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", kDevices, error);
    devsim::CDevSimFleet fleet(config);
    ASSERT_EQ(fleet.iStart(error), 0) << error;
    ASSERT_FALSE(fleet.sDeviceState(0).m_wifiNets.empty());

    IStationView view;
    CWifiRows wifiRows;
    CLanStation lan(view);
    lan.station().login().vSetView(&wifiRows);
    CInterfaceAddr loopback;
    fgParseIp("127.0.0.1", loopback.m_uiAddr);
    fgParseIp("255.0.0.0", loopback.m_uiMask);
    ASSERT_TRUE(lan.fgStart(std::vector<CInterfaceAddr>{loopback}));
    CStation& station = lan.station();
    station.discovery().vRefresh();
    ASSERT_TRUE(fgWaitUntil([&station] {
        station.discovery().iDrainDiscoveryQueue();
        return station.registry().vecActiveView().size() >= kDevices;
    }));
    std::vector<CCheckTarget> targets;
    for (const CDevInfo& device : station.registry().vecActiveView()) {
        targets.push_back({device.m_uiIpAddr, device});
    }

    CLineCheckOptions options;
    options.m_steps.set(static_cast<std::size_t>(ECheckStep::kLogin));
    options.m_steps.set(static_cast<std::size_t>(ECheckStep::kWifi));
    options.m_iParallel = 2;
    CTempDir reports;
    CLineCheckRun run(station.sender(), options);
    ASSERT_TRUE(run.fgPrepare(reports.path().string(), error)) << error;
    CDoneOrder progress;
    const CLineCheckRunEnd end = run.sRun(targets, "", &progress);
    lan.station().login().vSetView(nullptr);

    ASSERT_EQ(end.m_rows.size(), kDevices);
    EXPECT_EQ(end.m_lPassed, static_cast<long>(kDevices));
    for (const CDeviceCheck& row : end.m_rows) {
        SCOPED_TRACE(row.m_strIp);
        EXPECT_EQ(row.step(ECheckStep::kLogin).m_eOutcome, EStepOutcome::kPass);
        EXPECT_EQ(row.step(ECheckStep::kWifi).m_eOutcome, EStepOutcome::kPass)
            << row.step(ECheckStep::kWifi).m_strReason;
    }
    // Every device logged in and listed its networks to the check, none to the station.
    EXPECT_EQ(wifiRows.m_iRows, 0);
    EXPECT_EQ(progress.m_done, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(progress.m_iTotal, static_cast<int>(kDevices));
    for (const std::thread::id thread : progress.m_threads) {
        EXPECT_EQ(thread, std::this_thread::get_id());
    }
    EXPECT_EQ(end.m_strFolder, run.strFolder());
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(end.m_strFolder) / "report.csv"));
}

// The failure line both front ends show comes from one place.
TEST(LineCheckRun, DeviceLineNamesEveryFailedStepWithItsReason) {
    CDeviceCheck row;
    row.m_strIp = "127.0.0.5";
    row.m_lMs = 812;
    for (CStepResult& step : row.m_steps) {
        step = {EStepOutcome::kPass, "fine", 1};
    }
    EXPECT_EQ(strDeviceDoneLine(row, 2, 7), "127.0.0.5 PASS (2/7, 812 ms)");
    EXPECT_TRUE(vecFailureTexts(row).empty());
    row.step(ECheckStep::kVideo) = {EStepOutcome::kFail, "uniform picture", 5};
    row.step(ECheckStep::kLogin) = {EStepOutcome::kFail, "password refused", 3};
    row.step(ECheckStep::kHorn) = {EStepOutcome::kSkipped, "login failed", 0};
    EXPECT_EQ(vecFailureTexts(row),
              (std::vector<std::string>{"login: password refused", "video: uniform picture"}));
    EXPECT_EQ(strDeviceDoneLine(row, 7, 7),
              "127.0.0.5 FAIL (7/7, 812 ms) login: password refused; video: uniform picture;");
}

}  // namespace
