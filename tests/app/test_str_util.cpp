#include <gtest/gtest.h>

#include <regex>

#include "app/str_util.h"

TEST(HexStrToVal, Table) {
    struct Case {
        const char* text;
        int digits;
        unsigned int expected;
    };
    const Case cases[] = {
        {"1A2B", 2, 0x1A}, {"1A2B", 4, 0x1A2B}, {"1a2b", 8, 0x1A2B}, {"FFFFFFFF", 8, 0xFFFFFFFFU},
        {"1A2B", 9, 0},    {"zz", 2, 0},        {"", 2, 0},          {"7", 2, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(iHexStrToVal(c.text, c.digits), c.expected) << c.text << " " << c.digits;
    }
    EXPECT_EQ(iHexStrToVal(nullptr, 2), 0U);
}

TEST(IsAllDigits, Table) {
    EXPECT_TRUE(fgIsAllDigits(""));
    EXPECT_TRUE(fgIsAllDigits("0123456789"));
    EXPECT_FALSE(fgIsAllDigits("12a"));
    EXPECT_FALSE(fgIsAllDigits(" 1"));
    EXPECT_FALSE(fgIsAllDigits("-1"));
}

TEST(GetTimeStr, HasTheFileNameFormat) {
    EXPECT_TRUE(std::regex_match(strGetTimeStr(), std::regex(R"(\d{4}(-\d{2}){5})")))
        << strGetTimeStr();
}

TEST(ExeDir, CutsAfterTheLastSeparator) {
    EXPECT_EQ(strDirOfPath("/opt/kestrel/bin/kestrel"), "/opt/kestrel/bin/");
    EXPECT_EQ(strDirOfPath("kestrel"), "");
    EXPECT_EQ(strDirOfPath("/kestrel"), "/");
    const std::string dir = strGetExeDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), kPathSep);
    EXPECT_NE(dir[dir.size() - 2], kPathSep);
}
