#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "devsim/sim_device.h"
#include "station_probe.h"

using namespace devsim;

namespace {

constexpr std::size_t kCameraIndex = 0;   // camera type 0
constexpr std::size_t kGatewayIndex = 4;  // every fifth device is a gateway

CSimDevice sMakeDevice(std::size_t index, const std::string& address = "127.0.0.2") {
    return CSimDevice(sMakeDefaultState(index, iAddr(address), 8, "kavno"), CSimBehaviour{},
                      iAddr(address));
}

const CEndpoint kStation{iAddr("127.0.0.1"), 24216};

CSimDevice::COutcome sAsk(CSimDevice& device, const CBytes& request,
                          const CSimDevice::FAddressCheck& canMove = {}) {
    return device.sHandle(request, kStation, CSimClock::now(), canMove);
}

CBytes sLogin(const std::string& user, const std::string& password) {
    CBytes request = sRequest(0x02, 80, 1);
    request[2] = 64;
    vPutText(request, 16, user);
    vPutText(request, 48, password);
    return request;
}

CBytes sNetwork(std::uint8_t code, const std::string& ip, const std::string& mask, bool dhcp) {
    CBytes request = sRequest(code, 96);
    vPutText(request, 16, ip);
    vPutText(request, 32, mask);
    vPutText(request, 48, "127.0.0.1");
    vPutText(request, 64, "127.0.0.1");
    request[80] = dhcp ? 1 : 0;
    return request;
}

CBytes sCut(CBytes data, std::size_t size) {
    data.resize(size);
    return data;
}

CBytes sMotorMove(std::uint8_t code, std::uint16_t direction, std::uint16_t steps) {
    CBytes request = sRequest(code, 20);
    request[16] = static_cast<std::uint8_t>(direction);
    request[18] = static_cast<std::uint8_t>(steps & 0xFF);
    request[19] = static_cast<std::uint8_t>(steps >> 8);
    return request;
}

CBytes sVideo(std::uint8_t mainResolution, std::uint8_t subResolution, std::uint8_t frameRate) {
    CBytes request = sRequest(0x20, 32);
    request[16] = mainResolution;
    request[17] = frameRate;
    request[18] = 0x00;
    request[19] = 0x08;  // 2048
    request[24] = subResolution;
    request[25] = 15;
    request[26] = 0x00;
    request[27] = 0x02;  // 512
    return request;
}

CBytes sExtended(std::uint32_t subCommand, std::size_t payloadBytes) {
    CBytes request = sRequest(0x1A, 16 + payloadBytes);
    request[2] = static_cast<std::uint8_t>(payloadBytes);
    vPutLe32(request, 8, subCommand);
    return request;
}

CBytes sSensorRequest(std::uint8_t code, std::uint32_t index, std::uint32_t value) {
    CBytes request = sRequest(code, 24);
    vPutLe32(request, 16, index);
    vPutLe32(request, 20, value);
    return request;
}

}  // namespace

