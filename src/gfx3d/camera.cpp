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

// Clip bits on the values divided by W, before the Screen mapping: +-4096 are the faces of the view volume.
static inline int outcode_of(const MeshVertex* v)
{
    int code = 0;
    if (v->tx < -4096) code |= 1;
    if (v->tx > 4096) code |= 2;
    if (v->ty < -4096) code |= 4;
    if (v->ty > 4096) code |= 8;
    if (v->tz < -4096) code |= 16;
    if (v->tz > 4096) code |= 32;
    return code;
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
    mat_mul(&n, &r, &camera.view_rotation);
    // One pass per vertex: position, normal, then the division by W and the Screen mapping.
    const fixed* a = m.m;
    const fixed* d = n.m;
    int count = mesh->vertex_count;
    for (int i = 0; i < count; i++) {
        MeshVertex* p = &frame[i];
        fixed x = p->x, y = p->y, z = p->z;
        fixed tx = fixed_add(fixed_add(fixed_mul(x, a[0]), fixed_mul(y, a[4])), fixed_add(fixed_mul(z, a[8]), a[12]));
        fixed ty = fixed_add(fixed_add(fixed_mul(x, a[1]), fixed_mul(y, a[5])), fixed_add(fixed_mul(z, a[9]), a[13]));
        fixed tz = fixed_add(fixed_add(fixed_mul(x, a[2]), fixed_mul(y, a[6])), fixed_add(fixed_mul(z, a[10]), a[14]));
        fixed tw = fixed_add(fixed_add(fixed_mul(x, a[3]), fixed_mul(y, a[7])), fixed_add(fixed_mul(z, a[11]), a[15]));
        fixed nx = p->nx, ny = p->ny, nz = p->nz;
        p->tnx = fixed_add(fixed_add(fixed_mul(nx, d[0]), fixed_mul(ny, d[4])), fixed_add(fixed_mul(nz, d[8]), d[12]));
        p->tny = fixed_add(fixed_add(fixed_mul(nx, d[1]), fixed_mul(ny, d[5])), fixed_add(fixed_mul(nz, d[9]), d[13]));
        p->tnz = fixed_add(fixed_add(fixed_mul(nx, d[2]), fixed_mul(ny, d[6])), fixed_add(fixed_mul(nz, d[10]), d[14]));
        fixed g = tw ? fixed_div(131072, tw) : 0;  // 32 / W: divides by W with more precision
        p->tx = fixed_mul(tx, g) >> 5;
        p->ty = fixed_mul(ty, g) >> 5;
        p->tz = fixed_mul(tz, g) >> 5;
        p->tw = 4096;
        p->behind = g > 0 ? -1 : 0;
        p->outcode = outcode_of(p);
        p->tx = fixed_sub(fixed_from_int(120), fixed_mul_int(p->tx, 120));
        p->ty = fixed_add(fixed_mul_int(p->ty, 75), fixed_from_int(75));
        p->tz = (fixed)((uint32_t)fixed_sub(131072, p->tz) << 13);
    }
}

void vertex_outcode(MeshVertex* v) { v->outcode = outcode_of(v); }

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
