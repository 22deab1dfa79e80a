// draw_order_test.cpp -- the order in which the water and underwater scenes place and draw their meshes
// The test binary is linked with the linker's --wrap for the drawing calls below (tests/CMakeLists.txt):
// the scenes' calls come here, and while a test records they are written down instead of drawn, so the
// sequence can be compared with one written out by hand.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "demo/demo.h"
#include "scenes/scenes.h"

namespace {

int recording;
std::vector<std::string> calls;

const char* mesh_name(const Mesh* m)
{
    static const char* const logo[LOGO_LETTERS] = {"g", "o", "p", "h", "y"};
    static const char* const event[EVENT_LETTERS] = {"k", "e", "r", "v", "1", "6"};
    static const char* const logo_env[LOGO_LETTERS] = {"g-env", "o-env", "p-env", "h-env", "y-env"};
    static const char* const event_env[EVENT_LETTERS] = {"k-env", "e-env", "r-env", "v-env", "1-env", "6-env"};
    if (m == &water_mesh)
        return "water";
    if (m == &sky_mesh)
        return "sky";
    for (int i = 0; i < LOGO_LETTERS; i++) {
        if (m == &logo_letters[i])
            return logo[i];
        if (m == &logo_letters_env[i])
            return logo_env[i];
    }
    for (int i = 0; i < EVENT_LETTERS; i++) {
        if (m == &event_letters[i])
            return event[i];
        if (m == &event_letters_env[i])
            return event_env[i];
    }
    return "?";
}

void note(const char* format, ...) __attribute__((format(printf, 1, 2)));
void note(const char* format, ...)
{
    char text[160];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    calls.push_back(text);
}

}  // namespace

// The wrapped calls (mangled names, as the linker sees them).
extern "C" {
void __real__Z9mesh_drawP4Mesh(Mesh* m);
void __real__Z19raster_set_additivei(int on);
void __real__Z13zbuffer_clearv(void);
void __real__Z11screen_fillj(uint32_t value);
void __real__Z7fx_warpPjfffff(uint32_t* s, float a, float b, float c, float d, float e);
void __real__Z20emitters_update_drawi(int dt);
void __real__Z18mesh_set_transformP4Meshffffff(Mesh* m, float x, float y, float z, float yaw, float pitch,
                                                 float roll);

void __wrap__Z9mesh_drawP4Mesh(Mesh* m)
{
    if (!recording)
        return __real__Z9mesh_drawP4Mesh(m);
    note("draw %s texture %d", mesh_name(m), m->texture);
}
void __wrap__Z19raster_set_additivei(int on)
{
    if (recording)
        note("additive %d", on);
    __real__Z19raster_set_additivei(on);
}
void __wrap__Z13zbuffer_clearv(void)
{
    if (!recording)
        return __real__Z13zbuffer_clearv();
    note("clear depth");
}
void __wrap__Z11screen_fillj(uint32_t value)
{
    if (!recording)
        return __real__Z11screen_fillj(value);
    note("fill %06X", value);
}
void __wrap__Z7fx_warpPjfffff(uint32_t* s, float a, float b, float c, float d, float e)
{
    if (!recording)
        return __real__Z7fx_warpPjfffff(s, a, b, c, d, e);
    note("warp %.9g %.9g %.9g %.9g %.9g", a, b, c, d, e);
}
void __wrap__Z20emitters_update_drawi(int dt)
{
    if (!recording)
        return __real__Z20emitters_update_drawi(dt);
    note("particles %d", dt);
}
void __wrap__Z18mesh_set_transformP4Meshffffff(Mesh* m, float x, float y, float z, float yaw, float pitch,
                                                float roll)
{
    if (recording) {
        if (m == &sky_mesh)
            note("place sky yaw %.9g pitch %.9g roll %.9g", yaw, pitch, roll);
        else
            note("place %s", mesh_name(m));
    }
    __real__Z18mesh_set_transformP4Meshffffff(m, x, y, z, yaw, pitch, roll);
}
}

namespace {

// Meshes without faces, so that nothing but the calls matters; textures are made-up slot numbers.
struct DrawOrder : ::testing::Test {
    Mesh saved_water{}, saved_sky{};
    Mesh saved_logo[LOGO_LETTERS]{}, saved_logo_env[LOGO_LETTERS]{};
    Mesh saved_event[EVENT_LETTERS]{}, saved_event_env[EVENT_LETTERS]{};
    std::vector<MeshVertex> plane = std::vector<MeshVertex>(4096);
    std::vector<MeshVertex> letter_vertices = std::vector<MeshVertex>(4);

