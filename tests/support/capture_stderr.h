#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

// Captures what the process writes to one of its standard streams while the object
// lives; text() returns it. CCaptureStderr takes the diagnostic lines, CCaptureStdout
// what would reach a script's pipe. strSoFar() reads what was written up to now while
// the capture goes on, so another thread can wait for a line.
class CCaptureFd {
  public:
    explicit CCaptureFd(int fd) : m_iFd(fd), m_file(std::tmpfile()), m_saved(::dup(fd)) {
        vFlush();
        ::dup2(::fileno(m_file), fd);
    }
    ~CCaptureFd() {
        vRestore();
        std::fclose(m_file);
    }
    CCaptureFd(const CCaptureFd&) = delete;
    CCaptureFd& operator=(const CCaptureFd&) = delete;

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

    std::string strSoFar() const {
        std::string out;
        char chunk[4096];
        ssize_t got = 0;
        while ((got = ::pread(::fileno(m_file), chunk, sizeof chunk,
                              static_cast<off_t>(out.size()))) > 0) {
            out.append(chunk, static_cast<size_t>(got));
        }
        return out;
    }

  private:
    static void vFlush() {
        std::fflush(stdout);
        std::fflush(stderr);
    }
    void vRestore() {
        if (m_saved >= 0) {
            vFlush();
            ::dup2(m_saved, m_iFd);
            ::close(m_saved);
            m_saved = -1;
        }
    }
    int m_iFd;
    std::FILE* m_file;
    int m_saved;
};

class CCaptureStderr : public CCaptureFd {
  public:
    CCaptureStderr() : CCaptureFd(STDERR_FILENO) {}
};

class CCaptureStdout : public CCaptureFd {
  public:
    CCaptureStdout() : CCaptureFd(STDOUT_FILENO) {}
};
