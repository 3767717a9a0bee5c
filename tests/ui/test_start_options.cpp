#include <gtest/gtest.h>

#include "net/socket_layer.h"
#include "ui/start_options.h"

namespace {

CInterfaceAddr sIface(const char* addr, const char* mask) {
    CInterfaceAddr iface;
    fgParseIp(addr, iface.m_uiAddr);
    fgParseIp(mask, iface.m_uiMask);
    return iface;
}

TEST(StartOptions, AcceptedCommandLines) {
    struct Row {
        std::vector<std::string> args;
        std::vector<CInterfaceAddr> binds;
        int demo;
        std::string screenshot;
    };
    const Row rows[] = {
        {{}, {}, 0, ""},
        {{"--bind", "127.0.0.1/8"}, {sIface("127.0.0.1", "255.0.0.0")}, 0, ""},
        {{"--bind", "10.1.2.3/24", "--bind", "192.168.5.1/16"},
         {sIface("10.1.2.3", "255.255.255.0"), sIface("192.168.5.1", "255.255.0.0")},
         0,
         ""},
        {{"--demo"}, {sIface("127.0.0.1", "255.0.0.0")}, 24, ""},
        {{"--demo", "5"}, {sIface("127.0.0.1", "255.0.0.0")}, 5, ""},
        {{"--demo", "--screenshot", "a.png"}, {sIface("127.0.0.1", "255.0.0.0")}, 24, "a.png"},
        {{"--demo", "3", "--bind", "127.0.0.1/24"}, {sIface("127.0.0.1", "255.255.255.0")}, 3, ""},
    };
    for (const Row& row : rows) {
        const CStartOptions options = sParseStartOptions(row.args);
        EXPECT_TRUE(options.m_strError.empty()) << options.m_strError;
        EXPECT_EQ(row.binds, options.m_binds);
        EXPECT_EQ(row.demo, options.m_iDemoDevices);
        EXPECT_EQ(row.screenshot, options.m_strScreenshot);
    }
}

TEST(StartOptions, RefusedCommandLines) {
    const std::vector<std::vector<std::string>> rows = {
        {"--bind"},       {"--bind", "127.0.0.1"}, {"--bind", "127.0.0.1/33"},
        {"--demo", "0"},  {"--demo", "1001"},      {"--demo", "-3"},
        {"--screenshot"}, {"--verbose"},           {"127.0.0.1/8"},
    };
    for (const auto& args : rows) {
        EXPECT_FALSE(sParseStartOptions(args).m_strError.empty()) << args.front();
    }
}

}  // namespace
