#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "app/text_conv.h"
#include "platform/text_codec.h"

// The suite runs in the "C" locale, whose code page counts as UTF-8.

TEST(Ansi2Utf8, ConvertsAndTerminates) {
    char out[32];
    std::memset(out, 'z', sizeof out);
    ASSERT_EQ(iAnsi2Utf8(5, "hello", out, sizeof out), 0);
    EXPECT_STREQ(out, "hello");
}

TEST(Ansi2Utf8, Limits) {
    const std::string long1023(1023, 'a');
    char out[4096];
    EXPECT_EQ(iAnsi2Utf8(1023, long1023.c_str(), out, sizeof out), -2);
    // 2 * 1022 + 2 = 2046 fits: the longest text accepted.
    EXPECT_EQ(iAnsi2Utf8(1022, long1023.c_str(), out, sizeof out), 0);
    EXPECT_EQ(std::strlen(out), 1022U);
}

TEST(Ansi2Utf8, TooSmallDestinationIsAnErrorAndUntouched) {
    // "abc" needs 4 bytes with its terminator, plus the spare byte: 5.
    char out[8] = "zzzzzzz";
    EXPECT_EQ(iAnsi2Utf8(3, "abc", out, 4), -3);
    EXPECT_STREQ(out, "zzzzzzz");
    EXPECT_EQ(iAnsi2Utf8(3, "abc", out, 5), 0);
    EXPECT_STREQ(out, "abc");
}

struct Utf82AnsiCase {
    const char* name;
    std::string source;
    int length;
    int destinationSize;
    std::string expected;
};

// Keeps test names and failure messages readable.
void PrintTo(const Utf82AnsiCase& c, std::ostream* os) {
    *os << c.name;
}

class Utf82Ansi : public ::testing::TestWithParam<Utf82AnsiCase> {};

TEST_P(Utf82Ansi, StaysInsideBothBuffers) {
    const Utf82AnsiCase& c = GetParam();
    // The cases with characters beyond ASCII are written for a local character set the
    // station writes as UTF-8 (Linux); a Windows code page renders them its own way.
    if (!fgIsUtf8Charset(strLocalCharset()) &&
        std::any_of(c.source.begin(), c.source.end(),
                    [](char byte) { return static_cast<unsigned char>(byte) >= 0x80; })) {
        GTEST_SKIP() << "written for a UTF-8 local character set, not " << strLocalCharset();
    }
    // The source is copied to an exact-size heap block so that ASan sees any over-read.
    auto exact = std::make_unique<char[]>(c.source.size());
    std::memcpy(exact.get(), c.source.data(), c.source.size());
    char out[64];
    std::memset(out, 'Z', sizeof out);
    vUtf82Ansi(out, exact.get(), c.length, c.destinationSize);
    EXPECT_EQ(std::string(out), c.expected);
    for (size_t i = static_cast<size_t>(c.destinationSize); i < sizeof out; ++i) {
        ASSERT_EQ(out[i], 'Z') << "wrote past the destination at " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf82Ansi,
    ::testing::Values(Utf82AnsiCase{"plain", "Office", 6, 33, "Office"},
                      Utf82AnsiCase{"stops_at_nul", std::string("ab\0cd", 5), 5, 33, "ab"},
                      Utf82AnsiCase{"cut_to_destination", "abcdefgh", 8, 5, "abcd"},
                      // A two-byte character that does not fit whole is left out, never split.
                      Utf82AnsiCase{"keeps_characters_whole", "ab\xC3\xA9", 4, 4, "ab"},
                      Utf82AnsiCase{"invalid_becomes_replacement", "a\xFF", 2, 33, "a\xEF\xBF\xBD"},
                      // A lead byte at the end of the given length is not completed from beyond it.
                      Utf82AnsiCase{"truncated_sequence", "a\xE4\xB8\xAD", 2, 33, "a\xEF\xBF\xBD"},
                      Utf82AnsiCase{"zero_length", "abc", 0, 33, ""}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST(Utf82Ansi, CutsAt1024Units) {
    const std::string source(3000, 'q');
    std::string out(4000, 'Z');
    vUtf82Ansi(out.data(), source.c_str(), static_cast<int>(source.size()),
               static_cast<int>(out.size()));
    EXPECT_EQ(std::strlen(out.c_str()), 1024U);
}

TEST(ToUtf8, ConvertsGbk) {
    // "中文" in GBK.
    const auto utf8 = strToUtf8("\xD6\xD0\xCE\xC4", "GBK");
    ASSERT_TRUE(utf8.has_value());
    EXPECT_EQ(*utf8, "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_FALSE(strToUtf8("\xD6", "GBK").has_value());
}
