#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// Captures what the process writes to one of its standard streams while the object
// lives; text() returns it. CCaptureStderr takes the diagnostic lines, CCaptureStdout
// what would reach a script's pipe. strSoFar() reads what was written up to now while
// the capture goes on, so another thread can wait for a line.
class CCaptureFd {
  public:
    explicit CCaptureFd(int fd)
        : m_iFd(fd),
          m_path(sUniquePath()),
          m_file(std::fopen(m_path.string().c_str(), "w+b")),
          m_saved(::dup(fd)) {
        vFlush();
        ::dup2(::fileno(m_file), fd);
    }
    ~CCaptureFd() {
        vRestore();
        std::fclose(m_file);
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
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

    // Read through a handle of its own, so that the writers' position stays where it is.
    std::string strSoFar() const {
        std::ifstream file(m_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

  private:
    static std::filesystem::path sUniquePath() {
        static std::atomic<unsigned> s_counter{0};
        return std::filesystem::temp_directory_path() /
               ("kestrel-capture-" + std::to_string(std::random_device{}()) + "-" +
                std::to_string(++s_counter));
    }
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
    std::filesystem::path m_path;
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
