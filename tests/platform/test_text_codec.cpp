#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/text_codec.h"

namespace {

// The language file and device names travel in GBK; both systems' converters must
// agree byte for byte, and refuse what does not convert instead of guessing.
TEST(TextCodec, GbkAndUtf8BothWays) {
    struct CCase {
        const char* m_pszName;
        std::string m_strGbk;
        std::string m_strUtf8;
    };
    const CCase cases[] = {
        {"ascii", "Wi-Fi OK", "Wi-Fi OK"},
        {"empty", "", ""},
        {"tips", "\xCC\xE1\xCA\xBE", "\xE6\x8F\x90\xE7\xA4\xBA"},
        {"mixed", "\xC1\xAC\xBD\xD3wifi\xB3\xC9\xB9\xA6",
         "\xE8\xBF\x9E\xE6\x8E\xA5wifi\xE6\x88\x90\xE5\x8A\x9F"},
    };
    for (const CCase& row : cases) {
        EXPECT_EQ(strConvertCharset(row.m_strGbk, "UTF-8", "GBK"), row.m_strUtf8) << row.m_pszName;
        EXPECT_EQ(strConvertCharset(row.m_strUtf8, "GBK", "UTF-8"), row.m_strGbk) << row.m_pszName;
    }
}

TEST(TextCodec, RefusesWhatDoesNotConvert) {
    struct CCase {
        const char* m_pszName;
        std::string m_strText;
        const char* m_pszTo;
        const char* m_pszFrom;
    };
    const CCase cases[] = {
        {"GBK lead byte without its trail", "ab\xCC", "UTF-8", "GBK"},
        {"invalid UTF-8",
         "a\xFF"
         "b",
         "GBK", "UTF-8"},
        {"UTF-8 cut inside a character", "\xE6\x8F", "GBK", "UTF-8"},
        {"no GBK form (emoji)", "\xF0\x9F\x98\x80", "GBK", "UTF-8"},
        {"unknown target", "abc", "NO-SUCH-SET", "UTF-8"},
        {"unknown source", "abc", "UTF-8", "NO-SUCH-SET"},
    };
    for (const CCase& row : cases) {
        EXPECT_EQ(strConvertCharset(row.m_strText, row.m_pszTo, row.m_pszFrom), std::nullopt)
            << row.m_pszName;
    }
}

TEST(TextCodec, ConverterIsReusable) {
    const CCharsetConverter converter("GBK", "UTF-8");
    ASSERT_TRUE(converter.fgValid());
    EXPECT_EQ(converter.strConvert("\xE6\x8F\x90"), "\xCC\xE1");
    EXPECT_EQ(converter.strConvert("\xFF"), std::nullopt);
    // A failure leaves no state behind for the next text.
    EXPECT_EQ(converter.strConvert("\xE7\xA4\xBA"), "\xCA\xBE");
    EXPECT_FALSE(CCharsetConverter("UTF-8", "NO-SUCH-SET").fgValid());
}

TEST(TextCodec, LocalCharsetIsNamed) {
    const std::string charset = strLocalCharset();
    EXPECT_FALSE(charset.empty());
    // Whatever the locale, its own name converts ASCII unchanged.
    EXPECT_EQ(strConvertCharset("plain", charset.c_str(), "UTF-8"), "plain") << charset;
}

}  // namespace
