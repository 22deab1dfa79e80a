// camera.cpp -- the global camera, projection of a mesh into Screen space, clip bits, environment mapping
#include "gfx3d/gfx3d.h"

// ---- state ----

// Start values: at the origin looking along +z, zoom 200, near 10.0, far 5000.0. depth_range stays 0
// until camera_set_projection, which must run before the first camera_update.
Camera camera = {0, 0, 0, 0, 0, 0, 200.0f, 40960, 20480000, 0, {}, {}};

// ---- internal functions ----

// The records of the mesh's current frame, or null when there is nothing to work on.
static MeshVertex* current_frame(Mesh* mesh)
{
    if (!mesh->vertices || mesh->vertex_count <= 0) return nullptr;
    if (mesh->frame != 0 && (mesh->frame < 0 || mesh->frame >= mesh->frame_count)) return nullptr;
    return mesh->vertices + mesh->frame * mesh->vertex_count;
}

// ---- public functions ----

void camera_set_projection(int near, int far, float zoom)
{
    camera.near = fixed_from_int(near);
    camera.far = fixed_from_int(far);
    camera.depth_range = fixed_from_int((int)((uint32_t)far - (uint32_t)near));
    camera.zoom = zoom;
}

void camera_update(void)
{
    Mat4 t, rx, ry, rz, p, yx, tr;
    mat_translate(&t, fixed_from_float(-camera.pos_x), fixed_from_float(-camera.pos_y), fixed_from_float(-camera.pos_z));
    mat_rotate_x(&rx, -camera.pitch);
    mat_rotate_y(&ry, -camera.yaw);
    mat_rotate_z(&rz, -camera.roll);
    mat_perspective(&p, camera.zoom, camera.near, camera.far, camera.depth_range);
    mat_mul(&yx, &ry, &rx);
    mat_mul(&camera.view_rotation, &yx, &rz);
    mat_mul(&tr, &t, &camera.view_rotation);
    mat_mul(&camera.view_projection, &tr, &p);
}

// Clip bits on the values divided by W, before the Screen mapping: +-4096 are the faces of the view volume.
void vertex_outcode(MeshVertex* v)
{
    int code = 0;
    if (v->tx < -4096) code |= 1;
    if (v->tx > 4096) code |= 2;
    if (v->ty < -4096) code |= 4;
    if (v->ty > 4096) code |= 8;
    if (v->tz < -4096) code |= 16;
    if (v->tz > 4096) code |= 32;
    v->outcode = code;
}

// Roll, then pitch, then yaw, then the mesh's position, then the camera. Afterwards tx, ty are the
// Screen column and row (20.12, centre (120, 75)) and tz the depth: 31 x 2^25 at near to 33 x 2^25 at
// far, smaller is nearer.
void mesh_transform(Mesh* mesh)
{
    MeshVertex* frame = current_frame(mesh);
    Mat4 t, rx, ry, rz, xy, r, rt, m, n;
    mat_translate(&t, fixed_from_float(mesh->pos_x), fixed_from_float(mesh->pos_y), fixed_from_float(mesh->pos_z));
    mat_rotate_x(&rx, mesh->pitch);
    mat_rotate_y(&ry, mesh->yaw);
    mat_rotate_z(&rz, mesh->roll);
    mat_mul(&xy, &rx, &ry);
    mat_mul(&r, &rz, &xy);
    mat_mul(&rt, &r, &t);
    mat_mul(&m, &rt, &camera.view_projection);
    mesh->transformed = 1;
    if (!frame) return;
    int count = mesh->vertex_count;
    for (int i = 0; i < count; i++) {
        MeshVertex* p = &frame[i];
        fixed out[4];
        mat_transform_point(p->x, p->y, p->z, &m, out);
        p->tx = out[0], p->ty = out[1], p->tz = out[2], p->tw = out[3];
    }
    mat_mul(&n, &r, &camera.view_rotation);
    for (int i = 0; i < count; i++) {
        MeshVertex* p = &frame[i];
        fixed out[3];
        mat_transform_direction(p->nx, p->ny, p->nz, &n, out);
        p->tnx = out[0], p->tny = out[1], p->tnz = out[2];
    }
    for (int i = 0; i < count; i++) {
        MeshVertex* p = &frame[i];
        fixed g = p->tw ? fixed_div(131072, p->tw) : 0;  // 32 / W: divides by W with more precision
        p->tx = fixed_mul(p->tx, g) >> 5;
        p->ty = fixed_mul(p->ty, g) >> 5;
        p->tz = fixed_mul(p->tz, g) >> 5;
        p->tw = 4096;
        p->behind = g > 0 ? -1 : 0;
        vertex_outcode(p);
        p->tx = fixed_sub(fixed_from_int(120), fixed_mul_int(p->tx, 120));
        p->ty = fixed_add(fixed_mul_int(p->ty, 75), fixed_from_int(75));
        p->tz = (fixed)((uint32_t)fixed_sub(131072, p->tz) << 13);
    }
}

// A normal facing the camera maps to the texture's centre; the texture spreads over the hemisphere.
void mesh_env_uv(Mesh* mesh)
{
    MeshVertex* frame = current_frame(mesh);
    if (!frame) return;
    for (int i = 0; i < mesh->vertex_count; i++) {
        MeshVertex* p = &frame[i];
        float a = fixed_to_float(p->tnx), b = fixed_to_float(p->tny);
        p->u = int_times_float(32768, 0.5f * a + 0.5f);
        p->v = int_times_float(32768, 0.5f - 0.5f * b);
    }
}
