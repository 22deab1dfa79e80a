// image.cpp -- PLACEHOLDER until pictures land: loads nothing, draws nothing
#include "gfx2d/gfx2d.h"

void image_load(const char*, Image* image) { *image = Image{}; }
void image_free(Image* image) { image->pixels = nullptr, image->width = image->height = 0; }
void image_blit_alpha(const Image*, int, int) {}
void image_blit_add(const Image*, int, int) {}
