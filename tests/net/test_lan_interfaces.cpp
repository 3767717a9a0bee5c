#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "lan_test_util.h"
#include "net/lan_interfaces.h"

namespace {

struct CBindAddrCase {
    std::string m_text;
    std::optional<CInterfaceAddr> m_expected;
};

void PrintTo(const CBindAddrCase& row, std::ostream* out) {
    *out << '"' << row.m_text << '"';
}

class BindAddr : public ::testing::TestWithParam<CBindAddrCase> {};

TEST_P(BindAddr, ParsesAddressAndPrefix) {
    EXPECT_EQ(sParseBindAddr(GetParam().m_text), GetParam().m_expected) << GetParam().m_text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BindAddr,
    ::testing::Values(
        CBindAddrCase{"127.0.0.1/8", CInterfaceAddr{iIp("127.0.0.1"), iIp("255.0.0.0")}},
        CBindAddrCase{"10.200.1.1/24", CInterfaceAddr{iIp("10.200.1.1"), iIp("255.255.255.0")}},
        CBindAddrCase{"192.168.7.9/23", CInterfaceAddr{iIp("192.168.7.9"), iIp("255.255.254.0")}},
        CBindAddrCase{"10.0.0.5/32", CInterfaceAddr{iIp("10.0.0.5"), iIp("255.255.255.255")}},
        CBindAddrCase{"10.0.0.5/0", CInterfaceAddr{iIp("10.0.0.5"), 0}},
        CBindAddrCase{"10.0.0.5", std::nullopt}, CBindAddrCase{"10.0.0.5/", std::nullopt},
        CBindAddrCase{"10.0.0.5/33", std::nullopt}, CBindAddrCase{"10.0.0.5/-1", std::nullopt},
        CBindAddrCase{"10.0.0.5/+8", std::nullopt}, CBindAddrCase{"10.0.0.5/8x", std::nullopt},
        CBindAddrCase{"10.0.0.5/8/8", std::nullopt}, CBindAddrCase{"10.0.0/8", std::nullopt},
        CBindAddrCase{"/8", std::nullopt}, CBindAddrCase{"", std::nullopt},
        CBindAddrCase{"10.0.0.5/99999999999999999999", std::nullopt}));

TEST(SubnetBroadcast, IsHostPartAllOnesAndLimitedBroadcastForMaskZero) {
    EXPECT_EQ(iSubnetBroadcast(iIp("192.168.1.10"), iIp("255.255.255.0")), iIp("192.168.1.255"));
    EXPECT_EQ(iSubnetBroadcast(iIp("10.0.0.5"), iIp("255.0.0.0")), iIp("10.255.255.255"));
    EXPECT_EQ(iSubnetBroadcast(iIp("172.16.5.4"), iIp("255.255.252.0")), iIp("172.16.7.255"));
    EXPECT_EQ(iSubnetBroadcast(iIp("10.0.0.5"), 0), iIp("255.255.255.255"));
    EXPECT_EQ(iIpv4Net(10, 200, 1, 2), iIp("10.200.1.2"));
}

}  // namespace
