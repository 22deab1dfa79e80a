// raster.cpp -- PLACEHOLDER until the rasterizer lands
#include "gfx3d/gfx3d.h"

int32_t zbuffer[SCREEN_PIXELS];

void zbuffer_clear(void) {}
void raster_set_additive(int) {}
void mesh_draw(Mesh*) {}
void mesh_draw_discs(Mesh*, int, const int32_t*) {}
