// clock_posix.cpp -- the system tick count from the monotonic clock
#include "platform/clock.h"

#include <ctime>

uint32_t clock_system_ticks(void)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}
