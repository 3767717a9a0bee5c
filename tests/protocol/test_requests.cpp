#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "protocol/cmd_header.h"
#include "protocol/requests.h"
#include "wire_bytes.h"

namespace {

struct RequestRow {
    const char* name;
    std::function<CmdBytes()> build;
    const char* expected;
};

const std::vector<std::uint8_t> kKeyParams = {0x10, 0x2C, 0x01};

const std::vector<RequestRow>& Rows() {
    static const std::vector<RequestRow> rows = {
        {"search", [] { return bufBuildSearch(); }, "A8 01 00x14"},
        {"login check", [] { return bufBuildLogin("1234", ELoginOrigin::kLoginCheck); },
         "A8 02 40 00 00x8 01 00x3 'admin' 00x27 '1234' 00x28"},
        {"login click, empty password sends the default",
         [] { return bufBuildLogin("", ELoginOrigin::kRowClick); },
         "A8 02 40 00 00x8 00 00x3 'admin' 00x27 'kavno' 00x27"},
        {"login password cut to 31",
         [] { return bufBuildLogin(std::string(40, 'p'), ELoginOrigin::kLoginCheck); },
         "A8 02 40 00 00x8 01 00x3 'admin' 00x27 70x31 00"},
        {"change password", [] { return bufBuildChangePassword("newpw"); },
         "A8 36 00x14 'admin' 00x27 'newpw' 00x27"},
        {"change password to empty", [] { return bufBuildChangePassword(""); },
         "A8 36 00x14 'admin' 00x27 00x32"},
        {"connect wifi", [] { return bufBuildConnectWifi(4, "12345678", "Lab"); },
         "A8 1D 00x14 04 00 00 00 '12345678' 00x56 'Lab' 00x29"},
        {"connect wifi, 31-byte SSID fits",
         [] { return bufBuildConnectWifi(2, "", std::string(31, 's')); },
         "A8 1D 00x14 02 00 00 00 00x64 73x31 00"},
        {"connect wifi, 32-byte SSID sent empty",
         [] { return bufBuildConnectWifi(2, "pw", std::string(32, 's')); },
         "A8 1D 00x14 02 00 00 00 'pw' 00x62 00x32"},
        {"connect wifi, password cut to 63",
         [] { return bufBuildConnectWifi(0, std::string(70, 'k'), "A"); },
         "A8 1D 00x14 00x4 6Bx63 00 'A' 00x31"},
        {"wifi status", [] { return bufBuildWifiStatus(); }, "A8 4F 00x14"},
        {"format SD", [] { return bufBuildFormatSd(); }, "A8 0E 00x14"},
        {"make upgrade file", [] { return bufBuildMakeUpgradeFile(); }, "A8 15 00x10 1C 00x3"},
        {"set UID", [] { return bufBuildSetUid("ABCDEFGHIJKLMNOPQRST"); },
         "A8 13 00x14 'ABCDEFGHIJKLMNOPQRST' 00"},
        {"set UID of 25 characters sends the first 20",
         [] { return bufBuildSetUid("ABCDEFGHIJKLMNOPQRSTUVWXY"); },
         "A8 13 00x14 'ABCDEFGHIJKLMNOPQRST' 00"},
        {"set UID of 20 blanks", [] { return bufBuildSetUid(std::string(20, ' ')); },
         "A8 13 00x14 20x20 00"},
        {"restart", [] { return bufBuildRestart(); }, "A8 11 00x14"},
        {"factory reset", [] { return bufBuildFactoryReset(EResetOrigin::kPlain); }, "A8 12 00x14"},
        {"factory reset after a configuration change",
         [] { return bufBuildFactoryReset(EResetOrigin::kAfterConfigChange); },
         "A8 12 00x10 05 00x3"},
        {"upgrade request", [] { return bufBuildUpgradeRequest(); }, "A8 14 00x10 66 00x3"},
        {"open stream", [] { return bufBuildOpenStream(); }, "A8 16 00x14"},
        {"cruise start", [] { return bufBuildPtzMove(kPtzCruiseStart); }, "A8 07 00x10 08 00x3"},
        {"cruise stop", [] { return bufBuildPtzMove(kPtzCruiseStop); }, "A8 07 00x10 0D 00x3"},
        {"drag 0", [] { return bufBuildPtzDrag(0); }, "A8 07 00x10 0B 00x3"},
        {"drag 1", [] { return bufBuildPtzDrag(1); }, "A8 07 00x10 0C 00x3"},
        {"drag 2", [] { return bufBuildPtzDrag(2); }, "A8 07 00x10 09 00x3"},
        {"drag 3", [] { return bufBuildPtzDrag(3); }, "A8 07 00x10 0A 00x3"},
        {"drag 4 sends nothing", [] { return bufBuildPtzDrag(4); }, ""},
        {"drag -1 sends nothing", [] { return bufBuildPtzDrag(-1); }, ""},
        {"get flip", [] { return bufBuildGetFlip(); }, "A8 5C 00x14"},
        {"get day/night", [] { return bufBuildGetDayNight(); }, "A8 5D 00x14"},
        {"flip normal", [] { return bufBuildSetFlip(0); }, "A8 5E 00x14"},
        {"flip both", [] { return bufBuildSetFlip(3); }, "A8 61 00x14"},
        {"flip 4 sends nothing", [] { return bufBuildSetFlip(4); }, ""},
        {"auto mode", [] { return bufBuildSetDayNight(EDayNight::kAuto); }, "A8 62 00x14"},
        {"night mode", [] { return bufBuildSetDayNight(EDayNight::kNight); }, "A8 63 00x14"},
        {"day mode", [] { return bufBuildSetDayNight(EDayNight::kDay); }, "A8 64 00x14"},
        {"calibrate", [] { return bufBuildCameraAction(11); },
         "A8 1A 04 00 00x4 06 10 00 00 00x4 0B 00 00 00"},
        {"press-and-hold released", [] { return bufBuildCameraAction(0); },
         "A8 1A 04 00 00x4 06 10 00 00 00x4 00x4"},
        {"open horn", [] { return bufBuildOpenHorn(); }, "A8 1E 00x14"},
        {"stop horn", [] { return bufBuildStopHorn(); }, "A8 30 00x14"},
        {"get video parameters", [] { return bufBuildGetVideoParam(); }, "A8 1F 00x14"},
        {"set video parameters",
         [] {
             return bufBuildSetVideoParam({18, 25, 2048, 1}, {7, 15, 512, -1});
         },
         "A8 20 00x14 12 19 00 08 01 00 00 00 07 0F 00 02 FF FF FF FF"},
        {"set video parameters, nothing chosen", [] { return bufBuildSetVideoParam({}, {}); },
         "A8 20 00x14 FF 00 00 00 FF FF FF FF FF 00 00 00 FF FF FF FF"},
        {"get motor timer", [] { return bufBuildGetMotorTimer(); }, "A8 26 00x14"},
        {"set motor timer", [] { return bufBuildSetMotorTimer(5, 200); }, "A8 27 00x14 05 C8"},
        {"get motor position", [] { return bufBuildGetMotorPos(); }, "A8 28 00x14"},
        {"zero motor position", [] { return bufBuildZeroMotorPos(); }, "A8 29 00x14"},
        {"motor right", [] { return bufBuildMotorMove(EMotorDir::kRight, 300); },
         "A8 2A 00x14 01 00 2C 01"},
        {"motor left", [] { return bufBuildMotorMove(EMotorDir::kLeft, 65535); },
         "A8 2B 00x14 00 00 FF FF"},
        {"motor up", [] { return bufBuildMotorMove(EMotorDir::kUp, 1); },
         "A8 2D 00x14 02 00 01 00"},
        {"motor down", [] { return bufBuildMotorMove(EMotorDir::kDown, 0); },
         "A8 2D 00x14 03 00 00 00"},
        {"motor stop horizontal", [] { return bufBuildMotorStop(EMotorAxis::kHorizontal); },
         "A8 2C 00x14"},
        {"motor stop vertical", [] { return bufBuildMotorStop(EMotorAxis::kVertical); },
         "A8 2F 00x14"},
        {"wired network",
         [] {
             return bufBuildSetNetwork(ENetBlock::kWired, {"192.168.1.20", "255.255.255.0",
                                                           "192.168.1.1", "8.8.8.8", true});
         },
         "A8 10 00x14 '192.168.1.20' 00x4 '255.255.255.0' 00x3 '192.168.1.1' 00x5 "
         "'8.8.8.8' 00x9 01 00 00 00 00x12"},
        {"wifi network, a 16-character text fills its field",
         [] {
             return bufBuildSetNetwork(ENetBlock::kWifi,
                                       {"1234567890123456789", "", "", "", false});
         },
         "A8 21 00x14 '1234567890123456' 00x16 00x16 00x16 00x4 00x12"},
        {"get configuration text", [] { return bufBuildGetConfigText(); }, "A8 22 00x14"},
        {"default flags", [] { return bufBuildDefaultFlags(0x47F); },
         "A8 18 04 00 00x4 01 00 00 00 7F 00x3 7F 04 00 00"},
        {"configuration item",
         [] { return bufBuildConfigItem("fg0_reset", "64", EConfigValueKind::kNumber); },
         "A8 19 48 00 00x12 'fg0_reset' 00x23 '64' 00x30 01 00 00 00 00x4"},
        {"configuration item, texts cut to 31",
         [] {
             return bufBuildConfigItem(std::string(40, 'k'), std::string(33, 'v'),
                                       EConfigValueKind::kText);
         },
         "A8 19 48 00 00x12 6Bx31 00 76x31 00 00x4 00x4"},
        {"get key functions", [] { return bufBuildGetKeyFuncs(); },
         "A8 1A 00 00 00x4 02 10 00 00 00x4"},
        {"save key functions",
         [] {
             return bufBuildSaveKeyFuncs({17, 18, 76, 209});
         },
         "A8 1A 10 00 00x4 04 10 00 00 00x4 11 00 00 00 12 00 00 00 4C 00 00 00 D1 00 00 00"},
        {"start log", [] { return bufBuildStartLog(); }, "A8 38 00x14"},
        {"keep log", [] { return bufBuildKeepLog(); }, "A8 38 00x10 3B 00x3"},
        {"stop log", [] { return bufBuildStopLog(); }, "A8 39 00x14"},
        {"key command with parameters", [] { return bufBuildKeyCmd(5, kKeyParams); },
         "A8 37 07 00 00x12 05 00 00 00 10 2C 01"},
        {"key command without parameters", [] { return bufBuildKeyCmd(0, {}); },
         "A8 37 04 00 00x12 00x4"},
        {"update wired MAC", [] { return bufBuildUpdateEthMac(); },
         "A8 37 04 00 00x12 B8 00 00 00"},
        {"query sensors", [] { return bufBuildQuerySensors(); }, "A8 23 00x14"},
        {"learn warning sensor", [] { return bufBuildLearnSensor(ESensorLearn::kWarning); },
         "A8 0F 00x14"},
        {"learn key sensor", [] { return bufBuildLearnSensor(ESensorLearn::kKey); }, "A8 32 00x14"},
        {"stop learning", [] { return bufBuildStopSensorLearn(); }, "A8 31 00x14"},
        {"delete sensor 200", [] { return bufBuildDeleteSensor(200); },
         "A8 25 00x14 00x32 C8 00 00 00"},
        {"sensor test", [] { return bufBuildSensorTest(7, 3); },
         "A8 50 00x14 07 00 00 00 03 00 00 00"},
        {"clear sensors", [] { return bufBuildClearSensors(); }, "A8 51 00x14"},
        {"power calibration", [] { return bufBuildPowerCalibration(2, -5); },
         "A8 52 00x14 02 00 00 00 FB FF FF FF"},
        {"name sensor", [] { return bufBuildNameSensor("Door"); }, "A8 34 00x18 'Door' 00x32"},
        {"name sensor cut at a character boundary",
         [] {
             std::string name;
             for (int i = 0; i < 13; ++i) {
                 name += "\xE9\x97\xA8";  // one three-byte character
             }
             return bufBuildNameSensor(name);
         },
         "A8 34 00x18 E9 97 A8 E9 97 A8 E9 97 A8 E9 97 A8 E9 97 A8 E9 97 A8 E9 97 A8 "
         "E9 97 A8 E9 97 A8 E9 97 A8 E9 97 A8 00x3"},
    };
    return rows;
}

}  // namespace

