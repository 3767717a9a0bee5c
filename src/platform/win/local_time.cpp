#include "platform/local_time.h"

#include <ctime>

std::tm tmLocalTime(std::time_t when) {
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}
