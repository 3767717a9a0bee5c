#pragma once

// The fixture of the window tests in front of a simulated fleet: skipped without the
// test's private network namespace, with the files the station writes going to a
// folder of the test's own (sub, when given, inside it) and the old folder restored.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/settings.h"
#include "support/temp_dir.h"
#include "ui_test_env.h"

class CFleetFolderTest : public ::testing::Test {
  protected:
    explicit CFleetFolderTest(std::string sub = {}) : m_strSub(std::move(sub)) {}

    void SetUp() override {
        if (!fgPrivateNetwork()) {
            GTEST_SKIP() << strPrivateNetworkSkipReason();
        }
        const std::filesystem::path folder =
            m_strSub.empty() ? m_dir.path() : m_dir.path() / m_strSub;
        std::filesystem::create_directories(folder);
        m_strSavedWritableDir = CSettings::instance().m_strWritableDir;
        CSettings::instance().m_strWritableDir = folder.string() + "/";
        m_fgFolderSet = true;
    }
    void TearDown() override {
        if (m_fgFolderSet) {
            CSettings::instance().m_strWritableDir = m_strSavedWritableDir;
        }
    }

    CTempDir m_dir;

  private:
    std::string m_strSub;
    std::string m_strSavedWritableDir;
    bool m_fgFolderSet = false;
};
