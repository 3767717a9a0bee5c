#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/dev_list_format.h"

namespace {

CDevInfo sDevice(std::string ip, std::string uid, std::string version) {
    CDevInfo device;
    device.m_strIp = std::move(ip);
    device.m_strUid = std::move(uid);
    device.m_strVersion = std::move(version);
    device.m_strEthMac = "0  :1A : 2B : C : 4D : 5E";
    device.m_strWifiMac = "0 : 1A : 2B : C : 4D : 5F";
    device.m_iUseEth = 1;
    device.m_uiDevFlags = 0x80000001U;
    device.m_uiSdFigure1 = 30436;
    return device;
}

}  // namespace

TEST(DevListTable, ShowsTheListColumnsAligned) {
    const std::string table = strDevListTable(
        {sDevice("127.0.0.2", "ABCD1234567890123456", "3.1.2"), sDevice("127.0.0.3", "X", "9")});
    EXPECT_EQ(table,
              "ID  UID                   Version  IP         Mac Address\n"
              "1   ABCD1234567890123456  3.1.2    127.0.0.2  0  :1A : 2B : C : 4D : 5E\n"
              "2   X                     9        127.0.0.3  0  :1A : 2B : C : 4D : 5E\n");
}

TEST(DevListJson, EscapesWhatADeviceSends) {
    // Quotes, backslashes, control characters and invalid UTF-8 from a device must
    // still give valid JSON.
    const std::string json = strDevListJson({sDevice("10.0.0.1", "a\"b\\c\x01\xFF", "v")});
    EXPECT_NE(json.find(R"("uid": "a\"b\\c\u0001)"
                        "\xEF\xBF\xBD\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("wired_dhcp": 0)"), std::string::npos);
    EXPECT_NE(json.find(R"("sd1_mb": 30436)"), std::string::npos);
    EXPECT_NE(json.find(R"("flags": 2147483649)"), std::string::npos);
    EXPECT_NE(json.find(R"("device_type": "camera")"), std::string::npos);
    EXPECT_NE(json.find(R"("use_ethernet": 1})"), std::string::npos);
    EXPECT_EQ(strDevListJson({}), "[]\n");
}

TEST(DevListCsv, QuotesAndDefusesFormulas) {
    const std::string csv = strDevListCsv({sDevice("10.0.0.1", "=HYPERLINK(\"x\")", "1,2")});
    const size_t firstLineEnd = csv.find("\r\n");
    EXPECT_EQ(csv.substr(0, 20), "uid,version,ip,mac,w");
    const std::string row = csv.substr(firstLineEnd + 2);
    EXPECT_TRUE(row.starts_with("\"'=HYPERLINK(\"\"x\"\")\",\"1,2\",10.0.0.1,0  :1A")) << row;
}
