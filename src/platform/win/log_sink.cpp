#include "platform/log_sink.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Opened once, on the first line; kept for the whole process like standard error.
// Written through the C library's descriptors, so that a redirection of descriptor 2
// (a test capturing standard error) takes the lines too.
int iLogFd() {
    static const int fd = [] {
        const char* path = std::getenv("KESTREL_LOG");
        if (path != nullptr && *path != '\0') {
            const int opened =
                _open(path, _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT,
                      _S_IREAD | _S_IWRITE);
            if (opened >= 0) {
                return opened;
            }
        }
        // The lines end in CR LF already: no translation of LF.
        (void)_setmode(_fileno(stderr), _O_BINARY);
        return _fileno(stderr);
    }();
    return fd;
}

}  // namespace

void vLogSinkWrite(std::string_view line) {
    const std::string text(line);
    OutputDebugStringA(text.c_str());
    (void)_write(iLogFd(), text.data(), static_cast<unsigned>(text.size()));
}
