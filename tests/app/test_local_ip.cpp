#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/local_ip.h"
#include "support/netns.h"

namespace {
std::string strIp(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}
}  // namespace

TEST(LocalIpTab, MissingArrayIsAnError) {
    EXPECT_EQ(iGetLocalIpTab(nullptr, nullptr), -1);
}

// Eight addresses besides 127.0.0.1 (all on lo, listed after it): six are listed, in order, and
// 127.0.0.1 never.
TEST(LocalIpTab, ListsAtMostSixAndNeverLoopback) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns ns("kt-ip");
    for (int i = 1; i <= 8; ++i) {
        ns.vIp("addr add 10.201." + std::to_string(i) + ".1/" + std::to_string(16 + i) + " dev lo");
    }
    const int result = iRunInNetns(ns, [] {
        std::uint32_t addresses[kLocalIpMax + 2] = {};
        std::uint32_t masks[kLocalIpMax + 2] = {};
        if (iGetLocalIpTab(addresses, masks) != 6) {
            return 1;
        }
        for (int i = 0; i < 6; ++i) {
            if (strIp(addresses[i]) != "10.201." + std::to_string(i + 1) + ".1") {
                return 2;
            }
            if (masks[i] != htonl(~0U << static_cast<unsigned>(32 - (17 + i)))) {
                return 3;
            }
        }
        if (addresses[6] != 0) {
            return 4;  // nothing written past the sixth entry
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
}

TEST(LocalIpTab, LoopbackOnlyGivesNone) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns ns("kt-lo");
    EXPECT_EQ(iRunInNetns(ns,
                          [] {
                              std::uint32_t addresses[kLocalIpMax] = {};
                              return iGetLocalIpTab(addresses, nullptr);
                          }),
              0);
}
