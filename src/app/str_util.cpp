#include "app/str_util.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "app/log.h"
#include "platform/local_time.h"
#include "platform/paths.h"

unsigned int iHexStrToVal(const char* text, int digits) {
    if (text == nullptr) {
        KLOG_INFO("NULL");
        return 0;
    }
    if (digits > 8) {
        KLOG_INFO("len too long");
        return 0;
    }
    // Scanned with "%<digits>x", so blanks and a 0x prefix behave as the C library says.
    char format[16] = {};
    std::snprintf(format, sizeof format, "%c0%dx", '%', digits);
    unsigned int value = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (std::sscanf(text, format, &value) != 1) {
        value = 0;
    }
#pragma GCC diagnostic pop
    return value;
}

bool fgIsAllDigits(const char* text) {
    if (text == nullptr) {
        return true;
    }
    for (; *text != '\0'; ++text) {
        if (std::isdigit(static_cast<unsigned char>(*text)) == 0) {
            return false;
        }
    }
    return true;
}

std::string strGetTimeStr() {
    const std::tm local = tmLocalTime(std::time(nullptr));
    char text[128] = {};
    std::snprintf(text, sizeof text, "%4d-%02d-%02d-%02d-%02d-%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string strDirOfPath(const std::string& modulePath) {
    const size_t cut = modulePath.find_last_of(kPathSeps);
    if (cut == std::string::npos) {
        return {};
    }
    return modulePath.substr(0, cut + 1);
}

std::string strGetExeDir() {
    return strDirOfPath(strExecutablePath());
}

std::string strMaskSecret(const std::string& secret) {
    return secret.empty() ? std::string() : std::string("***");
}
