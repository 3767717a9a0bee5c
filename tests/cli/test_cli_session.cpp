#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

#include "cli/cli_session.h"
#include "protocol/cmd_result.h"

namespace {

std::size_t iLines(const std::string& text) {
    std::size_t lines = 0;
    for (const char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

}  // namespace

// A device that repeats its answer without end (as one repeating "RECVFILE OK" did,
// for millions of lines) makes the CLI print it once with the count; one that says
// something new every time gets a bounded number of lines; other devices get nothing.
TEST(CliView, ADeviceFloodingResultsPrintsABoundedNumberOfLines) {
    const std::uint32_t device = 0x0500007FU;  // 127.0.0.5
    CCliView view;
    view.vSetDevice(device);
    CCmdResult result = sAddrResult(device, "Restart success", 20);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 50000; ++i) {
        view.vOnResult(result);
    }
    for (int i = 0; i < 50000; ++i) {
        result.m_eForm = EResultForm::kAddrTextValue;
        result.m_strValue = std::to_string(i);
        view.vOnResult(result);
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    EXPECT_TRUE(view.fgHasResult(20));
    std::ostringstream out;
    view.vFlushLines(out);
    const std::string text = out.str();
    EXPECT_NE(text.find("Restart success (repeated 49999 more times)\n"), std::string::npos)
        << text.substr(0, 400);
    EXPECT_NE(text.find(" more lines not shown\n"), std::string::npos);
    // The budget of the seconds the flood lasted, whatever the machine's speed.
    const auto budget = static_cast<std::size_t>(seconds + 1) *
                        static_cast<std::size_t>(CLineLimiter::kDefaultLinesPerSecond + 2);
    EXPECT_LE(iLines(text), budget + 2);
    EXPECT_FALSE(view.fgHasResult(20));
}
