#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "protocol/cmd_header.h"
#include "protocol/dev_info.h"

namespace {

std::uint32_t Addr(const char* text) {
    std::uint32_t addrNet = 0;
    return fgParseIp(text, addrNet) ? addrNet : 0xFFFFFFFFU;
}

// A discovery reply with every field set, as a device on 192.168.1.50 sends it.
struct ReplyBuilder {
    std::array<std::uint8_t, kDiscoveryReplyBytes> bytes{};

    ReplyBuilder() {
        bytes[0] = 0xA8;
        bytes[1] = kReplyDiscovery;
        Text(16, "192.168.1.50");
        Text(32, "255.255.255.0");
        Text(48, "192.168.1.1");
        Text(64, "192.168.1.2");
        Word(80, 1);
        Text(84, "10.0.0.7");
        Text(100, "255.0.0.0");
        Text(116, "10.0.0.1");
        Text(132, "10.0.0.2");
        bytes[148] = 0xFF;
        const std::uint8_t ethMac[6] = {0x00, 0x1A, 0x2B, 0x0C, 0x4D, 0x5E};
        const std::uint8_t wifiMac[6] = {0xA0, 0x0B, 0xFF, 0x10, 0x01, 0x02};
        std::memcpy(bytes.data() + 152, ethMac, 6);
        std::memcpy(bytes.data() + 158, wifiMac, 6);
        Text(164, "KSTR-000123-ABCDE");
        Text(196, "V3.0.0.17");
        Word(228, 30436);
        Word(232, 1024);
        Word(236, 0x80000002);
    }
    ReplyBuilder& Text(std::size_t offset, const std::string& text) {
        std::memcpy(bytes.data() + offset, text.data(), text.size());
        return *this;
    }
    ReplyBuilder& Word(std::size_t offset, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
        return *this;
    }
    std::vector<std::uint8_t> Item(std::uint32_t senderNet) const {
        const auto item = sMakeDiscoveryItem(bytes, senderNet);
        return std::vector<std::uint8_t>(item->begin(), item->end());
    }
};

CDevInfo Build(const ReplyBuilder& reply, const char* sender) {
    const auto devInfo = vBuildDevInfo(reply.Item(Addr(sender)));
    EXPECT_TRUE(devInfo.has_value());
    return devInfo.value_or(CDevInfo{});
}

}  // namespace

TEST(DevInfo, BuildsEveryFieldFromTheReply) {
    const CDevInfo devInfo = Build(ReplyBuilder(), "192.168.1.50");
    EXPECT_EQ(devInfo.m_strIp, "192.168.1.50");
    EXPECT_EQ(devInfo.m_uiIpAddr, Addr("192.168.1.50"));
    EXPECT_EQ(devInfo.m_strEthIp, "192.168.1.50");
    EXPECT_EQ(devInfo.m_strEthMask, "255.255.255.0");
    EXPECT_EQ(devInfo.m_strEthGateway, "192.168.1.1");
    EXPECT_EQ(devInfo.m_strEthDns, "192.168.1.2");
    EXPECT_EQ(devInfo.m_uiEthDhcp, 1U);
    EXPECT_EQ(devInfo.m_strWifiIp, "10.0.0.7");
    EXPECT_EQ(devInfo.m_uiWifiIpAddr, Addr("10.0.0.7"));
    EXPECT_EQ(devInfo.m_strWifiMask, "255.0.0.0");
    EXPECT_EQ(devInfo.m_strWifiGateway, "10.0.0.1");
    EXPECT_EQ(devInfo.m_strWifiDns, "10.0.0.2");
    EXPECT_EQ(devInfo.m_iWifiDhcp, -1);
    EXPECT_EQ(devInfo.m_strEthMac, "0  :1A : 2B : C : 4D : 5E");
    EXPECT_EQ(devInfo.m_strWifiMac, "A0 : B : FF : 10 : 1 : 2");
    EXPECT_EQ(devInfo.m_strUid, "KSTR-000123-ABCDE");
    EXPECT_EQ(devInfo.m_strVersion, "V3.0.0.17");
    EXPECT_EQ(devInfo.m_uiSdFigure1, 30436U);
    EXPECT_EQ(devInfo.m_uiSdFigure2, 1024U);
    EXPECT_EQ(devInfo.m_uiDevFlags, 0x80000002U);
    EXPECT_EQ(devInfo.m_iLoginState, kLoginUnknown);
    EXPECT_EQ(devInfo.m_abyAbility, (std::array<std::uint8_t, kDevAbilityBytes>{}));
}

