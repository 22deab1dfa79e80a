// clock_posix.cpp -- the system tick count from the monotonic clock, and waits
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

uint32_t clock_system_ticks(void)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

void clock_system_sleep(uint32_t ms)
{
    timespec ts = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}
