#include "util/local_time.h"

#include <algorithm>
#include <ctime>

int local_seconds_of_day()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int seconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return std::min(seconds, 86399);  // a leap second stays within the day
}

LocalDateTime local_date_time()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}