TEST(DevInfo, MacTextsKeepTheirBlankAndColonPattern) {
    const std::array<std::uint8_t, 6> mac = {0x00, 0x1A, 0x2B, 0x0C, 0x4D, 0x5E};
    EXPECT_EQ(strEthMacText(mac), "0  :1A : 2B : C : 4D : 5E");
    EXPECT_EQ(strWifiMacText(mac), "0 : 1A : 2B : C : 4D : 5E");
    const std::array<std::uint8_t, 6> high = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(strEthMacText(high), "FF  :FF : FF : FF : FF : FF");
}

TEST(DevInfo, UseEthernetFollowsTheAnsweringAddress) {
    struct Row {
        const char* wifiIp;
        const char* sender;
        int useEth;
    };
    for (const Row row : {Row{"10.0.0.7", "10.0.0.7", 0}, Row{"10.0.0.7", "192.168.1.50", 1},
                          Row{"", "192.168.1.50", 1}, Row{"not an address", "10.0.0.7", 1}}) {
        ReplyBuilder reply;
        std::fill(reply.bytes.begin() + 84, reply.bytes.begin() + 100, std::uint8_t{0});
        reply.Text(84, std::string(row.wifiIp).substr(0, 16));
        const CDevInfo devInfo = Build(reply, row.sender);
        EXPECT_EQ(devInfo.m_iUseEth, row.useEth) << row.wifiIp << " from " << row.sender;
        EXPECT_EQ(strShownMac(devInfo),
                  row.useEth == 1 ? devInfo.m_strEthMac : devInfo.m_strWifiMac);
    }
}

TEST(DevInfo, WifiDhcpByteIsSignExtended) {
    struct Row {
        std::uint8_t byte;
        std::int32_t flag;
    };
    for (const Row row :
         {Row{0x00, 0}, Row{0x01, 1}, Row{0x7F, 127}, Row{0x80, -128}, Row{0xFF, -1}}) {
        ReplyBuilder reply;
        reply.bytes[148] = row.byte;
        EXPECT_EQ(Build(reply, "10.0.0.7").m_iWifiDhcp, row.flag) << int{row.byte};
    }
}

TEST(DevInfo, FullTextsAreTakenAtFieldWidthOnly) {
    ReplyBuilder reply;
    // Every text field full, with no zero byte at all up to the version's end.
    for (std::size_t offset = 16; offset < 80; ++offset) {
        reply.bytes[offset] = static_cast<std::uint8_t>('a' + (offset / 16));
    }
    for (std::size_t offset = 84; offset < 148; ++offset) {
        reply.bytes[offset] = static_cast<std::uint8_t>('f' + (offset - 84) / 16);
    }
    reply.Text(164, std::string(32, 'U')).Text(196, std::string(32, 'V'));
    reply.bytes[148] = '!';
    const CDevInfo devInfo = Build(reply, "10.0.0.7");
    EXPECT_EQ(devInfo.m_strEthIp, std::string(16, 'b'));
    EXPECT_EQ(devInfo.m_strEthMask, std::string(16, 'c'));
    EXPECT_EQ(devInfo.m_strEthGateway, std::string(16, 'd'));
    EXPECT_EQ(devInfo.m_strEthDns, std::string(16, 'e'));
    EXPECT_EQ(devInfo.m_strWifiIp, std::string(16, 'f'));
    EXPECT_EQ(devInfo.m_strWifiMask, std::string(16, 'g'));
    EXPECT_EQ(devInfo.m_strWifiGateway, std::string(16, 'h'));
    EXPECT_EQ(devInfo.m_strWifiDns, std::string(16, 'i'));
    EXPECT_EQ(devInfo.m_strUid, std::string(32, 'U'));
    EXPECT_EQ(devInfo.m_strVersion, std::string(32, 'V'));
    EXPECT_EQ(devInfo.m_uiWifiIpAddr, kIpAddrNone);
}

