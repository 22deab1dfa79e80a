// maths_test.cpp -- fixed-point rounding, the table sine, vectors and matrices
#include <gtest/gtest.h>

#include <cmath>

#include "gfx3d/gfx3d.h"

TEST(FixedMaths, ProductsAndShiftsRoundTowardMinusInfinity)
{
    EXPECT_EQ(fixed_mul(-1, 1), -1);
    EXPECT_EQ(fixed_mul(1, 1), 0);
    EXPECT_EQ(fixed_to_int(-1), -1);
    EXPECT_EQ(fixed_to_int(-4096), -1);
    EXPECT_EQ(fixed_to_int(-4097), -2);
    EXPECT_EQ(fixed_mul(3 * 4096, 2048), 6144);
    // Products beyond 32 bits keep their low 32 bits.
    int64_t big = ((int64_t)0x7FFFFFFF * 0x7FFFFFFF) >> 12;
    EXPECT_EQ(fixed_mul(0x7FFFFFFF, 0x7FFFFFFF), (fixed)(uint32_t)(uint64_t)big);
    EXPECT_EQ(fixed_from_int(-3), -12288);
    EXPECT_EQ(fixed_mul_int(0x40000000, 4), 0);  // wraps
}

TEST(FixedMaths, QuickProductMatchesProduct)
{
    const fixed values[] = {0, 1, -1, 4096, -4096, 2048, 12345, -98765, 0x7FFFFFFF, INT32_MIN};
    for (fixed a : values)
        for (fixed b : values) EXPECT_EQ(fixed_mul_quick(a, b), fixed_mul(a, b)) << a << " * " << b;
}

TEST(FixedMaths, DivisionTruncatesTowardZero)
{
    EXPECT_EQ(fixed_div(-1, 4096 * 3), 0);
    EXPECT_EQ(fixed_div(4096, 4096 * 3), 1365);
    EXPECT_EQ(fixed_div(-4096, 4096 * 3), -1365);
    EXPECT_EQ(fixed_div(4096 * 7, 4096 * 2), 14336);
    EXPECT_EQ(fixed_div(5, 0), 0);  // no trap
}

TEST(FixedMaths, DivisionIsThe64BitIntegerQuotientEverywhere)
{
    // The quotient is worked out in double precision: held against the 64-bit integer division, low
    // 32 bits kept, at the extremes and near whole quotients, where rounding would show first.
    auto integer = [](fixed a, fixed b) { return (fixed)(((int64_t)a * 4096) / b); };
    const fixed edges[] = {1, -1, 2, 3, 4095, 4096, 4097, 0x7FFFFFFF, INT32_MIN, INT32_MIN + 1, 0x40000000, 1000003};
    for (fixed a : edges)
        for (fixed b : edges) {
            EXPECT_EQ(fixed_div(a, b), integer(a, b)) << a << " / " << b;
            EXPECT_EQ(fixed_div(fixed_neg(a), b), integer(fixed_neg(a), b)) << -a << " / " << b;
        }
    uint32_t r = 99;
    auto next = [&r] { r = r * 1664525u + 1013904223u; return (int32_t)r; };
    for (int i = 0; i < 200000; i++) {
        fixed b = next() >> (i % 31);
        if (b == 0)
            continue;
        fixed q = next() >> (i % 29);
        // A dividend one either side of q x b / 4096 puts the exact quotient just off a whole number.
        int64_t exact = (int64_t)q * b / 4096 + (i % 3) - 1;
        fixed a = exact > INT32_MAX || exact < INT32_MIN ? next() : (fixed)exact;
        ASSERT_EQ(fixed_div(a, b), integer(a, b)) << a << " / " << b;
    }
}

TEST(FixedMaths, FloatConversionsTruncateTowardZero)
{
    EXPECT_EQ(fixed_from_float(-0.00001f), 0);
    EXPECT_EQ(fixed_from_float(1.9999f), 8191);
    EXPECT_EQ(fixed_from_float(-1.9999f), -8191);
    EXPECT_EQ(fixed_from_float(0.5f), 2048);
    EXPECT_EQ(fixed_from_float(NAN), INT32_MIN);
    EXPECT_EQ(fixed_to_float(-6144), -1.5f);
    EXPECT_EQ(int_times_float(32768, 1.0f), 32768);
    EXPECT_EQ(int_times_float(32768, 0.5f), 16384);
    EXPECT_EQ(int_times_float(32768, -0.99999f), -32767);
}

