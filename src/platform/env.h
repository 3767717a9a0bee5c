#pragma once

#include <optional>
#include <string>

// The value of environment variable name; nullopt when it is not set.
std::optional<std::string> strGetEnv(const char* name);

// Sets environment variable name to value for this process and the programs it starts.
// false when the system refuses.
bool fgSetEnv(const char* name, const std::string& value);

// This computer's name on the network; empty when the system does not tell.
std::string strHostName();

// The user's locale for messages, with "_" between language and region ("zh_CN",
// "en_US.UTF-8"); empty when none is set. POSIX: the first of LC_ALL, LC_MESSAGES and
// LANG that is set. Windows: the same variables when set (so a run can state its
// locale), else the user's default locale.
std::string strMessagesLocale();