// One request, one device kind: the reply types, the first reply's status byte and size.
TEST(SimDevice, RepliesFollowTheCodeTable) {
    struct CCase {
        const char* m_name;
        std::size_t m_device;
        CBytes m_request;
        std::vector<int> m_types;
        int m_status;        // -1: not checked
        std::size_t m_size;  // 0: not checked
    };
    const std::vector<CCase> cases = {
        {"search", kCameraIndex, sRequest(0x01, 16), {101}, -1, 240},
        {"login ok", kCameraIndex, sLogin("admin", "kavno"), {180, 192}, -1, 20 + 4 * 36},
        {"login wrong password", kCameraIndex, sLogin("admin", "nope"), {181}, -1, 20},
        {"login wrong user", kCameraIndex, sLogin("root", "kavno"), {181}, -1, 20},
        {"login too short", kCameraIndex, sCut(sLogin("admin", "kavno"), 79), {}, -1, 0},
        {"format", kCameraIndex, sRequest(0x0E, 16), {107}, 0, 16},
        {"format without card", kGatewayIndex, sRequest(0x0E, 16), {143}, 0, 16},
        {"flash image", kCameraIndex, sRequest(0x15, 16, 0x1C), {123}, -1, 16},
        {"flash image without card", kGatewayIndex, sRequest(0x15, 16, 0x1C), {143}, -1, 16},
        {"restart", kCameraIndex, sRequest(0x11, 16), {113}, 0, 16},
        {"upgrade request", kCameraIndex, sRequest(0x14, 16, 0x66), {20}, -1, 16},
        {"video read", kCameraIndex, sRequest(0x1F, 16), {126}, -1, 32},
        {"video read on gateway", kGatewayIndex, sRequest(0x1F, 16), {127}, -1, 16},
        {"video write", kCameraIndex, sVideo(18, 6, 25), {128}, -1, 16},
        {"video write bad resolution", kCameraIndex, sVideo(5, 6, 25), {129}, -1, 16},
        {"video write bad frame rate", kCameraIndex, sVideo(18, 6, 0), {129}, -1, 16},
        {"video write on gateway", kGatewayIndex, sVideo(18, 6, 25), {129}, -1, 16},
        {"config text", kCameraIndex, sRequest(0x22, 16), {144}, -1, 0},
        {"sensor list", kGatewayIndex, sRequest(0x23, 16), {146}, -1, 16 + 7 * 40},
        {"learn warning sensor", kGatewayIndex, sRequest(0x0F, 16), {109}, -1, 68},
        {"learn key fob", kGatewayIndex, sRequest(0x32, 16), {173}, -1, 68},
        {"sensor test", kGatewayIndex, sSensorRequest(0x50, 3, 7), {80}, 0, 72},
        {"sensor test unknown index", kGatewayIndex, sSensorRequest(0x50, 99, 0), {80}, 1, 72},
        {"calibrate socket", kGatewayIndex, sSensorRequest(0x52, 4, 100), {82}, 0, 72},
        {"calibrate a door contact", kGatewayIndex, sSensorRequest(0x52, 1, 100), {82}, 1, 72},
        {"motor timer", kCameraIndex, sRequest(0x26, 16), {38}, 0x99, 18},
        {"motor timer on gateway", kGatewayIndex, sRequest(0x26, 16), {38}, 0, 18},
        {"motor position", kCameraIndex, sRequest(0x28, 16), {40}, 0x9D, 20},
        {"motor zero", kCameraIndex, sRequest(0x29, 16), {41}, 0x9F, 16},
        {"motor right", kCameraIndex, sMotorMove(0x2A, 1, 10), {42}, 0xA1, 16},
        {"motor left", kCameraIndex, sMotorMove(0x2B, 0, 10), {43}, 0xA3, 16},
        {"motor stop horizontal", kCameraIndex, sRequest(0x2C, 16), {44}, 0xA5, 16},
        {"motor up", kCameraIndex, sMotorMove(0x2D, 2, 10), {45}, 0xA7, 16},
        {"motor down", kCameraIndex, sMotorMove(0x2D, 3, 10), {46}, 0xA9, 16},
        {"motor down on gateway", kGatewayIndex, sMotorMove(0x2D, 3, 10), {46}, 0, 16},
        {"motor stop vertical", kCameraIndex, sRequest(0x2F, 16), {47}, 0xAB, 16},
        {"motor timer write", kCameraIndex, sRequest(0x27, 18), {}, -1, 0},
        {"flip read", kCameraIndex, sRequest(0x5C, 16), {92}, 0, 16},
        {"day night read", kCameraIndex, sRequest(0x5D, 16), {93}, 0, 16},
        {"flip read on gateway", kGatewayIndex, sRequest(0x5C, 16), {}, -1, 0},
        {"keys read", kCameraIndex, sExtended(0x1002, 0), {26}, -1, 32},
        {"unknown extended", kCameraIndex, sExtended(0x2001, 0), {26}, -1, 16},
        {"camera action on gateway", kGatewayIndex, sExtended(0x1006, 4), {26}, -1, 16},
        {"wifi status not connected", kCameraIndex, sRequest(0x4F, 16), {}, -1, 0},
        {"stream open", kCameraIndex, sRequest(0x16, 16), {}, -1, 0},
        {"stop print", kCameraIndex, sRequest(0x39, 16), {}, -1, 0},
        {"unknown code", kCameraIndex, sRequest(0xEE, 16), {}, -1, 0},
        {"header cut short", kCameraIndex, CBytes{0xA8, 0x01, 0, 0}, {}, -1, 0},
    };
    for (const CCase& item : cases) {
        SCOPED_TRACE(item.m_name);
        CSimDevice device = sMakeDevice(item.m_device);
        const CSimDevice::COutcome outcome = sAsk(device, item.m_request);
        ASSERT_EQ(outcome.m_replies.size(), item.m_types.size());
        for (std::size_t i = 0; i < item.m_types.size(); ++i) {
            EXPECT_EQ(outcome.m_replies[i][0], 0xA8);
            EXPECT_EQ(outcome.m_replies[i][1], item.m_types[i]);
        }
        if (item.m_status >= 0) {
            EXPECT_EQ(outcome.m_replies[0][12], item.m_status);
        }
        if (item.m_size != 0) {
            EXPECT_EQ(outcome.m_replies[0].size(), item.m_size);
        }
    }
}

