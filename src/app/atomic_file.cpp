#include "app/atomic_file.h"

#include <cstring>

#include "platform/files.h"

bool fgWriteFileAtomic(const std::string& path, std::string_view bytes, std::string& error,
                       EFileAccess access) {
    if (path.empty() || path.back() == '/') {
        error = "cannot write '" + path + "': not a file name";
        return false;
    }
    const int code = iWriteFileReplacing(
        path, bytes,
        access == EFileAccess::kPrivate ? EReplaceAccess::kOwnerOnly : EReplaceAccess::kEveryone);
    if (code == 0) {
        error.clear();
        return true;
    }
    error = "cannot write " + path + ": " + std::strerror(code);
    return false;
}

bool fgWriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error, EFileAccess access) {
    return fgWriteFileAtomic(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error,
        access);
}
