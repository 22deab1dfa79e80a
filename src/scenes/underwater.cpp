// underwater.cpp -- scene 5: the letters KERV16 drop into a warped sky, shedding rising particles
#include <cmath>
#include <cstdint>

#include "assets/assets.h"
#include "assets/random.h"
#include "scenes/scenes.h"

// ---- types ----

enum {
    SPAWN_PERIOD = 16,            // ms of frame time that release nothing
    SPAWN_BUDGET_FLOOR = -(1 << 30), // keeps the account from wrapping during very fast frame rates
    PARTICLE_COLOUR = 0x3F3F3F,
};
static_assert((int)UNDERWATER_LETTERS == (int)EVENT_LETTERS, "one appear time per event letter");

// ---- state ----

// The camera walks along these rows as "var" goes from 0 to 5.
const CameraKey deep_cameras[CAMERA_ROWS] = {
    {-15.0f, 0.0f, -8.0f, -36.0f, -30.0f, 0.0f, 20.0f, 300.0f, 200.0f},
    {-15.0f, 0.0f, -8.0f, -36.0f, 60.0f, 0.0f, 20.0f, 300.0f, 200.0f},
    {-16.0f, -5.0f, -11.0f, -33.0f, 27.0f, 0.0f, 5.0f, 300.0f, 200.0f},
    {13.0f, -1.0f, -16.0f, 22.0f, 3.0f, 0.0f, 5.0f, 300.0f, 200.0f},
    {1.0f, -7.0f, -21.0f, 3.0f, 27.0f, 0.0f, 10.0f, 300.0f, 200.0f},
    {2.0f, -38.0f, -20.0f, 5.0f, 44.0f, 0.0f, 20.0f, 300.0f, 200.0f},
};

// Resting x of k, e, r, v, 1, 6.
static const float letter_rest_x[EVENT_LETTERS] = {-15.0f, -9.0f, -2.0f, 4.0f, 10.0f, 15.0f};

// As at program start: no appear times, no part seen, no frame yet, no emitter.
static constexpr UnderwaterState UNDERWATER_START = {{0}, UNDERWATER_PART_UNSEEN, 0, 0, -1};
UnderwaterState underwater = UNDERWATER_START;

// ---- internal functions ----

// "var" outside 0..5 (or not a number) is held at the nearest end, so both rows exist.
static void camera_walk(float v)
{
    if (!(v >= 0.0f))
        v = 0.0f;
    if (v > (float)(CAMERA_ROWS - 1))
        v = (float)(CAMERA_ROWS - 1);
    int m = (int)v;
    float f = v - (float)m;
    int next = (int)(v + 1.0f);
    if (next > CAMERA_ROWS - 1)
        next = CAMERA_ROWS - 1;
    camera_apply(camera_key_lerp(&deep_cameras[m], &deep_cameras[next], f));
}

static void draw_sky(float yaw)
{
    mesh_set_transform(&sky_mesh, camera.pos_x, camera.pos_y, camera.pos_z, yaw, 0.02f, 0.02f);
    mesh_transform(&sky_mesh);
    mesh_draw(&sky_mesh);
}

// World coordinate to 20.12, truncating; held inside the 32-bit range (a letter far above the
// water after a backward seek would otherwise overflow).
static fixed world_to_fixed(float w)
{
    double f = (double)w * 4096.0;
    if (!(f > -2147483648.0))
        return INT32_MIN;
    if (f >= 2147483647.0)
        return INT32_MAX;
    return (fixed)f;
}

// Falls from 15 units above its place during the first unit of t, then bobs and rocks.
static void draw_letter(int i, float t, int now)
{
    float a = t - underwater.letter_appear[i];
    float y = 0.0f;
    if (a < 1.0f) {
        float d = 1.0f - a;
        y = 15.0f * (d * d);
    }
    double fnow = (double)(float)now;
    y = (float)(y + maths_sin((double)a + fnow * 0.001));
    float roll = (float)(maths_cos(fnow * 0.0015 + (double)a) * 0.07);

    Mesh* textured = &event_letters[i];
    Mesh* env = &event_letters_env[i];
    mesh_set_transform(textured, letter_rest_x[i], y, 0.0f, 0.0f, 0.0f, roll);
    mesh_transform(textured);
    mesh_draw(textured);
    raster_set_additive(1);
    mesh_set_transform(env, letter_rest_x[i], y, 0.0f, 0.0f, 0.0f, roll);
    mesh_transform(env);
    mesh_env_uv(env);
    mesh_draw(env);
    raster_set_additive(0);
}

