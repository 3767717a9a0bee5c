#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace {

std::string strRead(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes content the way the stores and reports do: private temporary file, flushed,
// moved over the target.
int iWriteWhole(const std::filesystem::path& target, const std::string& content) {
    std::filesystem::path tempPath;
    FilePtr file = sCreatePrivateTemp(target, tempPath);
    if (!file) {
        return -1;
    }
    EXPECT_EQ(tempPath.parent_path(), target.parent_path());
    if (std::fwrite(content.data(), 1, content.size(), file.get()) != content.size() ||
        iFlushToDisk(file.get()) != 0) {
        return -2;
    }
    file.reset();
    return iReplaceFile(tempPath, target);
}

// Saving over an existing file must work every time, not only the first (a rename
// that refuses an existing target fails from the second save on).
TEST(FileReplace, ReplacesAnExistingFileAgainAndAgain) {
    const CTempDir dir;
    const std::filesystem::path target = dir.file("store.txt");
    for (const std::string content : {"first", "second, longer", "3"}) {
        ASSERT_EQ(iWriteWhole(target, content), 0) << content;
        EXPECT_EQ(strRead(target), content);
    }
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(FileReplace, TemporaryFilesAreNewAndPrivate) {
    const CTempDir dir;
    const std::filesystem::path target = dir.file("secret.txt");
    std::filesystem::path firstPath;
    std::filesystem::path secondPath;
    const FilePtr first = sCreatePrivateTemp(target, firstPath);
    const FilePtr second = sCreatePrivateTemp(target, secondPath);
    ASSERT_TRUE(first && second);
    EXPECT_NE(firstPath, secondPath);
    EXPECT_TRUE(std::filesystem::exists(firstPath));
#ifndef _WIN32
    const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
    EXPECT_EQ(std::filesystem::status(firstPath).permissions() & others,
              std::filesystem::perms::none);
#endif
}

TEST(FileReplace, AFailedMoveLeavesBothFilesAsTheyWere) {
    const CTempDir dir;
    const std::filesystem::path source = dir.write("new.txt", "new");
    const std::filesystem::path target = dir.file("no-such-folder") + "/old.txt";
    EXPECT_NE(iReplaceFile(source, target), 0);
    EXPECT_EQ(strRead(source), "new");
    EXPECT_EQ(iFlushToDisk(nullptr), -1);
    std::filesystem::path tempPath;
    EXPECT_FALSE(sCreatePrivateTemp(target, tempPath));
}

}  // namespace
