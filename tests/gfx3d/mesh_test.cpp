// mesh_test.cpp -- BOF parsing, shared edges, normals and smoothing, scaling, the texture table
#include <gtest/gtest.h>

#include "gfx3d_helpers.h"

using namespace gfx3d_test;

namespace {

// A unit quad as two triangles; vertex entries numbered from 1 and a position that must not stick.
const char* QUAD_BOF =
    "quad\n4 2\n5.0 6.0 7.0\n"
    "1 0 0 0 0 0\n"
    "2 1 0 0 1.0 0\n"
    "3 1 1 0 1.0 0.5\n"
    "4 0 1 0 0 0.5\n"
    "0 0 1 2\n"
    "1 0 2 3\n";

TEST(BofLoad, StaticQuad)
{
    Mesh m{};
    m.transformed = 1;
    mesh_load_static(write_file("quad.bof", QUAD_BOF).c_str(), &m);
    ASSERT_EQ(m.vertex_count, 4);
    EXPECT_EQ(m.face_count, 2);
    EXPECT_EQ(m.frame_count, 1);
    EXPECT_EQ(m.edge_count, 5);  // the diagonal is shared, in opposite directions
    EXPECT_EQ(m.faces[0].eca, m.faces[1].eab);
    EXPECT_EQ(m.texture, -1);
    EXPECT_EQ(m.frame, 0);
    EXPECT_EQ(m.transformed, 0);
    EXPECT_EQ(m.pos_x, 0.0f);
    EXPECT_EQ(m.pos_y, 0.0f);
    EXPECT_EQ(m.pos_z, 0.0f);
    // Leading numbers 1..4 still define vertices 0..3.
    EXPECT_EQ(m.vertices[1].x, 4096);
    EXPECT_EQ(m.vertices[2].y, 4096);
    EXPECT_EQ(m.vertices[1].u, 32768);
    EXPECT_EQ(m.vertices[2].v, 16384);
    EXPECT_EQ(m.vertices[3].behind, 0);
    EXPECT_EQ(m.faces[1].vc, 3);
    for (int i = 0; i < m.edge_count; i++) {
        EXPECT_EQ(m.edges[i].prepared, 0);
        EXPECT_EQ(m.edges[i].top, nullptr);
    }
    mesh_free(&m);
    EXPECT_EQ(m.vertices, nullptr);
    EXPECT_EQ(m.vertex_count, 0);
    EXPECT_EQ(m.texture, -1);
}

TEST(BofLoad, AnimatedFramesShareFaces)
{
    std::string text = "anim 3 1 2 0 0 0\n"
                       "0 0 0 0 0 0  1 1 0 0 0 0  2 0 1 0 0 0\n"
                       "0 0 0 5 0 0  1 1 0 5 0 0  2 0 1 5 0 0\n"
                       "0 0 1 2\n";
    Mesh m{};
    mesh_load_animated(write_file("anim.bof", text).c_str(), &m);
    ASSERT_EQ(m.frame_count, 2);
    EXPECT_EQ(m.vertex_count, 3);
    EXPECT_EQ(m.edge_count, 3);
    EXPECT_EQ(m.vertices[3 + 2].z, 5 * 4096);
    EXPECT_EQ(m.vertices[6].z, 0);  // the spare frame's worth is zero, not uninitialised
    mesh_compute_normals(&m);
    EXPECT_EQ(m.vertices[4].nz, 4096);
    mesh_free(&m);
}

TEST(Normals, OneTriangleAndScaling)
{
    Mesh m{};
    mesh_load_static(write_file("tri.bof", "t 3 1 0 0 0 0 0 0 0 0 0 1 1 0 0 0 0 2 0 1 0 0 0 0 0 1 2").c_str(), &m);
    ASSERT_EQ(m.face_count, 1);
    mesh_scale(&m, 2.0f);
    EXPECT_EQ(m.vertices[1].x, 8192);
    mesh_compute_normals(&m);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(m.vertices[i].nx, 0);
        EXPECT_EQ(m.vertices[i].ny, 0);
        EXPECT_EQ(m.vertices[i].nz, 4096);
    }
    mesh_free(&m);
}

// Two triangles facing +z and +x whose first vertices are `gap` apart along x.
void smooth_pair(float gap, Mesh* m)
{
    char text[512];
    snprintf(text, sizeof text,
             "s 6 2 0 0 0\n"
             "0 0 0 0 0 0  1 1 0 0 0 0  2 0 1 0 0 0\n"
             "3 %f 0 0 0 0  4 %f 0 -1 0 0  5 %f 1 0 0 0\n"
             "0 0 1 2  1 3 4 5\n",
             gap, gap, gap);
    mesh_load_static(write_file("smooth.bof", text).c_str(), m);
    mesh_compute_normals(m);
    mesh_smooth_normals(m, 0.05f);
}

TEST(Normals, SmoothingThreshold)
{
    Mesh m{};
    smooth_pair(0.049f, &m);  // squared length 9/4096 < 10/4096: one common normal
    ASSERT_EQ(m.vertex_count, 6);
    EXPECT_EQ(m.vertices[0].nx, m.vertices[3].nx);
    EXPECT_EQ(m.vertices[0].nz, m.vertices[3].nz);
    EXPECT_NEAR(m.vertices[0].nx, 2896, 2);
    EXPECT_NEAR(m.vertices[0].nz, 2896, 2);
    EXPECT_EQ(m.vertices[1].nz, 4096);  // the others keep theirs
    mesh_free(&m);
    smooth_pair(0.05f, &m);  // squared length exactly 10/4096: not merged
    EXPECT_EQ(m.vertices[0].nz, 4096);
    EXPECT_EQ(m.vertices[0].nx, 0);
    EXPECT_EQ(m.vertices[3].nx, 4096);
    mesh_free(&m);
}

TEST(Textures, FreeSlotsAndFailedLoads)
{
    Mesh never{};
    mesh_free(&never);
    EXPECT_EQ(never.texture, -1);

    EXPECT_EQ(texture_load(temp_path("missing_4x4.raw").c_str()), -1);  // nothing loaded: no slot
    int free_slot = texture_find_free();
    EXPECT_EQ(free_slot, 0);
    set_texture(0, 1, 1, {1});
    EXPECT_EQ(texture_find_free(), 1);
    clear_texture(0);
    EXPECT_EQ(texture_find_free(), 0);
}

TEST(Textures, SixtyFiveLoads)
{
    std::string raw(4 * 4 * 4, '\x40');
    std::string name = write_file("tex_4x4.raw", raw);
    int first = texture_load(name.c_str());
    if (first < 0) GTEST_SKIP() << "the picture loader does not read raw files yet";
    EXPECT_EQ(first, 0);
    for (int i = 1; i < 64; i++) EXPECT_EQ(texture_load(name.c_str()), i);
    EXPECT_EQ(texture_load(name.c_str()), -1);
    texture_free_all();
    EXPECT_EQ(texture_find_free(), 0);
}

}  // namespace
