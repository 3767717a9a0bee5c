#include "app/settings.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "app/file_util.h"
#include "app/log.h"
#include "app/str_util.h"
#include "app/translate.h"
#include "platform/env.h"
#include "platform/socket.h"

namespace {
constexpr const char* kDefaultIpFile = "SelectDefaultIp.ini";
constexpr int kDefaultIpBytes = 32;
}  // namespace

CSettings& CSettings::instance() {
    static CSettings settings;
    return settings;
}

int iQueryUiLang() {
    if (const char* forced = std::getenv("KESTREL_UI_LANG"); forced != nullptr && *forced != '\0') {
        char* end = nullptr;
        const long value = std::strtol(forced, &end, 10);
        if (end != nullptr && *end == '\0' && value > 0 && value <= 0xFFFF) {
            return static_cast<int>(value);
        }
    }
    const std::string locale = strMessagesLocale();
    for (const std::string_view chinese : {"zh_CN", "zh_SG", "zh_Hans"}) {
        if (locale.starts_with(chinese)) {
            return kLangChinese;
        }
    }
    return kLangEnglish;
}

int iReadDefaultIpFile(char* buffer) {
    if (buffer == nullptr) {
        return -1;
    }
    std::error_code error;
    if (!std::filesystem::exists(kDefaultIpFile, error)) {
        return -2;
    }
    const FilePtr file(std::fopen(kDefaultIpFile, "rb"));
    if (!file) {
        return 0;
    }
    return static_cast<int>(std::fread(buffer, 1, kDefaultIpBytes, file.get()));
}

std::uint32_t uiParseDefaultIp(const char* text, int length) {
    std::string address;
    for (int i = 0; i < length && i < kDefaultIpBytes; ++i) {
        const char c = text[i];
        if (c == '\0' || c == '\r' || c == '\n' || c == ' ' || c == '\t') {
            break;
        }
        address.push_back(c);
    }
    std::uint32_t addrNet = 0;
    return fgParseIp(address, addrNet) ? addrNet : 0;
}

void vSettingInit(CSettings& settings, const std::string& programDir) {
    settings.m_strProgramDir = programDir.empty() ? strGetExeDir() : programDir;
    settings.m_strWritableDir = strGetWritableDir(settings.m_strProgramDir);
    settings.m_strLangFile = strFindDataFile(settings.m_strProgramDir, "lang.lang");
    settings.m_iUiLang = iQueryUiLang();

    std::error_code error;
    settings.m_fgReselect =
        std::filesystem::exists(settings.m_strWritableDir + kDefaultIpFile, error);
    if (settings.m_fgReselect) {
        KLOG_INFO("has select dev");
    }

    char text[kDefaultIpBytes] = {};
    const int bytes = iReadDefaultIpFile(text);
    settings.m_uiLastSelectAddr = bytes > 0 ? uiParseDefaultIp(text, bytes) : 0;
}
