#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/search_rounds.h"

namespace {

using Clock = CSearchRounds::Clock;
using std::chrono::milliseconds;

// The times (ms from the start) at which a search polled every 20 ms for `forMs`
// broadcasts, when the devices found by then are found(ms) and more are wanted while
// wantMore(ms).
template <typename TFound, typename TWant>
std::vector<int> vecBroadcasts(int forMs, TFound found, TWant wantMore) {
    const Clock::time_point start{};
    CSearchRounds rounds(start);
    std::vector<int> at{0};
    for (int ms = 20; ms <= forMs; ms += 20) {
        if (rounds.fgBroadcastDue(start + milliseconds(ms), found(ms), wantMore(ms))) {
            at.push_back(ms);
        }
    }
    EXPECT_EQ(rounds.iRounds(), static_cast<int>(at.size()));
    return at;
}

}  // namespace

TEST(SearchRounds, RepeatsWithBackoffWhileDevicesArriveOrAreMissing) {
    const auto none = [](int) { return std::size_t{0}; };
    const auto never = [](int) { return false; };
    // Nothing answers and nothing is expected: the three rounds of every search.
    EXPECT_EQ(vecBroadcasts(10000, none, never), (std::vector<int>{0, 100, 300}));
    // Devices keep answering until 1.2 s: the round after that finds nobody new and
    // is the last.
    const auto arriving = [](int ms) { return static_cast<std::size_t>(std::min(ms, 1200) / 10); };
    EXPECT_EQ(vecBroadcasts(10000, arriving, never), (std::vector<int>{0, 100, 300, 700, 1500}));
    // An expected bench still incomplete: rounds every second (at most) to the end.
    const std::vector<int> expected = vecBroadcasts(10000, none, [](int ms) { return ms < 8000; });
    EXPECT_EQ(expected.size(), 11U);
    EXPECT_EQ(expected.back(), 7500);
    for (std::size_t i = 5; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i] - expected[i - 1], 1000) << i;
    }
}
