#pragma once

// Firmware file types: the 32-bit codes every upgrade file carries, how a code is
// found from a file's path, the translation key of each type's name, and the choice
// of the files an upgrade command sends.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::uint32_t kUpgTypeUboot = 0x1111;
inline constexpr std::uint32_t kUpgTypeEnv = 0x2222;
inline constexpr std::uint32_t kUpgTypeKernel = 0x3333;
inline constexpr std::uint32_t kUpgTypeRootfs = 0x4444;
inline constexpr std::uint32_t kUpgTypeConfig = 0x5555;
inline constexpr std::uint32_t kUpgTypeApp = 0x6666;
// Never found from a path; only the "others" command gives it.
inline constexpr std::uint32_t kUpgTypeOthers = 0x7777;

// Requested type of the "Upgrade" button: every file is classified by its path.
inline constexpr int kUpgTypeByPath = -1;
// Most files one device receives in one transfer.
inline constexpr int kUpgFilesMax = 8;

// One file of an upgrade: its full path and its type code.
struct CUpgFile {
    std::string m_strPath;
    std::uint32_t m_uiType = 0;
    bool operator==(const CUpgFile&) const = default;
};

// The type code of a path, or -1 (diagnostic "err") when it holds none of the type
// substrings. The whole path is searched, case-sensitively, for "config_info",
// "ipcupg", "kernel", "rootfs", "uboot" and "env" in this order; the first found decides.
int iGetFileType(std::string_view path);

// Translation key of a type's name ("kernel file ", ... "unkown type").
std::string strUpgTypeKey(std::uint32_t code);

// The files an upgrade command sends, and the paths it turned away.
struct CUpgChoice {
    std::vector<CUpgFile> m_files;        // in the order chosen, at most kUpgFilesMax
    std::vector<std::string> m_rejected;  // paths of the wrong or of no type
};

// Chooses the files of an upgrade command from the paths the operator picked (only the
// first kUpgFilesMax are considered). requestedType kUpgTypeByPath classifies every path;
// kUpgTypeOthers sends every path as "others"; any other code keeps only the paths that
// classify as that code. Diagnostics name each accepted file.
CUpgChoice sChooseUpgFiles(const std::vector<std::string>& paths, int requestedType);

// Why a file cannot be sent, checked before any device is contacted: "does not
// exist", "is not a regular file", "cannot be read", "is empty" or "is 2 GiB or
// larger"; an empty text when it can be sent.
std::string strUpgFileProblem(const std::string& path);

// The requested type of a command-line name: uboot, env, kernel, rootfs, config, app,
// others; -2 for an unknown name.
int iUpgTypeFromName(std::string_view name);
