// File classification, the choice of files, the file head and the answer stream.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "upgrade/upg_file_type.h"
#include "upgrade/upg_wire.h"

namespace {

TEST(UpgFileType, ClassifiesTheWholePathInOrder) {
    const struct {
        const char* path;
        int code;
    } rows[] = {
        {"D:\\fw\\ipcupg.bin", 0x6666},
        {"D:\\fw\\upcupg.bin", -1},
        {"C:\\kernel_build\\rootfs.bin", 0x3333},  // "kernel" is tested before "rootfs"
        {"C:\\environment\\app.img", 0x2222},      // "env" anywhere in the path
        {"D:\\fw\\Kernel.bin", -1},                // case-sensitive
        {"/srv/fw/config_info_uboot.ini", 0x5555},
        {"/srv/fw/uboot.bin", 0x1111},
        {"/srv/fw/rootfs.squash", 0x4444},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(iGetFileType(row.path), row.code) << row.path;
    }
}

TEST(UpgFileType, ChoiceKeepsMatchingFilesAndAtMostEight) {
    const std::vector<std::string> mixed{"/a/kernel.bin", "/a/nothing.bin", "/a/rootfs.bin"};
    const CUpgChoice byPath = sChooseUpgFiles(mixed, kUpgTypeByPath);
    EXPECT_EQ(byPath.m_files, (std::vector<CUpgFile>{{"/a/kernel.bin", kUpgTypeKernel},
                                                     {"/a/rootfs.bin", kUpgTypeRootfs}}));
    EXPECT_EQ(byPath.m_rejected, std::vector<std::string>{"/a/nothing.bin"});

    const CUpgChoice rootfsOnly = sChooseUpgFiles(mixed, static_cast<int>(kUpgTypeRootfs));
    EXPECT_EQ(rootfsOnly.m_files.size(), 1U);
    EXPECT_EQ(rootfsOnly.m_rejected.size(), 2U);

    const std::vector<std::string> nine(9, "/a/whatever");
    const CUpgChoice others = sChooseUpgFiles(nine, static_cast<int>(kUpgTypeOthers));
    EXPECT_EQ(others.m_files.size(), 8U);
    EXPECT_EQ(others.m_files[0].m_uiType, kUpgTypeOthers);
}

TEST(UpgWire, RequestAndHeadLayout) {
    const auto request = bufBuildUpgRequest();
    EXPECT_EQ(std::vector<std::uint8_t>(request.begin(), request.end()),
              (std::vector<std::uint8_t>{0xA8, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x66, 0, 0, 0}));

    const std::string longName(40, 'n');
    const std::vector<CUpgHeadEntry> entries{{0x01020304, kUpgTypeKernel, "C:\\fw\\kernel.bin"},
                                             {7, kUpgTypeEnv, "/fw/" + longName}};
    const std::vector<std::uint8_t> head = bufBuildFileHead(entries);
    ASSERT_EQ(head.size(), 348U);
    EXPECT_EQ(std::vector<std::uint8_t>(head.begin(), head.begin() + 20),
              (std::vector<std::uint8_t>{0xCD, 0xAB, 0x34, 0x12, 2,    0,    0,    0,    0, 0,
                                         0,    0,    0x04, 0x03, 0x02, 0x01, 0x33, 0x33, 0, 0}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&head[20])), "kernel.bin");
    EXPECT_EQ(head[180], 7);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&head[188])), std::string(31, 'n'));
    EXPECT_EQ(bufBuildFileHead(std::vector<CUpgHeadEntry>(8, entries[0])).size(), 1356U);
    EXPECT_TRUE(bufBuildFileHead(std::vector<CUpgHeadEntry>(9, entries[0])).empty());
    // A cut never splits a UTF-8 character: 30 ASCII bytes and a two-byte character.
    EXPECT_EQ(strUpgFileName(std::string(30, 'a') + "\xC3\xA9" + "b"), std::string(30, 'a'));
}

TEST(UpgWire, AnswersAreFoundHoweverTheReadsCutThem) {
    using A = EUpgAnswer;
    const struct {
        std::vector<std::string> reads;
        std::vector<A> answers;
    } rows[] = {
        {{"RECVFILE OK"}, {A::kOk}},
        {{"RECVFILE OKRECVFILE OK"}, {A::kOk, A::kOk}},
        {{"RECVF", "ILE OK"}, {A::kOk}},
        {{"noise RECVFILE FAI", "LED\n", "RECVFILE OK"}, {A::kFailed, A::kOk}},
        {{std::string("RECVFILE OK\0RECVFILE FAILED", 27)}, {A::kOk, A::kFailed}},
        {{"RECVFILE", " NOPE", "RECVFILE OK"}, {A::kOk}},
        {{"recvfile ok", ""}, {}},
    };
    for (const auto& row : rows) {
        CUpgAnswerParser parser;
        std::vector<A> answers;
        for (const std::string& read : row.reads) {
            parser.vFeed(std::span(reinterpret_cast<const std::uint8_t*>(read.data()), read.size()),
                         answers);
        }
        EXPECT_EQ(answers, row.answers) << row.reads.front();
    }
}

}  // namespace
