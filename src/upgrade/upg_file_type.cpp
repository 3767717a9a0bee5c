#include "upgrade/upg_file_type.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/dbg_print.h"
#include "app/file_util.h"

namespace {

// Classification order: the first substring found decides.
constexpr std::array<std::pair<std::string_view, std::uint32_t>, 6> kPathMarks{{
    {"config_info", kUpgTypeConfig},
    {"ipcupg", kUpgTypeApp},
    {"kernel", kUpgTypeKernel},
    {"rootfs", kUpgTypeRootfs},
    {"uboot", kUpgTypeUboot},
    {"env", kUpgTypeEnv},
}};

}  // namespace

int iGetFileType(std::string_view path) {
    for (const auto& [mark, code] : kPathMarks) {
        if (path.find(mark) != std::string_view::npos) {
            return static_cast<int>(code);
        }
    }
    vDbgPrint("camkit:%s, %d=>err\r\n", "CUpgrader::iGetFileType", __LINE__);
    return -1;
}

std::string strUpgTypeKey(std::uint32_t code) {
    switch (code) {
        case kUpgTypeUboot:
            return "uboot file ";
        case kUpgTypeEnv:
            return "env file ";
        case kUpgTypeKernel:
            return "kernel file ";
        case kUpgTypeRootfs:
            return "rootfs file ";
        case kUpgTypeConfig:
            return "config file ";
        case kUpgTypeApp:
            return "app file ";
        case kUpgTypeOthers:
            return "usr file ";
        default:
            return "unkown type";
    }
}

CUpgChoice sChooseUpgFiles(const std::vector<std::string>& paths, int requestedType) {
    CUpgChoice choice;
    const std::size_t considered = std::min(paths.size(), std::size_t{kUpgFilesMax});
    for (std::size_t i = 0; i < considered; ++i) {
        const std::string& path = paths[i];
        const int code = requestedType == static_cast<int>(kUpgTypeOthers)
                             ? static_cast<int>(kUpgTypeOthers)
                             : iGetFileType(path);
        const bool wrongType = requestedType != kUpgTypeByPath && code != requestedType;
        if (code < 0 || wrongType) {
            if (wrongType) {
                vDbgPrint("camkit:%s, %d=>file type err\r\n", "CUpgrader::UpgradeFile", __LINE__);
            }
            choice.m_rejected.push_back(path);
            continue;
        }
        choice.m_files.push_back(CUpgFile{path, static_cast<std::uint32_t>(code)});
        vDbgPrint("camkit:%s, %d=>file index=%zu,type=0x%x\r\n", "CUpgrader::UpgradeFile", __LINE__,
                  choice.m_files.size(), static_cast<unsigned>(code));
    }
    if (choice.m_files.empty()) {
        vDbgPrint("camkit:%s, %d=>no select file 3\r\n", "CUpgrader::UpgradeFile", __LINE__);
    }
    return choice;
}

int iUpgTypeFromName(std::string_view name) {
    constexpr std::array<std::pair<std::string_view, std::uint32_t>, 7> kNames{{
        {"uboot", kUpgTypeUboot},
        {"env", kUpgTypeEnv},
        {"kernel", kUpgTypeKernel},
        {"rootfs", kUpgTypeRootfs},
        {"config", kUpgTypeConfig},
        {"app", kUpgTypeApp},
        {"others", kUpgTypeOthers},
    }};
    for (const auto& [text, code] : kNames) {
        if (text == name) {
            return static_cast<int>(code);
        }
    }
    return -2;
}

std::string strUpgFileProblem(const std::string& path) {
    // Largest size the file head's signed 32-bit field holds.
    constexpr std::uintmax_t kBytesMax = 0x7FFFFFFF;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        return "does not exist";
    }
    if (!std::filesystem::is_regular_file(status)) {
        return "is not a regular file";
    }
    const FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return "cannot be read";
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return "cannot be read";
    }
    if (size == 0) {
        return "is empty";
    }
    if (size > kBytesMax) {
        return "is 2 GiB or larger";
    }
    // A folder of some file systems opens as a file; a read tells.
    std::uint8_t byte = 0;
    if (std::fread(&byte, 1, 1, file.get()) != 1) {
        return "cannot be read";
    }
    return {};
}