TEST(SimDevice, LoginReplyListsTheNetworksAndTheConnectedOne) {
    CSimDevice device = sMakeDevice(kGatewayIndex);
    device.sState().m_iWifiConnected = 2;
    const CBytes reply = sAsk(device, sLogin("admin", "kavno")).m_replies.at(0);
    EXPECT_EQ((CBytes{reply[13], reply[14], reply[15]}), (CBytes{0, 0, 1}));  // gateway flag
    EXPECT_EQ(iLe16(reply, 16), 4);
    EXPECT_EQ(iLe16(reply, 18), 2);
    EXPECT_EQ(strField(reply, 20 + 36 + 4, 32), "Kestrel-Guest");
    const CBytes capability = sAsk(device, sLogin("admin", "kavno")).m_replies.at(1);
    EXPECT_EQ(iLe32(capability, 20), 0x200000U);  // gateway bit
}

TEST(SimDevice, SetUidNeedsTwentyCharacters) {
    struct CCase {
        std::string m_uid;
        int m_type;
    };
    const CCase cases[] = {
        {"ABCDEFGHIJ0123456789", 115}, {std::string(20, ' '), 115}, {"SHORT", 116}, {"", 116}};
    for (const CCase& item : cases) {
        CSimDevice device = sMakeDevice(0);
        const std::string before = device.sState().m_strUid;
        CBytes request = sRequest(0x13, 37);
        vPutText(request, 16, item.m_uid);
        const auto outcome = sAsk(device, request);
        ASSERT_EQ(outcome.m_replies.size(), 1U);
        EXPECT_EQ(outcome.m_replies[0][1], item.m_type) << item.m_uid;
        EXPECT_EQ(device.sState().m_strUid, item.m_type == 115 ? item.m_uid : before);
    }
}

TEST(SimDevice, NetworkSettingsMoveOnlyWhenTheFleetAgrees) {
    struct CCase {
        const char* m_name;
        CBytes m_request;
        bool m_allowMove;
        int m_type;
        bool m_moves;
    };
    const CCase cases[] = {
        {"new wired address", sNetwork(0x10, "127.0.0.9", "255.0.0.0", false), true, 111, true},
        {"fleet refuses", sNetwork(0x10, "127.0.0.9", "255.0.0.0", false), false, 112, false},
        {"same address", sNetwork(0x10, "127.0.0.2", "255.255.0.0", false), false, 111, false},
        {"not an address", sNetwork(0x10, "127.0.0", "255.0.0.0", false), true, 112, false},
        {"bad mask", sNetwork(0x10, "127.0.0.9", "255.0.255.0", false), true, 112, false},
        {"dhcp keeps the address", sNetwork(0x10, "", "", true), true, 111, false},
        {"wifi block", sNetwork(0x21, "192.168.1.9", "255.255.255.0", false), true, 141, false},
        {"wifi block bad", sNetwork(0x21, "192.168.1", "255.255.255.0", false), true, 142, false},
    };
    for (const CCase& item : cases) {
        SCOPED_TRACE(item.m_name);
        CSimDevice device = sMakeDevice(0);
        std::uint32_t asked = 0;
        const auto outcome = sAsk(device, item.m_request, [&](std::uint32_t addrNet) {
            asked = addrNet;
            return item.m_allowMove;
        });
        ASSERT_EQ(outcome.m_replies.size(), 1U);
        EXPECT_EQ(outcome.m_replies[0][1], item.m_type);
        EXPECT_EQ(outcome.m_moveTo.has_value(), item.m_moves);
        if (item.m_moves) {
            EXPECT_EQ(*outcome.m_moveTo, asked);
        }
    }
    CSimDevice device = sMakeDevice(0);
    sAsk(device, sNetwork(0x10, "", "255.255.0.0", true));
    EXPECT_EQ(device.sState().m_wired.m_strIp, "127.0.0.2");
    EXPECT_TRUE(device.sState().m_wired.m_fgDhcp);
    EXPECT_EQ(device.sState().m_wired.m_strMask, "255.255.0.0");
}

