// rand_helpers.h -- where the shared random generator stands after a number of draws, for the scene tests
#pragma once
#include <cstdint>

#include "assets/random.h"

// The generator state after `draws` draws from `seed`; the running state is left as it was.
inline uint32_t state_after(uint32_t seed, int draws)
{
    uint32_t saved = rand_state;
    demo_srand(seed);
    for (int k = 0; k < draws; k++)
        demo_rand();
    uint32_t s = rand_state;
    rand_state = saved;
    return s;
}
