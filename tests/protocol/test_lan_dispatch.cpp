// The reply dispatcher, the result lines and the announcement handler of CStation.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "protocol/station.h"
#include "station_fakes.h"
#include "support/capture_stderr.h"
#include "wire_bytes.h"

namespace {

constexpr const char* kIpA = "10.0.0.1";
constexpr const char* kUidA = "KSTA-000001-ABCDEFGH";
constexpr const char* kIpB = "10.0.0.2";
constexpr const char* kUidB = "KSTB-000002-ABCDEFGH";
constexpr const char* kIpStranger = "10.0.9.9";

std::vector<std::uint8_t> bufLe16(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8U)};
}

std::vector<std::uint8_t> bufLe32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8U),
            static_cast<std::uint8_t>(value >> 16U), static_cast<std::uint8_t>(value >> 24U)};
}

std::vector<std::uint8_t> bufCat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> bytes;
    for (const auto& part : parts) {
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

// A text in a zero-filled field of width bytes.
std::vector<std::uint8_t> bufField(const std::string& text, std::size_t width) {
    std::vector<std::uint8_t> field(width, 0);
    std::copy_n(text.begin(), std::min(text.size(), width), field.begin());
    return field;
}

// One network of a login reply: encryption byte, intensity at 2, SSID at 4.
std::vector<std::uint8_t> bufWifiEntry(std::uint8_t encryption, std::uint16_t intensity,
                                       const std::string& ssid) {
    return bufCat({{encryption, 0}, bufLe16(intensity), bufField(ssid, 32)});
}

// "{ip}" and "{uid}" stand for the sender's address text and UID.
std::string strExpand(std::string text, const std::string& ip, const std::string& uid) {
    for (const auto& [mark, value] : {std::pair<std::string, std::string>{"{ip}", ip},
                                      std::pair<std::string, std::string>{"{uid}", uid}}) {
        for (std::size_t pos = text.find(mark); pos != std::string::npos; pos = text.find(mark)) {
            text.replace(pos, mark.size(), value);
        }
    }
    return text;
}

class LanDispatchTest : public ::testing::Test {
  protected:
    LanDispatchTest() {
        m_view.vAttachViews(m_station);
        m_station.registry().sAddOrUpdateDevice(sMakeDev(kIpA, kUidA, "V1"));
        m_station.registry().sAddOrUpdateDevice(sMakeDev(kIpB, kUidB, "V1"));
        m_station.registry().vSetListSelect(0);
    }

    void vDispatch(const CReplyFields& reply, const std::string& senderIp) {
        m_station.vParseLanInfo(bufReply(reply), uiAddr(senderIp));
    }

    CFakeSender m_sender;
    CFakeView m_view;
    CStation m_station{m_sender, m_view};
};

// One reply: what the window is asked to do, the lines the action writes (PrintLog
// forms naming the sender) and the result line, written only for a registered sender.
struct CDispatchRow {
    const char* m_pszName;
    CReplyFields m_reply;
    std::vector<std::string> m_events;
    std::vector<std::string> m_actionLines;
    std::optional<std::string> m_resultLine;
};

std::vector<CDispatchRow> vecDispatchRows() {
    const auto sensorResult = bufCat({bufField("Sensor1", 32), {5}, bufField("", 23)});
    return {
        {"3 ok",
         {.m_byType = 3, .m_byParam = 0x68},
         {},
         {},
         "\r\n{ip} Check updgrade file in SD card success"},
        {"3 0x69", {.m_byType = 3, .m_byParam = 0x69}, {}, {}, std::nullopt},
        {"3 failed",
         {.m_byType = 3, .m_byParam = 0x83},
         {},
         {},
         "\r\n{ip} Check updgrade file in SD card failed"},
        {"3 0x84", {.m_byType = 3, .m_byParam = 0x84}, {}, {}, std::nullopt},
        {"3 other", {.m_byType = 3, .m_byParam = 0x00}, {}, {}, std::nullopt},
        {"20", {.m_byType = 20}, {}, {"\r\n{ip} dev recv upg req"}, std::nullopt},
        {"24 ok",
         {.m_byType = 24},
         {},
         {"\r\n{ip} Change the default configuration is successful"},
         std::nullopt},
        {"24 failed", {.m_byType = 24, .m_byParam = 1}, {}, {}, std::nullopt},
        {"26 unsupported",
         {.m_byType = 26, .m_uiWordA = 31, .m_uiWordB = 0x1001},
         {},
         {},
         std::nullopt},
        {"26 key functions",
         {.m_byType = 26,
          .m_uiWordB = 0x1003,
          .m_payload = bufCat({bufLe32(1), bufLe32(2), bufLe32(3), bufLe32(0xFFFFFFFF)})},
         {"keyFunctions 1 2 3 4294967295"},
         {},
         std::nullopt},
        {"26 key functions saved",
         {.m_byType = 26, .m_uiWordB = 0x1005},
         {"refreshDefaultConfig"},
         {"\r\n{ip} save key config info success"},
         std::nullopt},
        {"26 zoom out",
         {.m_byType = 26, .m_uiWordB = 0x1007, .m_payload = bufLe32(5)},
         {},
         {"\r\n{ip} ZOOM OUT"},
         std::nullopt},
        {"26 zoom out with error",
         {.m_byType = 26, .m_uiWordB = 0x1007, .m_payload = bufCat({bufLe32(5), bufLe32(1)})},
         {},
         {"\r\n{ip} ZOOM OUT"},
         std::nullopt},
        {"26 calibration",
         {.m_byType = 26, .m_uiWordB = 0x1007, .m_payload = bufLe32(11)},
         {"calibrationTimer"},
         {"\r\n{ip} Start the calibration"},
         std::nullopt},
        {"26 unknown action",
         {.m_byType = 26, .m_uiWordB = 0x1007, .m_payload = bufLe32(1)},
         {},
         {},
         std::nullopt},
        {"26 unknown sub-command", {.m_byType = 26, .m_uiWordB = 0x1009}, {}, {}, std::nullopt},
        {"38 ok",
         {.m_byType = 38, .m_byParam = 0x99, .m_payload = {7, 200}},
         {"motorTimer 7 200"},
         {},
         "\r\n{ip} Get motor timer success"},
        {"38 failed",
         {.m_byType = 38, .m_payload = {7, 200}},
         {},
         {},
         "\r\n{ip} Get motor timer failed"},
        {"40 ok",
         {.m_byType = 40,
          .m_byParam = 0x9D,
          .m_payload = bufCat({bufLe16(0x1234), bufLe16(0xFFFF)})},
         {"motorPos 4660 65535"},
         {},
         "\r\n{ip} Get motor pos success"},
        {"40 cut",
         {.m_byType = 40, .m_byParam = 0x9D, .m_payload = bufLe16(0x1234)},
         {},
         {},
         "\r\n{ip} Get motor pos success"},
        {"40 failed", {.m_byType = 40, .m_byParam = 0x9C}, {}, {}, "\r\n{ip} Get motor pos failed"},
        {"41 ok", {.m_byType = 41, .m_byParam = 0x9F}, {}, {}, "\r\n{ip} Zero motor pos success"},
        {"41 failed", {.m_byType = 41}, {}, {}, "\r\n{ip} Zero motor pos failed"},
        {"42 ok",
         {.m_byType = 42, .m_byParam = 0xA1},
         {},
         {},
         "\r\n{ip} Motor movo  right success"},
        {"42 other", {.m_byType = 42, .m_byParam = 0xA2}, {}, {}, std::nullopt},
        {"43 ok", {.m_byType = 43, .m_byParam = 0xA3}, {}, {}, "\r\n{ip} Motor movo  left success"},
        {"43 other", {.m_byType = 43}, {}, {}, std::nullopt},
        {"44 ok",
         {.m_byType = 44, .m_byParam = 0xA5},
         {},
         {},
         "\r\n{ip} Stop motor move horizontal success"},
        {"44 other", {.m_byType = 44}, {}, {}, std::nullopt},
        {"45 ok", {.m_byType = 45, .m_byParam = 0xA7}, {}, {}, "\r\n{ip} Motor movo  up success"},
        {"45 other", {.m_byType = 45}, {}, {}, std::nullopt},
        {"46 ok", {.m_byType = 46, .m_byParam = 0xA9}, {}, {}, "\r\n{ip} Motor movo  down success"},
        {"46 failed",
         {.m_byType = 46, .m_byParam = 0xA7},
         {},
         {},
         "\r\n{ip} Motor movo  down failed"},
        {"47 ok",
         {.m_byType = 47, .m_byParam = 0xAB},
         {},
         {},
         "\r\n{ip} Stop motor move vertical success"},
        {"47 failed", {.m_byType = 47}, {}, {}, "\r\n{ip} Stop motor move vertical failed"},
        {"55", {.m_byType = 55}, {}, {"\r\n{ip} send key success"}, std::nullopt},
        {"56", {.m_byType = 56}, {}, {}, "\r\n{ip} Send start print log command"},
        {"57", {.m_byType = 57}, {}, {}, "\r\n{ip} Send stop print log command"},
        {"80 result",
         {.m_byType = 80, .m_payload = sensorResult},
         {"sensorTestEnable", "testResult Sensor1 5"},
         {},
         std::nullopt},
        {"80 failed",
         {.m_byType = 80, .m_byParam = 1, .m_payload = sensorResult},
         {"sensorTestEnable", "message Test failed"},
         {},
         std::nullopt},
        {"82 result",
         {.m_byType = 82, .m_byParam = 2, .m_payload = sensorResult},
         {"calibrationResult Sensor1 5"},
         {},
         std::nullopt},
        {"82 failed", {.m_byType = 82, .m_byParam = 1}, {"message Test failed"}, {}, std::nullopt},
        {"92", {.m_byType = 92, .m_byParam = 3}, {"flip 3"}, {}, std::nullopt},
        {"92 out of range", {.m_byType = 92, .m_byParam = 4}, {}, {}, std::nullopt},
        {"93", {.m_byType = 93, .m_byParam = 2}, {"dayNight 2"}, {}, std::nullopt},
        {"93 out of range", {.m_byType = 93, .m_byParam = 3}, {}, {}, std::nullopt},
        {"101 short",
         {.m_byType = 101, .m_payload = std::vector<std::uint8_t>(223)},
         {},
         {},
         std::nullopt},
        {"107", {.m_byType = 107}, {}, {}, "\r\n{ip} Format SD card success"},
        {"109",
         {.m_byType = 109, .m_payload = bufCat({bufField("", 36), bufLe32(7)})},
         {"learnDone 1 7"},
         {},
         "\r\n{ip} Code success"},
        {"110", {.m_byType = 110}, {"learnDone 0 0"}, {}, "\r\n{ip} Code failed"},
        {"111",
         {.m_byType = 111},
         {},
         {},
         "\r\n{ip} Setting cable network parameters successfully"},
        {"112", {.m_byType = 112}, {}, {}, "\r\n{ip} Setting cable network parameters failed"},
        {"113", {.m_byType = 113}, {}, {}, "\r\n{ip} To restart"},
        {"114", {.m_byType = 114}, {}, {}, "\r\n{ip} Began to recover the factory"},
        {"116", {.m_byType = 116}, {"refresh"}, {}, "\r\n{ip} Set uid failed"},
        {"123", {.m_byType = 123}, {}, {"\r\n{ip} generate flash bin success"}, std::nullopt},
        {"124", {.m_byType = 124}, {}, {}, "\r\ndev uid:{uid} ip:{ip} 连接wifi成功"},
        {"125", {.m_byType = 125}, {}, {}, "\r\ndev uid:{uid} ip:{ip} 连接wifi失败"},
        {"126",
         {.m_byType = 126,
          .m_usPayloadLen = 16,
          .m_payload = bufCat({bufLe32(1), bufLe32(2), bufLe32(3), bufLe32(4)})},
         {"videoParams 1 2 3 4"},
         {},
         "\r\n{ip} Get video param success"},
        {"126 payload 15",
         {.m_byType = 126,
          .m_usPayloadLen = 15,
          .m_payload = bufCat({bufLe32(1), bufLe32(2), bufLe32(3), bufLe32(4)})},
         {},
         {},
         "\r\n{ip} Get video param success"},
        {"126 cut",
         {.m_byType = 126, .m_usPayloadLen = 16, .m_payload = bufCat({bufLe32(1), bufLe32(2)})},
         {},
         {},
         "\r\n{ip} Get video param success"},
        {"127", {.m_byType = 127}, {}, {}, "\r\n{ip} Get video param failed"},
        {"128", {.m_byType = 128}, {}, {}, "\r\n{ip} Set video param success"},
        {"129", {.m_byType = 129}, {"refresh"}, {}, "\r\n{ip} Set video param failed"},
        {"140", {.m_byType = 140}, {}, {"\r\n{ip} generate flash bin fail"}, std::nullopt},
        {"141", {.m_byType = 141}, {"refresh"}, {}, "\r\n{ip} Set wifi success"},
        {"142", {.m_byType = 142}, {"refresh"}, {}, "\r\n{ip} Set wifi failed"},
        {"143", {.m_byType = 143}, {}, {"\r\n{ip} dev no sd card"}, std::nullopt},
        {"144",
         {.m_byType = 144, .m_usPayloadLen = 6, .m_payload = {'a', 0, 'b', 0, 'c', 'd', 'X'}},
         {"configText a b cd"},
         {},
         std::nullopt},
        {"145", {.m_byType = 145}, {}, {}, "\r\n{ip} Get version failed"},
        {"146",
         {.m_byType = 146,
          .m_uiWordA = 2,
          .m_payload = bufCat({{11}, bufField("", 39), {22}, bufField("", 39)})},
         {"sensorList 2 11 22"},
         {},
         "\r\n{ip} Query sensor success"},
        {"147", {.m_byType = 147}, {}, {}, "\r\n{ip} Query sensor failed"},
        {"173", {.m_byType = 173}, {"sensorNameDialog {ip}"}, {}, "\r\n{ip} Code success"},
        {"174", {.m_byType = 174}, {}, {}, "\r\n{ip} Code failed"},
        {"180",
         {.m_byType = 180,
          .m_abyExtra = {1, 0, 1},
          .m_payload = bufCat({bufLe16(1), bufLe16(1), bufWifiEntry(3, 70, "Lab")})},
         {"detectors 101", "wifiRow Lab 70 3", "wifiStatus Lab"},
         {},
         "\r\n{ip} Check device success"},
        {"181",
         {.m_byType = 181,
          .m_abyExtra = {0, 1, 0},
          .m_payload = bufCat({bufLe16(1), bufLe16(0), bufWifiEntry(0, 9, "Lab")})},
         {"detectors 010", "wifiStatus ", "wifiRow Lab 9 0"},
         {},
         "\r\n{ip} Check device failed"},
        {"182", {.m_byType = 182}, {"refresh"}, {}, "\r\n{ip} Modify password success"},
        {"183", {.m_byType = 183}, {"refresh"}, {}, "\r\n{ip} Modify password failed"},
        {"184",
         {.m_byType = 184, .m_usPayloadLen = 5, .m_payload = bufField("hello", 8)},
         {"logText hello"},
         {},
         std::nullopt},
        {"184 too long",
         {.m_byType = 184, .m_usPayloadLen = 1024, .m_payload = bufField("x", 8)},
         {},
         {},
         std::nullopt},
        {"unknown type", {.m_byType = 200}, {}, {}, std::nullopt},
        {"type 0", {.m_byType = 0}, {}, {}, std::nullopt},
    };
}

}  // namespace

