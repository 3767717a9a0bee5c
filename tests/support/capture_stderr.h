#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

// Captures what the process writes to standard error (the diagnostic lines) while
// the object lives; text() returns it.
class CCaptureStderr {
public:
    CCaptureStderr() : m_file(std::tmpfile()), m_saved(::dup(STDERR_FILENO)) {
        std::fflush(stderr);
        ::dup2(::fileno(m_file), STDERR_FILENO);
    }
    ~CCaptureStderr() {
        vRestore();
        std::fclose(m_file);
    }
    CCaptureStderr(const CCaptureStderr&) = delete;
    CCaptureStderr& operator=(const CCaptureStderr&) = delete;

    std::string text() {
        vRestore();
        std::string out;
        std::rewind(m_file);
        char chunk[4096];
        size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, m_file)) > 0) {
            out.append(chunk, got);
        }
        return out;
    }

private:
    void vRestore() {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
    }
    std::FILE* m_file;
    int m_saved;
};
