// emitters.cpp -- PLACEHOLDER until the particle emitters land
#include "scenes/scenes.h"

Emitter emitters[EMITTERS];
float emitter_gravity = 0.5f;

void emitters_init(void) {}
void emitters_free(void) {}
