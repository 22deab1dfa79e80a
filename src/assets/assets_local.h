// assets_local.h -- what only the asset table's files share: its rows and the operations it calls
#pragma once

#include "assets/assets.h"

// ---- types ----

enum AssetKind {
    ASSET_END,    // the row that ends the table
    ASSET_IMAGE,  // loaded by image_load, released by image_free
    ASSET_MESH,   // loaded by mesh_load_static, released by mesh_free; "mesh|texture" names are split
};

struct AssetRow {
    void* target;      // the global Image or Mesh the row fills; null ends the table
    const char* name;  // file name; a mesh row may add "|texture"
    int kind;          // AssetKind
};

// What the asset table calls, so that tests can put recording stand-ins in their place.
struct AssetOps {
    void (*image_load)(const char* name, Image* image);
    void (*image_free)(Image* image);
    void (*mesh_load)(const char* name, Mesh* mesh);
    void (*mesh_free)(Mesh* mesh);
    int (*texture_load)(const char* name);
    void (*texture_free_all)(void);
    void (*mesh_set_texture)(Mesh* mesh, int slot);
    void (*mesh_scale)(Mesh* mesh, float factor);
    void (*mesh_compute_normals)(Mesh* mesh);
    void (*mesh_smooth_normals)(Mesh* mesh, float distance);
};

enum {
    ASSET_ROWS = 37,      // 36 assets and the end row
    ASSET_NAME_MAX = 64,  // a "mesh|texture" name must be shorter than this
};

// ---- state ----

extern const AssetRow asset_table[ASSET_ROWS];
extern AssetOps asset_ops;  // the real loaders unless a test swaps them

// ---- functions ----

int load_mesh_with_texture(const AssetRow* row);  // 1 when it handled the row
