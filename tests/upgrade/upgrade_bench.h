#pragma once

// A station's upgrader and a simulated fleet on loopback inside a namespace of the
// test's own, with a view that records every report.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "devsim/dev_sim_fleet.h"
#include "devsim/station_probe.h"
#include "net/my_socket.h"
#include "support/netns.h"
#include "support/temp_dir.h"
#include "upgrade/upgrader.h"

class CRecordingView final : public IUpgradeView {
  public:
    void vOnUpgradeEvent(const CUpgEvent& event) override {
        const std::lock_guard lock(m_lock);
        m_events.push_back(event);
        m_changed.notify_all();
    }
    void vOnUpgradeDeviceState(const CUpgDeviceResult& device) override {
        const std::lock_guard lock(m_lock);
        m_states.push_back(device);
        m_changed.notify_all();
    }
    void vOnUpgradeDeviceDone(const CUpgDeviceResult& result) override {
        const std::lock_guard lock(m_lock);
        m_done.push_back(result);
        m_changed.notify_all();
    }
    void vOnUpgradeSummary(const CUpgSummary& summary) override {
        const std::lock_guard lock(m_lock);
        m_summaries.push_back(summary);
        m_changed.notify_all();
    }

    // Waits (generously) until the condition on the view holds.
    template <typename Predicate>
    bool fgWaitFor(Predicate holds, std::chrono::seconds limit = std::chrono::seconds(60)) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, limit, [&] { return holds(*this); });
    }
    bool fgWaitSummaries(std::size_t count) {
        return fgWaitFor(
            [count](const CRecordingView& view) { return view.m_summaries.size() >= count; });
    }

    // Under the view's lock (inside fgWaitFor) or after the run has ended.
    int iCount(EUpgEvent kind, const std::string& device) const {
        int count = 0;
        for (const CUpgEvent& event : m_events) {
            count += event.m_eEvent == kind && event.m_strDevice == device ? 1 : 0;
        }
        return count;
    }
    std::vector<std::string> vecLines(const std::string& device) const {
        const std::lock_guard lock(m_lock);
        std::vector<std::string> lines;
        for (const CUpgEvent& event : m_events) {
            if (event.m_strDevice == device) {
                lines.push_back(strUpgEventLine(event));
            }
        }
        return lines;
    }
    std::optional<CUpgDeviceResult> sDone(const std::string& device) const {
        const std::lock_guard lock(m_lock);
        for (auto it = m_done.rbegin(); it != m_done.rend(); ++it) {
            if (it->m_strDevice == device) {
                return *it;
            }
        }
        return std::nullopt;
    }

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<CUpgEvent> m_events;
    std::vector<CUpgDeviceResult> m_states;
    std::vector<CUpgDeviceResult> m_done;
    std::vector<CUpgSummary> m_summaries;
};

class CQuietReceiver final : public ILanReceiver {
  public:
    void vOnDatagram(std::span<const std::uint8_t>, const CEndpoint&) override {}
    void vOnAnnouncement(std::span<const std::uint8_t>, const CEndpoint&) override {}
};

using FUpgTweak = std::function<void(std::size_t, devsim::CSimBehaviour&)>;

class UpgradeBench : public ::testing::Test {
  protected:
    // Short waits, so that failures show within seconds.
    static CUpgOptions sFastOptions() {
        CUpgOptions options;
        options.m_iConnectAttempts = 3;
        options.m_iConnectRetryMs = 100;
        options.m_iConnectWaitMs = 1000;
        // Long enough that a simulated device starved of the processor on a busy machine
        // is not taken for one that stopped reading.
        options.m_iStallMs = 4000;
        options.m_iAnswerWaitMs = 3000;
        options.m_iProbePeriodMs = 200;
        return options;
    }

    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns = std::make_unique<CNetns>("kt-upg");
        m_scope = std::make_unique<CNetnsScope>(*m_ns);
        ASSERT_TRUE(m_scope->fgEntered());
    }

    void TearDown() override {
        m_transport.UnInit();
        m_upgrader.reset();
        m_fleet.reset();
        m_scope.reset();
        m_ns.reset();
    }

    // count devices from 127.0.0.2 and the station on 127.0.0.1/8.
    void vStart(std::size_t count, const FUpgTweak& tweak = {},
                const CUpgOptions& options = sFastOptions()) {
        std::string error;
        devsim::CDevSimConfig config;
        config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", count, error);
        m_fleet = std::make_unique<devsim::CDevSimFleet>(config);
        for (std::size_t i = 0; tweak && i < count; ++i) {
            m_fleet->vUpdateDevice(
                i, [&](devsim::CSimDeviceState&, devsim::CSimBehaviour& b) { tweak(i, b); });
        }
        ASSERT_EQ(m_fleet->iStart(error), 0) << error;
        ASSERT_TRUE(m_transport.Init(
            m_receiver,
            std::vector<CInterfaceAddr>{{iIpv4Net(127, 0, 0, 1), iIpv4Net(255, 0, 0, 0)}}));
        m_upgrader = std::make_unique<CUpgrader>(m_transport, m_view, options);
        m_transport.vSetUpgradeAcceptHandler(m_upgrader->fnAcceptHandler());
    }

    // A file of pseudo-random bytes in the test's folder.
    std::string strFile(const std::string& name, std::size_t bytes) {
        std::mt19937 random(static_cast<unsigned>(bytes + name.size()));
        std::string content(bytes, '\0');
        for (char& c : content) {
            c = static_cast<char>(random());
        }
        return m_dir.write(name, content);
    }

    static std::string strDevice(std::size_t index) {
        return "127.0.0." + std::to_string(2 + index);
    }

    std::unique_ptr<CNetns> m_ns;
    std::unique_ptr<CNetnsScope> m_scope;
    CTempDir m_dir;
    std::unique_ptr<devsim::CDevSimFleet> m_fleet;
    CQuietReceiver m_receiver;
    CMySocket m_transport;
    CRecordingView m_view;
    std::unique_ptr<CUpgrader> m_upgrader;
};