TEST_F(LanDispatchTest, EveryReplyTypeActsAndWritesItsLine) {
    for (const CDispatchRow& row : vecDispatchRows()) {
        for (const bool registered : {true, false}) {
            CFakeSender sender;
            CFakeView view;
            CStation station(sender, view);
            view.vAttachViews(station);
            station.registry().sAddOrUpdateDevice(sMakeDev(kIpA, kUidA));
            station.registry().sAddOrUpdateDevice(sMakeDev(kIpB, kUidB));
            station.registry().vSetListSelect(0);
            const std::string ip = registered ? kIpB : kIpStranger;
            station.vParseLanInfo(bufReply(row.m_reply), uiAddr(ip));

            std::vector<std::string> events;
            for (const std::string& event : row.m_events) {
                events.push_back(strExpand(event, ip, kUidB));
            }
            std::vector<std::string> lines;
            for (const std::string& line : row.m_actionLines) {
                lines.push_back(strExpand(line, ip, kUidB));
            }
            if (registered && row.m_resultLine) {
                lines.push_back(strExpand(*row.m_resultLine, ip, kUidB));
            }
            const std::string where =
                std::string(row.m_pszName) + (registered ? "" : " (stranger)");
            EXPECT_EQ(view.vecEvents(), events) << where;
            EXPECT_EQ(view.vecResults(), lines) << where;
        }
    }
}

