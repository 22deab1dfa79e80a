// gfx3d.h -- 20.12 fixed-point maths, meshes and the BOF format, textures, camera, rasterizer
#pragma once
#include <cstdint>

#include "gfx2d/gfx2d.h"

// ---- types ----

typedef int32_t fixed;  // 20.12: value x 4096

struct Vec3 {
    fixed x, y, z;
};

// Row vectors: a point is a row on the left; element (r, c) is m[4r + c]; translation in m[12..14].
struct Mat4 {
    fixed m[16];
};

struct MeshVertex {
    fixed x, y, z;           // model space
    fixed tx, ty, tz, tw;    // written by mesh_transform: screen x, screen y, depth, 4096
    int32_t u, v;            // 1.15 texture words (discs: size and colour)
    fixed nx, ny, nz;        // unit normal, model space
    fixed tnx, tny, tnz;     // normal in camera space, written by mesh_transform
    int32_t outcode;         // six clip bits in the low byte
    int32_t behind;          // -1 behind the camera, else 0
};

struct MeshFace {
    int32_t va, vb, vc;      // vertex indices within a frame
    int32_t eab, ebc, eca;   // edge indices
};

struct MeshEdge {
    int32_t a, b;            // vertex indices, unordered
    // rasterizer state, valid within one mesh_draw
    MeshVertex* top;
    MeshVertex* bottom;
    fixed x, y, depth, u, v;
    fixed dx, ddepth, du, dv;
    int32_t is_short;        // less than 1/8 row tall
    int32_t prepared;        // set up in the current draw
};

struct Mesh {
    int32_t vertex_count;    // per frame
    int32_t face_count;
    int32_t edge_count;
    int32_t frame_count;
    MeshVertex* vertices;    // frame-major, owned
    MeshFace* faces;         // owned
    MeshEdge* edges;         // owned
    float pos_x, pos_y, pos_z;
    float yaw, pitch, roll;  // radians
    int32_t texture;         // TextureTable slot, -1 none
    int32_t frame;
    int32_t transformed;     // 1 after the first mesh_transform
};

enum {
    TEXTURE_SLOTS = 64,
    EDGE_SCRATCH = 16384,
};

struct TextureTable {
    Image slots[TEXTURE_SLOTS];
};

struct Camera {
    float pos_x, pos_y, pos_z;
    float yaw, pitch, roll;  // radians
    float zoom;              // focal length 0.75 x zoom pixels
    fixed near, far;
    fixed depth_range;       // far - near
    Mat4 view_projection;
    Mat4 view_rotation;
};

// ---- state other subsystems may read ----

extern const float sine_table[256];
extern TextureTable texture_table;
extern Camera camera;
extern int32_t zbuffer[SCREEN_PIXELS];

// ---- maths ----

// The small operations are inline: mesh_transform and the rasterizer use them per vertex and per edge.
// Sums, differences and integer products wrap in 32 bits (done in unsigned arithmetic, so wrapping is defined).
inline fixed fixed_from_int(int a) { return (fixed)((uint32_t)a << 12); }
// Truncates toward zero into 32 bits. Values beyond 32 bits keep their low 32 bits (they wrap like the
// rest of the arithmetic); NaN and values beyond 64 bits give 0x80000000, what the machine's own
// conversion gives, instead of undefined behaviour.
inline int32_t fixed_truncate(double v)
{
    if (!(v > -9.2e18 && v < 9.2e18)) return INT32_MIN;
    return (int32_t)(uint32_t)(uint64_t)(int64_t)v;
}
// x * 4096.0 in double, truncated toward zero (outside 32 bits: wraps)
inline fixed fixed_from_float(float x) { return fixed_truncate((double)x * 4096.0); }
inline int fixed_to_int(fixed a) { return a >> 12; }  // arithmetic: rounds toward minus infinity
inline float fixed_to_float(fixed a) { return (float)((double)a * (1.0 / 4096.0)); }
inline fixed fixed_mul(fixed a, fixed b) { return (fixed)(((int64_t)a * b) >> 12); }
inline fixed fixed_mul_quick(fixed a, fixed b)  // same results as fixed_mul, spares the zeros and ones
{
    if (a == 0 || b == 0) return 0;
    if (b == 4096) return a;
    if (a == 4096) return b;
    return fixed_mul(a, b);
}
// (a << 12) / b in 64 bits, truncating toward zero; the low 32 bits. A zero divisor gives 0, not a trap.
// Worked out in double precision, which is several times faster than a 64-bit integer division and
// truncates to the same quotient: the dividend stays below 2^43, so a quotient that is not whole lies
// at least 1 / |b| from the next whole number, far more than the division's rounding.
inline fixed fixed_div(fixed a, fixed b)
{
    return b ? (fixed)(int64_t)((double)((int64_t)a * 4096) / (double)b) : 0;
}
inline fixed fixed_add(fixed a, fixed b) { return (fixed)((uint32_t)a + (uint32_t)b); }
inline fixed fixed_sub(fixed a, fixed b) { return (fixed)((uint32_t)a - (uint32_t)b); }
inline fixed fixed_neg(fixed a) { return (fixed)(0u - (uint32_t)a); }  // -INT32_MIN wraps to itself
inline fixed fixed_mul_int(fixed a, int n) { return (fixed)((uint32_t)a * (uint32_t)n); }
// a * x in single precision, truncated toward zero
inline int int_times_float(int a, float x) { return fixed_truncate((double)((float)a * x)); }
float table_sin(float angle);         // radians, any value; interpolates sine_table
float table_cos(float angle);
// The C library's sin, cos, atan2 and pow(x, n) with the same bits on every build (maths_double.cpp);
// within about a unit in the last place, equal to glibc's once rounded to float.
double maths_sin(double x);           // radians
double maths_cos(double x);
double maths_atan2(double y, double x);
double maths_pow_int(double x, int n);

