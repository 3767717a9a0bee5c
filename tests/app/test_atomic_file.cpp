#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/atomic_file.h"
#include "support/temp_dir.h"

namespace {

std::string strRead(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> vecNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(WriteFileAtomic, ReplacesWholeAndLeavesNothingElse) {
    CTempDir dir;
    const std::string path = dir.write("report.csv", "old");
    std::string error = "stale";
    ASSERT_TRUE(fgWriteFileAtomic(path, std::string(100000, 'x'), error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(strRead(path), std::string(100000, 'x'));
    EXPECT_EQ(vecNames(dir.path()), std::vector<std::string>{"report.csv"});

    const std::string secret = dir.file("devpassword.ini");
    ASSERT_TRUE(fgWriteFileAtomic(secret, std::string("a=b\n"), error, EFileAccess::kPrivate));
    struct stat info {};
    ASSERT_EQ(::stat(secret.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
}

TEST(WriteFileAtomic, AFailureNamesTheFileAndKeepsTheFolderAsItWas) {
    CTempDir dir;
    std::filesystem::create_directory(dir.path() / "taken");
    const struct {
        std::string m_strPath;
        const char* m_pszReason;
    } cases[] = {
        {dir.file("taken"), "Is a directory"},
        {dir.file("missing/shot.png"), "No such file or directory"},
        {dir.file("taken/"), "not a file name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_strPath);
        std::string error;
        EXPECT_FALSE(fgWriteFileAtomic(c.m_strPath, std::string("PNG"), error));
        EXPECT_NE(error.find(c.m_strPath), std::string::npos) << error;
        EXPECT_NE(error.find(c.m_pszReason), std::string::npos) << error;
        EXPECT_EQ(vecNames(dir.path()), std::vector<std::string>{"taken"});
        EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "taken"));
    }
}

// A disk that fills up: the old file stays whole and no part of the new one is left.
TEST(WriteFileAtomic, AFullDiskKeepsTheOldFile) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    CTempDir dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A mount namespace of its own, so the small disk is seen by this child only.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("kestrel-full", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
            ::_exit(10);
        }
        std::string error;
        const std::string path = dir.file("snapshot.png");
        if (!fgWriteFileAtomic(path, std::string(20000, 'o'), error)) {
            ::_exit(11);
        }
        const bool replaced = fgWriteFileAtomic(path, std::string(200000, 'n'), error);
        const bool named = error.find(path + ": No space left on device") != std::string::npos;
        const bool kept = strRead(path) == std::string(20000, 'o');
        const bool alone = vecNames(dir.path()) == std::vector<std::string>{"snapshot.png"};
        ::_exit(replaced ? 12 : !named ? 13 : !kept ? 14 : !alone ? 15 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "10 no mount, 11 first write, 12 replaced, 13 error, 14 old file, 15 leftovers";
}
