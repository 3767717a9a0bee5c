#include "platform/env.h"

#include <windows.h>

#include <cstdlib>

std::optional<std::string> strGetEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

bool fgSetEnv(const char* name, const std::string& value) {
    return _putenv_s(name, value.c_str()) == 0;
}

std::string strMessagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    wchar_t wide[LOCALE_NAME_MAX_LENGTH] = {};
    const int length = GetUserDefaultLocaleName(wide, LOCALE_NAME_MAX_LENGTH);
    if (length <= 1) {
        return {};
    }
    // Locale names are ASCII ("zh-CN"); the POSIX form joins with an underscore.
    std::string name;
    for (int i = 0; i < length - 1; ++i) {
        name.push_back(wide[i] == L'-' && name.find('_') == std::string::npos
                           ? '_'
                           : static_cast<char>(wide[i]));
    }
    return name;
}

std::string strHostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof name;
    if (!GetComputerNameA(name, &length)) {
        return {};
    }
    return std::string(name, length);
}