inline void vec_sub(Vec3* d, const Vec3* a, const Vec3* b)
{
    d->x = fixed_sub(a->x, b->x);
    d->y = fixed_sub(a->y, b->y);
    d->z = fixed_sub(a->z, b->z);
}
inline void vec_add(Vec3* d, const Vec3* a, const Vec3* b)
{
    d->x = fixed_add(a->x, b->x);
    d->y = fixed_add(a->y, b->y);
    d->z = fixed_add(a->z, b->z);
}
void vec_scale(Vec3* d, const Vec3* a, fixed s);
fixed vec_length_sq(const Vec3* a);
void vec_normalize(Vec3* a);
inline void vec_cross(Vec3* d, const Vec3* a, const Vec3* b)
{
    Vec3 r;  // d may be a or b
    r.x = fixed_sub(fixed_mul(a->y, b->z), fixed_mul(a->z, b->y));
    r.y = fixed_sub(fixed_mul(a->z, b->x), fixed_mul(a->x, b->z));
    r.z = fixed_sub(fixed_mul(a->x, b->y), fixed_mul(a->y, b->x));
    *d = r;
}

void mat_identity(Mat4* m);
void mat_mul(Mat4* d, const Mat4* a, const Mat4* b);  // d must not be a or b
void mat_translate(Mat4* m, fixed x, fixed y, fixed z);
void mat_rotate_x(Mat4* m, float angle);
void mat_rotate_y(Mat4* m, float angle);
void mat_rotate_z(Mat4* m, float angle);
void mat_perspective(Mat4* m, float zoom, fixed near, fixed far, fixed range);
// Per vertex, so the plain product: it gives the same results as fixed_mul_quick without the branches,
// which cost more than a 64-bit multiply here.
inline void mat_transform_point(fixed x, fixed y, fixed z, const Mat4* m, fixed out[4])
{
    const fixed* a = m->m;
    for (int c = 0; c < 4; c++)
        out[c] = fixed_add(fixed_add(fixed_mul(x, a[c]), fixed_mul(y, a[4 + c])), fixed_add(fixed_mul(z, a[8 + c]), a[12 + c]));
}
inline void mat_transform_direction(fixed x, fixed y, fixed z, const Mat4* m, fixed out[3])
{
    fixed p[4];
    mat_transform_point(x, y, z, m, p);
    out[0] = p[0], out[1] = p[1], out[2] = p[2];
}

// ---- meshes and textures (load at start-up, prepare, free at shut-down) ----

// A file that cannot be opened, is cut short or malformed, has absurd counts, faces pointing outside the
// mesh or more than EDGE_SCRATCH edges loads as an empty Mesh (counts 0, texture -1), named in one message.
void mesh_load_static(const char* name, Mesh* mesh);
void mesh_load_animated(const char* name, Mesh* mesh);  // frame_count frames of vertices, shared faces
void mesh_build_edges(Mesh* mesh);
int edge_find_or_add(int a, int b);
void mesh_compute_normals(Mesh* mesh);
void mesh_smooth_normals(Mesh* mesh, float distance);
void mesh_scale(Mesh* mesh, float factor);
void mesh_set_transform(Mesh* mesh, float x, float y, float z, float yaw, float pitch, float roll);
void mesh_set_texture(Mesh* mesh, int slot);
void mesh_free(Mesh* mesh);

int texture_load(const char* name);  // slot, or -1 when all 64 hold pixels or the picture did not load
void texture_free_all(void);
int texture_find_free(void);

// ---- camera and projection (per frame) ----

void camera_set_projection(int near, int far, float zoom);
void camera_update(void);
void mesh_transform(Mesh* mesh);
void vertex_outcode(MeshVertex* v);
void mesh_env_uv(Mesh* mesh);

// ---- rasterizer (per frame) ----

void zbuffer_clear(void);
void raster_set_additive(int additive);
void mesh_draw(Mesh* mesh);  // skipped when not transformed or its texture slot holds no pixels
// How a disc's colour meets the Screen; any other mode draws nothing.
enum DiscMode {
    DISC_ADD = 1,      // saturating add per channel
    DISC_AVERAGE = 2,  // the mean of Screen and colour per channel
};
// mode: DiscMode; enable: 16-byte records, vertex drawn when word 3 is not 0 (may be null)
void mesh_draw_discs(Mesh* mesh, int mode, const int32_t* enable);
