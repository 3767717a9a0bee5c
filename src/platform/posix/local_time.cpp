#include "platform/local_time.h"

#include <ctime>

std::tm tmLocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

std::tm tmUtcTime(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    return utc;
}
