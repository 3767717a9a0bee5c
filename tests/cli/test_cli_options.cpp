#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace {
CCliParse sParse(std::vector<std::string> args) {
    return sParseCliArgs(args);
}
}  // namespace

TEST(CliOptions, ParsesOptionsAndCommand) {
    const CCliParse parsed =
        sParse({"--bind", "127.0.0.1/8", "--bind", "10.200.1.1/24", "--password", "secret",
                "--timeout", "800", "--json", "search"});
    ASSERT_TRUE(parsed.m_options) << parsed.m_strError;
    const CCliOptions& options = *parsed.m_options;
    ASSERT_TRUE(options.m_binds);
    ASSERT_EQ(options.m_binds->size(), 2U);
    EXPECT_EQ((*options.m_binds)[0].m_uiMask, htonl(0xFF000000U));
    EXPECT_EQ((*options.m_binds)[1].m_uiMask, htonl(0xFFFFFF00U));
    EXPECT_EQ(options.m_strPassword, "secret");
    EXPECT_EQ(options.m_iTimeoutMs, 800);
    EXPECT_EQ(options.m_eFormat, EListFormat::kJson);
    EXPECT_EQ(options.m_strCommand, "search");
}

TEST(CliOptions, DefaultsUseEveryInterface) {
    const CCliParse parsed = sParse({"login", "127.0.0.2"});
    ASSERT_TRUE(parsed.m_options);
    EXPECT_FALSE(parsed.m_options->m_binds.has_value());
    EXPECT_EQ(parsed.m_options->m_iTimeoutMs, 1500);
    EXPECT_EQ(parsed.m_options->m_eFormat, EListFormat::kTable);
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
    struct Case {
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command"},
        {{"--bogus", "search"}, "unknown option"},
        {{"--bind"}, "needs a value"},
        {{"--bind", "127.0.0.1", "search"}, "ADDR/PREFIX"},
        {{"--bind", "127.0.0.1/33", "search"}, "ADDR/PREFIX"},
        {{"--timeout", "0", "search"}, "--timeout"},
        {{"--timeout", "12ms", "search"}, "--timeout"},
        {{"login"}, "takes 1 argument"},
        {{"restart", "10.0.0.300"}, "not an IPv4 address"},
        {{"set-uid", "10.0.0.2"}, "takes 2 argument"},
        {{"set-net", "10.0.0.2", "cable", "a", "b", "c", "d", "dhcp"}, "wired or wifi"},
        {{"set-net", "10.0.0.2", "wired", "a", "b", "c", "d", "auto"}, "dhcp or static"},
        {{"wifi-connect", "10.0.0.2", "ssid", "pw", "x"}, "encryption number"},
        {{"--db", "mysql://line", "history"}, "--db wants"},
        {{"--db", "sqlite:", "history"}, "--db wants"},
        {{"--db", "sqlite:a", "--db", "sqlite:b", "history"}, "'sqlite:b'"},
        {{"--db", "postgresql:///a", "--db", "postgres:///b", "history"}, "'postgres:///b'"},
        {{"--db"}, "needs a value"},
    };
    for (const Case& c : cases) {
        const CCliParse parsed = sParse(c.args);
        EXPECT_FALSE(parsed.m_options.has_value());
        EXPECT_NE(parsed.m_strError.find(c.expected), std::string::npos)
            << "got: " << parsed.m_strError;
    }
}

TEST(CliOptions, HelpWinsOverEverythingAfterIt) {
    EXPECT_TRUE(sParse({"--help", "restart"}).m_fgHelp);
}
