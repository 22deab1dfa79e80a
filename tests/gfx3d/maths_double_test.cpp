// maths_double_test.cpp -- the build-independent sin, cos, atan2 and whole powers against glibc over the show's arguments
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "gfx3d/gfx3d.h"

// Units in the last place between two doubles of the same sign.
static int64_t ulps(double a, double b)
{
    int64_t ia, ib;
    memcpy(&ia, &a, 8);
    memcpy(&ib, &b, 8);
    return ia > ib ? ia - ib : ib - ia;
}

// The blob centres: sin / cos of 1.0625^n x t + p, t = now x 0.000125f, over the whole show for
// every splat's three powers and the parts the scene is given.
TEST(MathsDouble, BlobArgumentsRoundToGlibcsFloats)
{
    int64_t worst = 0;
    for (int n = 1; n <= 50; n++) {
        float k = (float)maths_pow_int(1.0625, n);
        ASSERT_EQ(k, (float)pow(1.0625, n)) << n;
        for (int part = -1; part <= 4; part++) {
            float p = (float)(part + 2);
            for (int now = 0; now <= 200000; now += 7) {
                double x = k * (now * (double)0.000125f) + p;
                ASSERT_EQ((float)maths_sin(x), (float)sin(x)) << x;
                ASSERT_EQ((float)maths_cos(x), (float)cos(x)) << x;
                worst = std::max(worst, std::max(ulps(maths_sin(x), sin(x)), ulps(maths_cos(x), cos(x))));
            }
        }
    }
    EXPECT_LE(worst, 1);
}

// The letters under water: sin(a + now / 1000) and cos(now x 0.0015 + a), a the float time since a
// letter appeared; the drawing replay's pen.
TEST(MathsDouble, UnderwaterAndDrawingArgumentsRoundToGlibcsFloats)
{
    for (float a = -2.0f; a < 60.0f; a += 0.37f)
        for (int now = 120000; now <= 182000; now += 3) {
            double fnow = (double)(float)now;
            double x = (double)a + fnow * 0.001, y = fnow * 0.0015 + (double)a;
            ASSERT_EQ((float)(0.5f + maths_sin(x)), (float)(0.5f + sin(x))) << x;
            ASSERT_EQ((float)(maths_cos(y) * 0.07), (float)(cos(y) * 0.07)) << y;
        }
    // The drawing replay's pen: sin(t x 0.002) + 1 for the 16 s of a replay.
    for (int t = 0; t <= 16000; t++) {
        double p = maths_sin((float)t * 0.002) + 1, q = sin((float)t * 0.002) + 1;
        ASSERT_EQ((float)(p * 0.5), (float)(q * 0.5)) << t;
        ASSERT_EQ((float)(p * 4), (float)(q * 4)) << t;
    }
}

TEST(MathsDouble, SineAndCosineStayWithinAUnitInTheLastPlace)
{
    // Both signs, every quadrant, small arguments, the reduction's large ones.
    uint64_t state = 1;
    for (int i = 0; i < 2000000; i++) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        double x = ((double)(state >> 11) / 9007199254740992.0 - 0.5) * (i < 1000000 ? 20.0 : 2e5);
        ASSERT_LE(ulps(maths_sin(x), sin(x)), 1) << x;
        ASSERT_LE(ulps(maths_cos(x), cos(x)), 1) << x;
    }
    EXPECT_EQ(maths_sin(0.0), 0.0);
    EXPECT_TRUE(std::signbit(maths_sin(-0.0)));
    EXPECT_EQ(maths_cos(0.0), 1.0);
    EXPECT_EQ(maths_sin(1e-300), 1e-300);
    EXPECT_TRUE(std::isnan(maths_sin(INFINITY)));
    EXPECT_TRUE(std::isnan(maths_cos(NAN)));
}

// The floating letters' roll and pitch: atan2(d, 6) of height differences of the water.
TEST(MathsDouble, ArctangentRoundsToGlibcsFloats)
{
    int64_t worst = 0;
    for (float d = -64.0f; d <= 64.0f; d += 0.000731f) {
        ASSERT_EQ((float)maths_atan2(d, 6.0), (float)atan2(d, 6.0)) << d;
        worst = std::max(worst, ulps(maths_atan2(d, 6.0), atan2(d, 6.0)));
    }
    EXPECT_LE(worst, 1);
    // Every quadrant, the axes, zeros of both signs, infinities: exactly the C library's answers.
    const double v[] = {0.0, -0.0, 1.0, -1.0, 3.5, -7.25, 1e-310, 1e300, INFINITY, -INFINITY};
    for (double y : v)
        for (double x : v) {
            double want = atan2(y, x), got = maths_atan2(y, x);
            EXPECT_LE(ulps(got, want), 1) << y << ", " << x;
            EXPECT_EQ(std::signbit(got), std::signbit(want)) << y << ", " << x;
        }
    EXPECT_TRUE(std::isnan(maths_atan2(NAN, 1.0)));
}

// The particles' damping 0.9995^dt for every frame step the emitters take (0 .. 2000 ms). Beyond it
// glibc's pow is off by a unit at a few steps (-706, 2138: the exact powers lie nearer to these
// results), which rounded to float makes no difference.
TEST(MathsDouble, WholePowersEqualGlibcs)
{
    for (int dt = 0; dt <= 2000; dt++)
        ASSERT_EQ(maths_pow_int(0.9995, dt), pow(0.9995, dt)) << dt;
    for (int dt = -2000; dt <= 4000; dt++)
        ASSERT_EQ((float)maths_pow_int(0.9995, dt), (float)pow(0.9995, dt)) << dt;
    EXPECT_EQ(maths_pow_int(0.9995, -706), 1.4234567998386758);
    // The blobs' speeds 1.0625^n: 17^13 / 16^13 lies exactly between two doubles, and glibc rounds that
    // tie away from the even one.
    for (int n = -60; n <= 60; n++)
        ASSERT_EQ((float)maths_pow_int(1.0625, n), (float)pow(1.0625, n)) << n;
    EXPECT_EQ(maths_pow_int(1.0625, 13), 0x1.19814a3a69768p+1);
    EXPECT_EQ(maths_pow_int(2.0, 10), 1024.0);
    EXPECT_EQ(maths_pow_int(-3.0, 3), -27.0);
    EXPECT_EQ(maths_pow_int(7.0, 0), 1.0);
    EXPECT_EQ(maths_pow_int(2.0, -3), 0.125);
}
