#include "ui/store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {
// A descriptor closed by its owner.
class CFd {
  public:
    explicit CFd(int fd) : m_iFd(fd) {}
    ~CFd() {
        if (m_iFd >= 0) {
            ::close(m_iFd);
        }
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int iGet() const { return m_iFd; }
    // Closes now and reports whether the close succeeded (a late write error shows here).
    bool fgClose() {
        const int fd = m_iFd;
        m_iFd = -1;
        return ::close(fd) == 0;
    }

  private:
    int m_iFd;
};

bool fgWriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced only weakens that.
void vSyncFolder(const std::filesystem::path& folder) {
    const CFd dir(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.iGet() >= 0) {
        ::fsync(dir.iGet());
    }
}
}  // namespace

EStoreLine eReadStoreLine(std::istream& stream, std::string& line) {
    line.clear();
    bool tooLong = false;
    bool any = false;
    for (;;) {
        const int next = stream.get();
        if (next == std::char_traits<char>::eof()) {
            break;
        }
        any = true;
        if (next == '\n') {
            break;
        }
        if (line.size() < kStoreLineMax) {
            line.push_back(static_cast<char>(next));
        } else {
            tooLong = true;
        }
    }
    if (!any) {
        return EStoreLine::kEnd;
    }
    if (tooLong) {
        line.clear();
        return EStoreLine::kTooLong;
    }
    return EStoreLine::kLine;
}

int iRewriteStoreFile(const std::filesystem::path& path, std::string_view content) {
    std::string pattern = path.string() + ".XXXXXX";
    std::vector<char> tempName(pattern.begin(), pattern.end());
    tempName.push_back('\0');
    // mkstemp creates the file with mode 0600, so the secrets are never readable by others.
    CFd temp(::mkstemp(tempName.data()));
    if (temp.iGet() < 0) {
        return -1;
    }
    const bool written = ::fchmod(temp.iGet(), S_IRUSR | S_IWUSR) == 0 &&
                         fgWriteAll(temp.iGet(), content) && ::fsync(temp.iGet()) == 0;
    if (!temp.fgClose() || !written) {
        ::unlink(tempName.data());
        return -2;
    }
    if (::rename(tempName.data(), path.c_str()) != 0) {
        ::unlink(tempName.data());
        return -3;
    }
    vSyncFolder(path.parent_path());
    return 0;
}