TEST(SimDevice, FactoryResetRestoresSettingsButKeepsIdentity) {
    CSimDevice device = sMakeDevice(0);
    device.vKeepFactoryState();
    CBytes uid = sRequest(0x13, 37);
    vPutText(uid, 16, "NEWUID00000000000001");
    sAsk(device, uid);
    CBytes password = sRequest(0x36, 80);
    vPutText(password, 16, "admin");
    vPutText(password, 48, "secret");
    EXPECT_EQ(sAsk(device, password).m_replies.at(0)[1], 182);
    EXPECT_EQ(device.sState().m_strPassword, "secret");
    sAsk(device, sVideo(4, 0, 10));
    sAsk(device, sNetwork(0x10, "127.0.0.9", "255.0.0.0", false),
         [](std::uint32_t) { return true; });
    device.vMovedTo(iAddr("127.0.0.9"));

    const auto outcome = sAsk(device, sRequest(0x12, 16, 5), [](std::uint32_t) { return true; });
    ASSERT_EQ(outcome.m_replies.size(), 1U);
    EXPECT_EQ(outcome.m_replies[0][1], 114);
    EXPECT_TRUE(outcome.m_fgRestart);
    ASSERT_TRUE(outcome.m_moveTo.has_value());
    EXPECT_EQ(*outcome.m_moveTo, iAddr("127.0.0.2"));
    const CSimDeviceState& state = device.sState();
    EXPECT_EQ(state.m_strUid, "NEWUID00000000000001");
    EXPECT_EQ(state.m_strPassword, "kavno");
    EXPECT_EQ(state.m_mainStream.m_ucResolution, 16);
    EXPECT_EQ(state.m_uiResets, 1U);
}

TEST(SimDevice, ConfigurationItemsShowInTheText) {
    CSimDevice device = sMakeDevice(0);
    CBytes item = sRequest(0x19, 88);
    item[2] = 72;
    vPutText(item, 16, "default_pwd");
    vPutText(item, 48, "factory1");
    EXPECT_EQ(sAsk(device, item).m_replies.at(0)[12], 0);
    CBytes flags = sRequest(0x18, 20, 0x41);
    flags[2] = 4;
    vPutLe32(flags, 8, 1);
    vPutLe32(flags, 16, 0x441);
    EXPECT_EQ(sAsk(device, flags).m_replies.at(0)[1], 24);
    CBytes emptyKey = sRequest(0x19, 88);
    EXPECT_EQ(sAsk(device, emptyKey).m_replies.at(0)[12], 1);

    const CBytes text = sAsk(device, sRequest(0x22, 16)).m_replies.at(0);
    const std::string shown(text.begin() + 16, text.begin() + 16 + iLe16(text, 2));
    EXPECT_NE(shown.find("default_pwd=factory1\n"), std::string::npos);
    EXPECT_NE(shown.find("hw_flag=1089\n"), std::string::npos);
    EXPECT_NE(shown.find("safe_pwd=5071\n"), std::string::npos);
    // The reset falls back to the new default password.
    sAsk(device, sRequest(0x12, 16));
    EXPECT_EQ(device.sState().m_strPassword, "factory1");
}

