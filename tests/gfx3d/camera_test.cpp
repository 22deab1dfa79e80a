// camera_test.cpp -- projection to Screen columns and rows, depth mapping, clip bits, behind, env-map words
#include <gtest/gtest.h>

#include "gfx3d_helpers.h"

using namespace gfx3d_test;

namespace {

struct CameraTest : ::testing::Test {
    Mesh mesh{};
    void SetUp() override { reset_camera(); }
    void TearDown() override { mesh_free(&mesh); }
    void place(const std::vector<Vec3>& points)
    {
        mesh = Mesh{};
        mesh.vertex_count = (int)points.size();
        mesh.frame_count = 1;
        mesh.vertices = (MeshVertex*)calloc(points.size(), sizeof(MeshVertex));
        for (size_t i = 0; i < points.size(); i++) {
            mesh.vertices[i].x = points[i].x;
            mesh.vertices[i].y = points[i].y;
            mesh.vertices[i].z = points[i].z;
        }
        mesh_transform(&mesh);
    }
    const MeshVertex& v(int i) { return mesh.vertices[i]; }
};

const fixed ONE = 4096;

TEST_F(CameraTest, CentreAndFocalLength)
{
    place({{0, 0, 100 * ONE}, {10 * ONE, 0, 100 * ONE}, {0, 10 * ONE, 100 * ONE}});
    EXPECT_EQ(mesh.transformed, 1);
    EXPECT_NEAR(v(0).tx, 120 * ONE, 64);
    EXPECT_NEAR(v(0).ty, 75 * ONE, 64);
    EXPECT_NEAR(v(1).tx, 135 * ONE, 200);  // 120 + 0.75 * 200 * 10 / 100
    EXPECT_NEAR(v(2).ty, 60 * ONE, 200);   // y grows upwards in camera space, rows downwards
    EXPECT_EQ(v(0).tw, ONE);
    EXPECT_EQ(v(0).behind, 0);
    EXPECT_EQ(v(0).outcode, 0);
}

TEST_F(CameraTest, DepthRunsFromNearToFar)
{
    place({{0, 0, 10 * ONE}, {0, 0, 5000 * ONE}, {0, 0, 2500 * ONE}});
    EXPECT_NEAR((double)v(0).tz, 31.0 * (1 << 25), 1 << 19);
    EXPECT_NEAR((double)v(1).tz, 33.0 * (1 << 25), 1 << 19);
    EXPECT_LT(v(0).tz, v(2).tz);
    EXPECT_LT(v(2).tz, v(1).tz);
}

TEST_F(CameraTest, BehindAndClipBits)
{
    place({{0, 0, -100 * ONE}, {0, 0, 8192 * ONE}, {0, 0, 5 * ONE}, {-200 * ONE, 0, 100 * ONE},
           {200 * ONE, 0, 100 * ONE}, {0, -200 * ONE, 100 * ONE}, {0, 200 * ONE, 100 * ONE}, {0, 0, 0}});
    EXPECT_EQ(v(0).behind, -1);
    EXPECT_EQ(v(1).behind, 0);
    // Beyond far. 32/W is truncated, which pulls far points inwards: 8192 is where it is exact.
    EXPECT_EQ(v(1).outcode, 16);
    EXPECT_EQ(v(2).outcode, 32);  // closer than near, in front
    // Clip bits come from the values divided by W: x grows to the left of the Screen there.
    EXPECT_EQ(v(3).outcode, 2);
    EXPECT_EQ(v(4).outcode, 1);
    EXPECT_EQ(v(5).outcode, 8);
    EXPECT_EQ(v(6).outcode, 4);
    // W exactly 0: g = 0, the vertex lands at the Screen centre, not behind.
    EXPECT_EQ(v(7).behind, 0);
    EXPECT_EQ(v(7).tx, 120 * ONE);
    EXPECT_EQ(v(7).ty, 75 * ONE);
}

TEST_F(CameraTest, MeshAndCameraPlacement)
{
    // The mesh moved 100 along z lands on the centre; moving the camera shifts it the other way.
    place({{0, 0, 0}});
    mesh_set_transform(&mesh, 0.0f, 0.0f, 100.0f, 0.0f, 0.0f, 0.0f);
    mesh_transform(&mesh);
    EXPECT_NEAR(v(0).tx, 120 * ONE, 64);
    camera.pos_x = -10.0f;  // camera moved left: the mesh appears right of centre
    camera_update();
    mesh_transform(&mesh);
    EXPECT_NEAR(v(0).tx, 135 * ONE, 200);
}

TEST_F(CameraTest, EnvironmentWords)
{
    place({{0, 0, 100 * ONE}, {0, 0, 100 * ONE}, {0, 0, 100 * ONE}});
    mesh.vertices[0].nz = ONE;
    mesh.vertices[1].nz = -ONE;
    mesh.vertices[2].nx = ONE;
    mesh_transform(&mesh);
    mesh_env_uv(&mesh);
    EXPECT_EQ(v(0).u, 16384);
    EXPECT_EQ(v(0).v, 16384);
    EXPECT_EQ(v(1).u, 16384);
    EXPECT_EQ(v(1).v, 16384);
    EXPECT_EQ(v(2).u, 32768);
    EXPECT_EQ(v(2).v, 16384);
}

TEST_F(CameraTest, ProjectionSetsFixedValues)
{
    camera_set_projection(1, 1000, 150.0f);
    EXPECT_EQ(camera.near, 4096);
    EXPECT_EQ(camera.far, 4096000);
    EXPECT_EQ(camera.depth_range, 999 * 4096);
    EXPECT_EQ(camera.zoom, 150.0f);
}

}  // namespace
