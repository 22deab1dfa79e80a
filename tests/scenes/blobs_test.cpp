// blobs_test.cpp -- blob kernel, splat paths, surfaces, probe shading, and the fast scene against the oracle
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "scenes/blobs_local.h"

namespace {

// A probe and a background of the test's own, put in place of the loaded pictures.
struct BlobTest : ::testing::Test {
    Image saved_probe, saved_background;
    std::vector<uint32_t> probe_pixels;
    void SetUp() override
    {
        if (!screen)
            screen_create();
        saved_probe = blob_probe, saved_background = blob_background;
        blob_background = Image{};
        use_probe(64, 32, 6);
    }
    void TearDown() override { blob_probe = saved_probe, blob_background = saved_background; }
    void use_probe(int w, int h, int shift)
    {
        probe_pixels.resize(w * h);
        for (int i = 0; i < w * h; i++)
            probe_pixels[i] = 0x01000000u + (uint32_t)i;  // the pixel's own index, readable back
        blob_probe = Image{probe_pixels.data(), (uint16_t)h, (uint16_t)w, (uint8_t)shift};
    }
    static void pattern()
    {
        for (int i = 0; i < SCREEN_PIXELS; i++)
            screen[i] = 0x00ABCDEFu ^ (uint32_t)i;
    }
};

TEST_F(BlobTest, KernelValues)
{
    blob_kernel_init();
    auto at = [](int a, int b, int c) { return blob_kernel[a + 18][b + 18][c + 18]; };
    EXPECT_EQ(at(0, 0, 0).f, 0);
    EXPECT_EQ(at(0, 0, 0).gx, 0);
    EXPECT_EQ(at(8, 0, 0).f, 5832);
    EXPECT_EQ(at(-8, 0, 0).gx, -91 * 8);  // 5832 * 5832 / 373248 = 91
    EXPECT_EQ(at(1, 0, 0).f, 373248);
    EXPECT_EQ(at(1, 0, 0).gx, 373248);
    EXPECT_EQ(at(1, 1, 0).gy, 93312);     // 186624 squared needs 64 bits
    EXPECT_EQ(at(0, 0, -1).gz, -373248);
    EXPECT_EQ(at(-18, -18, -18).f, 384);
    EXPECT_EQ(at(-18, -18, -18).gx, 0);
    EXPECT_EQ(at(17, 3, -5).f, 373248 / (289 + 9 + 25));
}

TEST_F(BlobTest, CentresFollowTheirPaths)
{
    BlobCentre c[BLOB_SPLATS];
    blob_centres(0, -2, c);  // part -2: no phase at time 0
    for (int m = 0; m < BLOB_SPLATS; m++) {
        EXPECT_EQ(c[m].x, 120);
        EXPECT_EQ(c[m].y, 125);
        EXPECT_EQ(c[m].z, 75);
    }
    for (int now = 0; now < 400000; now += 997)
        for (int part = -3; part < 6; part += 4) {
            blob_centres(now, part, c);
            for (int m = 0; m < BLOB_SPLATS; m++) {
                ASSERT_TRUE(c[m].x >= 40 && c[m].x <= 200);
                ASSERT_TRUE(c[m].y >= 25 && c[m].y <= 125);
                ASSERT_TRUE(c[m].z >= 25 && c[m].z <= 125);
            }
            // Splats 0 and 1 share s = 0 and so their centre.
            ASSERT_EQ(c[0].x, c[1].x);
            ASSERT_EQ(c[0].z, c[1].z);
        }
    blob_centres(1000, 1, c);  // splat 2 has s = 1: k1 = 1.0625^2
    float sx = (float)sin((float)pow(1.0625, 2) * (1000 * (double)0.000125f) + 3.0f);
    EXPECT_EQ(c[2].x, (int)(120 + 80 * sx));
}

TEST_F(BlobTest, LoneSplatMakesASphereOfRadiusEight)
{
    const BlobCentre one = {120, 75, 75};
    for (int fast = 0; fast < 2; fast++) {
        pattern();
        fast ? blob_render(&one, 1) : blob_render_oracle(&one, 1);
        EXPECT_EQ(blob_depth[120][75], 67);
        EXPECT_EQ(blob_depth[128][75], 75);   // d2 = 64 only at the equator
        EXPECT_EQ(blob_depth[129][75], 150);
        EXPECT_EQ(blob_depth[120][66], 150);
        // The centre column's gradient has no x or y part: the probe's centre pixel (32, 16).
        EXPECT_EQ(screen[75 * 240 + 120], 0x01000000u + 16 * 64 + 32);
        EXPECT_EQ(screen[75 * 240 + 129], 0x00ABCDEFu ^ (75u * 240 + 129));
        EXPECT_EQ(screen[0], 0x00ABCDEFu);
        // At the sphere's right edge the gradient points along +x: one past the probe, so its last column.
        EXPECT_EQ(screen[75 * 240 + 128], 0x01000000u + 16 * 64 + 63);
    }
}

TEST_F(BlobTest, ProbeLookupEdges)
{
    EXPECT_EQ(blob_probe_lookup(0, 0, 0, 7), 0x01000000u + 16 * 64 + 32);
    EXPECT_EQ(blob_probe_lookup(0, 5, 0, 7), 0x01000000u + 31 * 64 + 32);   // row H -> last row
    EXPECT_EQ(blob_probe_lookup(-5, -5, 0, 7), 0x01000000u + 5 * 64 + 10);  // -0.707: u -22, v -11
    EXPECT_EQ(blob_probe_lookup(0, 0, -9, 7), 0x01000000u + 16 * 64 + 32);
    // Rows are found with the width shift, as the rasterizer does: a 48-wide probe steps rows by 32.
    use_probe(48, 32, 5);
    EXPECT_EQ(blob_probe_lookup(0, 0, 1, 7), 0x01000000u + 16 * 32 + 24);
    blob_probe = Image{};
    EXPECT_EQ(blob_probe_lookup(3, 4, 5, 7), 7u);  // no probe: the background stays
}

TEST_F(BlobTest, FastSceneMatchesTheOracle)
{
    use_probe(256, 128, 8);
    std::vector<uint32_t> want(SCREEN_PIXELS);
    std::vector<uint8_t> want_depth(sizeof blob_depth);
    const int frames[][2] = {{0, -2}, {0, 0}, {1234, 0}, {9000, 1}, {33333, 2}, {80000, 3},
                             {250000, -1}, {600001, 5}, {123, 7}, {4000000, 2}};
    int surfaces = 0;
    for (auto& f : frames) {
        pattern();
        scene_blobs_oracle(f[0], f[1]);
        want.assign(screen, screen + SCREEN_PIXELS);
        memcpy(want_depth.data(), blob_depth, sizeof blob_depth);
        pattern();
        scene_blobs(f[0], f[1]);
        ASSERT_EQ(std::vector<uint32_t>(screen, screen + SCREEN_PIXELS), want) << f[0] << " " << f[1];
        ASSERT_EQ(memcmp(want_depth.data(), blob_depth, sizeof blob_depth), 0) << f[0] << " " << f[1];
        for (uint8_t d : want_depth)
            surfaces += d < 150;
    }
    EXPECT_GT(surfaces, 10 * 2000);  // the frames did show blobs
}

}  // namespace