TEST(SimDevice, ExtendedKeyFunctionsRoundTrip) {
    CSimDevice device = sMakeDevice(0);
    CBytes save = sExtended(0x1004, 16);
    vPutLe32(save, 16, 209);
    vPutLe32(save, 20, 117);
    vPutLe32(save, 24, 76);
    vPutLe32(save, 28, 17);
    const CBytes saved = sAsk(device, save).m_replies.at(0);
    EXPECT_EQ(iLe32(saved, 8), 0x1005U);
    const CBytes keys = sAsk(device, sExtended(0x1002, 0)).m_replies.at(0);
    EXPECT_EQ(iLe32(keys, 8), 0x1003U);
    EXPECT_EQ((std::vector<std::uint32_t>{iLe32(keys, 16), iLe32(keys, 20), iLe32(keys, 24),
                                          iLe32(keys, 28)}),
              (std::vector<std::uint32_t>{209, 117, 76, 17}));
    CBytes action = sExtended(0x1006, 4);
    vPutLe32(action, 16, 11);
    const CBytes done = sAsk(device, action).m_replies.at(0);
    EXPECT_EQ(iLe32(done, 8), 0x1007U);
    EXPECT_EQ(iLe32(done, 16), 11U);
    EXPECT_EQ(iLe32(done, 20), 0U);
    const CBytes refused = sAsk(device, sExtended(0x2001, 0)).m_replies.at(0);
    EXPECT_EQ(iLe32(refused, 8), 0x1001U);
    EXPECT_EQ(iLe32(refused, 4), 0x2001U);
}

// A motor runs one step per timer period (timer 20: 2 ms) towards its target, within
// its range; a stop keeps where it is, a new move starts from there, zero ends a move.
TEST(SimDevice, MotorsMoveOverTimeAtTheirTimersPace) {
    CSimDevice device = sMakeDevice(0);
    const CSimTime start = CSimClock::now();
    const auto at = [start](int ms) { return start + std::chrono::milliseconds(ms); };
    const auto ask = [&device](const CBytes& request, CSimTime now) {
        return device.sHandle(request, kStation, now, {});
    };
    const auto position = [&](int ms) {
        const CBytes reply = ask(sRequest(0x28, 16), at(ms)).m_replies.at(0);
        return std::vector<int>{iLe16(reply, 16), iLe16(reply, 18)};
    };
    ask(sMotorMove(0x2A, 1, 300), at(0));
    EXPECT_EQ(position(0), (std::vector<int>{0, 0}));
    EXPECT_EQ(position(200), (std::vector<int>{100, 0}));
    ask(sMotorMove(0x2B, 0, 100), at(200));
    EXPECT_EQ(position(300), (std::vector<int>{50, 0}));
    ask(sRequest(0x2C, 16), at(300));
    EXPECT_EQ(position(5000), (std::vector<int>{50, 0}));

    // The V timer set to 7: 0.7 ms a step; up beyond the range ends at its top, and the
    // fleet's ticks bring the reported state along.
    CBytes timers = sRequest(0x27, 18);
    timers[16] = 20;
    timers[17] = 7;
    ask(timers, at(5000));
    ask(sMotorMove(0x2D, 2, 5000), at(5000));
    device.sTick(at(5070));
    EXPECT_EQ(device.sState().m_usMotorPosV, 100);
    device.sTick(at(9000));
    EXPECT_EQ(device.sState().m_usMotorPosV, kMotorRangeV);
    ask(sMotorMove(0x2D, 3, 80), at(9000));
    ask(sMotorMove(0x2A, 1, 1000), at(9000));
    ask(sRequest(0x29, 16), at(9100));
    EXPECT_EQ(position(20000), (std::vector<int>{0, 0})) << "zero ends the moves";
    const CBytes timerReply = ask(sRequest(0x26, 16), at(20000)).m_replies.at(0);
    EXPECT_EQ((CBytes{timerReply[16], timerReply[17]}), (CBytes{20, 7}));
}

TEST(SimDevice, SensorsAreLearntNamedAndDeleted) {
    CSimDevice device = sMakeDevice(kGatewayIndex);
    const CBytes learnt = sAsk(device, sRequest(0x32, 16)).m_replies.at(0);
    const std::uint32_t index = iLe32(learnt, 52);
    EXPECT_EQ(index, 5U);
    CBytes name = sRequest(0x34, 56);
    vPutText(name, 20, "Remote hall");
    EXPECT_TRUE(sAsk(device, name).m_replies.empty());
    CBytes remove = sRequest(0x25, 52);
    vPutLe32(remove, 48, 1);
    sAsk(device, remove);
    const CBytes list = sAsk(device, sRequest(0x23, 16)).m_replies.at(0);
    ASSERT_EQ(list[4], 7);
    EXPECT_EQ(strField(list, 16, 32), "Smoke kitchen");
    EXPECT_EQ(strField(list, 16 + 6 * 40, 32), "Remote hall");
    EXPECT_EQ(list[16 + 6 * 40 + 32], 5);
    sAsk(device, sRequest(0x51, 16));
    EXPECT_EQ(sAsk(device, sRequest(0x23, 16)).m_replies.at(0).size(), 16U);
}

