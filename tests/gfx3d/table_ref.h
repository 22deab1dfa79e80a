// table_ref.h -- the table sine and cosine worked out again for tests: interpolation in double, rounded once
#pragma once
#include <cmath>

#include "gfx3d/gfx3d.h"

// `a` is the angle in table steps (256 per turn), a single-precision value.
inline float ref_table_lookup(float a)
{
    double k = std::floor((double)a);
    double f = (double)a - k;
    int i = (int)(((long long)k % 256 + 256) % 256);
    return (float)((double)sine_table[i] * (1.0 - f) + (double)sine_table[(i + 1) % 256] * f);
}
inline float ref_table_sin(float x) { return ref_table_lookup(x * 40.743664f); }
inline float ref_table_cos(float x)
{
    float a = x * 40.743664f;
    float quarter = a + 64.0f;  // rounded to single before the lookup
    return ref_table_lookup(quarter);
}
