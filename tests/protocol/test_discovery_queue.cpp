#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/socket.h"
#include "protocol/cmd_header.h"
#include "protocol/discovery_queue.h"

namespace {

std::array<std::uint8_t, kDiscoveryReplyBytes> Reply() {
    std::array<std::uint8_t, kDiscoveryReplyBytes> reply{};
    reply[0] = kCmdStartByte;
    reply[1] = kReplyDiscovery;
    return reply;
}

// Sender 10.0.x.y for device number i.
std::uint32_t Sender(int i) {
    return iNetFromHost(0x0A000000U | static_cast<std::uint32_t>(i));
}

}  // namespace

// Items taken at a time in these tests.
constexpr int kItemsPerTake = 30;

TEST(DiscoveryQueue, BurstOfAThousandRepliesIsNeverLost) {
    static_assert(kDiscoveryQueueCapacity >= 4096);
    CQueBuffer queue(kDiscoveryQueueCapacity);
    const auto reply = Reply();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(iQueueDiscoveryReply(queue, reply, Sender(i)), 0) << i;
    }
    std::vector<CDevInfo> records;
    int ticks = 0;
    while (iTakeDiscoveryRecords(queue, kItemsPerTake, records) > 0) {
        ++ticks;
    }
    ASSERT_EQ(records.size(), 1000U);
    EXPECT_EQ(ticks, 34);  // 33 full ticks of 30, then 10
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(records[static_cast<std::size_t>(i)].m_uiIpAddr, Sender(i)) << i;
    }
}

TEST(DiscoveryQueue, WrongLengthsAreIgnoredSilently) {
    CQueBuffer queue(kDiscoveryQueueCapacity);
    for (const std::size_t length : {0UL, 239UL, 241UL, 3072UL}) {
        const std::vector<std::uint8_t> datagram(length, kReplyDiscovery);
        EXPECT_EQ(iQueueDiscoveryReply(queue, datagram, Sender(1)), -1) << length;
    }
    EXPECT_EQ(queue.iCount(), 0);
}

TEST(DiscoveryQueue, TakesAtMostTheTickShareOldestFirst) {
    CQueBuffer queue(kDiscoveryQueueCapacity);
    const auto reply = Reply();
    for (int i = 0; i < 31; ++i) {
        ASSERT_EQ(iQueueDiscoveryReply(queue, reply, Sender(i)), 0);
    }
    std::vector<CDevInfo> records;
    EXPECT_EQ(iTakeDiscoveryRecords(queue, kItemsPerTake, records), 30);
    EXPECT_EQ(records.size(), 30U);
    EXPECT_EQ(queue.iCount(), 1);
    EXPECT_EQ(iTakeDiscoveryRecords(queue, kItemsPerTake, records), 1);
    EXPECT_EQ(records.back().m_uiIpAddr, Sender(30));
    EXPECT_EQ(iTakeDiscoveryRecords(queue, kItemsPerTake, records), 0);
}

TEST(DiscoveryQueue, FullQueueDropsFurtherReplies) {
    CQueBuffer queue(2);
    const auto reply = Reply();
    EXPECT_EQ(iQueueDiscoveryReply(queue, reply, Sender(1)), 0);
    EXPECT_EQ(iQueueDiscoveryReply(queue, reply, Sender(2)), 0);
    EXPECT_EQ(iQueueDiscoveryReply(queue, reply, Sender(3)), -2);
    EXPECT_EQ(queue.iCount(), 2);
}
