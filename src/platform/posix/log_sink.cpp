#include "platform/log_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// Opened once, on the first line; kept for the whole process like standard error.
int iLogFd() {
    static const int fd = [] {
        const char* path = std::getenv("KESTREL_LOG");
        if (path == nullptr || *path == '\0') {
            return STDERR_FILENO;
        }
        const int opened = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        return opened >= 0 ? opened : STDERR_FILENO;
    }();
    return fd;
}

}  // namespace

void vLogSinkWrite(std::string_view line) {
    const ssize_t written = ::write(iLogFd(), line.data(), line.size());
    (void)written;
}
