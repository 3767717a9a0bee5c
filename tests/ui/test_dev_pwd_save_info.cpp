#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "ui/dev_pwd_save_info.h"

namespace {

std::string strReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string strPwd(int index) {
    return "pwd" + std::to_string(index);
}

TEST(DevPwdSaveInfo, MissingFileIsAnEmptyStore) {
    const CTempDir folder;
    const CDevPwdSaveInfo store(folder.path());
    EXPECT_EQ(0, store.iCount());
    EXPECT_FALSE(std::filesystem::exists(folder.path() / CDevPwdSaveInfo::kFileName));
}

TEST(DevPwdSaveInfo, LoadKeepsOnlyLinesOfOneTo32Bytes) {
    const std::string bytes32(32, 'b');
    const std::string bytes33(33, 'c');
    // A line longer than the line buffer must not come back as pieces that fit.
    const std::string overLong = std::string(1030, 'd') + "tail";
    const CTempDir folder;
    folder.write(CDevPwdSaveInfo::kFileName, "first\n\n\rcr first\nwindows\r\n" + bytes32 + "\n" +
                                                 bytes33 + "\n" + overLong + "\nlast");
    const CDevPwdSaveInfo store(folder.path());
    const std::vector<std::string> expected{"first", "windows\r", bytes32, "last"};
    EXPECT_EQ(expected, store.vecEntries());
}

TEST(DevPwdSaveInfo, SavingAStoredTextChangesNothing) {
    const CTempDir folder;
    CDevPwdSaveInfo store(folder.path());
    ASSERT_EQ(0, store.vSave("kavno"));
    ASSERT_EQ(0, store.vSave("Kavno"));
    const std::string path = folder.file(CDevPwdSaveInfo::kFileName);
    struct stat before {};
    ::stat(path.c_str(), &before);

    EXPECT_EQ(1, store.vSave("kavno"));
    EXPECT_EQ((std::vector<std::string>{"kavno", "Kavno"}), store.vecEntries());
    EXPECT_EQ("kavno\nKavno\n", strReadAll(path));
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino) << "the file was rewritten";
}

TEST(DevPwdSaveInfo, TwentyFirstSaveDropsTheOldest) {
    const CTempDir folder;
    CDevPwdSaveInfo store(folder.path());
    for (int index = 0; index <= 20; ++index) {
        ASSERT_EQ(0, store.vSave(strPwd(index)));
    }
    std::string expectedFile;
    std::vector<std::string> expected;
    for (int index = 1; index <= 20; ++index) {
        expected.push_back(strPwd(index));
        expectedFile += strPwd(index) + "\n";
    }
    EXPECT_EQ(expected, store.vecEntries());
    EXPECT_EQ(expectedFile, strReadAll(folder.file(CDevPwdSaveInfo::kFileName)));
    EXPECT_EQ(expected, CDevPwdSaveInfo(folder.path()).vecEntries());
}

TEST(DevPwdSaveInfo, LongerFileLosesOneLinePerSave) {
    const CTempDir folder;
    std::string content;
    for (int index = 0; index < 25; ++index) {
        content += strPwd(index) + "\n";
    }
    folder.write(CDevPwdSaveInfo::kFileName, content);
    CDevPwdSaveInfo store(folder.path());
    ASSERT_EQ(25, store.iCount());

    ASSERT_EQ(0, store.vSave("new"));
    EXPECT_EQ(25, store.iCount());
    EXPECT_EQ(strPwd(1), store.vecEntries().front());
    EXPECT_EQ("new", store.vecEntries().back());
}

TEST(DevPwdSaveInfo, RewriteIsOwnerOnlyAndLeavesNoTemporary) {
    const CTempDir folder;
    const std::string path = folder.write(CDevPwdSaveInfo::kFileName, "old\n");
    ::chmod(path.c_str(), 0644);
    CDevPwdSaveInfo store(folder.path());
    ASSERT_EQ(0, store.vSave("secret"));

    struct stat info {};
    ASSERT_EQ(0, ::stat(path.c_str(), &info));
    EXPECT_EQ(0600U, info.st_mode & 0777U);
    EXPECT_EQ("old\nsecret\n", strReadAll(path));
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        ++files;
    }
    EXPECT_EQ(1, files);
}

TEST(DevPwdSaveInfo, TextThatIsNoLineStaysInMemoryOnly) {
    const CTempDir folder;
    CDevPwdSaveInfo store(folder.path());
    ASSERT_EQ(0, store.vSave("two\nlines"));
    ASSERT_EQ(0, store.vSave("plain"));
    EXPECT_EQ((std::vector<std::string>{"two\nlines", "plain"}), store.vecEntries());
    EXPECT_EQ("plain\n", strReadAll(folder.file(CDevPwdSaveInfo::kFileName)));
}

TEST(DevPwdSaveInfo, UnwritableFolderKeepsTheChangeInMemory) {
    const CTempDir folder;
    CDevPwdSaveInfo store(folder.path() / "absent");
    EXPECT_EQ(0, store.vSave("secret"));
    EXPECT_EQ(std::vector<std::string>{"secret"}, store.vecEntries());
}

}  // namespace
