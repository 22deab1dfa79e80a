// ripple.cpp -- PLACEHOLDER until ripple fields, rain and flash land
#include "scenes/scenes.h"

void scene_rain(int) {}
void scene_flash(void) {}
