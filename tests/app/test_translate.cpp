#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/profile.h"
#include "app/translate.h"
#include "support/temp_dir.h"

TEST(ProfileValue, LookupRules) {
    const std::string file =
        "; a comment\r\n"
        "[Other]\r\n"
        "Refresh=wrong section\r\n"
        "  [ language ]  \r\n"
        "  Refresh List  =  \xCB\xA2\xD0\xC2  \r\n"
        "Quoted=\"  padded  \"\r\n"
        "Single='x'\r\n"
        "Unbalanced=\"x\r\n"
        "Empty=\r\n"
        "Refresh List=second one loses\r\n"
        "NoEquals\r\n"
        "[Next]\r\n"
        "Tail=not here\r\n";
    struct Case {
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"Refresh List", "\xCB\xA2\xD0\xC2"},
        {"REFRESH LIST", "\xCB\xA2\xD0\xC2"},  // keys differing in case share a value
        {"Quoted", "  padded  "},
        {"Single", "x"},
        {"Unbalanced", "\"x"},
        {"Empty", ""},
        {"Tail", ""},
        {"Refresh", ""},
        {"NoEquals", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(strProfileValue(file, "LANGUAGE", c.key, 199), c.expected) << c.key;
    }
}

TEST(ProfileValue, CutsWithoutSplittingGbkCharacters) {
    const std::string file = "[LANGUAGE]\nk=ab\xD6\xD0\xCE\xC4\n";
    EXPECT_EQ(strProfileValue(file, "LANGUAGE", "k", 4), "ab\xD6\xD0");
    EXPECT_EQ(strProfileValue(file, "LANGUAGE", "k", 3), "ab");
}

class TranslateFile : public ::testing::Test {
  protected:
    CTempDir m_dir;
    std::string write(const std::string& body) {
        return m_dir.write("lang.lang", "[LANGUAGE]\r\n" + body);
    }
};

TEST_F(TranslateFile, EnglishShowsKeysWhateverTheFile) {
    const std::string path = write("TIPS=\xCC\xE1\xCA\xBE\r\n");
    EXPECT_EQ(strTranslateWith(kLangEnglish, path, "TIPS"), "TIPS");
    EXPECT_EQ(strTranslateWith(kLangEnglish, m_dir.file("none"), "TIPS"), "TIPS");
}

TEST_F(TranslateFile, ChineseConvertsGbkValuesToUtf8) {
    const std::string path = write("TIPS=\xCC\xE1\xCA\xBE\r\n");
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "TIPS"), "\xE6\x8F\x90\xE7\xA4\xBA");
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "tips"), "\xE6\x8F\x90\xE7\xA4\xBA");
}

TEST_F(TranslateFile, ChineseFallsBackToTheKey) {
    const std::string path = write("Code success=\r\n");
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "Code success"), "Code success");
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "Unknown"), "Unknown");
    EXPECT_EQ(strTranslateWith(kLangChinese, m_dir.file("missing.lang"), "TIPS"), "TIPS");
}

TEST_F(TranslateFile, ChineseKeepsThe199FirstBytes) {
    const std::string path = write("Long=" + std::string(250, 'a') + "\r\n");
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "Long"), std::string(199, 'a'));
}

TEST_F(TranslateFile, ReadsTheFileAnewOnEveryCall) {
    const std::string path = write("Clear=one\r\n");
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "Clear"), "one");
    write("Clear=two\r\n");
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "Clear"), "two");
}

TEST_F(TranslateFile, SeesAnEditThatKeepsTheSizeAndTheModificationTime) {
    // A file system with a coarse clock gives an edit within the same second the same
    // time; the edit must show all the same.
    const std::string path = write("Clear=one\r\n");
    const auto stamp = std::filesystem::last_write_time(path);
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "Clear"), "one");
    write("Clear=two\r\n");
    std::filesystem::last_write_time(path, stamp);
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "Clear"), "two");
}

TEST_F(TranslateFile, ChineseKeysAreLookedUpInGbk) {
    // "连接wifi成功" in GBK, translated to "Wi-Fi OK".
    const std::string path = write("\xC1\xAC\xBD\xD3wifi\xB3\xC9\xB9\xA6=Wi-Fi OK\r\n");
    EXPECT_EQ(strTranslateWith(kLangChinese, path, "连接wifi成功"), "Wi-Fi OK");
    EXPECT_EQ(strTranslateWith(kLangEnglish, path, "连接wifi成功"), "连接wifi成功");
}
