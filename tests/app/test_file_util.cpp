#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/file_util.h"
#include "support/temp_dir.h"

TEST(ReadFileBuf, ReadsAcrossChunksUpToSize) {
    CTempDir dir;
    std::string content(300000, '\0');
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 7);
    }
    const std::string path = dir.write("big.bin", content);
    std::vector<char> buffer(400000);
    EXPECT_EQ(iReadFileBuf(path.c_str(), 400000, buffer.data()), 300000);
    EXPECT_EQ(std::string(buffer.data(), 300000), content);
    EXPECT_EQ(iReadFileBuf(path.c_str(), 10, buffer.data()), 10);
}

TEST(ReadFileBuf, FailuresGiveZero) {
    CTempDir dir;
    char buffer[8];
    EXPECT_EQ(iReadFileBuf(dir.file("missing").c_str(), 8, buffer), 0);
    EXPECT_EQ(iReadFileBuf(nullptr, 8, buffer), 0);
    const std::string empty = dir.write("empty", "");
    EXPECT_EQ(iReadFileBuf(empty.c_str(), 8, buffer), 0);
    const std::string some = dir.write("some", "abc");
    EXPECT_EQ(iReadFileBuf(some.c_str(), 0, buffer), 0);
    EXPECT_EQ(iReadFileBuf(some.c_str(), 8, nullptr), 0);
}

TEST(WriteBufToFile, CreatesTruncatesAndAppends) {
    CTempDir dir;
    const std::string path = dir.write("rec.h264", "old content that must go");
    FilePtr file;
    EXPECT_EQ(iWriteBufToFile(3, file, path.c_str(), "abc"), 3);
    EXPECT_EQ(iWriteBufToFile(0, file, path.c_str(), "zzz"), 0);
    EXPECT_EQ(iWriteBufToFile(2, file, path.c_str(), "de"), 2);
    file.reset();
    char buffer[64] = {};
    EXPECT_EQ(iReadFileBuf(path.c_str(), 64, buffer), 5);
    EXPECT_STREQ(buffer, "abcde");
}

TEST(WriteBufToFile, UncreatableFileGivesMinusOne) {
    CTempDir dir;
    FilePtr file;
    EXPECT_EQ(iWriteBufToFile(3, file, (dir.file("no/such/dir/x")).c_str(), "abc"), -1);
    EXPECT_FALSE(file);
}
