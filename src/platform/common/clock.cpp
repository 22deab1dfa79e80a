// clock.cpp -- millisecond ticks from the platform's clock, or a hand-set value
#include "platform/clock.h"

// ---- state ----

static struct {
    int manual;       // 1: ticks come from value
    uint32_t value;   // hand-set ticks, ms
} clk;

// ---- public functions ----

uint32_t clock_ticks(void)
{
    return clk.manual ? clk.value : clock_system_ticks();
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
    clock_system_sleep(ms);
}
