#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "devsim/devsim_options.h"
#include "station_probe.h"

using namespace devsim;

TEST(DevSimOptions, ArgumentsMakeAFleetOrAUsageError) {
    struct CCase {
        std::vector<std::string> m_args;
        int m_rc;
        std::size_t m_devices;
        const char* m_first;  // address of device 0 when parsed
        const char* m_error;  // part of the error text
    };
    const std::vector<CCase> cases = {
        {{"--fleet", "3"}, 0, 3, "127.0.0.2", ""},
        {{"--fleet", "2", "--base", "127.0.1.254"}, 0, 2, "127.0.1.254", ""},
        {{"--fleet", "1", "--addr", "127.9.9.9"}, 0, 2, "127.0.0.2", ""},
        {{"--addr", "10.1.1.5/24", "--allow-any-addr"}, 0, 1, "10.1.1.5", ""},
        {{"--addr", "10.1.1.5/24"}, -1, 0, "", "outside 127.0.0.0/8"},
        {{"--fleet", "2", "--base", "192.168.0.2"}, -1, 0, "", "outside 127.0.0.0/8"},
        {{}, -1, 0, "", "no devices"},
        {{"--fleet"}, -1, 0, "", "needs a value"},
        {{"--fleet", "0"}, -1, 0, "", "--fleet needs a number"},
        {{"--fleet", "5001"}, -1, 0, "", "--fleet needs a number"},
        {{"--fleet", "3x"}, -1, 0, "", "--fleet needs a number"},
        {{"--fleet", "2", "--base", "127.255.255.254"}, -1, 0, "", "do not fit"},
        {{"--addr", "127.0.0"}, -1, 0, "", "--addr needs"},
        {{"--addr", "127.0.0.5/33"}, -1, 0, "", "--addr needs"},
        {{"--fleet", "2", "--bogus"}, -1, 0, "", "unknown option"},
        {{"--fleet", "2", "--behave", "2:silent"}, -1, 0, "", "no device 2"},
        {{"--fleet", "2", "--behave", "1:loud"}, -1, 0, "", "unknown kind"},
        {{"--fleet", "2", "--behave", "silent"}, -1, 0, "", "INDEX:KIND"},
        {{"--fleet", "2", "--behave", "all:delay=x"}, -1, 0, "", "milliseconds"},
        {{"--fleet", "2", "--behave", "all:copies=11"}, -1, 0, "", "1 to 10"},
        {{"--fleet", "2", "--behave", "0:malformed=odd"}, -1, 0, "", "short, truncated"},
        {{"--fleet", "2", "--behave", "0:horn=drop:0"}, -1, 0, "", "refuse, drop"},
        {{"--fleet", "2", "--password", std::string(32, 'p')}, -1, 0, "", "at most 31"},
    };
    for (const CCase& item : cases) {
        std::string joined;
        for (const std::string& arg : item.m_args) {
            joined += arg + " ";
        }
        SCOPED_TRACE(joined);
        CDevSimOptions options;
        std::string error;
        EXPECT_EQ(iParseOptions(item.m_args, options, error), item.m_rc);
        if (item.m_rc == 0) {
            ASSERT_EQ(options.m_config.m_addresses.size(), item.m_devices);
            EXPECT_EQ(strIpText(options.m_config.m_addresses[0].m_uiAddrNet), item.m_first);
        } else {
            EXPECT_NE(error.find(item.m_error), std::string::npos) << error;
        }
    }
}

TEST(DevSimOptions, PrefixesDefaultByNetwork) {
    EXPECT_EQ(sParseSimAddress("127.0.0.9")->m_iPrefix, 8);
    EXPECT_EQ(sParseSimAddress("10.0.0.9")->m_iPrefix, 24);
    EXPECT_EQ(sParseSimAddress("10.0.0.9/16")->m_iPrefix, 16);
    EXPECT_FALSE(sParseSimAddress("10.0.0.9/").has_value());
    EXPECT_FALSE(sParseSimAddress("10.0.0.9/0").has_value());
    EXPECT_FALSE(sParseSimAddress("10.0.0.9/x").has_value());
}

TEST(DevSimOptions, TweaksChangeTheDevice) {
    CDevSimOptions options;
    std::string error;
    ASSERT_EQ(iParseOptions({"--fleet", "4", "--behave", "all:delay=250", "--behave",
                             "1:malformed=lying", "--behave", "3:copies=2", "--announce",
                             "--announce-type", "7", "--password", "admin"},
                            options, error),
              0)
        << error;
    EXPECT_TRUE(options.m_fgAnnounce);
    EXPECT_EQ(options.m_uiAnnounceType, 7U);
    EXPECT_EQ(options.m_config.m_strPassword, "admin");
    ASSERT_EQ(options.m_tweaks.size(), 3U);
    EXPECT_FALSE(options.m_tweaks[0].m_index.has_value());
    EXPECT_EQ(options.m_tweaks[1].m_index, 1U);

    struct CCase {
        CDeviceTweak m_tweak;
        std::function<bool(const CSimDeviceState&, const CSimBehaviour&)> m_check;
    };
    const std::vector<CCase> cases = {
        {{0, "silent", ""}, [](auto&, auto& b) { return b.m_fgSilent; }},
        {{0, "refuse-login", ""}, [](auto&, auto& b) { return b.m_fgRefuseLogin; }},
        {{0, "restart-ms", "120"}, [](auto&, auto& b) { return b.m_iRestartMs == 120; }},
        {{0, "wifi-ms", "0"}, [](auto&, auto& b) { return b.m_iWifiConnectMs == 0; }},
        {{0, "malformed", "truncated"},
         [](auto&, auto& b) { return b.m_eMalform == EMalform::Truncated; }},
        {{0, "uid", "short"}, [](auto& s, auto&) { return s.m_strUid == "short"; }},
        {{0, "lower-uid", ""}, [](auto& s, auto&) { return s.m_strUid == "ksim00000000001devaa"; }},
        {{0, "password", "pw"}, [](auto& s, auto&) { return s.m_strPassword == "pw"; }},
        {{0, "horn", "refuse"},
         [](auto&, auto& b) { return b.m_horn.m_eFault == EHornFault::kRefuse; }},
        {{0, "horn", "drop:100"},
         [](auto&, auto& b) {
             return b.m_horn.m_eFault == EHornFault::kDropAfter &&
                    b.m_horn.m_iDropAfterBytes == 100;
         }},
        {{0, "over-wifi", ""},
         [](auto& s, auto&) {
             return s.m_fgOverWifi && s.m_wifi.m_strIp == "127.0.0.2" &&
                    s.m_wired.m_strIp == "0.0.0.0" && s.m_iWifiConnected == 1;
         }},
    };
    for (const CCase& item : cases) {
        CSimDeviceState state = sMakeDefaultState(0, iAddr("127.0.0.2"), 8, "kavno");
        CSimBehaviour behaviour;
        EXPECT_EQ(iApplyTweak(item.m_tweak, state, behaviour, error), 0) << item.m_tweak.m_strKind;
        EXPECT_TRUE(item.m_check(state, behaviour)) << item.m_tweak.m_strKind;
    }
}

TEST(DevSimOptions, HelpStopsParsing) {
    CDevSimOptions options;
    std::string error;
    EXPECT_EQ(iParseOptions({"--help", "--bogus"}, options, error), 0);
    EXPECT_TRUE(options.m_fgHelp);
    EXPECT_NE(strUsage().find("--allow-any-addr"), std::string::npos);
}
