// camera_keys.cpp -- the scenes' camera keys: blending two of them and setting the camera from one
#include "scenes/scenes.h"

// ---- internal functions ----

static float lerp_field(float a, float b, float s, float t) { return s * a + t * b; }

// ---- public functions ----

const CameraKey* camera_key_lerp(const CameraKey* a, const CameraKey* b, float t)
{
    static CameraKey result;
    float s = 1.0f - t;
    if (s == 1.0f)
        return a;
    if (t == 1.0f)
        return b;
    result.x = lerp_field(a->x, b->x, s, t);
    result.y = lerp_field(a->y, b->y, s, t);
    result.z = lerp_field(a->z, b->z, s, t);
    result.yaw = lerp_field(a->yaw, b->yaw, s, t);
    result.pitch = lerp_field(a->pitch, b->pitch, s, t);
    result.roll = lerp_field(a->roll, b->roll, s, t);
    result.near = lerp_field(a->near, b->near, s, t);
    result.far = lerp_field(a->far, b->far, s, t);
    result.zoom = lerp_field(a->zoom, b->zoom, s, t);
    return &result;
}

// Degrees to radians with the sign inverted: the keys turn the view, the camera turns the world.
void camera_apply(const CameraKey* key)
{
    camera.pos_x = key->x;
    camera.pos_y = key->y;
    camera.pos_z = key->z;
    camera.yaw = -key->yaw * 3.1416f * 2.0f / 360.0f;
    camera.pitch = -key->pitch * 3.1416f * 2.0f / 360.0f;
    camera.roll = -key->roll * 3.1416f * 2.0f / 360.0f;
    camera_set_projection((int)key->near, (int)key->far, key->zoom);
    camera_update();
}