TEST_F(LanDispatchTest, StartByteIsNotExamined) {
    auto reply = bufReply({.m_byType = 107});
    reply[0] = 0x00;
    m_station.vParseLanInfo(reply, uiAddr(kIpA));
    EXPECT_EQ(m_view.vecResults(),
              (std::vector<std::string>{"\r\n10.0.0.1 Format SD card success"}));
}

TEST_F(LanDispatchTest, ResultLinesOfEveryCode) {
    // Every code with a line; all other codes (105, 115, 132 and 144 among them) write
    // nothing at all.
    const std::map<int, std::string> lines = {
        {56, "\r\n{ip} Send start print log command"},
        {57, "\r\n{ip} Send stop print log command"},
        {104, "\r\n{ip} Check updgrade file in SD card success"},
        {107, "\r\n{ip} Format SD card success"},
        {109, "\r\n{ip} Code success"},
        {110, "\r\n{ip} Code failed"},
        {111, "\r\n{ip} Setting cable network parameters successfully"},
        {112, "\r\n{ip} Setting cable network parameters failed"},
        {113, "\r\n{ip} To restart"},
        {114, "\r\n{ip} Began to recover the factory"},
        {116, "\r\n{ip} Set uid failed"},
        {124, "\r\ndev uid:{uid} ip:{ip} 连接wifi成功"},
        {125, "\r\ndev uid:{uid} ip:{ip} 连接wifi失败"},
        {126, "\r\n{ip} Get video param success"},
        {127, "\r\n{ip} Get video param failed"},
        {128, "\r\n{ip} Set video param success"},
        {129, "\r\n{ip} Set video param failed"},
        {131, "\r\n{ip} Check updgrade file in SD card failed"},
        {141, "\r\n{ip} Set wifi success"},
        {142, "\r\n{ip} Set wifi failed"},
        {145, "\r\n{ip} Get version failed"},
        {146, "\r\n{ip} Query sensor success"},
        {147, "\r\n{ip} Query sensor failed"},
        {153, "\r\n{ip} Get motor timer success"},
        {154, "\r\n{ip} Get motor timer failed"},
        {157, "\r\n{ip} Get motor pos success"},
        {158, "\r\n{ip} Get motor pos failed"},
        {159, "\r\n{ip} Zero motor pos success"},
        {160, "\r\n{ip} Zero motor pos failed"},
        {161, "\r\n{ip} Motor movo  right success"},
        {163, "\r\n{ip} Motor movo  left success"},
        {165, "\r\n{ip} Stop motor move horizontal success"},
        {166, "\r\nuid:{uid} ip:{ip} Connect wifi failed"},
        {167, "\r\n{ip} Motor movo  up success"},
        {169, "\r\n{ip} Motor movo  down success"},
        {170, "\r\n{ip} Motor movo  down failed"},
        {171, "\r\n{ip} Stop motor move vertical success"},
        {172, "\r\n{ip} Stop motor move vertical failed"},
        {173, "\r\n{ip} Code success"},
        {174, "\r\n{ip} Code failed"},
        {180, "\r\n{ip} Check device success"},
        {181, "\r\n{ip} Check device failed"},
        {182, "\r\n{ip} Modify password success"},
        {183, "\r\n{ip} Modify password failed"},
        {4134, "\r\nfile name err"},
    };
    const CDevInfo devInfo = sMakeDev("192.168.7.21", "KSTC-000003-ABCDEFGH");
    std::vector<int> codes;
    for (int code = -1; code <= 300; ++code) {
        codes.push_back(code);
    }
    codes.insert(codes.end(), {4133, 4134, 4135, 65536 + 107});
    for (const int code : codes) {
        const auto result = sResultOfCode(code, devInfo, false);
        const auto expected = lines.find(code);
        if (expected == lines.end()) {
            EXPECT_FALSE(result) << code;
            continue;
        }
        ASSERT_TRUE(result) << code;
        EXPECT_EQ(result->m_iCode, code);
        EXPECT_EQ("\r\n" + strFormatResult(*result),
                  strExpand(expected->second, devInfo.m_strIp, devInfo.m_strUid))
            << code;
    }
    EXPECT_EQ(strFormatResult(*sResultOfCode(166, devInfo, true)),
              "uid:KSTC-000003-ABCDEFGH ip:192.168.7.21 Connect wifi success");
}

