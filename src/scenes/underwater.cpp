// underwater.cpp -- PLACEHOLDER until the underwater scene lands
#include "scenes/scenes.h"

void scene_underwater(int, float, int, float) {}
