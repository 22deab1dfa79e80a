// water_test.cpp -- water scene: camera keys, drops and the pool, heights on the plane, floating letters
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <vector>

#include "assets/assets.h"
#include "assets/random.h"
#include "scenes/scenes.h"

namespace {

// A bare 64 x 64 plane in memory, laid out like the water mesh; no texture, so nothing is drawn.
std::vector<MeshVertex> plane_vertices(4096);

struct WaterTest : ::testing::Test {
    Mesh saved_water{};
    Mesh saved_letters[LOGO_LETTERS]{};
    Mesh saved_env[LOGO_LETTERS]{};

    void SetUp() override
    {
        if (!screen)
            screen_create();
        saved_water = water_mesh;
        for (int i = 0; i < LOGO_LETTERS; i++) {
            saved_letters[i] = logo_letters[i];
            saved_env[i] = logo_letters_env[i];
            logo_letters[i] = Mesh{};
            logo_letters[i].texture = -1;
            logo_letters_env[i] = Mesh{};
            logo_letters_env[i].texture = -1;
        }
        for (int j = 0; j < 64; j++)
            for (int i = 0; i < 64; i++) {
                MeshVertex& v = plane_vertices[64 * j + i];
                v = MeshVertex{};
                v.x = fixed_from_float(-50.0f + i * 100.0f / 64.0f);
                v.z = fixed_from_float(-50.0f + j * 100.0f / 64.0f);
            }
        water_mesh = Mesh{};
        water_mesh.vertex_count = 4096;
        water_mesh.frame_count = 1;
        water_mesh.vertices = plane_vertices.data();
        water_mesh.texture = -1;
        pool_initialised = 0;
        pool_field.last_step = 0;
    }
    void TearDown() override
    {
        water_mesh = saved_water;
        for (int i = 0; i < LOGO_LETTERS; i++) {
            logo_letters[i] = saved_letters[i];
            logo_letters_env[i] = saved_env[i];
        }
    }
    static int32_t cell(int row, int col) { return pool_field.newer[row * 128 + col]; }
    static int nonzero_cells()
    {
        int n = 0;
        for (int i = 0; i < 128 * 128; i++)
            n += pool_field.newer[i] != 0;
        return n;
    }
    static void drop_spot(int seed, int* row, int* col)
    {
        demo_srand((uint32_t)seed);
        *row = demo_rand() % 121 + 6;
        *col = demo_rand() % 121 + 6;
    }
    static void set_height(int i, int j, float h) { plane_vertices[64 * j + i].y = fixed_from_float(h); }
};

TEST(CameraKeyTest, LerpIsExactAtItsEndsAndBlendsBetween)
{
    const CameraKey* a = &water_cameras[0];
    const CameraKey* b = &water_cameras[1];
    EXPECT_EQ(camera_key_lerp(a, b, 0.0f), a);
    EXPECT_EQ(camera_key_lerp(a, b, 1.0f), b);
    EXPECT_EQ(camera_key_lerp(a, b, 1e-9f), a);  // 1 - t rounds to 1

    const CameraKey* m = camera_key_lerp(a, b, 0.5f);
    EXPECT_FLOAT_EQ(m->x, 52.0f);
    EXPECT_FLOAT_EQ(m->pitch, -34.0f);
    EXPECT_FLOAT_EQ(m->near, 20.0f);
    EXPECT_FLOAT_EQ(m->zoom, 412.0f);
    const CameraKey* beyond = camera_key_lerp(a, b, 2.0f);  // extrapolates
    EXPECT_FLOAT_EQ(beyond->x, 13.0f);
}

TEST(CameraKeyTest, ApplyTurnsDegreesIntoNegatedRadians)
{
    camera_apply(&water_cameras[5]);
    EXPECT_EQ(camera.pos_x, -17.0f);
    EXPECT_EQ(camera.pos_z, -20.0f);
    EXPECT_EQ(camera.yaw, 25.0f * 3.1416f * 2.0f / 360.0f);
    EXPECT_EQ(camera.pitch, 22.0f * 3.1416f * 2.0f / 360.0f);
    EXPECT_EQ(camera.roll, 0.0f);
}

TEST_F(WaterTest, CameraFollowsThePartAndStaysOtherwise)
{
    scene_water(0, 0, 0, 0.0f);
    EXPECT_EQ(camera.pos_x, 65.0f);
    scene_water(0, 0, 0, 1.0f);
    EXPECT_EQ(camera.pos_x, 39.0f);
    scene_water(0, 1, 0, 1.0f);
    EXPECT_EQ(camera.pos_z, -7.2f);
    scene_water(0, 2, 0, 0.3f);
    EXPECT_EQ(camera.pos_x, -15.0f);
    scene_water(0, -1, 0, 0.7f);
    scene_water(0, 4, 0, 0.7f);
    EXPECT_EQ(camera.pos_x, -15.0f);
}

TEST_F(WaterTest, ClearColourByPart)
{
    scene_water(0, 3, 0, 0.0f);
    EXPECT_EQ(screen[0] & 0xFFFFFFu, 0x8F8F8Fu);
    EXPECT_EQ(screen[SCREEN_PIXELS - 1] & 0xFFFFFFu, 0x8F8F8Fu);
    scene_water(0, 2, 0, 0.0f);
    EXPECT_EQ(screen[0] & 0xFFFFFFu, 0u);
}

TEST_F(WaterTest, DropsLandOnTheSeedsSpotAndReseedTheGenerator)
{
    int row, col;
    drop_spot(777, &row, &col);
    uint32_t after_drop = rand_state;

    scene_water(0, 0, 777, 0.0f);
    scene_water(42, 0, 777, 0.0f);  // one 41 ms step
    EXPECT_EQ(rand_state, after_drop);
    EXPECT_EQ(nonzero_cells(), 4);
    EXPECT_EQ(cell(row, col), -25);
    EXPECT_EQ(cell(row + 1, col + 1), -25);

    // The same seed drops on the same spot again.
    scene_water(83, 0, 777, 0.0f);
    EXPECT_EQ(cell(row, col), -50);
    EXPECT_EQ(cell(row + 1, col), -50);

    // A new seed moves the spot.
    int row2, col2;
    drop_spot(12345, &row2, &col2);
    ASSERT_TRUE(row2 != row || col2 != col);
    pool_initialised = 0;
    scene_water(124, 0, 12345, 0.0f);
    EXPECT_EQ(nonzero_cells(), 4);
    EXPECT_EQ(cell(row2, col2), -25);
}

TEST_F(WaterTest, HeightsSumTwoByTwoCellsIntoTheVertexOfRowAndColumnHalves)
{
    scene_water(0, 0, 777, 0.0f);
    scene_water(42, 0, 777, 0.0f);
    int row, col;
    drop_spot(777, &row, &col);
    for (int q = 0; q < 64; q++)
        for (int p = 0; p < 64; p++) {
            int32_t sum = cell(2 * p, 2 * q) + cell(2 * p, 2 * q + 1) + cell(2 * p + 1, 2 * q) +
                          cell(2 * p + 1, 2 * q + 1);
            ASSERT_EQ(plane_vertices[64 * q + p].y, sum) << p << "," << q;
        }
    EXPECT_LT(plane_vertices[64 * (col / 2) + row / 2].y, 0);
}

TEST_F(WaterTest, SeedZeroDropsNothingAndANegativeSeedKeepsThePlaneFlat)
{
    scene_water(0, 0, 9, 0.0f);
    scene_water(200, 0, 9, 0.0f);
    ASSERT_GT(nonzero_cells(), 0);

    uint32_t state = rand_state;
    scene_water(241, 0, 0, 0.0f);  // waves keep spreading, no draws
    EXPECT_EQ(rand_state, state);
    EXPECT_GT(nonzero_cells(), 0);

    for (int now = 300; now < 600; now += 50) {
        scene_water(now, 0, -1, 0.0f);
        ASSERT_EQ(nonzero_cells(), 0);
        for (const MeshVertex& v : plane_vertices)
            ASSERT_EQ(v.y, 0);
    }
    EXPECT_EQ(rand_state, state);
}

// The pool worked out apart from the scene: 128 x 128 cells (row, column), mirror borders, drops of 25 on
// the 2 x 2 spot of the seed before each 41 ms step. `wrap` reduces every sum and difference to 32 bits
// as the scene must; without it the values are exact in 64 bits.
struct PoolModel {
    std::vector<int64_t> older = std::vector<int64_t>(128 * 128), newer = std::vector<int64_t>(128 * 128);
    int64_t last_step = 0;
    bool wrap = false;
    int64_t w(int64_t v) const { return wrap ? (int64_t)(int32_t)(uint32_t)(uint64_t)v : v; }
    int64_t at(int r, int c) const { return newer[r * 128 + c]; }
    void step()
    {
        std::vector<int64_t> out(128 * 128);
        for (int r = 0; r < 128; r++)
            for (int c = 0; c < 128; c++) {
                int64_t up = at(r > 0 ? r - 1 : 1, c), down = at(r < 127 ? r + 1 : 126, c);
                int64_t left = at(r, c > 0 ? c - 1 : 1), right = at(r, c < 127 ? c + 1 : 126);
                int64_t v = w(w(up + down + left + right) / 2 - older[r * 128 + c]);
                out[r * 128 + c] = w(v - v / 64);
            }
        older = newer;
        newer = out;
    }
    void advance(int64_t now, int row, int col)
    {
        if (now - last_step > 1000 || last_step - now > 1000) last_step = now;
        while (last_step + 41 < now) {
            last_step += 41;
            for (int k : {0, 1, 128, 129}) older[row * 128 + col + k] = 25;
            step();
        }
    }
};

TEST_F(WaterTest, AHeldSeedGrowsThePoolExactlyAndWrapsInsteadOfClamping)
{
    // Seed 4242: the generator from state 4242 gives the spot; worked out here from the recurrence.
    uint32_t st = 4242;
    auto draw = [&st] { st = st * 214013u + 2531011u; return (int)((st >> 16) & 0x7FFF); };
    int row = draw() % 121 + 6, col = draw() % 121 + 6;
    PoolModel exact, wrapped;
    wrapped.wrap = true;
    bool past_bound = false;
    int now = 0;
    for (; now <= 10000; now += 40) {
        scene_water(now, 1, 4242, 0.0f);
        exact.advance(now, row, col);
        wrapped.advance(now, row, col);
        int64_t big = 0;
        for (int64_t v : exact.newer) big = std::max<int64_t>(big, v < 0 ? -v : v);
        if (big >= (1 << 28)) break;  // four such cells would no longer fit in 32 bits
        past_bound |= big > (1 << 27);
        for (int i = 0; i < 128 * 128; i++)
            ASSERT_EQ(pool_field.newer[i], exact.newer[i]) << "cell " << i << " at " << now << " ms";
    }
    EXPECT_TRUE(past_bound) << "the run must pass 2^27, where a clamp would change values";
    for (now += 40; now <= 10000; now += 40) {
        scene_water(now, 1, 4242, 0.0f);
        wrapped.advance(now, row, col);
    }
    for (int i = 0; i < 128 * 128; i++)
        ASSERT_EQ(pool_field.newer[i], wrapped.newer[i]) << "cell " << i;
    for (const Mesh& m : logo_letters)
        EXPECT_TRUE(std::isfinite(m.pos_y) && std::isfinite(m.pitch) && std::isfinite(m.roll));
}

TEST_F(WaterTest, NormalsAreThoseOfTheSurfaceInEveryFrame)
{
    // The plane with its two faces per square. Frames 20 ms apart step the pool only every other
    // frame or so; after each one the normals must be what the surface as it stands gives.
    std::vector<MeshFace> faces;
    for (int j = 0; j < 63; j++)
        for (int i = 0; i < 63; i++) {
            int a = 64 * j + i;
            faces.push_back(MeshFace{a, a + 64, a + 1, 0, 0, 0});
            faces.push_back(MeshFace{a + 1, a + 64, a + 65, 0, 0, 0});
        }
    water_mesh.faces = faces.data();
    water_mesh.face_count = (int)faces.size();
    std::vector<MeshVertex> again(4096);
    Mesh fresh{};
    fresh.vertex_count = 4096;
    fresh.frame_count = 1;
    fresh.face_count = (int)faces.size();
    fresh.faces = faces.data();
    fresh.vertices = again.data();
    int moved = 0;
    std::vector<MeshVertex> last(4096);
    for (int now = 0; now <= 1000; now += 20) {
        scene_water(now, 1, now < 500 ? 4242 : 0, 0.0f);
        again.assign(plane_vertices.begin(), plane_vertices.end());
        mesh_compute_normals(&fresh);
        for (int i = 0; i < 4096; i++) {
            ASSERT_EQ(plane_vertices[i].nx, again[i].nx) << "vertex " << i << " at " << now << " ms";
            ASSERT_EQ(plane_vertices[i].ny, again[i].ny) << "vertex " << i << " at " << now << " ms";
            ASSERT_EQ(plane_vertices[i].nz, again[i].nz) << "vertex " << i << " at " << now << " ms";
        }
        bool changed = false;
        for (int i = 0; i < 4096; i++)
            changed |= again[i].nx != last[i].nx || again[i].ny != last[i].ny || again[i].nz != last[i].nz;
        moved += changed;
        last = again;
    }
    EXPECT_GT(moved, 10);   // the surface moved, though not in every frame
    EXPECT_LT(moved, 51);
    water_mesh.faces = nullptr;
    water_mesh.face_count = 0;
}

TEST_F(WaterTest, LettersOnFlatWaterSitLevelAndDriftWithTime)
{
    scene_water(0, 1, -1, 0.5f);
    const float base[LOGO_LETTERS] = {-10, -5, 1, 6, 11};
    for (int i = 0; i < LOGO_LETTERS; i++) {
        for (const Mesh* m : {&logo_letters[i], &logo_letters_env[i]}) {
            EXPECT_EQ(m->pos_x, base[i] - 10.0f * 0.5f - 1.0f);
            EXPECT_EQ(m->pos_y, 0.0f);
            EXPECT_EQ(m->pos_z, 0.0f);
            EXPECT_EQ(m->pitch, 0.0f);
            EXPECT_EQ(m->roll, 0.0f);
        }
    }

    // Part 0 places no letters.
    logo_letters[0].pos_x = 99.0f;
    scene_water(0, 0, -1, 0.5f);
    EXPECT_EQ(logo_letters[0].pos_x, 99.0f);
}

TEST_F(WaterTest, HeightInterpolatesAndClampsOutsideThePlane)
{
    for (int j = 0; j < 64; j++)
        for (int i = 0; i < 64; i++)
            set_height(i, j, 0.25f * i + 0.5f * j);  // a uniform slope

    // Grid point (10, 20) lies at x = -50 + 10 * 100 / 64, z = -50 + 20 * 100 / 64.
    float x = -50.0f + 10 * 100.0f / 64.0f, z = -50.0f + 20 * 100.0f / 64.0f;
    EXPECT_NEAR(water_height(x, z), 12.5f, 1e-3f);
    EXPECT_NEAR(water_height(x + 100.0f / 128.0f, z), 12.625f, 1e-3f);

    EXPECT_EQ(water_height(-1000.0f, z), water_height(-50.0f, z));
    EXPECT_NEAR(water_height(1e6f, -50.0f), 0.25f * 63, 1e-3f);
    EXPECT_NEAR(water_height(60.0f, 60.0f), 0.25f * 63 + 0.5f * 63, 1e-3f);
    EXPECT_EQ(water_height(NAN, NAN), 0.0f);

    // On a uniform slope a floating mesh sits at the height of (x - 3, z - 3), tilted by the slope.
    Mesh m{};
    float_on_water(&m, 0.0f, 0.0f);
    EXPECT_NEAR(m.pos_y, water_height(-3.0f, -3.0f), 1e-3f);
    EXPECT_NEAR(m.roll, atan2(-0.25 * 6 * 0.64, 6.0), 1e-4);
    EXPECT_NEAR(m.pitch, atan2(-0.5 * 6 * 0.64, 6.0), 1e-4);

    // A plane that failed to load has no heights.
    water_mesh.vertex_count = 0;
    EXPECT_EQ(water_height(0.0f, 0.0f), 0.0f);
    scene_water(0, 1, 5, 0.0f);
}

}  // namespace
