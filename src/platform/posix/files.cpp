#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
