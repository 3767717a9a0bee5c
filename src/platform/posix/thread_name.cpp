#include "platform/thread_name.h"

#include <pthread.h>

#include <algorithm>
#include <array>
#include <cstring>

void vSetThreadName(std::string_view name) {
    std::array<char, 16> shortName{};
    std::memcpy(shortName.data(), name.data(), std::min(name.size(), shortName.size() - 1));
    (void)pthread_setname_np(pthread_self(), shortName.data());
}
