#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "ui/store_file.h"

namespace {

std::string strReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::vector<std::string> vecNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

unsigned uMode(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777U;
}

TEST(StoreFile, ReadsLinesWholeAndSkipsOverLongOnes) {
    const std::string longLine(kStoreLineMax + 10, 'x');
    std::istringstream stream("one\r\n\n" + longLine + "\n" + std::string(kStoreLineMax, 'y') +
                              "\nlast");
    struct Row {
        EStoreLine kind;
        std::string line;
    };
    const std::vector<Row> expected{
        {EStoreLine::kLine, "one\r"}, {EStoreLine::kLine, ""},
        {EStoreLine::kTooLong, ""},   {EStoreLine::kLine, std::string(kStoreLineMax, 'y')},
        {EStoreLine::kLine, "last"},  {EStoreLine::kEnd, ""}};
    for (const Row& row : expected) {
        std::string line = "stale";
        EXPECT_EQ(row.kind, eReadStoreLine(stream, line));
        EXPECT_EQ(row.line, line);
    }
}

TEST(StoreFile, RewriteReplacesWholeFileOwnerOnlyWithoutLeftovers) {
    const CTempDir folder;
    const std::string path = folder.write("store.ini", "old content that is longer\n");
    ::chmod(path.c_str(), 0644);

    ASSERT_EQ(0, iRewriteStoreFile(path, "new\n"));
    EXPECT_EQ("new\n", strReadAll(path));
    EXPECT_EQ(0600U, uMode(path));
    EXPECT_EQ(std::vector<std::string>{"store.ini"}, vecNames(folder.path()));
}

TEST(StoreFile, FailedRenameLeavesTargetAndNoTemporary) {
    const CTempDir folder;
    const std::filesystem::path target = folder.path() / "store.ini";
    std::filesystem::create_directory(target);
    std::ofstream(target / "inside") << "kept";

    EXPECT_EQ(-1, iRewriteStoreFile(target, "new\n"));
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_EQ(std::vector<std::string>{"store.ini"}, vecNames(folder.path()));
}

// A disk that fills up during the write: the file size limit makes the write fail as
// a full disk would. Run in a child, so the limit does not reach the test program.
TEST(StoreFile, FullDiskKeepsTheOldFile) {
    const CTempDir folder;
    const std::string oldContent = "first\nsecond\n";
    const std::string path = folder.write("store.ini", oldContent);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int result = iRewriteStoreFile(path, std::string(4096, 'z'));
        ::_exit(result == -1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "the write did not fail";
    EXPECT_EQ(oldContent, strReadAll(path));
    EXPECT_EQ(std::vector<std::string>{"store.ini"}, vecNames(folder.path()));
}

}  // namespace
