#include <gtest/gtest.h>

#include <string>

#include "devsim/sim_wire.h"
#include "station_probe.h"

using namespace devsim;

namespace {

CDiscoveryInfo sSampleInfo() {
    CDiscoveryInfo info;
    info.m_strWiredIp = "10.1.2.3";
    info.m_strWiredMask = "255.255.255.0";
    info.m_strWiredGateway = "10.1.2.1";
    info.m_strWiredDns = "10.1.2.254";
    info.m_fgWiredDhcp = true;
    info.m_strWifiIp = "192.168.77.9";
    info.m_strWifiMask = "255.255.0.0";
    info.m_strWifiGateway = "192.168.77.1";
    info.m_strWifiDns = "8.8.8.8";
    info.m_fgWifiDhcp = true;
    info.m_wiredMac = {0x00, 0x1A, 0x2B, 0x0C, 0x4D, 0x5E};
    info.m_wifiMac = {0x02, 0x4B, 0x57, 0x00, 0x00, 0x07};
    info.m_strUid = "ABCD1234567890EFGHIJ";
    info.m_strVersion = "V3.4.7.240612";
    info.m_uiSdTotalMb = 30436;
    info.m_uiSdFreeMb = 0x01020304;
    info.m_uiFlags = 0xA0000003;
    return info;
}

}  // namespace