TEST_F(LanDispatchTest, ShowCmdResultNeedsARecordAndAddressZeroMeansTheSelection) {
    m_station.vShowCmdResult(0, 4134);
    m_station.vShowCmdResult(0, 56);
    m_station.vShowCmdResult(uiAddr(kIpB), 57);
    m_station.vShowCmdResult(uiAddr(kIpStranger), 57);
    m_station.registry().vSetListSelect(-1);
    m_station.vShowCmdResult(0, 4134);
    EXPECT_EQ(
        m_view.vecResults(),
        (std::vector<std::string>{"\r\nfile name err", "\r\n10.0.0.1 Send start print log command",
                                  "\r\n10.0.0.2 Send stop print log command"}));
}

TEST_F(LanDispatchTest, ConfigItemLineFollowsTheLastItemKind) {
    const std::map<int, std::string> keys = {
        {0, "Change the default safe password is successful"},
        {1, "Change the default user password is successful"},
        {2, "Change the default sound volume is successful"},
        {3, "modify default push notify on success"},
        {4, "modify default push notify off success"},
        {6, "Modify the custom configuration success"},
    };
    for (int kind = -1; kind <= 7; ++kind) {
        m_view.vClear();
        m_station.config().vSetConfigItemKind(kind);
        vDispatch({.m_byType = 25}, kIpA);
        vDispatch({.m_byType = 25, .m_byParam = 1}, kIpA);
        std::vector<std::string> expected;
        if (const auto key = keys.find(kind); key != keys.end()) {
            expected.push_back("\r\n10.0.0.1 " + key->second);
        }
        EXPECT_EQ(m_view.vecResults(), expected) << kind;
    }
}

