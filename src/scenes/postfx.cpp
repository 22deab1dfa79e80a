// postfx.cpp -- PLACEHOLDER until the post effects land
#include "scenes/scenes.h"

int fx_time;

void fx_set_time(int t) { fx_time = t; }
void fx_warp(uint32_t*, float, float, float, float, float) {}
void end_sequence(float) {}