TEST(SimWire, DiscoveryReplyLayout) {
    const CBytes reply = sBuildDiscoveryReply(sSampleInfo());
    ASSERT_EQ(reply.size(), 240U);
    EXPECT_EQ(reply[0], 0xA8);
    EXPECT_EQ(reply[1], 101);
    struct CTextField {
        std::size_t m_offset;
        std::size_t m_width;
        const char* m_text;
    };
    const CTextField texts[] = {
        {16, 16, "10.1.2.3"},       {32, 16, "255.255.255.0"}, {48, 16, "10.1.2.1"},
        {64, 16, "10.1.2.254"},     {84, 16, "192.168.77.9"},  {100, 16, "255.255.0.0"},
        {116, 16, "192.168.77.1"},  {132, 16, "8.8.8.8"},      {164, 32, "ABCD1234567890EFGHIJ"},
        {196, 32, "V3.4.7.240612"},
    };
    for (const CTextField& field : texts) {
        EXPECT_EQ(strField(reply, field.m_offset, field.m_width), field.m_text) << field.m_offset;
    }
    EXPECT_EQ(iLe32(reply, 80), 1U);
    EXPECT_EQ(reply[148], 1);
    EXPECT_EQ(CBytes(reply.begin() + 152, reply.begin() + 158),
              (CBytes{0x00, 0x1A, 0x2B, 0x0C, 0x4D, 0x5E}));
    EXPECT_EQ(CBytes(reply.begin() + 158, reply.begin() + 164),
              (CBytes{0x02, 0x4B, 0x57, 0x00, 0x00, 0x07}));
    EXPECT_EQ((CBytes{reply[228], reply[229], reply[230], reply[231]}),
              (CBytes{0xE4, 0x76, 0x00, 0x00}));
    EXPECT_EQ((CBytes{reply[232], reply[233], reply[234], reply[235]}),
              (CBytes{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ((CBytes{reply[236], reply[237], reply[238], reply[239]}),
              (CBytes{0x03, 0x00, 0x00, 0xA0}));
}

// Fields that are too long fill their width without a terminator and never spill
// into the next field.
TEST(SimWire, FullWidthTextsStayInTheirFields) {
    CDiscoveryInfo info = sSampleInfo();
    info.m_strWiredIp = "123.123.123.123X";  // 16 characters
    info.m_strUid = std::string(40, 'U');
    const CBytes reply = sBuildDiscoveryReply(info);
    EXPECT_EQ(std::string(reply.begin() + 16, reply.begin() + 32), "123.123.123.123X");
    EXPECT_EQ(strField(reply, 32, 16), "255.255.255.0");
    EXPECT_EQ(std::string(reply.begin() + 164, reply.begin() + 196), std::string(32, 'U'));
    EXPECT_EQ(strField(reply, 196, 32), "V3.4.7.240612");
}

TEST(SimWire, LoginReplyCarriesFlagsAndWifiList) {
    const CWifiListEntry networks[] = {{4, 82, "Lab"}, {0, 0x1234, std::string(40, 'S')}};
    const CBytes reply = sBuildLoginReply(true, {true, false, true}, networks, 2);
    ASSERT_EQ(reply.size(), 20U + 2 * 36);
    EXPECT_EQ(reply[1], 180);
    EXPECT_EQ(iLe16(reply, 2), 4 + 2 * 36);
    EXPECT_EQ((CBytes{reply[13], reply[14], reply[15]}), (CBytes{1, 0, 1}));
    EXPECT_EQ(iLe16(reply, 16), 2);
    EXPECT_EQ(iLe16(reply, 18), 2);
    EXPECT_EQ(reply[20], 4);
    EXPECT_EQ(iLe16(reply, 22), 82);
    EXPECT_EQ(strField(reply, 24, 32), "Lab");
    EXPECT_EQ(reply[56], 0);
    EXPECT_EQ(iLe16(reply, 58), 0x1234);
    EXPECT_EQ(std::string(reply.begin() + 60, reply.begin() + 92), std::string(32, 'S'));

    const CBytes refused = sBuildLoginReply(false, {false, false, false}, {}, 0);
    EXPECT_EQ(refused.size(), 20U);
    EXPECT_EQ(refused[1], 181);
    EXPECT_EQ(iLe16(refused, 16), 0);
}

TEST(SimWire, ReplyPayloadLayouts) {
    const CBytes capability = sBuildCapabilityReply(true, true);
    ASSERT_EQ(capability.size(), 96U);
    EXPECT_EQ(capability[1], 192);
    EXPECT_EQ(iLe16(capability, 2), 80);
    EXPECT_EQ(iLe32(capability, 20), 0x200000U);
    EXPECT_EQ(capability[26], 0x02);

    const CBytes video = sBuildVideoReply({18, 25, 4096, 1}, {6, 15, 512, 2});
    EXPECT_EQ(video, (CBytes{0xA8, 126, 16, 0,  0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0,
                             18,   25,  0,  16, 1, 0, 0, 0, 6, 15, 0, 2, 2, 0, 0, 0}));

    const CBytes position = sBuildMotorPosReply(0x9D, 300, 0x1234);
    EXPECT_EQ(CBytes(position.begin() + 12, position.end()),
              (CBytes{0x9D, 0, 0, 0, 0x2C, 0x01, 0x34, 0x12}));

    const std::uint32_t keys[] = {17, 18, 76, 117};
    const CBytes ext = sBuildExtReply(0x1003, 0, keys);
    EXPECT_EQ(ext[1], 26);
    EXPECT_EQ(iLe32(ext, 8), 0x1003U);
    EXPECT_EQ(iLe16(ext, 2), 16);
    EXPECT_EQ(iLe32(ext, 28), 117U);

    CSensorRecord sensor{7, 10, "Socket", 1, 60, 2, -40, -44};
    const CSensorRecord list[] = {sensor, sensor};
    const CBytes sensors = sBuildSensorListReply(list);
    EXPECT_EQ(sensors.size(), 16U + 80);
    EXPECT_EQ(sensors[4], 2);
    EXPECT_EQ(strField(sensors, 56, 32), "Socket");
    EXPECT_EQ(sensors[56 + 32], 7);
    EXPECT_EQ(sensors[56 + 34], 10);

    const CBytes learnt = sBuildLearnReply(109, sensor);
    EXPECT_EQ(learnt.size(), 68U);
    EXPECT_EQ(iLe32(learnt, 52), 7U);

    const CBytes result = sBuildSensorResultReply(80, 0, sensor);
    EXPECT_EQ(result.size(), 72U);
    EXPECT_EQ(iLe32(result, 52), 10U);
    EXPECT_EQ(iLe32(result, 56), 1U);
    EXPECT_EQ(iLe16(result, 60), 60);
    EXPECT_EQ(iLe16(result, 62), 2);
    EXPECT_EQ(iLe32(result, 64), static_cast<std::uint32_t>(-40));
    EXPECT_EQ(iLe32(result, 68), static_cast<std::uint32_t>(-44));

    const CBytes text = sBuildConfigTextReply("a=1\n");
    EXPECT_EQ(iLe16(text, 2), 4);
    EXPECT_EQ(text.size(), 21U);  // the text and its NUL
    EXPECT_EQ(sBuildLogReply(std::string(5000, 'x')).size(), 16U + 1023 + 1);
}

TEST(SimWire, AnnouncementLayout) {
    const CBytes datagram = sBuildAnnouncement(93, iAddr("127.0.0.5"));
    ASSERT_EQ(datagram.size(), 28U);
    EXPECT_EQ(datagram[0], 0x68);
    EXPECT_EQ(iLe32(datagram, 4), 93U);
    EXPECT_EQ(iLe32(datagram, 12), 12U);
    EXPECT_EQ((CBytes{datagram[16], datagram[17], datagram[18], datagram[19]}),
              (CBytes{127, 0, 0, 5}));
}

TEST(SimWire, ReadersNeverPassTheSpan) {
    const CBytes data{1, 2, 3, 4, 5, 0, 7};
    EXPECT_EQ(iGetU32(data, 3), 0x07000504U);  // the last four bytes
    EXPECT_EQ(iGetU32(data, 4), 0U);           // one byte short
    EXPECT_EQ(iGetU16(data, 6), 0U);
    EXPECT_EQ(iGetU16(data, 100), 0U);
    EXPECT_EQ(strGetText(data, 0, 32), std::string("\x01\x02\x03\x04\x05"));
    EXPECT_EQ(strGetText(data, 6, 32), "\x07");
    EXPECT_EQ(strGetText(data, 7, 32), "");
    EXPECT_FALSE(sParseHeader(CBytes(15, 0)).has_value());
    EXPECT_FALSE(sParseNetRequest(CBytes(83, 0)).has_value());
    EXPECT_FALSE(sParseVideoRequest(CBytes(31, 0)).has_value());
}

TEST(SimWire, MalformKinds) {
    struct CCase {
        EMalform m_kind;
        std::size_t m_size;
    };
    const CCase cases[] = {
        {EMalform::None, 240},    {EMalform::Short, 239},       {EMalform::Long, 241},
        {EMalform::Truncated, 8}, {EMalform::LyingCounts, 240},
    };
    for (const CCase& item : cases) {
        CBytes reply = sBuildDiscoveryReply(sSampleInfo());
        vMalform(reply, item.m_kind);
        EXPECT_EQ(reply.size(), item.m_size) << static_cast<int>(item.m_kind);
    }
    // Lying: the counts point past what the datagram holds.
    const CWifiListEntry networks[] = {{4, 80, "Lab"}};
    CBytes login = sBuildLoginReply(true, {}, networks, 1);
    vMalform(login, EMalform::LyingCounts);
    EXPECT_GT(16U + iLe16(login, 2), login.size());
    EXPECT_GT(20U + 36U * iLe16(login, 16), login.size());
    const CSensorRecord sensors[] = {{1, 3, "Door", 1, 0, 0, 0, 0}};
    CBytes list = sBuildSensorListReply(sensors);
    vMalform(list, EMalform::LyingCounts);
    EXPECT_GT(16U + 40U * list[4], list.size());
    CBytes log = sBuildLogReply("line\r\n");
    vMalform(log, EMalform::LyingCounts);
    EXPECT_GT(16U + iLe16(log, 2), log.size());
    EXPECT_LT(iLe16(log, 2), 1024);  // still a length the station would accept

    EXPECT_EQ(sMalformFromText("lying"), EMalform::LyingCounts);
    EXPECT_FALSE(sMalformFromText("bogus").has_value());
}
