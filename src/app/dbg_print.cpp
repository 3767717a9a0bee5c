#include "app/dbg_print.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

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

void vDbgPrint(const char* format, ...) {
    char line[kDbgLineMax + 1] = {};
    va_list args;
    va_start(args, format);
    const int wanted = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (wanted < 0) {
        return;
    }
    const auto length = static_cast<size_t>(wanted < kDbgLineMax ? wanted : kDbgLineMax);
#ifdef _WIN32
    OutputDebugStringA(line);
#endif
    // One write per line keeps lines of concurrent threads whole.
    const ssize_t written = ::write(iLogFd(), line, length);
    (void)written;
}
