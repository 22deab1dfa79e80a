// random.h -- the one shared pseudo-random sequence: state = state x 214013 + 2531011, draws 0..32767
#pragma once
#include <cstdint>

// Every draw of the program comes from this sequence, so the order of draws matters.
extern uint32_t rand_state;  // 1 at program start
int demo_rand(void);
void demo_srand(uint32_t seed);
