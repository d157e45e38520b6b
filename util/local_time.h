#pragma once

// The local time of day in whole seconds since midnight, 0 ... 86399.
int local_seconds_of_day();

// The local date and time now, to the second.
struct LocalDateTime {
    int year, month, day, hour, minute, second;
};
LocalDateTime local_date_time();