// Timed learning answers its requester once due; Stop forgets it; a failing one
// answers with the failure of its kind.
TEST(SimDevice, TimedLearningAnswersWhenDue) {
    const CSimTime start = CSimClock::now();
    const auto learnAnswers = [&start](bool fails, bool stop, std::uint8_t code) {
        CSimDevice device = sMakeDevice(kGatewayIndex);
        device.sBehaviour().m_iLearnMs = 1000;
        device.sBehaviour().m_fgLearnFails = fails;
        EXPECT_TRUE(device.sHandle(sRequest(code, 16), kStation, start, {}).m_replies.empty());
        if (stop) {
            device.sHandle(sRequest(0x31, 16), kStation, start, {});
        }
        EXPECT_TRUE(device.sTick(start + std::chrono::milliseconds(999)).m_answers.empty());
        return device.sTick(start + std::chrono::milliseconds(1000)).m_answers;
    };
    const auto learnt = learnAnswers(false, false, 0x0F);
    ASSERT_EQ(learnt.size(), 1U);
    EXPECT_EQ(learnt[0].first.m_uiAddr, kStation.m_uiAddr);
    EXPECT_EQ(learnt[0].second[1], 109);
    EXPECT_EQ(iLe32(learnt[0].second, 52), 5U);
    EXPECT_TRUE(learnAnswers(false, true, 0x0F).empty());
    const auto failed = learnAnswers(true, false, 0x32);
    ASSERT_EQ(failed.size(), 1U);
    EXPECT_EQ(failed[0].second[1], 174);
}

TEST(SimDevice, KeyCommandTakesOnlyTheParametersThatCame) {
    CSimDevice device = sMakeDevice(0);
    CBytes key = sRequest(0x37, 23);
    key[2] = 4 + 200;  // claims 200 parameter bytes, 3 came
    vPutLe32(key, 16, 5);
    key[20] = 0x10;
    key[21] = 0x2C;
    key[22] = 0x01;
    EXPECT_EQ(sAsk(device, key).m_replies.at(0)[1], 55);
    EXPECT_EQ(device.sState().m_iLastKeyCode, 5);
    EXPECT_EQ(device.sState().m_lastKeyParams, (CBytes{0x10, 0x2C, 0x01}));
}

TEST(SimDevice, MacUpdateTakesEffectAtRestart) {
    CSimDevice device = sMakeDevice(0);
    const CMac before = device.sState().m_wiredMac;
    CBytes key = sRequest(0x37, 20);
    key[2] = 4;
    vPutLe32(key, 16, 184);
    sAsk(device, key);
    EXPECT_EQ(device.sState().m_wiredMac, before);
    device.vRestart(CSimClock::now());
    EXPECT_NE(device.sState().m_wiredMac, before);
    EXPECT_EQ(device.sState().m_wiredMac[5], before[5] + 1);
}

TEST(SimDevice, WifiConnectsAfterItsDelay) {
    CSimDevice device = sMakeDevice(0);
    device.sBehaviour().m_iWifiConnectMs = 500;
    struct CCase {
        const char* m_ssid;
        const char* m_password;
        int m_type;
    };
    const CCase cases[] = {{"Kestrel-Lab", "wrong", 125},
                           {"Nobody", "labpass123", 125},
                           {"Kestrel-Guest", "", 124},
                           {"Kestrel-Lab", "labpass123", 124}};
    const CSimTime start = CSimClock::now();
    for (const CCase& item : cases) {
        CBytes request = sRequest(0x1D, 116);
        vPutLe32(request, 16, 4);
        vPutText(request, 20, item.m_password);
        vPutText(request, 84, item.m_ssid);
        const auto outcome = device.sHandle(request, kStation, start, {});
        ASSERT_EQ(outcome.m_replies.size(), 1U);
        EXPECT_EQ(outcome.m_replies[0][1], item.m_type) << item.m_ssid;
    }
    EXPECT_TRUE(device.sHandle(sRequest(0x4F, 16), kStation, start, {}).m_replies.empty());
    device.sTick(start + std::chrono::milliseconds(499));
    EXPECT_EQ(device.sState().m_iWifiConnected, 0);
    device.sTick(start + std::chrono::milliseconds(500));
    EXPECT_EQ(device.sState().m_iWifiConnected, 1);
    EXPECT_EQ(device.sState().m_wifi.m_strIp, "192.168.77.2");
    const auto status = device.sHandle(sRequest(0x4F, 16), kStation, start, {});
    ASSERT_EQ(status.m_replies.size(), 1U);
    EXPECT_EQ(status.m_replies[0][1], 166);
    EXPECT_EQ(strField(status.m_replies[0], 16, 32), "Kestrel-Lab");
}