    void SetUp() override
    {
        if (!screen)
            screen_create();
        saved_water = water_mesh, saved_sky = sky_mesh;
        water_mesh = Mesh{}, sky_mesh = Mesh{};
        water_mesh.vertices = plane.data(), water_mesh.vertex_count = 4096, water_mesh.texture = 7;
        sky_mesh.texture = 8;
        for (int i = 0; i < LOGO_LETTERS; i++) {
            saved_logo[i] = logo_letters[i], saved_logo_env[i] = logo_letters_env[i];
            logo_letters[i] = Mesh{}, logo_letters_env[i] = Mesh{};
            logo_letters[i].texture = 10, logo_letters_env[i].texture = 11;
        }
        for (int i = 0; i < EVENT_LETTERS; i++) {
            saved_event[i] = event_letters[i], saved_event_env[i] = event_letters_env[i];
            event_letters[i] = Mesh{}, event_letters_env[i] = Mesh{};
            event_letters[i].texture = 12, event_letters_env[i].texture = 13;
        }
        calls.clear();
    }
    void TearDown() override
    {
        recording = 0;
        water_mesh = saved_water, sky_mesh = saved_sky;
        for (int i = 0; i < LOGO_LETTERS; i++)
            logo_letters[i] = saved_logo[i], logo_letters_env[i] = saved_logo_env[i];
        for (int i = 0; i < EVENT_LETTERS; i++)
            event_letters[i] = saved_event[i], event_letters_env[i] = saved_event_env[i];
    }
};

void expect_calls(const std::vector<std::string>& expected)
{
    EXPECT_EQ(calls, expected);
}

std::vector<std::string> letters(std::initializer_list<const char*> names)
{
    std::vector<std::string> out;
    for (const char* n : names) {
        std::string name = n;
        out.insert(out.end(), {"place " + name, "place " + name + "-env", "draw " + name + " texture 10",
                               "additive 1", "draw " + name + "-env texture 11", "additive 0"});
    }
    return out;
}

TEST_F(DrawOrder, WaterDrawsTheSurfaceThenTheLettersLastFirst)
{
    pool_initialised = 0;
    pool_field.last_step = 1000;
    recording = 1;
    scene_water(1000, 1, 0, 0.5f);
    recording = 0;
    std::vector<std::string> expected = {"fill 000000", "clear depth", "place water", "additive 0",
                                         "draw water texture 7"};
    std::vector<std::string> word = letters({"y", "h", "p", "o", "g"});
    expected.insert(expected.end(), word.begin(), word.end());
    expect_calls(expected);

    // Part 0: the surface alone.
    calls.clear();
    recording = 1;
    scene_water(1000, 0, 0, 0.5f);
    recording = 0;
    expect_calls({"fill 000000", "clear depth", "place water", "additive 0", "draw water texture 7"});
}

TEST_F(DrawOrder, WaterFromPartTwoBorrowsTheIceEnvironmentForOneDraw)
{
    pool_initialised = 0;
    pool_field.last_step = 1000;
    logo_letters_env[0].texture = 11;
    for (int part : {2, 3}) {
        calls.clear();
        recording = 1;
        scene_water(1000, part, 0, 0.0f);
        recording = 0;
        ASSERT_GE(calls.size(), 5u);
        EXPECT_EQ(calls[0], part == 3 ? "fill 8F8F8F" : "fill 000000");
        EXPECT_EQ(calls[4], "draw water texture 11") << part;
        EXPECT_EQ(water_mesh.texture, 7) << "the water's own texture is put back";
    }
}

TEST_F(DrawOrder, UnderwaterSkyLettersParticlesSkyAgainAndTwoWarps)
{
    emitters_init();
    scene_underwater_reset();
    scene_underwater(9000, 2.0f, 2, 1.5f);  // letters 0 to 2 appear; nothing recorded yet
    recording = 1;
    scene_underwater(10000, 3.0f, 2, 1.5f);
    recording = 0;
    scene_underwater_reset();
    emitters_free();

    // Sky yaws: 10000 x 0.0003 and -10000 x 0.0002, each rounded once to single precision.
    char first_sky[96], second_sky[96];
    snprintf(first_sky, sizeof first_sky, "place sky yaw %.9g pitch %.9g roll %.9g", (double)3.0f, (double)0.02f,
             (double)0.02f);
    snprintf(second_sky, sizeof second_sky, "place sky yaw %.9g pitch %.9g roll %.9g", (double)-2.0f, (double)0.02f,
             (double)0.02f);
    std::vector<std::string> expected = {"clear depth", first_sky, "draw sky texture 8",
                                         "warp 0.100000001 0.100000001 4 4 0.00100000005"};
    // Letters from the highest shown down, each textured, then its environment copy added.
    for (const char* n : {"r", "e", "k"}) {
        std::string name = n;
        expected.insert(expected.end(), {"place " + name, "draw " + name + " texture 12", "additive 1",
                                         "place " + name + "-env", "draw " + name + "-env texture 13",
                                         "additive 0"});
    }
    expected.insert(expected.end(), {"particles 1000", "additive 1", "clear depth", second_sky,
                                     "draw sky texture 8", "additive 0",
                                     "warp 0.100000001 0.100000001 -2 -2 0.00100000005"});
    expect_calls(expected);
}

}  // namespace