TEST(DevInfo, OnlyExactLengthsAreAccepted) {
    const ReplyBuilder reply;
    const auto item = reply.Item(Addr("10.0.0.7"));
    for (const std::size_t length : {0UL, 1UL, 240UL, 243UL}) {
        EXPECT_FALSE(vBuildDevInfo(std::span(item).first(length)).has_value()) << length;
    }
    std::vector<std::uint8_t> longer = item;
    longer.push_back(0);
    EXPECT_FALSE(vBuildDevInfo(longer).has_value());

    for (const std::size_t length : {0UL, 16UL, 239UL, 241UL, 244UL}) {
        std::vector<std::uint8_t> datagram(length, 0);
        EXPECT_FALSE(sMakeDiscoveryItem(datagram, 1).has_value()) << length;
    }
    const auto made = sMakeDiscoveryItem(reply.bytes, Addr("10.1.2.3"));
    ASSERT_TRUE(made.has_value());
    EXPECT_EQ(0, std::memcmp(made->data(), reply.bytes.data(), kDiscoveryReplyBytes));
    EXPECT_EQ(0, std::memcmp(made->data() + 240, "\x0A\x01\x02\x03", 4));
}

TEST(DevInfo, FlagsWordNamesTheDeviceKind) {
    struct Row {
        std::uint32_t flags;
        int typeIndex;
        bool fullView;
        bool camera;
    };
    for (const Row row : {Row{0x80000000, 0, false, true}, Row{0x80000003, 3, false, true},
                          Row{0x80000080, -128, false, true}, Row{0x000000FF, -1, false, false},
                          Row{0xA0000001, 1, true, true}, Row{0x20000000, 0, true, false}}) {
        EXPECT_EQ(iDevTypeIndex(row.flags), row.typeIndex) << std::hex << row.flags;
        EXPECT_EQ(fgDevFullView(row.flags), row.fullView) << std::hex << row.flags;
        EXPECT_EQ(fgDevIsCamera(row.flags), row.camera) << std::hex << row.flags;
    }
}

TEST(DevAbility, ParsedOnlyWhenAllEightyBytesArrived) {
    struct Row {
        const char* name;
        std::size_t datagramBytes;
        std::uint16_t lengthField;
        bool parsed;
    };
    const std::vector<Row> rows = {
        {"exact", 96, 80, true},
        {"length field 79", 96, 79, false},
        {"length field larger than sent", 96, 0xFFFF, true},
        {"longer datagram", 200, 120, true},
        {"field says 80 but the datagram is short", 95, 80, false},
        {"header only", 16, 80, false},
        {"shorter than a header", 10, 80, false},
    };
    for (const Row& row : rows) {
        std::vector<std::uint8_t> datagram(row.datagramBytes, 0);
        for (std::size_t i = 0; i < datagram.size(); ++i) {
            datagram[i] = static_cast<std::uint8_t>(i);
        }
        if (datagram.size() >= 4) {
            datagram[1] = kReplyAbility;
            vWriteLe16(datagram, 2, row.lengthField);
        }
        const auto ability = sParseDevAbility(datagram);
        ASSERT_EQ(ability.has_value(), row.parsed) << row.name;
        if (ability) {
            EXPECT_EQ((*ability)[0], 16);
            EXPECT_EQ((*ability)[79], 95);
        }
    }
}

TEST(DevAbility, StoresAtMostEightyBytesAndZeroesTheRest) {
    CDevInfo devInfo;
    devInfo.m_abyAbility.fill(0xEE);
    const std::vector<std::uint8_t> shortPayload = {1, 2, 3};
    vSetDevAbility(devInfo, shortPayload);
    EXPECT_EQ(devInfo.m_abyAbility[0], 1);
    EXPECT_EQ(devInfo.m_abyAbility[2], 3);
    EXPECT_EQ(devInfo.m_abyAbility[3], 0);
    EXPECT_EQ(devInfo.m_abyAbility[79], 0);

    const std::vector<std::uint8_t> longPayload(100, 0x42);
    vSetDevAbility(devInfo, longPayload);
    std::array<std::uint8_t, kDevAbilityBytes> expected{};
    expected.fill(0x42);
    EXPECT_EQ(devInfo.m_abyAbility, expected);
}

TEST(DevAbility, ReadsThePanoramicAndGatewayBits) {
    struct Row {
        std::size_t offset;
        std::uint8_t value;
        bool fullView;
        bool gateway;
    };
    for (const Row row :
         {Row{10, 0x02, true, false}, Row{10, 0xFD, false, false}, Row{6, 0x20, false, true},
          Row{6, 0xDF, false, false}, Row{4, 0xFF, false, false}}) {
        std::array<std::uint8_t, kDevAbilityBytes> ability{};
        ability[row.offset] = row.value;
        EXPECT_EQ(fgAbilityFullView(ability), row.fullView) << row.offset << " " << +row.value;
        EXPECT_EQ(fgAbilityGateway(ability), row.gateway) << row.offset << " " << +row.value;
    }
}
