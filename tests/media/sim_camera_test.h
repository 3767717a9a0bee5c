#pragma once

// A test in front of one simulated camera at 127.0.0.2, in a network namespace of the
// test's own (skipped where namespaces cannot be made). The camera starts when the test
// says, behaving as it asks.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "devsim/dev_sim_fleet.h"
#include "devsim/station_probe.h"
#include "support/netns.h"

class CSimCameraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns = std::make_unique<CNetns>("kt-cam");
        m_scope = std::make_unique<CNetnsScope>(*m_ns);
        ASSERT_TRUE(m_scope->fgEntered());
        std::string error;
        devsim::CDevSimConfig config;
        config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", 1, error);
        m_fleet = std::make_unique<devsim::CDevSimFleet>(config);
        fgParseIp("127.0.0.2", m_uiCamera);
    }
    void TearDown() override {
        m_fleet.reset();
        m_scope.reset();
        m_ns.reset();
    }
    // Starts the camera, its stream behaving as behave says.
    void vStart(const std::function<void(devsim::CSimStreamBehaviour&)>& behave = {}) {
        if (behave) {
            m_fleet->vUpdateDevice(
                0, [&behave](devsim::CSimDeviceState&, devsim::CSimBehaviour& behaviour) {
                    behave(behaviour.m_stream);
                });
        }
        std::string error;
        ASSERT_EQ(m_fleet->iStart(error), 0) << error;
    }

    std::unique_ptr<CNetns> m_ns;
    std::unique_ptr<CNetnsScope> m_scope;
    std::unique_ptr<devsim::CDevSimFleet> m_fleet;
    std::uint32_t m_uiCamera = 0;
};
