#include "app/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

// Where a replacement failed; what failed is in errno.
enum class EReplaceStep { kDone, kCreate, kWrite, kRename };

std::atomic<unsigned> g_uiTempSerial{0};

// Every system call of a replacement, in one place: temporary file beside path
// (O_EXCL, never someone else's file), whole write, fsync, close, rename, then the
// folder synced so that the rename itself lasts. On failure errno tells why and the
// temporary file is gone.
EReplaceStep eReplaceFile(const std::string& path, std::string_view bytes, EFileAccess access) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string temp = (slash == std::string::npos ? std::string() : folder) + "." + name +
                             ".tmp-" + std::to_string(::getpid()) + "-" +
                             std::to_string(g_uiTempSerial.fetch_add(1));
    const mode_t mode = access == EFileAccess::kPrivate
                            ? S_IRUSR | S_IWUSR
                            : S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        return EReplaceStep::kCreate;
    }
    bool written = true;
    while (written && !bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        written = count > 0;
        if (written) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
        } else if (count == 0) {
            errno = ENOSPC;
        }
    }
    written = written && ::fsync(fd) == 0;
    int savedErrno = errno;
    // A late write error of a network or full file system shows at close.
    if (::close(fd) != 0 && written) {
        written = false;
        savedErrno = errno;
    }
    if (!written) {
        ::unlink(temp.c_str());
        errno = savedErrno;
        return EReplaceStep::kWrite;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        savedErrno = errno;
        ::unlink(temp.c_str());
        errno = savedErrno;
        return EReplaceStep::kRename;
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return EReplaceStep::kDone;
}

}  // namespace

bool fgWriteFileAtomic(const std::string& path, std::string_view bytes, std::string& error,
                       EFileAccess access) {
    if (path.empty() || path.back() == '/') {
        error = "cannot write '" + path + "': not a file name";
        return false;
    }
    const EReplaceStep step = eReplaceFile(path, bytes, access);
    if (step == EReplaceStep::kDone) {
        error.clear();
        return true;
    }
    const int code = errno;
    error = "cannot write " + path + ": " + std::strerror(code);
    return false;
}

bool fgWriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error, EFileAccess access) {
    return fgWriteFileAtomic(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error,
        access);
}
