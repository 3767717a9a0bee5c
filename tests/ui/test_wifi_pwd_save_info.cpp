#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"
#include "ui/wifi_pwd_save_info.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string strReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

Entries vecEntries(const CWifiPwdSaveInfo& store) {
    return Entries(store.mapEntries().begin(), store.mapEntries().end());
}

struct LoadRow {
    const char* name;
    std::string line;
    Entries expected;
};

TEST(WifiPwdSaveInfo, LoadSplitsEachLineAtItsFirstBlank) {
    const std::string field127(127, 's');
    const std::string field128(128, 's');
    const std::vector<LoadRow> rows{
        {"plain", "home pass1\n", {{"home", "pass1"}}},
        {"blank in ssid", "my net secret\n", {{"my", "net"}}},
        {"blank in password", "cafe pa ss\n", {{"cafe", "pa"}}},
        {"two blanks", "two  words\n", {{"two", "words"}}},
        {"crlf", "office pw\r\n", {{"office", "pw"}}},
        {"no password", "solo\n", {}},
        {"blank only after ssid", "solo \n", {}},
        {"leading blank", " lead pw\n", {}},
        {"tab is no separator", "tab\tpw\n", {}},
        {"fields of 127 bytes", field127 + " " + field127 + "\n", {{field127, field127}}},
        {"ssid of 128 bytes", field128 + " pw\n", {}},
        {"password of 128 bytes", "net " + field128 + "\n", {}},
        {"line over the buffer", "net pw " + std::string(1100, 'x') + "\n", {}},
        {"no final LF", "last word", {{"last", "word"}}},
    };
    for (const LoadRow& row : rows) {
        const CTempDir folder;
        folder.write(CWifiPwdSaveInfo::kFileName, row.line);
        EXPECT_EQ(row.expected, vecEntries(CWifiPwdSaveInfo(folder.path()))) << row.name;
    }
}

TEST(WifiPwdSaveInfo, OverLongLineDoesNotDisturbItsNeighbours) {
    const CTempDir folder;
    folder.write(CWifiPwdSaveInfo::kFileName,
                 "a 1\n" + std::string(300, 'n') + " " + std::string(300, 'p') + "\nb 2\n");
    EXPECT_EQ((Entries{{"a", "1"}, {"b", "2"}}), vecEntries(CWifiPwdSaveInfo(folder.path())));
}

TEST(WifiPwdSaveInfo, BlanksDoNotSurviveSaveAndLoad) {
    const CTempDir folder;
    CWifiPwdSaveInfo store(folder.path());
    store.vSaveWifiInfo("my net", "secret");
    store.vSaveWifiInfo("cafe", "pa ss");
    EXPECT_EQ("cafe pa ss\nmy net secret\n", strReadAll(folder.file(CWifiPwdSaveInfo::kFileName)));
    EXPECT_EQ((Entries{{"cafe", "pa"}, {"my", "net"}}),
              vecEntries(CWifiPwdSaveInfo(folder.path())));
}

TEST(WifiPwdSaveInfo, KeepsTheLastFivePasswordsOfAnSsid) {
    const CTempDir folder;
    CWifiPwdSaveInfo store(folder.path());
    for (int index = 1; index <= 6; ++index) {
        store.vSaveWifiInfo("home", "pw" + std::to_string(index));
    }
    const std::vector<std::string> expected{"pw2", "pw3", "pw4", "pw5", "pw6"};
    EXPECT_EQ(expected, store.vecGetWifiPwd("home"));
    EXPECT_EQ("home pw2\nhome pw3\nhome pw4\nhome pw5\nhome pw6\n",
              strReadAll(folder.file(CWifiPwdSaveInfo::kFileName)));
    EXPECT_EQ(expected, CWifiPwdSaveInfo(folder.path()).vecGetWifiPwd("home"));
}

TEST(WifiPwdSaveInfo, SsidsAreWrittenInByteOrder) {
    const CTempDir folder;
    CWifiPwdSaveInfo store(folder.path());
    // UTF-8 lead bytes are above every ASCII byte; capitals come before small letters.
    store.vSaveWifiInfo("\xc3\xa9t\xc3\xa9", "1");
    store.vSaveWifiInfo("b", "2");
    store.vSaveWifiInfo("a", "3");
    store.vSaveWifiInfo("B", "4");
    EXPECT_EQ("B 4\na 3\nb 2\n\xc3\xa9t\xc3\xa9 1\n",
              strReadAll(folder.file(CWifiPwdSaveInfo::kFileName)));
}

TEST(WifiPwdSaveInfo, KnownPasswordIsNotSavedAgain) {
    const CTempDir folder;
    const std::string path = folder.write(CWifiPwdSaveInfo::kFileName, "home pw1\nhome pw2\n");
    struct stat before {};
    ::stat(path.c_str(), &before);
    CWifiPwdSaveInfo store(folder.path());
    store.vSaveWifiInfo("home", "pw1");
    EXPECT_EQ((std::vector<std::string>{"pw1", "pw2"}), store.vecGetWifiPwd("home"));
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino) << "the file was rewritten";
}

TEST(WifiPwdSaveInfo, LookupReturnsAtMostTwentyOldestFirst) {
    const CTempDir folder;
    std::string content;
    std::vector<std::string> expected;
    for (int index = 0; index < 25; ++index) {
        content += "big p" + std::to_string(index) + "\n";
        if (index < 20) {
            expected.push_back("p" + std::to_string(index));
        }
    }
    folder.write(CWifiPwdSaveInfo::kFileName, content + "other x\n");
    const CWifiPwdSaveInfo store(folder.path());
    EXPECT_EQ(expected, store.vecGetWifiPwd("big"));
    EXPECT_TRUE(store.vecGetWifiPwd("absent").empty());
}

}  // namespace
