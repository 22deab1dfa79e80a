// random.cpp -- the one shared pseudo-random sequence; every draw of the program comes from it
#include "assets/random.h"

uint32_t rand_state = 1;

int demo_rand(void)
{
    rand_state = rand_state * 214013u + 2531011u;
    return (int)((rand_state >> 16) & 0x7FFF);
}

void demo_srand(uint32_t seed) { rand_state = seed; }
