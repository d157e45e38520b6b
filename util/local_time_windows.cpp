#include "util/local_time.h"

#include <windows.h>

int local_seconds_of_day()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
}

LocalDateTime local_date_time()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}
