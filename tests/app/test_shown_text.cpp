#include <gtest/gtest.h>

#include <string>

#include "app/shown_text.h"

TEST(ShownText, ControlCharactersBecomeVisibleEscapes) {
    const struct {
        std::string m_strRaw;
        ELineBreaks m_eBreaks;
        std::string m_strShown;
    } cases[] = {
        {"KSIM000000000001ABCD", ELineBreaks::kEscape, "KSIM000000000001ABCD"},
        {"\x1b[2J\x1b[HPASS", ELineBreaks::kEscape, "\\x1b[2J\\x1b[HPASS"},
        {std::string("a\0b", 3), ELineBreaks::kEscape, "a\\x00b"},
        {"bell\a back\b del\x7f", ELineBreaks::kEscape, "bell\\x07 back\\x08 del\\x7f"},
        {"one\r\ntwo\tthree", ELineBreaks::kEscape, "one\\x0d\\x0atwo\\x09three"},
        {"one\r\ntwo\tthree", ELineBreaks::kKeep, "one\ntwo\tthree"},
        {"FAIL\rPASS", ELineBreaks::kKeep, "FAIL\\x0dPASS"},
        {"csi \xc2\x9b"
         "2J nel \xc2\x85",
         ELineBreaks::kKeep, "csi \\x9b2J nel \\x85"},
        // Other characters of two bytes starting with C2 stay as they are.
        {"\xc2\xb0"
         "C \xe6\xb8\xa9",
         ELineBreaks::kEscape,
         "\xc2\xb0"
         "C \xe6\xb8\xa9"},
        {"bad \xff end \xc2", ELineBreaks::kEscape, "bad \xef\xbf\xbd end \xef\xbf\xbd"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(strShownText(c.m_strRaw, c.m_eBreaks), c.m_strShown) << c.m_strShown;
    }
}
