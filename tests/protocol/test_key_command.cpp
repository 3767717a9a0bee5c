#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/key_command.h"

namespace {

struct KeyLineRow {
    std::string line;
    std::int32_t key;
    std::vector<std::uint8_t> params;
};

TEST(KeyCommandLine, KeyCodeAndParameterBytes) {
    const std::vector<KeyLineRow> rows = {
        {"5 0x10 300", 5, {0x10, 0x2C, 0x01}},
        {"0x1F", 0, {}},  // the key is always decimal
        {"-1", -1, {}},
        {"   ", 0, {}},
        {" 12\t 7  ", 12, {0x07}},
        {"9 -1 255 256 65535 65536 16777215 16777216",
         9,
         {0xFF, 0xFF, 0x00, 0x01, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00,
          0x01}},
        {"1 0XfF 0xFFFFFFFF", 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"1 0x123456789", 1, {0x00}},  // more than eight hexadecimal digits
        {"1 0x abc 12abc", 1, {0x00, 0x00, 0x0C}},
        {"99999999999 -99999999999", 2147483647, {0x00}},                    // clamped
        {"3 " + std::string(124, '1') + " 5", 3, {0xFF, 0xFF, 0xFF, 0x7F}},  // cut at 127
    };
    for (const KeyLineRow& row : rows) {
        const std::optional<CKeyCommand> command = sParseKeyCommand(row.line);
        ASSERT_TRUE(command.has_value()) << row.line;
        EXPECT_EQ(row.key, command->m_iKey) << row.line;
        EXPECT_EQ(row.params, command->m_params) << row.line;
    }
    EXPECT_FALSE(sParseKeyCommand("").has_value());
}

}  // namespace