TEST_F(LanDispatchTest, ControlReplyReportsAPendingMacUpdateOnce) {
    m_station.config().vSetMacRequestPending(true);
    vDispatch({.m_byType = 55}, kIpA);
    vDispatch({.m_byType = 55}, kIpA);
    EXPECT_EQ(m_view.vecResults(),
              (std::vector<std::string>{
                  "\r\n10.0.0.1 send key success",
                  "\r\n10.0.0.1 update eth mac success,After the restart to take effect",
                  "\r\n10.0.0.1 send key success"}));
}

TEST_F(LanDispatchTest, SavedKeyFunctionsAreReadAgainFromTheSelectedDevice) {
    vDispatch({.m_byType = 26, .m_uiWordB = 0x1005}, kIpB);
    const auto sent = m_sender.vecSent();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].m_uiAddr, uiAddr(kIpA));
    EXPECT_EQ(sent[0].m_bytes, WireBytes("A8 1A 00 00 00x4 02 10 00 00 00x4"));
}

TEST_F(LanDispatchTest, CalibrationStartIsRememberedForItsDevice) {
    vDispatch({.m_byType = 26, .m_uiWordB = 0x1007, .m_payload = bufLe32(11)}, kIpB);
    EXPECT_TRUE(m_station.camera().fgCalibrating());
    EXPECT_EQ(m_station.camera().uiCalibrationAddr(), uiAddr(kIpB));
    m_view.vClear();
    m_station.camera().vEndCalibration();
    EXPECT_FALSE(m_station.camera().fgCalibrating());
    EXPECT_EQ(m_view.vecResults(),
              (std::vector<std::string>{"\r\n10.0.0.2 The calibration completed"}));
}

