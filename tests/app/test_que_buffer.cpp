#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "app/que_buffer.h"
#include "support/capture_stderr.h"

TEST(QueBuffer, HoldsExactlyItsCapacity) {
    CQueBuffer queue(200);
    const std::uint8_t byte = 7;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(queue.iAdd(1, &byte), 0) << i;
    }
    {
        CCaptureStderr capture;
        EXPECT_EQ(queue.iAdd(1, &byte), -2);
        EXPECT_NE(capture.text().find("=>buffer too long,curr=200, max=200\r\n"),
                  std::string::npos);
    }
    std::vector<std::uint8_t> out;
    ASSERT_EQ(queue.iGet(out), 0);
    EXPECT_EQ(queue.iAdd(1, &byte), 0);
    EXPECT_EQ(queue.iCount(), 200);
}

TEST(QueBuffer, RejectsNullAndEmptyInput) {
    CQueBuffer queue(4);
    const std::uint8_t byte = 1;
    EXPECT_EQ(queue.iAdd(1, nullptr), -4);
    EXPECT_EQ(queue.iAdd(0, &byte), -4);
    EXPECT_EQ(queue.iAdd(-5, &byte), -4);
    EXPECT_EQ(queue.iCount(), 0);
}

TEST(QueBuffer, GivesOldestFirstAsAnIndependentCopy) {
    CQueBuffer queue(4);
    std::uint8_t source[3] = {1, 2, 3};
    ASSERT_EQ(queue.iAdd(3, source), 0);
    source[0] = 9;  // the queue copied; the caller's buffer is its own
    const std::uint8_t second[1] = {4};
    ASSERT_EQ(queue.iAdd(1, second), 0);

    std::vector<std::uint8_t> out;
    ASSERT_EQ(queue.iGet(out), 0);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
    ASSERT_EQ(queue.iGet(out), 0);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{4}));
}

TEST(QueBuffer, EmptyGetLeavesOutputUntouched) {
    CQueBuffer queue(4);
    std::vector<std::uint8_t> out{5, 6};
    EXPECT_EQ(queue.iGet(out), -2);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{5, 6}));
}

TEST(QueBuffer, ClearEmptiesTheQueue) {
    CQueBuffer queue(4);
    const std::uint8_t byte = 1;
    queue.iAdd(1, &byte);
    queue.iAdd(1, &byte);
    queue.vClear();
    EXPECT_EQ(queue.iCount(), 0);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(queue.iGet(out), -2);
}

// A producer and a consumer hammering the queue: every accepted item arrives once,
// in order, intact. Run under ThreadSanitizer this also checks the locking.
TEST(QueBuffer, ProducerAndConsumerThreadsLoseNothing) {
    CQueBuffer queue(64);
    constexpr int kItems = 20000;
    std::atomic<bool> done{false};
    std::vector<int> accepted;
    accepted.reserve(kItems);

    std::thread producer([&] {
        for (int i = 0; i < kItems; ++i) {
            std::uint8_t item[64];
            for (size_t k = 0; k < sizeof item; ++k) {
                item[k] = static_cast<std::uint8_t>(i + static_cast<int>(k));
            }
            const int length = 4 + i % 60;
            while (queue.iAdd(length, item) == -2) {
                std::this_thread::yield();
            }
            accepted.push_back(i);
        }
        done = true;
    });

    int received = 0;
    std::vector<std::uint8_t> out;
    while (!done || queue.iCount() > 0) {
        if (queue.iGet(out) != 0) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(out.size(), static_cast<size_t>(4 + received % 60));
        for (size_t k = 0; k < out.size(); ++k) {
            ASSERT_EQ(out[k], static_cast<std::uint8_t>(received + static_cast<int>(k)));
        }
        ++received;
    }
    producer.join();
    EXPECT_EQ(received, kItems);
}
