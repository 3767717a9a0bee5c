#include "app/file_util.h"

#include <algorithm>
#include <filesystem>

#include "app/log.h"
#include "platform/paths.h"

int iReadFileBuf(const char* path, int size, void* buffer) {
    if (path == nullptr || buffer == nullptr) {
        return 0;
    }
    const FilePtr file(std::fopen(path, "rb"));
    if (!file) {
        return 0;
    }
    constexpr int kChunkBytes = 0x20000;
    auto* bytes = static_cast<unsigned char*>(buffer);
    int total = 0;
    int remaining = size;
    while (remaining > 0) {
        const int chunk = std::min(remaining, kChunkBytes);
        const size_t got = std::fread(bytes + total, 1, static_cast<size_t>(chunk), file.get());
        if (got == 0) {
            break;
        }
        total += static_cast<int>(got);
        remaining -= static_cast<int>(got);
    }
    if (total == 0) {
        KLOG_INFO("read fail");
    }
    return total;
}

int iWriteBufToFile(int length, FilePtr& file, const char* path, const void* data) {
    if (!file) {
        if (path == nullptr) {
            return -1;
        }
        KLOG_INFO("openfile:%s", path);
        file.reset(std::fopen(path, "wb+"));
        if (!file) {
            KLOG_ERR("open file:%s", path);
            return -1;
        }
    }
    if (length < 1 || data == nullptr) {
        return 0;
    }
    return static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(length), file.get()));
}

// Set by the build from the install folders (GNUInstallDirs).
const char* const kDataDirFromProgramDir = KESTREL_DATA_FROM_BIN;

namespace {

// The data folder beside programDir; empty without a program folder.
std::filesystem::path sDataDir(const std::string& programDir) {
    if (programDir.empty()) {
        return {};
    }
    return (std::filesystem::path(programDir) / kDataDirFromProgramDir).lexically_normal();
}

// The per-user folder for this program; empty when the environment names none.
std::filesystem::path sUserDir() {
    const std::filesystem::path home = sUserDataHome();
    return home.empty() ? home : home / "kestrel";
}

}  // namespace

std::string strGetWritableDir(const std::string& programDir) {
    std::error_code error;
    const bool installed = std::filesystem::is_directory(sDataDir(programDir), error);
    if (!installed && fgCanWriteDir(programDir)) {
        return programDir;
    }
    const std::filesystem::path userDir = sUserDir();
    if (userDir.empty() || !fgMakePrivateDirs(userDir)) {
        KLOG_ERR("no user folder:%s", userDir.string().c_str());
        return programDir;
    }
    return (userDir / "").string();
}

std::string strFindDataFile(const std::string& programDir, const std::string& name) {
    return strFindDataFile(programDir, {}, name);
}

std::string strFindDataFile(const std::string& programDir, const std::string& userDir,
                            const std::string& name) {
    const std::string besideProgram = programDir + name;
    std::error_code error;
    if (std::filesystem::exists(besideProgram, error)) {
        return besideProgram;
    }
    if (!userDir.empty() && std::filesystem::exists(userDir + name, error)) {
        return userDir + name;
    }
    const std::filesystem::path installed = sDataDir(programDir) / name;
    if (std::filesystem::exists(installed, error)) {
        return installed.string();
    }
    return besideProgram;
}
