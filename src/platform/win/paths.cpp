// Paths are narrow text in the system's ANSI code page, as the C library's fopen takes
// them.
#include "platform/paths.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

std::string strExecutablePath() {
    std::vector<char> path(MAX_PATH);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            return std::string(path.data(), length);
        }
        path.resize(path.size() * 4);
    }
    return {};
}

std::filesystem::path sUserDataHome() {
    const char* local = std::getenv("LOCALAPPDATA");
    if (local == nullptr || *local == '\0') {
        return {};
    }
    return std::filesystem::path(local);
}

bool fgMakePrivateDirs(const std::filesystem::path& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    return std::filesystem::is_directory(dir, error);
}

bool fgCanWriteDir(const std::string& dir) {
    if (dir.empty()) {
        return false;
    }
    // The read-only attribute says nothing about a folder's permissions here: try.
    std::string probe = dir;
    if (!probe.empty() && probe.back() != '\\' && probe.back() != '/') {
        probe.push_back('\\');
    }
    probe += ".kestrel-write-probe-" + std::to_string(GetCurrentProcessId());
    const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

std::string strSharedFolderUserTag() {
    return {};
}
