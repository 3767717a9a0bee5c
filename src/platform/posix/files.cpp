#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

FilePtr sCreatePrivateTemp(const std::filesystem::path& finalPath,
                           std::filesystem::path& tempPath) {
    const std::string pattern = finalPath.string() + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkstemp creates the file with mode 0600; fchmod only makes sure of it.
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    FilePtr file(::fchmod(fd, S_IRUSR | S_IWUSR) == 0 ? ::fdopen(fd, "wb") : nullptr);
    if (!file) {
        ::close(fd);
        ::unlink(name.data());
        return nullptr;
    }
    tempPath = name.data();
    return file;
}

int iFlushToDisk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0 || ::fsync(::fileno(file)) != 0) {
        return -1;
    }
    return 0;
}

int iReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return -1;
    }
    // Makes the rename itself durable; a folder that cannot be synced only weakens that.
    const std::filesystem::path folder = to.parent_path();
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

namespace {
std::atomic<unsigned> g_uiTempSerial{0};
}  // namespace

int iWriteFileReplacing(const std::string& path, std::string_view bytes, EReplaceAccess access) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string temp = (slash == std::string::npos ? std::string() : folder) + "." + name +
                             ".tmp-" + std::to_string(::getpid()) + "-" +
                             std::to_string(g_uiTempSerial.fetch_add(1));
    const mode_t mode = access == EReplaceAccess::kOwnerOnly
                            ? S_IRUSR | S_IWUSR
                            : S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        return errno;
    }
    int failure = 0;
    while (failure == 0 && !bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            failure = count == 0 ? ENOSPC : errno;
        } else {
            bytes.remove_prefix(static_cast<std::size_t>(count));
        }
    }
    if (failure == 0 && ::fsync(fd) != 0) {
        failure = errno;
    }
    // A late write error of a network or full file system shows at close.
    if (::close(fd) != 0 && failure == 0) {
        failure = errno;
    }
    if (failure == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        ::unlink(temp.c_str());
        return failure;
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}
