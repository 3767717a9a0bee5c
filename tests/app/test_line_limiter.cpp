#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/line_limiter.h"

namespace {

using Clock = CLineLimiter::Clock;
using Lines = std::vector<std::string>;

Lines vecFeed(CLineLimiter& limiter, const std::string& source, const std::string& line,
              Clock::time_point at) {
    return limiter.vecOnLine(source, line, at);
}

}  // namespace

TEST(LineLimiter, ARepeatedAnswerIsPrintedOnceWithItsCount) {
    CLineLimiter limiter;
    const Clock::time_point t0 = Clock::now();
    EXPECT_EQ(vecFeed(limiter, "10.0.0.5", "10.0.0.5 RECVFILE OK", t0),
              Lines{"10.0.0.5 RECVFILE OK"});
    for (int i = 0; i < 100000; ++i) {
        ASSERT_TRUE(vecFeed(limiter, "10.0.0.5", "10.0.0.5 RECVFILE OK", t0).empty());
    }
    // Another device's lines are its own.
    EXPECT_EQ(vecFeed(limiter, "10.0.0.6", "10.0.0.6 RECVFILE OK", t0),
              Lines{"10.0.0.6 RECVFILE OK"});
    EXPECT_EQ(vecFeed(limiter, "10.0.0.5", "10.0.0.5 closed", t0),
              (Lines{"10.0.0.5 RECVFILE OK (repeated 100000 more times)", "10.0.0.5 closed"}));
    EXPECT_EQ(vecFeed(limiter, "10.0.0.6", "10.0.0.6 RECVFILE OK", t0), Lines{});
    EXPECT_EQ(limiter.vecFlush(), Lines{"10.0.0.6 RECVFILE OK (repeated 1 more times)"});
    EXPECT_EQ(limiter.vecFlush(), Lines{});
}

// A device that says something new every time still prints a bounded number of
// lines a second, and what was held back is counted.
TEST(LineLimiter, AFloodOfDifferentLinesIsBoundedPerSecond) {
    constexpr int kPerSecond = 20;
    CLineLimiter limiter(kPerSecond);
    const Clock::time_point t0 = Clock::now();
    std::size_t printedInFirstSecond = 0;
    std::size_t printed = 0;
    for (int i = 0; i < 50000; ++i) {
        // Ten seconds of lines, alternating two texts and then all different.
        const auto at = t0 + std::chrono::microseconds(i * 200);
        const std::string line = i < 25000 ? (i % 2 == 0 ? "A" : "B") : std::to_string(i);
        const Lines out = vecFeed(limiter, "dev", line, at);
        printed += out.size();
        if (at - t0 < std::chrono::seconds(1)) {
            printedInFirstSecond += out.size();
        }
    }
    EXPECT_LE(printedInFirstSecond, static_cast<std::size_t>(kPerSecond) + 2);
    EXPECT_LE(printed, static_cast<std::size_t>(10 * (kPerSecond + 2)));
    EXPECT_GE(printed, static_cast<std::size_t>(9 * kPerSecond));
    const Lines rest = limiter.vecFlush();
    ASSERT_EQ(rest.size(), 1U);
    EXPECT_NE(rest[0].find("dev: "), std::string::npos);
    EXPECT_NE(rest[0].find(" more lines not shown"), std::string::npos);
    EXPECT_TRUE(CLineLimiter::fgIsNote(rest[0]));
    EXPECT_TRUE(CLineLimiter::fgIsNote("A (repeated 3 more times)"));
    EXPECT_FALSE(CLineLimiter::fgIsNote("A"));
}