TEST(Requests, EveryBuilderMatchesItsLayout) {
    for (const RequestRow& row : Rows()) {
        EXPECT_EQ(row.build(), WireBytes(row.expected)) << row.name;
    }
}

TEST(Requests, TableSizesMatchTheCodeTable) {
    struct SizeRow {
        CmdBytes datagram;
        std::uint8_t code;
        std::size_t bytes;
    };
    const std::vector<SizeRow> rows = {
        {bufBuildLogin("x", ELoginOrigin::kLoginCheck), kCmdLogin, 80},
        {bufBuildSetNetwork(ENetBlock::kWired, {}), kCmdSetWiredNet, 96},
        {bufBuildSetNetwork(ENetBlock::kWifi, {}), kCmdSetWifiNet, 96},
        {bufBuildSetUid(""), kCmdSetUid, 37},
        {bufBuildDefaultFlags(0), kCmdSetDefaultFlags, 20},
        {bufBuildConfigItem("", "", EConfigValueKind::kText), kCmdSetConfigItem, 88},
        {bufBuildConnectWifi(0, "", ""), kCmdConnectWifi, 116},
        {bufBuildSetVideoParam({}, {}), kCmdSetVideoParam, 32},
        {bufBuildNameSensor(""), kCmdNameSensor, 56},
        {bufBuildDeleteSensor(0), kCmdDeleteSensor, 52},
        {bufBuildSetMotorTimer(0, 0), kCmdSetMotorTimer, 18},
        {bufBuildChangePassword(""), kCmdChangePassword, 80},
        {bufBuildSensorTest(0, 0), kCmdSensorTest, 24},
        {bufBuildPowerCalibration(0, 0), kCmdPowerCalibration, 24},
    };
    for (const SizeRow& row : rows) {
        ASSERT_EQ(row.datagram.size(), row.bytes) << int{row.code};
        EXPECT_EQ(row.datagram[0], kCmdStartByte);
        EXPECT_EQ(row.datagram[1], row.code);
    }
}

