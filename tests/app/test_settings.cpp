#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/settings.h"
#include "app/translate.h"
#include "support/temp_dir.h"

namespace {

// Sets an environment variable for one scope, restoring the old value after.
class CScopedEnv {
  public:
    CScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
            m_hadOld = true;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~CScopedEnv() {
        if (m_hadOld) {
            setenv(m_name, m_old.c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

  private:
    const char* m_name;
    std::string m_old;
    bool m_hadOld = false;
};

// Runs the test in a directory of its own (the default-address file is read from
// the working directory).
class CScopedCwd {
  public:
    explicit CScopedCwd(const std::filesystem::path& dir) : m_old(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CScopedCwd() { std::filesystem::current_path(m_old); }
    CScopedCwd(const CScopedCwd&) = delete;
    CScopedCwd& operator=(const CScopedCwd&) = delete;

  private:
    std::filesystem::path m_old;
};

}  // namespace

TEST(UiLang, FromLocaleAndOverride) {
    struct Case {
        const char* lcAll;
        const char* lang;
        const char* forced;
        int expected;
    };
    const Case cases[] = {
        {nullptr, "zh_CN.UTF-8", nullptr, kLangChinese},
        {nullptr, "zh_SG", nullptr, kLangChinese},
        {nullptr, "zh_Hans", nullptr, kLangChinese},
        {nullptr, "zh_TW.UTF-8", nullptr, kLangEnglish},
        {nullptr, "de_DE.UTF-8", nullptr, kLangEnglish},
        {"en_US.UTF-8", "zh_CN.UTF-8", nullptr, kLangEnglish},  // LC_ALL wins
        {nullptr, nullptr, nullptr, kLangEnglish},
        {nullptr, "en_GB", "2052", kLangChinese},
        {nullptr, "zh_CN", "1033", kLangEnglish},
        {nullptr, "zh_CN", "garbage", kLangChinese},  // an unusable override is ignored
    };
    for (const Case& c : cases) {
        const CScopedEnv lcAll("LC_ALL", c.lcAll);
        const CScopedEnv messages("LC_MESSAGES", nullptr);
        const CScopedEnv lang("LANG", c.lang);
        const CScopedEnv forced("KESTREL_UI_LANG", c.forced);
        EXPECT_EQ(iQueryUiLang(), c.expected)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lang ? c.lang : "-") << " "
            << (c.forced ? c.forced : "-");
    }
}

TEST(DefaultIp, ParsesTheFirst32Bytes) {
    const auto ip = [](const char* text) { return inet_addr(text); };
    EXPECT_EQ(uiParseDefaultIp("10.0.0.7", 8), ip("10.0.0.7"));
    EXPECT_EQ(uiParseDefaultIp("10.0.0.7\r\n", 10), ip("10.0.0.7"));
    EXPECT_EQ(uiParseDefaultIp("10.0.0.7  trailing", 18), ip("10.0.0.7"));
    EXPECT_EQ(uiParseDefaultIp("not an address", 14), 0U);
    EXPECT_EQ(uiParseDefaultIp("", 0), 0U);
    const std::string padded = std::string(32, ' ') + "10.0.0.7";
    EXPECT_EQ(uiParseDefaultIp(padded.c_str(), 40), 0U);
}

TEST(DefaultIp, FileRules) {
    CTempDir dir;
    const CScopedCwd cwd(dir.path());
    char buffer[32] = {};
    EXPECT_EQ(iReadDefaultIpFile(nullptr), -1);
    EXPECT_EQ(iReadDefaultIpFile(buffer), -2);
    dir.write("SelectDefaultIp.ini", std::string(40, '1'));
    EXPECT_EQ(iReadDefaultIpFile(buffer), 32);
}

TEST(SettingInit, ReselectionNeedsTheFileInTheProgramDirectory) {
    CTempDir programDir;
    CTempDir workDir;
    const CScopedCwd cwd(workDir.path());
    workDir.write("SelectDefaultIp.ini", "192.168.1.20\n");
    const std::string dirText = programDir.path().string() + "/";

    CSettings settings;
    vSettingInit(settings, dirText);
    EXPECT_FALSE(settings.m_fgReselect);
    EXPECT_EQ(settings.m_uiLastSelectAddr, inet_addr("192.168.1.20"));
    EXPECT_EQ(settings.m_strLangFile, dirText + "lang.lang");

    programDir.write("SelectDefaultIp.ini", "");
    vSettingInit(settings, dirText);
    EXPECT_TRUE(settings.m_fgReselect);
}
