// water.cpp -- scene 1: the rippling pool under a gliding camera, the floating letters gophy
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "assets/assets.h"
#include "assets/random.h"
#include "scenes/scenes.h"

// ---- types ----

enum {
    POOL_SIZE = 128,          // cells per side of pool_field
    PLANE_SIDE = 64,          // vertices per side of the water mesh
    PLANE_VERTICES = PLANE_SIDE * PLANE_SIDE,
    DROP_HEIGHT = 25,         // value of the four cells a drop sets
};

// Values of the "part" track in this scene; any other part keeps the camera of the last frame and
// draws no letters below WATER_PART_LOW.
enum WaterPart {
    WATER_PART_ABOVE = 0,  // the camera glides down from above (rows 0 to 1)
    WATER_PART_LOW = 1,    // the low glide (rows 2 to 3); the letters float from here on
    WATER_PART_ICE = 2,    // camera row 4; the water takes the ice environment from here on
    WATER_PART_GREY = 3,   // camera row 5 over a grey clear
};
static const uint32_t GREY_CLEAR = 0x8F8F8Fu;  // grey 143

// ---- state ----

static int32_t pool_cells[2][POOL_SIZE * POOL_SIZE];  // row * 128 + column

RippleField pool_field = {POOL_SIZE, POOL_SIZE, pool_cells[0], pool_cells[1], 6, 41, 0};
int pool_initialised;

// Positions the camera glides between; -7.2 and 2.5 are the nearest floats. The show's own framing:
// rows 2 and 3 come down over the water to the floating word (the water fills the view below a thin
// band of sky), row 4 sees the whole word at an angle with its tops, row 5 from above with room at
// both ends and the lower half of the picture free for the greetings.
const CameraKey water_cameras[CAMERA_ROWS] = {
    {65.0f, 60.0f, 0.0f, 90.0f, -55.0f, 0.0f, 30.0f, 750.0f, 412.0f},
    {39.0f, 9.0f, -36.0f, 71.0f, -13.0f, 0.0f, 10.0f, 750.0f, 412.0f},
    {-14.0f, 6.0f, -24.0f, 0.0f, -14.0f, 0.0f, 1.0f, 60.0f, 250.0f},
    {-20.0f, 2.5f, -7.2f, -10.0f, -12.0f, 0.0f, 1.0f, 60.0f, 250.0f},
    {-15.0f, 3.0f, -12.0f, -30.0f, -10.0f, 0.0f, 1.0f, 50.0f, 220.0f},
    {-17.0f, 8.0f, -20.0f, -25.0f, -22.0f, 0.0f, 10.0f, 750.0f, 300.0f},
};

// Resting x of g, o, p, h, y.
static const float letter_base_x[LOGO_LETTERS] = {-10.0f, -5.0f, 1.0f, 6.0f, 11.0f};

static int drop_seed;  // the seed of the frame being stepped, read by the drop hook

// The water mesh as its normals were last worked out, and those normals. Between two ripple steps the
// surface does not move, and its normals are copied instead of worked out again.
static struct {
    int valid;
    const MeshVertex* vertices;  // the arrays they were worked out for
    const MeshFace* faces;
    int face_count;
    Vec3 position[PLANE_VERTICES];
    Vec3 normal[PLANE_VERTICES];
} surface;

// ---- internal functions ----

// Runs before every step: a positive seed reseeds the shared generator, so the same seed drops on
// the same 2 x 2 spot each step and every later draw of the frame follows from it.
static void drop_hook(RippleField* field)
{
    if (drop_seed <= 0)
        return;
    demo_srand((uint32_t)drop_seed);
    int row = demo_rand() % 121 + 6;
    int col = demo_rand() % 121 + 6;
    int32_t* o = field->older;
    o[row * POOL_SIZE + col] = DROP_HEIGHT;
    o[row * POOL_SIZE + col + 1] = DROP_HEIGHT;
    o[(row + 1) * POOL_SIZE + col] = DROP_HEIGHT;
    o[(row + 1) * POOL_SIZE + col + 1] = DROP_HEIGHT;
}

static void pool_clear(void)
{
    for (int i = 0; i < POOL_SIZE * POOL_SIZE; i++) {
        pool_cells[0][i] = 0;
        pool_cells[1][i] = 0;
    }
}

// Vertex (p, q) of the plane takes the sum of the 2 x 2 cells at row 2p, column 2q.
static void heights_from_pool(void)
{
    if (water_mesh.vertex_count < PLANE_VERTICES || !water_mesh.vertices)
        return;
    const int32_t* n = pool_field.newer;
    for (int q = 0; q < PLANE_SIDE; q++)
        for (int p = 0; p < PLANE_SIDE; p++) {
            const int32_t* c = n + 2 * p * POOL_SIZE + 2 * q;
            uint32_t sum = (uint32_t)c[0] + (uint32_t)c[1] + (uint32_t)c[POOL_SIZE] + (uint32_t)c[POOL_SIZE + 1];
            water_mesh.vertices[PLANE_SIDE * q + p].y = (fixed)sum;
        }
}

