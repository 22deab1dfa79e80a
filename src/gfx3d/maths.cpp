// maths.cpp -- 20.12 fixed point: float conversions, table sine, vectors, row-vector 4 x 4 matrices
#include "gfx3d/gfx3d.h"

#include <cmath>

// ---- internal functions ----

// The table lookup shared by sine and cosine; `a` is the angle in table steps (256 per turn).
static float table_lookup(float a)
{
    float k = floorf(a);
    float f = a - k;  // exact: the fraction bits of a
    int i = 0;
    if (k > -9.2e18f && k < 9.2e18f) i = (int)((int64_t)k & 255);  // wraps negative angles too
    double r = (double)sine_table[i] * (1.0 - f) + (double)sine_table[(i + 1) & 255] * f;
    return (float)r;
}

// ---- public functions ----

float table_sin(float angle) { return table_lookup(angle * 40.743664f); }

float table_cos(float angle) { return table_lookup(angle * 40.743664f + 64.0f); }

void vec_scale(Vec3* d, const Vec3* a, fixed s)
{
    d->x = fixed_mul(a->x, s);
    d->y = fixed_mul(a->y, s);
    d->z = fixed_mul(a->z, s);
}

fixed vec_length_sq(const Vec3* a)
{
    return fixed_add(fixed_add(fixed_mul(a->y, a->y), fixed_mul(a->z, a->z)), fixed_mul(a->x, a->x));
}

void vec_normalize(Vec3* a)
{
    double x = fixed_to_float(a->x), y = fixed_to_float(a->y), z = fixed_to_float(a->z);
    float q = (float)(x * x + y * y + z * z);
    if (q == 0.0f) return;
    fixed l = fixed_from_float(sqrtf(q));
    if (l == 0) return;
    a->x = fixed_div(a->x, l);
    a->y = fixed_div(a->y, l);
    a->z = fixed_div(a->z, l);
}

void mat_identity(Mat4* m)
{
    for (int i = 0; i < 16; i++) m->m[i] = (i % 5 == 0) ? 4096 : 0;
}

void mat_mul(Mat4* d, const Mat4* a, const Mat4* b)
{
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            fixed sum = 0;
            for (int k = 0; k < 4; k++) sum = fixed_add(sum, fixed_mul_quick(a->m[4 * r + k], b->m[4 * k + c]));
            d->m[4 * r + c] = sum;
        }
}

void mat_translate(Mat4* m, fixed x, fixed y, fixed z)
{
    mat_identity(m);
    m->m[12] = x;
    m->m[13] = y;
    m->m[14] = z;
}

void mat_rotate_x(Mat4* m, float angle)
{
    fixed c = fixed_from_float(table_cos(angle)), s = fixed_from_float(table_sin(angle));
    mat_identity(m);
    m->m[5] = c, m->m[6] = s, m->m[9] = fixed_neg(s), m->m[10] = c;
}

void mat_rotate_y(Mat4* m, float angle)
{
    fixed c = fixed_from_float(table_cos(angle)), s = fixed_from_float(table_sin(angle));
    mat_identity(m);
    m->m[0] = c, m->m[2] = fixed_neg(s), m->m[8] = s, m->m[10] = c;
}

void mat_rotate_z(Mat4* m, float angle)
{
    fixed c = fixed_from_float(table_cos(angle)), s = fixed_from_float(table_sin(angle));
    mat_identity(m);
    m->m[0] = c, m->m[1] = s, m->m[4] = fixed_neg(s), m->m[5] = c;
}

// W = -z: points in front of the camera (z > 0) get a negative W.
void mat_perspective(Mat4* m, float zoom, fixed near, fixed far, fixed range)
{
    mat_identity(m);
    m->m[0] = fixed_from_float(zoom / 160.0f);
    m->m[5] = fixed_from_float(zoom / 100.0f);
    m->m[10] = fixed_div(fixed_add(far, near), range);
    m->m[14] = fixed_div(fixed_mul(fixed_mul_int(far, -2), near), range);
    m->m[11] = fixed_from_int(-1);
    m->m[15] = 0;
}

