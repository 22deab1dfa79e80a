// assets.cpp -- the asset table: every picture and mesh of the show, loaded at start-up and released at shut-down
#include "assets/assets_local.h"
#include "platform/msg.h"

#include <cstring>

// ---- state ----

Image blob_background, blob_probe;
Mesh water_mesh;
Image overlay_images[OVERLAY_IMAGES];
Mesh logo_letters[LOGO_LETTERS], logo_letters_env[LOGO_LETTERS];
Mesh event_letters[EVENT_LETTERS], event_letters_env[EVENT_LETTERS];
Mesh sky_mesh;

// Table order is load order and release order.
const AssetRow asset_table[ASSET_ROWS] = {
    {&blob_background, "data/raybg.tga", ASSET_IMAGE},
    {&blob_probe, "data/probe.tga", ASSET_IMAGE},
    {&water_mesh, "data/plane64.bof|data/probe_blk.tga", ASSET_MESH},
    {&overlay_images[0], "data/credz1.tga", ASSET_IMAGE},
    {&overlay_images[1], "data/credz2.tga", ASSET_IMAGE},
    {&overlay_images[2], "data/logoEnd.tga", ASSET_IMAGE},
    {&overlay_images[3], "data/ovr_kerv__.tga", ASSET_IMAGE},
    {&overlay_images[4], "data/ovr_kerv16.tga", ASSET_IMAGE},
    {&overlay_images[5], "data/greets.tga", ASSET_IMAGE},
    {&overlay_images[6], "data/info1.tga", ASSET_IMAGE},
    {&overlay_images[7], "data/info2.tga", ASSET_IMAGE},
    {&overlay_images[8], "data/info3.tga", ASSET_IMAGE},
    {&overlay_images[9], "data/info4.tga", ASSET_IMAGE},
    {&logo_letters[0], "data/g.bof", ASSET_MESH},
    {&logo_letters[1], "data/o.bof", ASSET_MESH},
    {&logo_letters[2], "data/p.bof", ASSET_MESH},
    {&logo_letters[3], "data/h.bof", ASSET_MESH},
    {&logo_letters[4], "data/y.bof", ASSET_MESH},
    {&logo_letters_env[0], "data/g.bof", ASSET_MESH},
    {&logo_letters_env[1], "data/o.bof", ASSET_MESH},
    {&logo_letters_env[2], "data/p.bof", ASSET_MESH},
    {&logo_letters_env[3], "data/h.bof", ASSET_MESH},
    {&logo_letters_env[4], "data/y.bof", ASSET_MESH},
    {&event_letters[0], "data/k.bof", ASSET_MESH},
    {&event_letters[1], "data/e.bof", ASSET_MESH},
    {&event_letters[2], "data/r.bof", ASSET_MESH},
    {&event_letters[3], "data/v.bof", ASSET_MESH},
    {&event_letters[4], "data/1.bof", ASSET_MESH},
    {&event_letters[5], "data/6.bof", ASSET_MESH},
    {&event_letters_env[0], "data/k.bof", ASSET_MESH},
    {&event_letters_env[1], "data/e.bof", ASSET_MESH},
    {&event_letters_env[2], "data/r.bof", ASSET_MESH},
    {&event_letters_env[3], "data/v.bof", ASSET_MESH},
    {&event_letters_env[4], "data/1.bof", ASSET_MESH},
    {&event_letters_env[5], "data/6.bof", ASSET_MESH},
    {&sky_mesh, "data/sky.bof|data/underwater.tga", ASSET_MESH},
    {nullptr, nullptr, ASSET_END},
};

AssetOps asset_ops = {
    image_load, image_free, mesh_load_static, mesh_free, texture_load, texture_free_all,
    mesh_set_texture, mesh_scale, mesh_compute_normals, mesh_smooth_normals,
};

static const float LETTER_SCALE = 0.05f;   // logo letters only
static const float SMOOTH_DISTANCE = 0.05f;

// ---- internal functions ----

static void load_row(const AssetRow* row)
{
    if (row->kind == ASSET_MESH)
        asset_ops.mesh_load(row->name, (Mesh*)row->target);
    else
        asset_ops.image_load(row->name, (Image*)row->target);
}

static void free_row(const AssetRow* row)
{
    if (row->kind == ASSET_MESH)
        asset_ops.mesh_free((Mesh*)row->target);
    else
        asset_ops.image_free((Image*)row->target);
}

// ---- public functions ----

int load_mesh_with_texture(const AssetRow* row)
{
    if (row->kind != ASSET_MESH || !row->name)
        return 0;
    const char* bar = strchr(row->name, '|');
    if (!bar)
        return 0;
    Mesh* mesh = (Mesh*)row->target;
    size_t length = strlen(row->name);
    if (length >= ASSET_NAME_MAX) {
        // Cutting the name would load some other file; refuse the row and leave the mesh empty.
        msg_print(stderr, "%s: name longer than %d characters, not loaded\n", row->name, ASSET_NAME_MAX - 1);
        asset_ops.mesh_free(mesh);
        return 1;
    }
    char buffer[ASSET_NAME_MAX];
    memcpy(buffer, row->name, length + 1);
    buffer[bar - row->name] = '\0';  // mesh name before the bar, texture name after it
    asset_ops.mesh_load(buffer, mesh);
    asset_ops.mesh_set_texture(mesh, asset_ops.texture_load(buffer + (bar - row->name) + 1));
    return 1;
}

void load_assets(void)
{
    // Loader results are not looked at: a missing file is reported by its loader and the show goes on.
    for (const AssetRow* row = asset_table; row->target; row++)
        if (!load_mesh_with_texture(row))
            load_row(row);
}

void setup_letter_materials(void)
{
    asset_ops.mesh_compute_normals(&water_mesh);
    int ice = asset_ops.texture_load("data/ice gophy.tga");
    int env = asset_ops.texture_load("data/ice_env.tga");
    for (int i = LOGO_LETTERS - 1; i >= 0; i--) {
        asset_ops.mesh_scale(&logo_letters[i], LETTER_SCALE);
        asset_ops.mesh_scale(&logo_letters_env[i], LETTER_SCALE);
        asset_ops.mesh_set_texture(&logo_letters[i], ice);
        asset_ops.mesh_set_texture(&logo_letters_env[i], env);
        asset_ops.mesh_compute_normals(&logo_letters_env[i]);
        asset_ops.mesh_smooth_normals(&logo_letters_env[i], SMOOTH_DISTANCE);
    }
    int kerv = asset_ops.texture_load("data/kerv.tga");
    for (int i = EVENT_LETTERS - 1; i >= 0; i--) {
        asset_ops.mesh_set_texture(&event_letters[i], kerv);
        asset_ops.mesh_set_texture(&event_letters_env[i], env);
        asset_ops.mesh_compute_normals(&event_letters_env[i]);
        asset_ops.mesh_smooth_normals(&event_letters_env[i], SMOOTH_DISTANCE);
    }
}

void free_assets(void)
{
    for (const AssetRow* row = asset_table; row->target; row++)
        free_row(row);
    asset_ops.texture_free_all();
}

int assets_reload_picture(const char* name, const char* path)
{
    for (const AssetRow* row = asset_table; row->target; row++) {
        if (row->kind != ASSET_IMAGE || strcmp(row->name, name) != 0)
            continue;
        Image fresh = {};
        asset_ops.image_load(path, &fresh);
        if (!fresh.pixels)
            return 0;
        Image* image = (Image*)row->target;
        asset_ops.image_free(image);
        *image = fresh;
        return 1;
    }
    return 0;
}
