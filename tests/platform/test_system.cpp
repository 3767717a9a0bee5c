#include <gtest/gtest.h>

#include <bit>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/env.h"
#include "platform/interfaces.h"
#include "platform/local_time.h"
#include "platform/paths.h"
#include "platform/socket.h"
#include "support/temp_dir.h"

namespace {

TEST(Environment, SetThenReadBack) {
    const char* name = "KESTREL_PLATFORM_TEST_VALUE";
    ASSERT_TRUE(fgSetEnv(name, "one two"));
    EXPECT_EQ(strGetEnv(name), "one two");
    ASSERT_TRUE(fgSetEnv(name, "2"));
    EXPECT_EQ(strGetEnv(name), "2");
    EXPECT_EQ(strGetEnv("KESTREL_PLATFORM_TEST_NEVER_SET"), std::nullopt);
}

// The messages locale follows the variables a run sets, first LC_ALL, as the
// window's language choice expects on every system.
TEST(Environment, MessagesLocaleFollowsLcAll) {
    const std::optional<std::string> saved = strGetEnv("LC_ALL");
    ASSERT_TRUE(fgSetEnv("LC_ALL", "zh_CN.UTF-8"));
    EXPECT_EQ(strMessagesLocale(), "zh_CN.UTF-8");
    ASSERT_TRUE(fgSetEnv("LC_ALL", saved.value_or("")));
}

TEST(LocalTime, RoundTripsThroughTheCLibrary) {
    for (const std::time_t when :
         {std::time_t{0} + 86400, std::time_t{1700000000}, std::time(nullptr)}) {
        std::tm local = tmLocalTime(when);
        EXPECT_GE(local.tm_year, 70);
        EXPECT_EQ(std::mktime(&local), when);
    }
}

TEST(Paths, ExecutablePathNamesThisProgram) {
    const std::filesystem::path self = strExecutablePath();
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(self)) << self;
    EXPECT_EQ(self.stem(), "test_platform");
}

TEST(Paths, PrivateFoldersAreMadeWithTheirParents) {
    const CTempDir dir;
    const std::filesystem::path nested = dir.path() / "a" / "b" / "c";
    ASSERT_TRUE(fgMakePrivateDirs(nested));
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_TRUE(fgMakePrivateDirs(nested));  // present already: still true
    EXPECT_TRUE(fgCanWriteDir(nested.string()));
    EXPECT_FALSE(fgCanWriteDir((dir.path() / "missing").string()));
    EXPECT_FALSE(fgCanWriteDir(""));
#ifndef _WIN32
    const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
    EXPECT_EQ(std::filesystem::status(dir.path() / "a").permissions() & others,
              std::filesystem::perms::none);
#endif
}

// Every system lists at least one address, each with a mask that is a prefix.
TEST(Interfaces, AddressesComeWithPrefixMasks) {
    const std::optional<std::vector<CIpv4Interface>> interfaces = sListIpv4Interfaces();
    ASSERT_TRUE(interfaces.has_value());
    ASSERT_FALSE(interfaces->empty());
    for (const CIpv4Interface& entry : *interfaces) {
        const std::uint32_t maskHost = iHostFromNet(entry.m_uiMask);
        EXPECT_EQ(std::countl_one(maskHost) + std::countr_zero(maskHost), 32)
            << "mask " << maskHost << " of address " << entry.m_uiAddr;
        EXPECT_NE(entry.m_uiAddr, 0U);
    }
}

}  // namespace