TEST_F(LanDispatchTest, TwentySetUidSuccessesRefreshOnTheTwentieth) {
    ASSERT_TRUE(m_station.devCmd().fgSetUid("KSTZ-000026-ZYXWVUTS"));
    m_sender.vClear();
    for (int reply = 1; reply <= 20; ++reply) {
        m_view.vClear();
        m_sender.vClear();
        vDispatch({.m_byType = 115}, kIpA);
        const auto sent = m_sender.vecSent();
        if (reply < 20) {
            EXPECT_TRUE(m_view.vecEvents().empty()) << reply;
            ASSERT_EQ(sent.size(), 1U) << reply;
            EXPECT_EQ(sent[0].m_ePath, CSentDatagram::EPath::kToDev);
            EXPECT_EQ(sent[0].m_uiAddr, uiAddr(kIpA));
            EXPECT_EQ(sent[0].m_bytes, WireBytes("A8 01 00x14"));
        } else {
            EXPECT_EQ(m_view.vecEvents(), (std::vector<std::string>{"refresh"}));
            EXPECT_TRUE(sent.empty());
        }
        EXPECT_EQ(m_view.vecResults(),
                  (std::vector<std::string>{"\r\n10.0.0.1 Set uid success KSTZ-000026-ZYXWVUTS"}))
            << reply;
    }
    EXPECT_EQ(m_station.devCmd().iSetUidSuccessCount(), 20);
}

TEST_F(LanDispatchTest, LoginRepliesSetTheStateOfTheSenderInBothViews) {
    vDispatch({.m_byType = 180}, kIpB);
    EXPECT_EQ(m_station.registry().sRow(1)->m_iLoginState, kLoginAccepted);
    EXPECT_EQ(m_station.registry().sRow(0)->m_iLoginState, kLoginUnknown);
    vDispatch({.m_byType = 181}, kIpA);
    EXPECT_EQ(m_station.registry().sRow(0)->m_iLoginState, kLoginRefused);

    ASSERT_TRUE(m_station.registry().fgApplyFilter("kstb"));
    vDispatch({.m_byType = 181}, kIpB);
    EXPECT_EQ(m_station.registry().sRow(0)->m_iLoginState, kLoginRefused);
    EXPECT_EQ(m_station.registry().vecFullView()[1].m_iLoginState, kLoginRefused);
}

TEST_F(LanDispatchTest, RefusalWithoutSelectionChangesNothingButItsLine) {
    m_station.registry().vSetListSelect(-1);
    vDispatch({.m_byType = 181, .m_abyExtra = {1, 1, 1}}, kIpA);
    vDispatch({.m_byType = 181}, kIpStranger);
    EXPECT_EQ(m_station.registry().sRow(0)->m_iLoginState, kLoginUnknown);
    EXPECT_TRUE(m_view.vecEvents().empty());
    EXPECT_EQ(m_view.vecResults(), (std::vector<std::string>{"\r\n10.0.0.1 Check device failed"}));
}

TEST_F(LanDispatchTest, LoginReplyReadsOnlyTheNetworksItHolds) {
    // The count says 50, two whole entries and part of a third arrived.
    const auto reply =
        bufReply({.m_byType = 180,
                  .m_payload = bufCat({bufLe16(50), bufLe16(2), bufWifiEntry(3, 70, "Net1"),
                                       bufWifiEntry(0, 55, "Net2"), bufField("Net3", 20)})});
    m_station.vParseLanInfo(reply, uiAddr(kIpA));
    EXPECT_EQ(m_view.vecEvents(),
              (std::vector<std::string>{"detectors 000", "wifiRow Net1 70 3", "wifiRow Net2 55 0",
                                        "wifiStatus Net2"}));

    // The count says 2 and the connected number points past it; a full-width SSID.
    m_view.vClear();
    vDispatch(
        {.m_byType = 180,
         .m_payload = bufCat({bufLe16(1), bufLe16(2), bufWifiEntry(1, 1, std::string(32, 'S')),
                              bufWifiEntry(2, 2, "Unread")})},
        kIpA);
    EXPECT_EQ(
        m_view.vecEvents(),
        (std::vector<std::string>{"detectors 000", "wifiRow " + std::string(32, 'S') + " 1 1"}));

    // A header alone: no networks, connected number 0.
    m_view.vClear();
    m_station.vParseLanInfo(std::vector<std::uint8_t>(bufReply({.m_byType = 180})), uiAddr(kIpA));
    EXPECT_EQ(m_view.vecEvents(), (std::vector<std::string>{"detectors 000", "wifiStatus "}));
}

TEST_F(LanDispatchTest, SensorListReadsOnlyTheEntriesItHolds) {
    const auto entries = bufCat({{11},
                                 bufField("", 39),
                                 {22},
                                 bufField("", 39),
                                 {33},
                                 bufField("", 39),
                                 {44},
                                 bufField("", 10)});
    vDispatch({.m_byType = 146, .m_uiWordA = 1000, .m_payload = entries}, kIpA);
    vDispatch({.m_byType = 146, .m_uiWordA = 1, .m_payload = entries}, kIpA);
    vDispatch({.m_byType = 146, .m_uiWordA = 0xFFFFFFFF}, kIpA);
    // The count is header byte 4 alone: what follows it in the header is not part of it.
    vDispatch({.m_byType = 146, .m_uiWordA = 0x0102, .m_payload = entries}, kIpA);
    EXPECT_EQ(m_view.vecEvents(),
              (std::vector<std::string>{"sensorList 3 11 22 33", "sensorList 1 11", "sensorList 0",
                                        "sensorList 2 11 22"}));
}

