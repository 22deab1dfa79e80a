// scenes.h -- ripple fields, the five scenes, post effects and the end sequence, particle emitters
#pragma once
#include <cstdint>

#include "gfx3d/gfx3d.h"

// ---- types ----

struct RippleField {
    int width, height;     // cells
    int32_t* older;        // state before the newest; overwritten by the next step
    int32_t* newer;        // the newest state
    int damping_shift;     // 6: 1/64, 5: 1/32
    int step_ms;           // simulation period
    int last_step;         // demo time of the last step, ms
};

struct CameraKey {
    float x, y, z;
    float yaw, pitch, roll;  // degrees
    float near, far;         // used as whole numbers
    float zoom;
};

enum {
    CAMERA_ROWS = 6,  // stored camera positions of the water and the underwater scene
    EMITTERS = 8,
    EMITTER_PARTICLES = 1024,
};

struct Particle {
    int32_t vx, vy, vz;  // 20.12, world units per 100 ms
    int32_t life;        // ms; 0 or less is dead
};

struct Emitter {
    Mesh body;                              // one vertex per particle
    Particle particles[EMITTER_PARTICLES];
    int mode;                               // DiscMode: how its particles are drawn
    uint32_t colour;
    int last_life;                          // 0: nothing alive, nothing to draw
    int allocated;                          // 0 free, -1 taken
};

// ---- state other subsystems may read ----

extern Emitter emitters[EMITTERS];
extern float emitter_gravity;
extern int fx_time;
extern RippleField rain_field;  // 240 x 150 cells, cell (x, y) at x * 150 + y

// ---- ripple fields, rain and flash ----

void ripple_step(RippleField* field);
void ripple_advance(RippleField* field, int now, void (*hook)(RippleField* field));
void scene_rain(int now);
void scene_flash(void);

// ---- post effects and the end sequence ----

void fx_noise(uint32_t* pixels, int16_t x0, int16_t y0, int16_t x1, int16_t y1, uint8_t amount);
void fx_fade(uint32_t* pixels, int16_t x0, int16_t y0, int16_t x1, int16_t y1, int16_t lo, int16_t hi);
void fx_blur(uint32_t* pixels, int16_t x0, int16_t y0, int16_t x1, int16_t y1, uint8_t radius);
void fx_row_shift(uint32_t* pixels, float jump_scale, float return_scale, int jump_odds, int return_odds);
void fx_warp(uint32_t* pixels, float p1, float p2, float p3, float p4, float p5);
void fx_set_time(int t);
void end_sequence(float v);

// ---- camera keys (camera_keys.cpp) ----

// Blend of a and b at t in 0..1; a itself at 0 and b itself at 1. The result is overwritten by the next call.
const CameraKey* camera_key_lerp(const CameraKey* a, const CameraKey* b, float t);
void camera_apply(const CameraKey* key);  // position, angles in degrees, near / far / zoom; updates the matrices

// ---- water scene ----

extern RippleField pool_field;     // 128 x 128, damping 1/64, 41 ms
extern int pool_initialised;       // 0 until the first frame zeroes the pool
extern const CameraKey water_cameras[CAMERA_ROWS];

void scene_water(int now, int part, int seed, float t);
float water_height(float x, float z);
void float_on_water(Mesh* mesh, float x, float z);

// ---- blob scene ----

void scene_blobs(int now, int part);
void scene_blobs_oracle(int now, int part);  // the same Screen the slow, straightforward way (tests, benchmarks)

// ---- particle emitters ----

void emitters_init(void);
void emitters_free(void);
int emitter_create(int mode, uint32_t colour);  // mode: DiscMode; -1 when none is free
void emitter_emit(int index, int life, int count, const fixed position[3], const fixed velocity[3]);
void emitter_update(int index, int dt);
void emitters_update_draw(int dt);
void emitter_set_gravity(float g);

// ---- underwater scene ----

extern const CameraKey deep_cameras[CAMERA_ROWS];
extern float letter_appear[6];     // "time" value when each letter's part began

void scene_underwater(int now, float t, int part, float v);
void scene_underwater_reset(void);  // back to the state at program start (no emitter yet)