// mesh_compute_normals of the water mesh, or the normals it gave last time for the same surface.
static void surface_normals(void)
{
    Mesh* m = &water_mesh;
    if (m->vertex_count != PLANE_VERTICES || m->frame_count != 1 || !m->vertices) {
        mesh_compute_normals(m);
        return;
    }
    MeshVertex* v = m->vertices;
    int same = surface.valid && surface.vertices == v && surface.faces == m->faces && surface.face_count == m->face_count;
    for (int i = 0; i < PLANE_VERTICES && same; i++)
        same = v[i].x == surface.position[i].x && v[i].y == surface.position[i].y && v[i].z == surface.position[i].z;
    if (same) {
        for (int i = 0; i < PLANE_VERTICES; i++)
            v[i].nx = surface.normal[i].x, v[i].ny = surface.normal[i].y, v[i].nz = surface.normal[i].z;
        return;
    }
    mesh_compute_normals(m);
    for (int i = 0; i < PLANE_VERTICES; i++) {
        surface.position[i] = Vec3{v[i].x, v[i].y, v[i].z};
        surface.normal[i] = Vec3{v[i].nx, v[i].ny, v[i].nz};
    }
    surface.vertices = v;
    surface.faces = m->faces;
    surface.face_count = m->face_count;
    surface.valid = 1;
}

// Grid coordinate of a world position, clamped so the 2 x 2 sample stays on the plane:
// outside it the edge heights carry on outwards.
static void grid_coord(float w, int* i, float* f)
{
    float g = (w + 50.0f) * 64.0f / 100.0f;
    if (!(g >= 0.0f))
        g = 0.0f;  // also catches NaN
    if (g > PLANE_SIDE - 1)
        g = PLANE_SIDE - 1;
    int n = (int)g;
    if (n > PLANE_SIDE - 2)
        n = PLANE_SIDE - 2;
    *i = n;
    *f = g - (float)n;
}

static float height_at(int i, int j)
{
    return (float)water_mesh.vertices[PLANE_SIDE * j + i].y / 4096.0f;
}

// ---- public functions ----

float water_height(float x, float z)
{
    if (water_mesh.vertex_count < PLANE_VERTICES || !water_mesh.vertices)
        return 0.0f;
    int iu, iv;
    float fu, fv;
    grid_coord(x, &iu, &fu);
    grid_coord(z, &iv, &fv);
    float near_row = (1.0f - fu) * height_at(iu, iv) + fu * height_at(iu + 1, iv);
    float far_row = (1.0f - fu) * height_at(iu, iv + 1) + fu * height_at(iu + 1, iv + 1);
    return (1.0f - fv) * near_row + fv * far_row;
}

// Tilts the mesh along the slope under it. The height is not the mean of the four samples: on a
// uniform slope it is the height at (x - 3, z - 3).
void float_on_water(Mesh* mesh, float x, float z)
{
    float hl = water_height(x - 3.0f, z);
    float hr = water_height(x + 3.0f, z);
    float hb = water_height(x, z - 3.0f);
    float hf = water_height(x, z + 3.0f);
    float dx = hl - hr;
    float dz = hb - hf;
    float roll = (float)maths_atan2((double)dx, 6.0);
    float pitch = (float)maths_atan2((double)dz, 6.0);
    float back = hb + dz / 2.0f;
    float left = hl + dx / 2.0f;
    float y = (back + left) / 2.0f;
    mesh_set_transform(mesh, x, y, z, 0.0f, pitch, roll);
}

void scene_water(int now, int part, int seed, float t)
{
    if (llabs((long long)now - pool_field.last_step) > 1000)
        pool_field.last_step = now;
    if (!pool_initialised || seed < 0) {
        pool_clear();  // a negative seed keeps the water flat, frame after frame
        pool_initialised = 1;
    }
    drop_seed = seed;
    ripple_advance(&pool_field, now, drop_hook);

    switch (part) {
    case WATER_PART_ABOVE: camera_apply(camera_key_lerp(&water_cameras[0], &water_cameras[1], t)); break;
    case WATER_PART_LOW: camera_apply(camera_key_lerp(&water_cameras[2], &water_cameras[3], t)); break;
    case WATER_PART_ICE: camera_apply(&water_cameras[4]); break;
    case WATER_PART_GREY: camera_apply(&water_cameras[5]); break;
    default: break;  // the camera stays where the last frame left it
    }

    heights_from_pool();
    screen_fill(part == WATER_PART_GREY ? GREY_CLEAR : 0u);
    zbuffer_clear();

    mesh_set_transform(&water_mesh, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    surface_normals();
    mesh_transform(&water_mesh);
    mesh_env_uv(&water_mesh);
    int own_texture = water_mesh.texture;
    if (part >= WATER_PART_ICE)
        water_mesh.texture = logo_letters_env[0].texture;  // the ice environment for this draw
    raster_set_additive(0);
    mesh_draw(&water_mesh);
    water_mesh.texture = own_texture;

    if (part < WATER_PART_LOW)
        return;
    for (int i = LOGO_LETTERS - 1; i >= 0; i--) {  // y, h, p, o, g
        Mesh* textured = &logo_letters[i];
        Mesh* env = &logo_letters_env[i];
        float x = letter_base_x[i] - 10.0f * t - 1.0f;
        float_on_water(textured, x, 0.0f);
        float_on_water(env, x, 0.0f);
        mesh_transform(textured);
        mesh_transform(env);
        mesh_env_uv(env);
        mesh_draw(textured);
        raster_set_additive(1);
        mesh_draw(env);
        raster_set_additive(0);
    }
}
