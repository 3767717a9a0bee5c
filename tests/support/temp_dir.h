#pragma once

#include <filesystem>
#include <string>

// A fresh directory under the system's temporary folder, removed with its content
// when the object goes away.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // Path of a file in the directory, as text.
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    // Writes bytes to a file in the directory and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path m_path;
};
