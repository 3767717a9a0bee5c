#include "platform/files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <random>

FilePtr sCreatePrivateTemp(const std::filesystem::path& finalPath,
                           std::filesystem::path& tempPath) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = finalPath.string() + ".";
        for (int i = 0; i < 6; ++i) {
            name.push_back(kLetters[pick(random)]);
        }
        // CREATE_NEW fails on a name that exists, so no other file is ever opened; the
        // file takes the protection of the (per-user) folder.
        const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return nullptr;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
        if (fd < 0) {
            CloseHandle(handle);
            DeleteFileA(name.c_str());
            return nullptr;
        }
        FilePtr file(_fdopen(fd, "wb"));
        if (!file) {
            _close(fd);
            DeleteFileA(name.c_str());
            return nullptr;
        }
        tempPath = name;
        return file;
    }
    return nullptr;
}

int iFlushToDisk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0 || _commit(_fileno(file)) != 0) {
        return -1;
    }
    return 0;
}

int iReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    // rename refuses an existing target here; MoveFileEx replaces it in one step.
    return MoveFileExA(from.string().c_str(), to.string().c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0
               ? 0
               : -1;
}

namespace {
int iErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EACCES;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
            return ENOENT;
        default:
            return EIO;
    }
}
}  // namespace

int iWriteFileReplacing(const std::string& path, std::string_view bytes,
                        EReplaceAccess /*access*/) {
    std::filesystem::path tempPath;
    FilePtr file = sCreatePrivateTemp(path, tempPath);
    if (!file) {
        return iErrnoOf(GetLastError());
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                         iFlushToDisk(file.get()) == 0;
    const int writeError = written ? 0 : (errno != 0 ? errno : EIO);
    // A late write error shows at the close.
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        DeleteFileA(tempPath.string().c_str());
        return writeError != 0 ? writeError : EIO;
    }
    if (iReplaceFile(tempPath, path) != 0) {
        const int moveError = iErrnoOf(GetLastError());
        DeleteFileA(tempPath.string().c_str());
        return moveError;
    }
    return 0;
}
