// transform_exact_test.cpp -- table sine, rotations, the camera and mesh matrices and the vertex mapping, bit for bit
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>

#include "gfx3d/gfx3d.h"
#include "table_ref.h"

namespace {

// ---- the rules worked out again here, in the plainest form ----

float ref_sin(float x) { return ref_table_sin(x); }
float ref_cos(float x) { return ref_table_cos(x); }

int32_t ref_fix(float v) { return (int32_t)std::trunc((double)v * 4096.0); }  // values in range only
int32_t ref_mul(int32_t a, int32_t b) { return (int32_t)(((int64_t)a * b) >> 12); }
int32_t ref_div(int32_t a, int32_t b) { return (int32_t)(((int64_t)a * 4096) / b); }
int32_t ref_add(int64_t a, int64_t b) { return (int32_t)(uint32_t)(uint64_t)(a + b); }

struct M {
    int32_t e[16];
};
M ident()
{
    M m{};
    for (int i = 0; i < 4; i++) m.e[5 * i] = 4096;
    return m;
}
M mul(const M& a, const M& b)
{
    M d{};
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            int32_t s = 0;
            for (int k = 0; k < 4; k++) s = ref_add(s, ref_mul(a.e[4 * r + k], b.e[4 * k + c]));
            d.e[4 * r + c] = s;
        }
    return d;
}
// Element positions by axis: x puts c, s, -s, c at 5, 6, 9, 10; y at 0, 2(-s), 8(s), 10; z at 0, 1, 4(-s), 5.
M rot(char axis, float angle)
{
    int32_t c = ref_fix(ref_cos(angle)), s = ref_fix(ref_sin(angle));
    M m = ident();
    if (axis == 'x') m.e[5] = c, m.e[6] = s, m.e[9] = -s, m.e[10] = c;
    if (axis == 'y') m.e[0] = c, m.e[2] = -s, m.e[8] = s, m.e[10] = c;
    if (axis == 'z') m.e[0] = c, m.e[1] = s, m.e[4] = -s, m.e[5] = c;
    return m;
}
M trans(float x, float y, float z)
{
    M m = ident();
    m.e[12] = ref_fix(x), m.e[13] = ref_fix(y), m.e[14] = ref_fix(z);
    return m;
}
M persp(float zoom, int32_t near, int32_t far)
{
    M m = ident();
    m.e[0] = ref_fix(zoom / 160.0f);
    m.e[5] = ref_fix(zoom / 100.0f);
    m.e[10] = ref_div(far + near, far - near);
    m.e[14] = ref_div(ref_mul(-2 * far, near), far - near);
    m.e[11] = -4096;
    m.e[15] = 0;
    return m;
}
void point(const M& m, int32_t x, int32_t y, int32_t z, int32_t out[4])
{
    for (int c = 0; c < 4; c++)
        out[c] = ref_add(ref_add(ref_add(ref_mul(x, m.e[c]), ref_mul(y, m.e[4 + c])), ref_mul(z, m.e[8 + c])), m.e[12 + c]);
}

void expect_matrix(const Mat4& got, const M& want, const char* what)
{
    for (int i = 0; i < 16; i++) EXPECT_EQ(got.m[i], want.e[i]) << what << " element " << i;
}

// ---- tests ----

TEST(TableSineExact, InterpolatesInDoubleAndRoundsOnceOnASweep)
{
    // Angles across several turns both ways, fractions of a table step included.
    int checked = 0;
    for (int i = -4000; i <= 4000; i += 7) {
        float x = (float)i * 0.00731f;
        ASSERT_EQ(table_sin(x), ref_sin(x)) << x;
        ASSERT_EQ(table_cos(x), ref_cos(x)) << x;
        checked++;
    }
    EXPECT_GT(checked, 1000);
    // Values where a single-precision interpolation or a cosine taken as sin(x + pi/2) differs.
    for (float x : {-0.3f, -2.71f, 0.0123f, 1.0f, 5.5f, -100.25f}) {
        EXPECT_EQ(table_sin(x), ref_sin(x)) << x;
        EXPECT_EQ(table_cos(x), ref_cos(x)) << x;
    }
    // One worked out by hand: a = 0.5 x 40.743664 = 20.371832 (single), between entries 20 and 21.
    float a = 0.5f * 40.743664f;
    double f = (double)a - 20.0;
    EXPECT_EQ(table_sin(0.5f), (float)(sine_table[20] * (1.0 - f) + sine_table[21] * f));
}

TEST(RotationsExact, SignsAndPositionsWithNonZeroAngles)
{
    for (float angle : {0.5f, -2.0f, 3.9f}) {
        Mat4 m;
        mat_rotate_x(&m, angle);
        expect_matrix(m, rot('x', angle), "x");
        mat_rotate_y(&m, angle);
        expect_matrix(m, rot('y', angle), "y");
        mat_rotate_z(&m, angle);
        expect_matrix(m, rot('z', angle), "z");
    }
    // At 0.5 the sine is positive: about x, y turns towards z (M6 = s > 0), z towards -y (M9 = -s).
    Mat4 m;
    mat_rotate_x(&m, 0.5f);
    EXPECT_GT(m.m[6], 1900);
    EXPECT_LT(m.m[9], -1900);
}

