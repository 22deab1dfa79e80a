// maths.cpp -- PLACEHOLDER until the fixed-point maths lands
#include "gfx3d/gfx3d.h"

#include <cmath>

float table_sin(float angle) { return sinf(angle); }
float table_cos(float angle) { return cosf(angle); }
