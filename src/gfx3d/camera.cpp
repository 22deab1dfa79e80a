// camera.cpp -- PLACEHOLDER until the camera lands
#include "gfx3d/gfx3d.h"

Camera camera = {0, 0, 0, 0, 0, 0, 200.0f, 40960, 20480000, 0, {}, {}};

void camera_set_projection(int, int, float) {}
void camera_update(void) {}
void mesh_transform(Mesh*) {}
void mesh_env_uv(Mesh*) {}
