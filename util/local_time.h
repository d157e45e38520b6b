#pragma once

// The local time of day in whole seconds since midnight, 0 ... 86399.
int local_seconds_of_day();