TEST(SimDevice, PrintingSendsLinesUntilStoppedOrForgotten) {
    CSimDevice device = sMakeDevice(0);
    const CSimTime start = CSimClock::now();
    EXPECT_TRUE(device.sTick(start).m_lines.empty());
    device.sHandle(sRequest(0x38, 16), kStation, start, {});
    const auto first = device.sTick(start);
    ASSERT_EQ(first.m_lines.size(), 1U);
    EXPECT_EQ(first.m_target, kStation);
    EXPECT_EQ(first.m_lines[0][1], 184);
    EXPECT_EQ(iLe16(first.m_lines[0], 2) + 17U, first.m_lines[0].size());
    // Commands while printing are logged too.
    device.sHandle(sRequest(0x28, 16), kStation, start, {});
    EXPECT_EQ(device.sTick(start + std::chrono::milliseconds(10)).m_lines.size(), 1U);
    EXPECT_EQ(device.sTick(start + std::chrono::seconds(1)).m_lines.size(), 1U);
    // Without the keep-alive request printing ends after ten seconds.
    EXPECT_TRUE(device.sTick(start + std::chrono::seconds(11)).m_lines.empty());
    EXPECT_FALSE(device.fgPrinting());
    device.sHandle(sRequest(0x38, 16, 0x3B), kStation, start, {});
    device.sHandle(sRequest(0x39, 16), kStation, start, {});
    EXPECT_TRUE(device.sTick(start + std::chrono::seconds(12)).m_lines.empty());
}

TEST(SimDevice, RestartSilencesForTheRestartTime) {
    CSimDevice device = sMakeDevice(0);
    device.sBehaviour().m_iRestartMs = 200;
    const CSimTime start = CSimClock::now();
    EXPECT_TRUE(device.fgAnswers(start));
    device.vRestart(start);
    EXPECT_FALSE(device.fgAnswers(start + std::chrono::milliseconds(199)));
    EXPECT_TRUE(device.fgAnswers(start + std::chrono::milliseconds(200)));
    device.sBehaviour().m_fgSilent = true;
    EXPECT_FALSE(device.fgAnswers(start + std::chrono::seconds(5)));
}

TEST(SimDevice, DefaultStatesMixTheKinds) {
    for (std::size_t i = 0; i < 10; ++i) {
        const CSimDeviceState state = sMakeDefaultState(i, iAddr("127.0.0.2"), 8, "kavno");
        EXPECT_EQ(state.m_strUid.size(), 20U);
        EXPECT_EQ(state.fgIsCamera(), i % 5 != 4) << i;
        if (state.fgIsCamera()) {
            EXPECT_EQ(state.m_uiFlags & 0xFF, i % 5);
        }
    }
    EXPECT_NE(sMakeDefaultState(0, iAddr("127.0.0.2"), 8, "k").m_strUid,
              sMakeDefaultState(1, iAddr("127.0.0.3"), 8, "k").m_strUid);
    EXPECT_TRUE(sMakeDefaultState(3, iAddr("127.0.0.2"), 8, "k").fgIsPanoramic());
    const CSimDeviceState state = sMakeDefaultState(0, iAddr("10.20.30.40"), 24, "k");
    EXPECT_EQ(state.m_wired.m_strMask, "255.255.255.0");
    EXPECT_EQ(state.m_wired.m_strGateway, "10.20.30.1");
}