// Each attempt picks a visible letter and one of its vertices; particles leave only letters
// above 0.99 (falling, or at the crest of a bob). The life draw happens only then.
static void spawn_particles(int part, int dt)
{
    underwater.spawn_budget += dt - SPAWN_PERIOD;
    if (underwater.spawn_budget < SPAWN_BUDGET_FLOOR)
        underwater.spawn_budget = SPAWN_BUDGET_FLOOR;
    if (underwater.spawn_budget <= 0)
        return;
    int n = (underwater.spawn_budget - 1) / SPAWN_PERIOD + 1;
    underwater.spawn_budget -= SPAWN_PERIOD * n;
    int visible = part >= EVENT_LETTERS - 1 ? EVENT_LETTERS : part + 1;
    static const fixed still[3] = {0, 0, 0};
    for (int attempt = 0; attempt < 2 * n; attempt++) {
        int l = demo_rand() % visible;
        const Mesh* letter = &event_letters[l];
        int r = demo_rand();
        if (letter->vertex_count <= 0 || !letter->vertices)
            continue;  // a letter that failed to load sheds nothing
        const MeshVertex* vertex = &letter->vertices[r % letter->vertex_count];
        if (!((double)letter->pos_y > 0.99))  // a letter resting at 0.99f (just above 0.99) qualifies
            continue;
        fixed position[3] = {
            (fixed)((uint32_t)world_to_fixed(letter->pos_x) + (uint32_t)vertex->x),
            (fixed)((uint32_t)world_to_fixed(letter->pos_y) + (uint32_t)vertex->y),
            (fixed)((uint32_t)world_to_fixed(letter->pos_z) + (uint32_t)vertex->z),
        };
        int life = demo_rand() % 1000 + 4000;
        emitter_emit(underwater.emitter, life, 1, position, still);
    }
}

// ---- public functions ----

void scene_underwater_reset(void)
{
    underwater = UNDERWATER_START;
}

void scene_underwater(int now, float t, int part, float v)
{
    long long delta = (long long)now - underwater.last_now;
    int dt = delta < 0 || delta > 2000 ? 0 : (int)delta;  // a seek or a pause moves nothing
    underwater.last_now = now;

    if (part != underwater.last_part) {
        if (part == UNDERWATER_PART_EMPTY) {
            for (int i = 0; i < EVENT_LETTERS; i++)
                underwater.letter_appear[i] = -1.0f;  // skipped letters then show at once, without falling
        } else if (part >= 0 && part < EVENT_LETTERS) {
            underwater.letter_appear[part] = t;
        }
        underwater.last_part = part;
    }

    if (part == UNDERWATER_PART_EMPTY)
        camera_apply(camera_key_lerp(&deep_cameras[0], &deep_cameras[1], t));
    else
        camera_walk(v);

    zbuffer_clear();
    draw_sky((float)(now * 0.0003));
    fx_set_time(now);
    fx_warp(screen, 0.1f, 0.1f, 4.0f, 4.0f, 0.001f);

    if (underwater.emitter < 0) {
        underwater.emitter = emitter_create(DISC_ADD, PARTICLE_COLOUR);
        emitter_set_gravity(-0.03125f);
    }

    for (int i = EVENT_LETTERS - 1; i >= 0; i--)
        if (i <= part)
            draw_letter(i, t, now);

    if (part >= 0)
        spawn_particles(part, dt);
    emitters_update_draw(dt);  // every emitter keeps moving, also when this scene could not get one

    raster_set_additive(1);
    zbuffer_clear();
    draw_sky((float)(-(double)now * 0.0002));
    raster_set_additive(0);

    fx_set_time(now);
    fx_warp(screen, 0.1f, 0.1f, -2.0f, -2.0f, 0.001f);
}
