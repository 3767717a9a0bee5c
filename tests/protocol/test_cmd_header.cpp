#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "protocol/cmd_header.h"
#include "wire_bytes.h"

TEST(CmdHeader, WritesAndReadsEveryField) {
    struct Row {
        CCmdHeader header;
        const char* bytes;
    };
    const std::vector<Row> rows = {
        {{}, "A8 00x15"},
        {{0xA8, 1, 0, 0, 0, 0, {}}, "A8 01 00x14"},
        {{0xA8, 26, 0x0010, 0, 0x1004, 0, {}}, "A8 1A 10 00 00x4 04 10 00 00 00x4"},
        {{0xA8, 180, 0xFFFF, 0x01020304, 0xA0B0C0D0, 0x99, {1, 2, 3}},
         "A8 B4 FF FF 04 03 02 01 D0 C0 B0 A0 99 01 02 03"},
    };
    for (const Row& row : rows) {
        std::array<std::uint8_t, 16> out{};
        ASSERT_EQ(iWriteCmdHeader(out, row.header), 0);
        EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.end()), WireBytes(row.bytes))
            << row.bytes;
        const auto read = sReadCmdHeader(out);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, row.header) << row.bytes;
    }
}

TEST(CmdHeader, ShortSpansAreRefused) {
    std::array<std::uint8_t, 15> shortOut{};
    shortOut.fill(0x77);
    EXPECT_EQ(iWriteCmdHeader(shortOut, CCmdHeader{}), -1);
    for (const std::uint8_t byte : shortOut) {
        EXPECT_EQ(byte, 0x77);
    }
    EXPECT_FALSE(sReadCmdHeader(shortOut).has_value());
    EXPECT_FALSE(sReadCmdHeader({}).has_value());
}

TEST(CmdHeader, ReplyStartByteIsKeptAsReceived) {
    const auto bytes = WireBytes("00 65 00x14");
    const auto header = sReadCmdHeader(bytes);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->m_byStart, 0x00);
    EXPECT_EQ(header->m_byCode, kReplyDiscovery);
}

TEST(CmdHeader, LittleEndianFieldsStayInsideTheSpan) {
    const auto bytes = WireBytes("01 02 03 04 05");
    EXPECT_EQ(usReadLe16(bytes, 0), 0x0201);
    EXPECT_EQ(usReadLe16(bytes, 3), 0x0504);
    EXPECT_EQ(usReadLe16(bytes, 4), 0);
    EXPECT_EQ(uiReadLe32(bytes, 1), 0x05040302U);
    EXPECT_EQ(uiReadLe32(bytes, 2), 0U);
    EXPECT_EQ(uiReadLe32(bytes, static_cast<std::size_t>(-1)), 0U);

    std::vector<std::uint8_t> out(5, 0);
    vWriteLe32(out, 1, 0xDDCCBBAA);
    vWriteLe32(out, 2, 0x11111111);
    vWriteLe16(out, 4, 0x2222);
    EXPECT_EQ(out, WireBytes("00 AA BB CC DD"));
}

TEST(CmdHeader, TextFieldsAreCutToFit) {
    struct Row {
        const char* name;
        std::string text;
        std::size_t width;
        ETextCut cut;
        const char* expected;  // the whole 8-byte buffer; the field starts at 1
    };
    const std::vector<Row> rows = {
        {"short text padded", "ab", 4, ETextCut::kTerminated, "EE 'ab' 00 00 EE EE EE"},
        {"terminated keeps a zero", "abcdef", 4, ETextCut::kTerminated, "EE 'abc' 00 EE EE EE"},
        {"full width fills", "abcdef", 4, ETextCut::kFullWidth, "EE 'abcd' EE EE EE"},
        {"exact fit without terminator", "abcd", 4, ETextCut::kFullWidth, "EE 'abcd' EE EE EE"},
        {"utf-8 cut at a character start", "a\xC3\xA9\xC3\xA9", 5, ETextCut::kTerminatedUtf8,
         "EE 'a' C3 A9 00 00 EE EE"},
        {"utf-8 that fits is kept", "\xC3\xA9", 5, ETextCut::kTerminatedUtf8,
         "EE C3 A9 00 00 00 EE EE"},
        {"field past the end writes nothing", "abc", 8, ETextCut::kTerminated,
         "EE EE EE EE EE EE EE EE"},
        {"zero width writes nothing", "abc", 0, ETextCut::kTerminated, "EE EE EE EE EE EE EE EE"},
    };
    for (const Row& row : rows) {
        std::vector<std::uint8_t> out(8, 0xEE);
        vPutTextField(out, 1, row.width, row.text, row.cut);
        EXPECT_EQ(out, WireBytes(row.expected)) << row.name;
    }
}
