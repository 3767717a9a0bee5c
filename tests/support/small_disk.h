#pragma once

// A small filesystem of its own for tests of full disks: a tmpfs of the given size
// mounted on a fresh temporary folder, unmounted (and the folder removed) when the
// object goes away. Needs root; fgMounted() says whether it worked.

#include <sys/mount.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "support/temp_dir.h"

class CSmallDisk {
  public:
    explicit CSmallDisk(std::size_t bytes) {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        m_fgMounted = ::mount("tmpfs", m_dir.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                              options.c_str()) == 0;
    }
    ~CSmallDisk() {
        if (m_fgMounted) {
            ::umount2(m_dir.path().c_str(), MNT_DETACH);
        }
    }
    CSmallDisk(const CSmallDisk&) = delete;
    CSmallDisk& operator=(const CSmallDisk&) = delete;

    bool fgMounted() const { return m_fgMounted; }
    std::string file(const std::string& name) const { return m_dir.file(name); }
    // Fills what room is left with one file, so that the next write fails.
    void vFill() const {
        std::FILE* file = std::fopen(m_dir.file("filler").c_str(), "wb");
        if (file == nullptr) {
            return;
        }
        static const char kBlock[4096] = {};
        while (std::fwrite(kBlock, 1, sizeof kBlock, file) == sizeof kBlock &&
               std::fflush(file) == 0) {
        }
        std::fclose(file);
    }

  private:
    CTempDir m_dir;
    bool m_fgMounted = false;
};
