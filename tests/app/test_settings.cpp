#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/file_util.h"
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

// Where the written files go, for a program run from its build folder and for an
// installed one (a share/kestrel folder beside bin); the reselection file follows them.
TEST(SettingInit, WritableFolderFollowsTheInstallLayout) {
    enum class ELayout { kBuildFolder, kReadOnlyFolder, kInstalled };
    struct Case {
        const char* name;
        ELayout layout;
        const char* xdgDataHome;  // nullptr unset; "/x" is x in the test's root
        bool withHome;
        const char* expectedWritable;  // in the test's root
    };
    const Case cases[] = {
        {"build folder", ELayout::kBuildFolder, "/xdg", true, "bin/"},
        {"read-only folder", ELayout::kReadOnlyFolder, nullptr, true, "home/.local/share/kestrel/"},
        {"installed", ELayout::kInstalled, nullptr, true, "home/.local/share/kestrel/"},
        {"installed, XDG_DATA_HOME", ELayout::kInstalled, "/xdg", true, "xdg/kestrel/"},
        {"installed, relative XDG_DATA_HOME", ELayout::kInstalled, "xdg", true,
         "home/.local/share/kestrel/"},
        {"installed, no home", ELayout::kInstalled, nullptr, false, "bin/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.layout == ELayout::kReadOnlyFolder && geteuid() == 0) {
            continue;  // root may write in every folder
        }
        const CTempDir root;
        const std::filesystem::path& base = root.path();
        std::filesystem::create_directory(base / "bin");
        if (c.layout == ELayout::kInstalled) {
            std::filesystem::create_directories(base / "share" / "kestrel");
        }
        if (c.layout == ELayout::kReadOnlyFolder) {
            std::filesystem::permissions(base / "bin", std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::remove);
        }
        std::string xdg;
        if (c.xdgDataHome != nullptr) {
            xdg = *c.xdgDataHome == '/' ? (base / (c.xdgDataHome + 1)).string() : c.xdgDataHome;
        }
        const CScopedEnv xdgEnv("XDG_DATA_HOME", c.xdgDataHome ? xdg.c_str() : nullptr);
        const CScopedEnv homeEnv("HOME", c.withHome ? (base / "home").c_str() : nullptr);

        CSettings settings;
        const std::string programDir = (base / "bin").string() + "/";
        vSettingInit(settings, programDir);
        const std::string expected = (base / c.expectedWritable).string();
        EXPECT_EQ(settings.m_strWritableDir, expected);
        struct stat info {};
        ASSERT_EQ(::stat(expected.c_str(), &info), 0);
        if (expected != programDir) {
            EXPECT_EQ(info.st_mode & 0777U, 0700U) << "readable by its owner only";
        }

        EXPECT_FALSE(settings.m_fgReselect);
        root.write(std::filesystem::relative(expected + "SelectDefaultIp.ini", base).string(), "");
        vSettingInit(settings, programDir);
        EXPECT_TRUE(settings.m_fgReselect);
        std::filesystem::permissions(base / "bin", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
    }
}

TEST(SettingInit, DataFilesBesideTheProgramFirstThenInTheDataFolder) {
    const CTempDir root;
    const std::filesystem::path bin = root.path() / "bin";
    const std::filesystem::path share = root.path() / "share" / "kestrel";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(share);
    const std::string programDir = bin.string() + "/";

    EXPECT_EQ(strFindDataFile(programDir, "lang.lang"), programDir + "lang.lang") << "nowhere";
    root.write("share/kestrel/lang.lang", "[LANGUAGE]\n");
    EXPECT_EQ(strFindDataFile(programDir, "lang.lang"), (share / "lang.lang").string());
    root.write("bin/lang.lang", "[LANGUAGE]\n");
    // An installed layout: its per-user folder stays in the test's folder too.
    const CScopedEnv xdgEnv("XDG_DATA_HOME", (root.path() / "xdg").c_str());
    CSettings settings;
    vSettingInit(settings, programDir);
    EXPECT_EQ(settings.m_strLangFile, programDir + "lang.lang") << "the program's own copy wins";
}
