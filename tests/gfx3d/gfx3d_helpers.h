// gfx3d_helpers.h -- shared test helpers: temporary files, in-memory textures, meshes placed in Screen space
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_temp.h"
#include "gfx3d/gfx3d_local.h"

namespace gfx3d_test {

inline std::string temp_path(const std::string& leaf)
{
    return test_temp_path(leaf);
}

inline std::string write_file(const std::string& leaf, const std::string& text)
{
    std::string path = temp_path(leaf);
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    return path;
}

// Puts a width x height texture of the given texels straight into a texture slot.
inline void set_texture(int slot, int width, int height, const std::vector<uint32_t>& texels)
{
    Image* image = &texture_table.slots[slot];
    free(image->pixels);
    image->pixels = (uint32_t*)malloc(texels.size() * 4);
    std::copy(texels.begin(), texels.end(), image->pixels);
    image->width = (uint16_t)width;
    image->height = (uint16_t)height;
    int shift = 0;
    while ((2 << shift) <= width) shift++;
    image->width_shift = (uint8_t)shift;
}

inline void clear_texture(int slot)
{
    free(texture_table.slots[slot].pixels);
    texture_table.slots[slot] = Image{};
}

// A vertex already in Screen space: column, row, depth and 1.15 texture words.
struct ScreenVertex {
    float x, y;
    int32_t u, v;
    int32_t depth;
};

// A one-frame mesh whose vertices sit where given on the Screen, as if mesh_transform had put them there.
inline void make_screen_mesh(Mesh* m, const std::vector<ScreenVertex>& verts, const std::vector<MeshFace>& faces,
                             int slot)
{
    *m = Mesh{};
    m->vertex_count = (int)verts.size();
    m->face_count = (int)faces.size();
    m->frame_count = 1;
    m->vertices = (MeshVertex*)calloc(verts.size(), sizeof(MeshVertex));
    m->faces = (MeshFace*)calloc(faces.size(), sizeof(MeshFace));
    for (size_t i = 0; i < verts.size(); i++) {
        MeshVertex* p = &m->vertices[i];
        p->tx = fixed_from_float(verts[i].x);
        p->ty = fixed_from_float(verts[i].y);
        p->tz = verts[i].depth;
        p->tw = 4096;
        p->u = verts[i].u;
        p->v = verts[i].v;
    }
    for (size_t i = 0; i < faces.size(); i++) m->faces[i] = faces[i];
    mesh_build_edges(m);
    m->texture = slot;
    m->transformed = 1;
}

inline void reset_camera()
{
    camera = Camera{0, 0, 0, 0, 0, 0, 200.0f, 40960, 20480000, 0, {}, {}};
    camera_set_projection(10, 5000, 200.0f);
    camera_update();
}

inline void prepare_screen()
{
    if (!screen) screen_create();
    screen_fill(0);
    zbuffer_clear();
    raster_set_additive(0);
}

}  // namespace gfx3d_test