TEST(RotationsExact, ExtremeAnglesWrapInsteadOfOverflowing)
{
    // A non-finite angle gives a table value that converts to INT32_MIN; negating it wraps to itself.
    for (float angle : {INFINITY, -INFINITY, NAN}) {
        Mat4 m;
        mat_rotate_x(&m, angle);
        EXPECT_EQ(m.m[6], INT32_MIN);
        EXPECT_EQ(m.m[9], INT32_MIN);
        mat_rotate_y(&m, angle);
        EXPECT_EQ(m.m[2], INT32_MIN);
        mat_rotate_z(&m, angle);
        EXPECT_EQ(m.m[4], INT32_MIN);
    }
    EXPECT_EQ(fixed_neg(INT32_MIN), INT32_MIN);
    EXPECT_EQ(fixed_neg(5), -5);
    EXPECT_EQ(fixed_neg(-INT32_MAX), INT32_MAX);
}

struct TransformExact : ::testing::Test {
    Camera saved{};
    void SetUp() override { saved = camera; }
    void TearDown() override { camera = saved; }
};

TEST_F(TransformExact, CameraMatricesInTheirOrder)
{
    camera.pos_x = 3.5f, camera.pos_y = -2.25f, camera.pos_z = -40.0f;
    camera.yaw = 0.3f, camera.pitch = -0.45f, camera.roll = 0.2f;
    camera_set_projection(10, 500, 270.0f);
    camera_update();
    M vr = mul(mul(rot('y', -0.3f), rot('x', 0.45f)), rot('z', -0.2f));
    M vp = mul(mul(trans(-3.5f, 2.25f, 40.0f), vr), persp(270.0f, 10 * 4096, 500 * 4096));
    expect_matrix(camera.view_rotation, vr, "view rotation");
    expect_matrix(camera.view_projection, vp, "view projection");
}

TEST_F(TransformExact, VerticesNormalsAndClipBitsBitForBit)
{
    camera.pos_x = 1.0f, camera.pos_y = 2.0f, camera.pos_z = -30.0f;
    camera.yaw = -0.25f, camera.pitch = 0.15f, camera.roll = 0.35f;
    camera_set_projection(10, 200, 200.0f);
    camera_update();

    MeshVertex verts[5] = {};
    const int32_t pos[5][3] = {{0, 0, 0}, {4096 * 3, -4096, 8192}, {-20000, 30000, -5000}, {0, 0, -4096 * 200},
                               {4096 * 90, 0, 0}};
    for (int i = 0; i < 5; i++) {
        verts[i].x = pos[i][0], verts[i].y = pos[i][1], verts[i].z = pos[i][2];
        verts[i].nx = i * 700 - 1000, verts[i].ny = 4096 - i * 300, verts[i].nz = 1234 * (i - 2);
    }
    Mesh mesh{};
    mesh.vertex_count = 5;
    mesh.frame_count = 1;
    mesh.vertices = verts;
    mesh_set_transform(&mesh, 2.5f, -1.0f, 4.0f, 0.7f, -0.4f, 0.9f);
    mesh_transform(&mesh);
    EXPECT_EQ(mesh.transformed, 1);

    M vr = mul(mul(rot('y', 0.25f), rot('x', -0.15f)), rot('z', -0.35f));
    M vp = mul(mul(trans(-1.0f, -2.0f, 30.0f), vr), persp(200.0f, 40960, 200 * 4096));
    M r = mul(rot('z', 0.9f), mul(rot('x', -0.4f), rot('y', 0.7f)));  // roll, then pitch, then yaw
    M m = mul(mul(r, trans(2.5f, -1.0f, 4.0f)), vp);
    M n = mul(r, vr);
    int behind_seen = 0, clipped_seen = 0;
    for (int i = 0; i < 5; i++) {
        int32_t p[4], d[4];
        point(m, pos[i][0], pos[i][1], pos[i][2], p);
        int32_t g = p[3] ? ref_div(131072, p[3]) : 0;
        int32_t x = ref_mul(p[0], g) >> 5, y = ref_mul(p[1], g) >> 5, z = ref_mul(p[2], g) >> 5;
        int code = (x < -4096) | (x > 4096) << 1 | (y < -4096) << 2 | (y > 4096) << 3 | (z < -4096) << 4 |
                   (z > 4096) << 5;
        const MeshVertex& v = verts[i];
        EXPECT_EQ(v.tx, (int32_t)((uint32_t)(120 << 12) - (uint32_t)x * 120u)) << i;
        EXPECT_EQ(v.ty, (int32_t)((uint32_t)y * 75u + (uint32_t)(75 << 12))) << i;
        EXPECT_EQ(v.tz, (int32_t)((uint32_t)(131072 - z) << 13)) << i;
        EXPECT_EQ(v.tw, 4096);
        EXPECT_EQ(v.outcode, code) << i;
        EXPECT_EQ(v.behind, g > 0 ? -1 : 0) << i;
        behind_seen += g > 0, clipped_seen += code != 0;
        // The normal matrix has no translation row: its direction is the point transform of N.
        point(n, v.nx, v.ny, v.nz, d);
        EXPECT_EQ(v.tnx, d[0]) << i;
        EXPECT_EQ(v.tny, d[1]) << i;
        EXPECT_EQ(v.tnz, d[2]) << i;
    }
    EXPECT_EQ(behind_seen, 2);   // vertex 3, and vertex 4 swung round behind by the yaw
    EXPECT_GE(clipped_seen, 2);  // and vertex 4 far to the side
}

}  // namespace