TEST_F(LanDispatchTest, TextRepliesStopAtTheDatagramEnd) {
    vDispatch({.m_byType = 184, .m_usPayloadLen = 1023, .m_payload = bufField("tail", 4)}, kIpA);
    vDispatch({.m_byType = 184, .m_usPayloadLen = 2, .m_payload = bufField("tail", 4)}, kIpA);
    vDispatch({.m_byType = 184, .m_usPayloadLen = 0xFFFF, .m_payload = bufField("tail", 4)}, kIpA);
    vDispatch({.m_byType = 144, .m_usPayloadLen = 0xFFFF, .m_payload = {'k', 0, 'v'}}, kIpA);
    vDispatch({.m_byType = 144, .m_usPayloadLen = 0}, kIpA);
    EXPECT_EQ(m_view.vecEvents(), (std::vector<std::string>{"logText tail", "logText ta",
                                                            "configText k v", "configText "}));
    // A truncated header still dispatches on what arrived.
    m_station.vParseLanInfo(std::vector<std::uint8_t>{0xA8, 184, 0xFF}, uiAddr(kIpA));
    m_station.vParseLanInfo(std::vector<std::uint8_t>{0xA8, 146}, uiAddr(kIpA));
    m_station.vParseLanInfo(std::vector<std::uint8_t>{}, uiAddr(kIpA));
    EXPECT_EQ(m_view.vecEvents().back(), "sensorList 0");
}

TEST_F(LanDispatchTest, CapabilityBlockNeedsLengthFieldAndBytesOf80) {
    std::vector<std::uint8_t> ability(80, 0);
    ability[10] = 0x02;                               // panoramic
    ability[6] = 0x20;                                // word at 4, bit 21: gateway
    const std::vector<std::uint8_t> plain(80, 0x01);  // neither bit
    vDispatch({.m_byType = 192, .m_usPayloadLen = 79, .m_payload = ability}, kIpA);
    auto shortReply = bufReply({.m_byType = 192, .m_usPayloadLen = 80, .m_payload = ability});
    shortReply.pop_back();
    m_station.vParseLanInfo(shortReply, uiAddr(kIpA));
    EXPECT_TRUE(m_view.vecEvents().empty());
    EXPECT_EQ(m_station.registry().sRow(0)->m_abyAbility, (std::array<std::uint8_t, 80>{}));

    vDispatch({.m_byType = 192, .m_usPayloadLen = 80, .m_payload = ability}, kIpA);
    EXPECT_EQ(m_view.vecEvents(),
              (std::vector<std::string>{"deviceType fullview dev Gateway Dev"}));
    EXPECT_EQ(m_station.registry().sRow(0)->m_abyAbility[10], 0x02);

    // Another device's block is stored but does not touch the selected device's text.
    m_view.vClear();
    vDispatch({.m_byType = 192, .m_usPayloadLen = 200, .m_payload = plain}, kIpB);
    vDispatch({.m_byType = 192, .m_usPayloadLen = 80, .m_payload = ability}, kIpStranger);
    EXPECT_TRUE(m_view.vecEvents().empty());
    EXPECT_EQ(m_station.registry().sRow(1)->m_abyAbility[0], 0x01);

    vDispatch({.m_byType = 192, .m_usPayloadLen = 80, .m_payload = plain}, kIpA);
    EXPECT_EQ(m_view.vecEvents(), (std::vector<std::string>{"deviceType "}));
    EXPECT_TRUE(m_view.vecResults().empty());
}

TEST_F(LanDispatchTest, WifiResultNamesTheSelectedLoggedInDeviceConnected) {
    const auto result = bufField("HomeNet", 32);
    vDispatch({.m_byType = 180}, kIpA);
    ASSERT_TRUE(m_station.login().fgConnectWifi("HomeNet", 4, "pw"));
    m_view.vClear();
    m_sender.vClear();

    vDispatch({.m_byType = 166, .m_payload = result}, kIpA);
    const std::string success = "\r\nuid:KSTA-000001-ABCDEFGH ip:10.0.0.1 Connect wifi success";
    EXPECT_EQ(m_view.vecEvents(), (std::vector<std::string>{"stopWifiPoll", "wifiStatus HomeNet",
                                                            "wifiResult " + success.substr(2)}));
    EXPECT_EQ(m_view.vecResults(), (std::vector<std::string>{success}));
    EXPECT_EQ(m_station.login().iWifiPollCountdown(), 0);

    // From another device: failed, and the status line stays.
    m_view.vClear();
    vDispatch({.m_byType = 166, .m_payload = result}, kIpB);
    const std::string failed = "\r\nuid:KSTB-000002-ABCDEFGH ip:10.0.0.2 Connect wifi failed";
    EXPECT_EQ(m_view.vecEvents(), (std::vector<std::string>{"wifiResult " + failed.substr(2)}));
    EXPECT_EQ(m_view.vecResults(), (std::vector<std::string>{failed}));

    // The receive thread never waits for a login: a device not yet logged in is not
    // taken as connected, and nothing is sent.
    m_view.vClear();
    m_station.registry().vSetListSelect(1);
    vDispatch({.m_byType = 166, .m_payload = result}, kIpB);
    EXPECT_EQ(m_view.vecResults(), (std::vector<std::string>{failed}));
    EXPECT_TRUE(m_sender.vecSent().empty());

    // A stranger's result changes nothing and writes no line.
    m_view.vClear();
    vDispatch({.m_byType = 166, .m_payload = result}, kIpStranger);
    EXPECT_TRUE(m_view.vecEvents().empty());
    EXPECT_TRUE(m_view.vecResults().empty());
}

