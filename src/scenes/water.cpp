// water.cpp -- PLACEHOLDER until the water scene lands
#include "scenes/scenes.h"

void scene_water(int, int, int, float) {}