TEST(Requests, GenericSendCarriesOneTo1007PayloadBytes) {
    struct Row {
        std::size_t payloadBytes;
        std::size_t datagramBytes;
        std::uint16_t lengthField;
    };
    for (const Row row : {Row{0, 16, 0}, Row{1, 17, 1}, Row{1007, 1023, 1007}, Row{1008, 16, 0},
                          Row{5000, 16, 0}}) {
        const std::vector<std::uint8_t> payload(row.payloadBytes, 0x5A);
        const CmdBytes datagram = bufBuildSendCmd(kCmdOpenHorn, 3, payload);
        ASSERT_EQ(datagram.size(), row.datagramBytes) << row.payloadBytes;
        EXPECT_EQ(datagram[1], kCmdOpenHorn);
        EXPECT_EQ(datagram[12], 3);
        EXPECT_EQ(usReadLe16(datagram, 2), row.lengthField);
        for (std::size_t i = 16; i < datagram.size(); ++i) {
            ASSERT_EQ(datagram[i], 0x5A) << i;
        }
    }
    const std::vector<std::uint8_t> payload(1007, 1);
    EXPECT_EQ(bufBuildSendCmd(kCmdOpenHorn, 0, payload)[2], 0xEF);
    EXPECT_EQ(bufBuildSendCmd(kCmdOpenHorn, 0, payload)[3], 0x03);
}

TEST(Requests, ExtendedCommandPutsSubCommandInWordB) {
    const std::vector<std::uint8_t> payload = {1, 2, 3};
    EXPECT_EQ(bufBuildExtCmd(0x12345678, payload),
              WireBytes("A8 1A 03 00 00x4 78 56 34 12 00x4 01 02 03"));
    const std::vector<std::uint8_t> tooLong(1008, 0);
    EXPECT_EQ(bufBuildExtCmd(kExtGetKeyFuncs, tooLong), bufBuildGetKeyFuncs());
}

TEST(Requests, KeyCommandIsBounded) {
    const std::vector<std::uint8_t> most(kMaxKeyParamBytes, 0x11);
    const CmdBytes datagram = bufBuildKeyCmd(1, most);
    ASSERT_EQ(datagram.size(), 1024U);
    EXPECT_EQ(usReadLe16(datagram, 2), 4 + kMaxKeyParamBytes);
    const std::vector<std::uint8_t> tooMany(kMaxKeyParamBytes + 1, 0x11);
    EXPECT_TRUE(bufBuildKeyCmd(1, tooMany).empty());
}