TEST(TableSine, KnownAnglesAndWrapping)
{
    EXPECT_EQ(table_sin(0.0f), 0.0f);
    EXPECT_EQ(table_cos(0.0f), 1.0f);
    EXPECT_NEAR(table_sin((float)M_PI / 2), 1.0f, 1e-5);
    EXPECT_NEAR(table_sin(2.0f * (float)M_PI / 256), 0.024541f, 1e-6);
    EXPECT_EQ(sine_table[1], 0.024541f);
    EXPECT_EQ(sine_table[64], 1.0f);
    for (float x : {0.1f, 0.3f, 1.0f, 2.5f, 4.0f}) {
        EXPECT_NEAR(table_sin(-x), -table_sin(x), 2e-4) << x;
        EXPECT_NEAR(table_sin(x), sinf(x), 2e-4) << x;
        EXPECT_NEAR(table_cos(x), cosf(x), 2e-4) << x;
        EXPECT_NEAR(table_sin(x + 20 * (float)M_PI), table_sin(x), 2e-3) << x;
    }
}

TEST(Vectors, CrossNormalizeLength)
{
    Vec3 x = {4096, 0, 0}, y = {0, 4096, 0}, d;
    vec_cross(&d, &x, &y);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.z, 4096);
    vec_cross(&x, &x, &y);  // output may be an input
    EXPECT_EQ(x.z, 4096);

    Vec3 a = {3 * 4096, 4 * 4096, 0};
    EXPECT_EQ(vec_length_sq(&a), 25 * 4096);
    vec_normalize(&a);
    EXPECT_EQ(a.x, 2457);
    EXPECT_EQ(a.y, 3276);
    EXPECT_EQ(a.z, 0);
    Vec3 zero = {0, 0, 0};
    vec_normalize(&zero);
    EXPECT_EQ(zero.x | zero.y | zero.z, 0);
    Vec3 tiny = {1, 0, 0};
    vec_normalize(&tiny);
    EXPECT_EQ(tiny.x, 4096);
}

TEST(Matrices, IdentityProductsAreExact)
{
    Mat4 id, m, d;
    mat_identity(&id);
    for (int i = 0; i < 16; i++) m.m[i] = (i * 7919 - 50000) * (i % 3 ? 1 : -13);
    mat_mul(&d, &id, &m);
    for (int i = 0; i < 16; i++) EXPECT_EQ(d.m[i], m.m[i]);
    mat_mul(&d, &m, &id);
    for (int i = 0; i < 16; i++) EXPECT_EQ(d.m[i], m.m[i]);
}

TEST(Matrices, RowVectorsTranslateLastAndRotate)
{
    Mat4 t, r, m;
    mat_translate(&t, 4096, 2 * 4096, 3 * 4096);
    fixed p[4];
    mat_transform_point(4096, 0, 0, &t, p);
    EXPECT_EQ(p[0], 2 * 4096);
    EXPECT_EQ(p[1], 2 * 4096);
    EXPECT_EQ(p[2], 3 * 4096);
    EXPECT_EQ(p[3], 4096);
    fixed dir[3];
    mat_transform_direction(4096, 0, 0, &t, dir);  // translation terms are included
    EXPECT_EQ(dir[0], 2 * 4096);

    // A quarter turn about z takes x to y (M1 = s); rotation first, then translation, in reading order.
    mat_rotate_z(&r, (float)M_PI / 2);
    mat_mul(&m, &r, &t);
    mat_transform_point(4096, 0, 0, &m, p);
    EXPECT_NEAR(p[0], 4096, 2);
    EXPECT_NEAR(p[1], 3 * 4096, 2);
    mat_rotate_x(&r, 0.0f);
    mat_identity(&m);
    for (int i = 0; i < 16; i++) EXPECT_EQ(r.m[i], m.m[i]);
}

TEST(Matrices, PerspectiveTerms)
{
    Mat4 p;
    mat_perspective(&p, 200.0f, 40960, 20480000, 20480000 - 40960);
    EXPECT_EQ(p.m[0], 5120);  // 1.25
    EXPECT_EQ(p.m[5], 8192);  // 2.0
    EXPECT_EQ(p.m[11], -4096);
    EXPECT_EQ(p.m[15], 0);
    EXPECT_EQ(p.m[10], fixed_div(20480000 + 40960, 20480000 - 40960));
    EXPECT_EQ(p.m[14], fixed_div(fixed_mul(-2 * 20480000, 40960), 20480000 - 40960));
}
