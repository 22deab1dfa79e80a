// mesh.cpp -- PLACEHOLDER until meshes land: every mesh loads empty
#include "gfx3d/gfx3d.h"

TextureTable texture_table;

void mesh_load_static(const char*, Mesh* mesh) { *mesh = Mesh{}; mesh->texture = -1; }
void mesh_load_animated(const char* name, Mesh* mesh) { mesh_load_static(name, mesh); }
void mesh_compute_normals(Mesh*) {}
void mesh_smooth_normals(Mesh*, float) {}
void mesh_scale(Mesh*, float) {}
void mesh_set_transform(Mesh* m, float x, float y, float z, float yaw, float pitch, float roll)
{
    m->pos_x = x, m->pos_y = y, m->pos_z = z, m->yaw = yaw, m->pitch = pitch, m->roll = roll;
}
void mesh_set_texture(Mesh* mesh, int slot) { mesh->texture = slot; }
void mesh_free(Mesh* mesh) { mesh->texture = -1; }
int texture_load(const char*) { return -1; }
void texture_free_all(void) {}
