// clock.cpp -- millisecond ticks from the monotonic clock, or a hand-set value
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

// ---- state ----

static struct {
    int manual;       // 1: ticks come from value
    uint32_t value;   // hand-set ticks, ms
} clk;

// ---- public functions ----

uint32_t clock_ticks(void)
{
    if (clk.manual)
        return clk.value;
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

void clock_use_manual(int manual) { clk.manual = manual; }
void clock_set(uint32_t ms) { clk.value = ms; }
void clock_advance(uint32_t ms) { clk.value += ms; }

void clock_sleep(uint32_t ms)
{
    if (clk.manual) {
        clk.value += ms;
        return;
    }
    timespec ts = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}