TEST_F(LanDispatchTest, AnnouncementsAskLoginRequestsToIdentify) {
    struct CCase {
        const char* m_pszName;
        std::vector<std::uint8_t> m_datagram;
        bool m_fgSearch;
    };
    const auto announcement = [](std::uint8_t start, std::uint32_t type, std::uint32_t length,
                                 std::size_t size) {
        auto datagram = bufCat({{start, 0, 0, 0}, bufLe32(type), bufLe32(0), bufLe32(length)});
        datagram.resize(size, 0xEE);
        return datagram;
    };
    const std::vector<CCase> cases = {
        {"type 93", announcement(0x68, 93, 12, 24), true},
        {"type 7", announcement(0x68, 7, 12, 24), true},
        {"type 10", announcement(0x68, 10, 4096, 24), true},
        {"type 94, long", announcement(0x68, 94, 12, 1500), true},
        {"type 8", announcement(0x68, 8, 12, 24), false},
        {"type 349", announcement(0x68, 349, 12, 24), false},
        {"length field 11", announcement(0x68, 93, 11, 24), false},
        {"23 bytes", announcement(0x68, 93, 12, 23), false},
        {"start byte A8", announcement(0xA8, 93, 12, 24), false},
        {"empty", {}, false},
    };
    for (const CCase& announcementCase : cases) {
        m_sender.vClear();
        m_station.discovery().vParseIpcToNvrInfo(announcementCase.m_datagram, uiAddr(kIpStranger));
        const auto sent = m_sender.vecSent();
        if (!announcementCase.m_fgSearch) {
            EXPECT_TRUE(sent.empty()) << announcementCase.m_pszName;
            continue;
        }
        ASSERT_EQ(sent.size(), 1U) << announcementCase.m_pszName;
        EXPECT_EQ(sent[0].m_ePath, CSentDatagram::EPath::kToDev);
        EXPECT_EQ(sent[0].m_uiAddr, uiAddr(kIpStranger));
        EXPECT_EQ(sent[0].m_usPort, kPortCommand);
        EXPECT_EQ(sent[0].m_bytes, WireBytes("A8 01 00x14"));
    }
    EXPECT_TRUE(m_view.vecEvents().empty());
    EXPECT_TRUE(m_view.vecResults().empty());
}

TEST_F(LanDispatchTest, TransportCallbacksReachTheDispatcherAndTheAnnouncementHandler) {
    m_station.vOnDatagram(bufReply({.m_byType = 107}), CEndpoint{uiAddr(kIpB), 24216});
    auto announcement = bufCat({{0x68, 0, 0, 0}, bufLe32(93), bufLe32(0), bufLe32(12)});
    announcement.resize(24);
    m_station.vOnAnnouncement(announcement, CEndpoint{uiAddr(kIpB), 34226});
    EXPECT_EQ(m_view.vecResults(),
              (std::vector<std::string>{"\r\n10.0.0.2 Format SD card success"}));
    ASSERT_EQ(m_sender.vecSent().size(), 1U);
    EXPECT_EQ(m_sender.vecSent()[0].m_uiAddr, uiAddr(kIpB));
}

// Every reply type the station acts on reaches a feature: a type (or extended
// sub-reply) left without one would be dropped, so the table is checked whole.
TEST_F(LanDispatchTest, EveryReplyTypeOfTheTableHasAHandler) {
    for (const std::uint8_t type : kStationReplyTypes) {
        if (type == kCmdExtended) {
            continue;  // routed by its sub-reply, below
        }
        EXPECT_NE(m_station.router().psHandler(type), nullptr) << static_cast<int>(type);
    }
    for (const std::uint32_t subReply : kStationExtReplies) {
        EXPECT_NE(m_station.router().psExtHandler(subReply), nullptr) << subReply;
    }
    // Anything else is said in a diagnostic line instead of vanishing.
    std::string log;
    {
        CCaptureStderr capture;
        vDispatch({.m_byType = 200}, kIpA);
        log = capture.text();
    }
    EXPECT_NE(log.find("reply 200 (0) from 10.0.0.1 not handled"), std::string::npos) << log;
}
