#include "platform/env.h"

#include <unistd.h>

#include <array>
#include <cstdlib>

std::optional<std::string> strGetEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

bool fgSetEnv(const char* name, const std::string& value) {
    return ::setenv(name, value.c_str(), 1) == 0;
}

std::string strMessagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

std::string strHostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return name.data();
}
