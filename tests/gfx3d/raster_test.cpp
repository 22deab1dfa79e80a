// raster_test.cpp -- rows and columns drawn, clipping with stepped start values, depth rules, fillers, discs
#include <gtest/gtest.h>

#include "gfx3d_helpers.h"

using namespace gfx3d_test;

namespace {

const int SLOT = 63;
const int32_t DEPTH = 0x40000000;

struct RasterTest : ::testing::Test {
    Mesh mesh{};
    void SetUp() override
    {
        reset_camera();
        prepare_screen();
        // A 512 x 1 texture whose texel i holds i + 1: one texel per pixel when u words grow by 64 per column.
        std::vector<uint32_t> ramp(512);
        for (int i = 0; i < 512; i++) ramp[i] = (uint32_t)i + 1;
        set_texture(SLOT, 512, 1, ramp);
    }
    void TearDown() override
    {
        mesh_free(&mesh);
        clear_texture(SLOT);
        raster_set_additive(0);
    }
    static std::vector<int> drawn_rows()
    {
        std::vector<int> rows;
        for (int y = 0; y < SCREEN_H; y++)
            for (int x = 0; x < SCREEN_W; x++)
                if (screen[y * SCREEN_W + x]) {
                    rows.push_back(y);
                    break;
                }
        return rows;
    }
    static std::pair<int, int> row_extent(int y)  // first and last drawn column, (-1, -1) when none
    {
        int first = -1, last = -1;
        for (int x = 0; x < SCREEN_W; x++)
            if (screen[y * SCREEN_W + x]) {
                if (first < 0) first = x;
                last = x;
            }
        return {first, last};
    }
    void draw_triangle(ScreenVertex a, ScreenVertex b, ScreenVertex c)
    {
        mesh_free(&mesh);
        make_screen_mesh(&mesh, {a, b, c}, {MeshFace{0, 1, 2, 0, 0, 0}}, SLOT);
        mesh_draw(&mesh);
    }
};

std::vector<int> range(int from, int to)
{
    std::vector<int> r;
    for (int i = from; i <= to; i++) r.push_back(i);
    return r;
}

TEST_F(RasterTest, RowsFromTopToBottomPixelRow)
{
    draw_triangle({20, 10.5f, 0, 0, DEPTH}, {60, 10.5f, 0, 0, DEPTH}, {20, 20.5f, 0, 0, DEPTH});
    EXPECT_EQ(drawn_rows(), range(10, 20));
    // Rows 10 and 11 both use the start values; each later row one step (4 columns) more.
    EXPECT_EQ(row_extent(10), std::make_pair(20, 59));
    EXPECT_EQ(row_extent(11), std::make_pair(20, 59));
    EXPECT_EQ(row_extent(12), std::make_pair(20, 55));

    screen_fill(0);
    zbuffer_clear();
    draw_triangle({20, 10.2f, 0, 0, DEPTH}, {60, 10.2f, 0, 0, DEPTH}, {20, 10.9f, 0, 0, DEPTH});
    EXPECT_TRUE(drawn_rows().empty());
}

TEST_F(RasterTest, WindingDecidesVisibility)
{
    draw_triangle({20, 10, 0, 0, DEPTH}, {20, 40, 0, 0, DEPTH}, {60, 10, 0, 0, DEPTH});  // counter-clockwise
    EXPECT_TRUE(drawn_rows().empty());
    draw_triangle({20, 10, 0, 0, DEPTH}, {60, 10, 0, 0, DEPTH}, {20, 40, 0, 0, DEPTH});
    EXPECT_FALSE(drawn_rows().empty());
}

TEST_F(RasterTest, HorizontalClippingStepsStartValues)
{
    // u words grow by 64 per column: one texel per pixel, starting at texel 0 on the left edge.
    draw_triangle({-5, 10, 0, 0, DEPTH}, {300, 10, 305 * 64, 0, DEPTH}, {-5, 40, 0, 0, DEPTH});
    EXPECT_EQ(screen[10 * SCREEN_W + 0], 5u + 1);  // advanced by 5 pixels at column 0
    EXPECT_EQ(screen[10 * SCREEN_W + 239], 244u + 1);
    EXPECT_EQ(row_extent(10), std::make_pair(0, 239));

    screen_fill(0);
    zbuffer_clear();
    // A left end at -5.5 counts as column -6: six pixels' worth are skipped.
    draw_triangle({-5.5f, 10, 0, 0, DEPTH}, {300, 10, (int)(305.5 * 64), 0, DEPTH}, {-5.5f, 40, 0, 0, DEPTH});
    EXPECT_EQ(screen[10 * SCREEN_W + 0], 6u + 1);
}

TEST_F(RasterTest, VerticalClippingStepsEdgesToRowZero)
{
    // The right edge runs 2 columns per row from (10, -16): at row 0 it is at column 42.
    draw_triangle({10, -16, 0, 0, DEPTH}, {74, 16, 0, 0, DEPTH}, {10, 16, 0, 0, DEPTH});
    EXPECT_EQ(drawn_rows(), range(0, 16));
    EXPECT_EQ(row_extent(0), std::make_pair(10, 41));
    EXPECT_EQ(row_extent(1), std::make_pair(10, 41));
    EXPECT_EQ(row_extent(2), std::make_pair(10, 43));

    screen_fill(0);
    zbuffer_clear();
    draw_triangle({10, 100, 0, 0, DEPTH}, {70, 100, 0, 0, DEPTH}, {10, 400, 0, 0, DEPTH});
    EXPECT_EQ(drawn_rows(), range(100, 149));
}

TEST_F(RasterTest, DepthTestAndNearRejection)
{
    draw_triangle({20, 10, 0, 0, DEPTH}, {60, 10, 0, 0, DEPTH}, {20, 40, 0, 0, DEPTH});
    EXPECT_EQ(zbuffer[20 * SCREEN_W + 25], DEPTH);
    // Same depth, other texels: overwrites.
    std::vector<uint32_t> other(512, 0x00ABCDEFu);
    set_texture(SLOT, 512, 1, other);
    draw_triangle({20, 10, 0, 0, DEPTH}, {60, 10, 0, 0, DEPTH}, {20, 40, 0, 0, DEPTH});
    EXPECT_EQ(screen[20 * SCREEN_W + 25], 0x00ABCDEFu);
    // Farther: hidden.
    set_texture(SLOT, 512, 1, std::vector<uint32_t>(512, 0x11u));
    draw_triangle({20, 10, 0, 0, DEPTH + 1}, {60, 10, 0, 0, DEPTH + 1}, {20, 40, 0, 0, DEPTH + 1});
    EXPECT_EQ(screen[20 * SCREEN_W + 25], 0x00ABCDEFu);
    // Depth at or below near: refused even though nearer.
    draw_triangle({20, 10, 0, 0, 40960}, {60, 10, 0, 0, 40960}, {20, 40, 0, 0, 40960});
    EXPECT_EQ(screen[20 * SCREEN_W + 25], 0x00ABCDEFu);
}

Span span_over(uint32_t* dst, int32_t* z, const uint32_t* texels, int count)
{
    Span s{};
    s.count = count;
    s.du = 4096;  // one texel per pixel
    s.depth = DEPTH;
    s.u_mask = 3;
    s.texels = texels;
    s.dst = dst;
    s.zdst = z;
    return s;
}

TEST(SpanFillers, TransparentKeyInBothFillers)
{
    const uint32_t texels[4] = {0x000000FFu, TEXEL_TRANSPARENT, 0x0000FF00u, TEXEL_TRANSPARENT};
    for (auto fill : {span_opaque, span_additive}) {
        uint32_t dst[6] = {0, 0, 0, 0, 0, 0};
        int32_t z[6];
        for (int32_t& v : z) v = 0x7FFFFFFF;
        Span s = span_over(dst, z, texels, 6);  // wraps around the 4-texel row
        fill(&s);
        EXPECT_EQ(dst[0], 0xFFu);
        EXPECT_EQ(dst[1], 0u);
        EXPECT_EQ(z[1], 0x7FFFFFFF);
        EXPECT_EQ(z[3], 0x7FFFFFFF);
        EXPECT_EQ(dst[2], 0xFF00u);
        EXPECT_EQ(z[2], DEPTH);
        EXPECT_EQ(dst[4], 0xFFu);  // texel 0 again: coordinates wrap
    }
}

TEST(SpanFillers, AdditiveSaturatesAndKeepsByteThree)
{
    const uint32_t texel = 0xEE0AC864u;  // bytes 100, 200, 10, 0xEE
    const uint32_t texels[4] = {texel, texel, texel, texel};
    uint32_t dst[1] = {0x77326400u | 200u};  // bytes 200, 100, 50, 0x77
    int32_t z[1] = {0x7FFFFFFF};
    Span s = span_over(dst, z, texels, 1);
    span_additive(&s);
    EXPECT_EQ(dst[0], 0x773CFFFFu);  // 255, 255, 60, byte 3 kept
    // Opaque copies all four bytes; negative coordinates wrap too.
    s.u = -4096;
    s.dst[0] = 0;
    z[0] = 0x7FFFFFFF;
    span_opaque(&s);
    EXPECT_EQ(dst[0], texel);
}

TEST_F(RasterTest, SharedEdgeLeavesNoGapAndNoOverlap)
{
    // A quad split along its diagonal, drawn additively with texels of 1: every pixel inside gets
    // exactly 1, so the shared edge, set up once, leaves neither a crack nor a doubled seam.
    set_texture(SLOT, 512, 1, std::vector<uint32_t>(512, 0x00010101u));
    make_screen_mesh(&mesh, {{20, 10, 0, 0, DEPTH}, {80, 10, 0, 0, DEPTH}, {80, 50, 0, 0, DEPTH}, {20, 50, 0, 0, DEPTH}},
                     {MeshFace{0, 1, 2, 0, 0, 0}, MeshFace{0, 2, 3, 0, 0, 0}}, SLOT);
    ASSERT_EQ(mesh.edge_count, 5);
    raster_set_additive(1);
    mesh_draw(&mesh);
    int ones = 0, more = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++) {
        ones += screen[i] == 0x00010101u;
        more += screen[i] != 0 && screen[i] != 0x00010101u;
    }
    EXPECT_EQ(more, 0);
    EXPECT_EQ(ones, 60 * 41);  // rows 10 to 50: the bottom row is drawn too
    for (int y = 10; y <= 50; y++) EXPECT_EQ(row_extent(y), std::make_pair(20, 79)) << y;
    // Drawn again with nothing moved: each shared edge is prepared afresh and the result is the same.
    zbuffer_clear();
    screen_fill(0);
    mesh_draw(&mesh);
    int again = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++) again += screen[i] == 0x00010101u;
    EXPECT_EQ(again, 60 * 41);
}

TEST_F(RasterTest, MeshesThatAreNotDrawn)
{
    make_screen_mesh(&mesh, {{20, 10, 0, 0, DEPTH}, {60, 10, 0, 0, DEPTH}, {20, 40, 0, 0, DEPTH}},
                     {MeshFace{0, 1, 2, 0, 0, 0}}, SLOT);
    mesh.texture = -1;
    mesh_draw(&mesh);
    mesh.texture = 5;  // a slot without pixels (a picture that did not load)
    mesh_draw(&mesh);
    mesh.texture = 99;
    mesh_draw(&mesh);
    mesh.texture = SLOT;
    mesh.transformed = 0;
    mesh_draw(&mesh);
    EXPECT_TRUE(drawn_rows().empty());
    mesh.transformed = 1;
    mesh.vertices[0].behind = -1;
    mesh_draw(&mesh);
    mesh.vertices[0].behind = 0;
    for (int i = 0; i < 3; i++) mesh.vertices[i].outcode = 16;
    mesh_draw(&mesh);
    EXPECT_TRUE(drawn_rows().empty());
    mesh.vertices[0].outcode = 0;  // no common bit: drawn
    mesh_draw(&mesh);
    EXPECT_FALSE(drawn_rows().empty());
}

struct DiscTest : RasterTest {
    int32_t enable[4 * 2] = {0, 0, 0, 1, 0, 0, 0, 0};
    void make_disc(float x, float y, int32_t size, uint32_t colour, int32_t depth)
    {
        mesh_free(&mesh);
        make_screen_mesh(&mesh, {{x, y, size, (int32_t)colour, depth}, {x, y, size, (int32_t)colour, depth}}, {}, -1);
    }
    int lit() const
    {
        int n = 0;
        for (int i = 0; i < SCREEN_PIXELS; i++) n += screen[i] != 0;
        return n;
    }
};

TEST_F(DiscTest, RadiusDepthAndEnableList)
{
    // d = tz >> 17 = 8192; the radius is size x 4096 / d, so size 32 gives radius 16.
    const int32_t depth = 8192 << 17;
    make_disc(100, 70, 32, 0x00404040u, depth);
    mesh_draw_discs(&mesh, DISC_ADD, enable);  // only vertex 0 is enabled
    int one = lit();
    EXPECT_GT(one, 700);
    EXPECT_LT(one, 32 * 32);
    EXPECT_EQ(screen[70 * SCREEN_W + 100], 0x00404040u);  // add over black
    EXPECT_EQ(screen[70 * SCREEN_W + 116], 0u);           // dx runs to r - 1
    EXPECT_EQ(zbuffer[70 * SCREEN_W + 100], 0x7FFFFFFF);  // discs do not write depth

    screen_fill(0);
    mesh_draw_discs(&mesh, 3, nullptr);  // unknown mode: nothing
    EXPECT_EQ(lit(), 0);
    mesh_draw_discs(&mesh, DISC_AVERAGE, enable);  // average: half the colour
    EXPECT_EQ(screen[70 * SCREEN_W + 100], 0x00202020u);

    // A disc exactly at the depth already stored is hidden (strict test).
    screen_fill(0);
    for (int i = 0; i < SCREEN_PIXELS; i++) zbuffer[i] = depth;
    mesh_draw_discs(&mesh, DISC_ADD, nullptr);
    EXPECT_EQ(lit(), 0);
    zbuffer_clear();

    make_disc(100, 70, 32, 0x00404040u, (1 << 17) - 1);  // d = 0
    mesh_draw_discs(&mesh, DISC_ADD, nullptr);
    make_disc(100, 70, 242, 0x00404040u, depth);  // radius above 120
    mesh_draw_discs(&mesh, DISC_ADD, nullptr);
    make_disc(100, 70, 1, 0x00404040u, depth);  // radius 0
    mesh_draw_discs(&mesh, DISC_ADD, nullptr);
    EXPECT_EQ(lit(), 0);
    make_disc(120, 1, 240, 0x00404040u, depth);  // radius 120 is clipped at the Screen's edges
    mesh_draw_discs(&mesh, DISC_ADD, nullptr);
    EXPECT_GT(lit(), 10000);
    int inside = 0;  // the whole square walked, every position outside the Screen skipped
    for (int dy = -120; dy < 120; dy++)
        for (int dx = -120; dx < 120; dx++)
            inside += 120 + dx >= 0 && 120 + dx < SCREEN_W && 1 + dy >= 0 && 1 + dy < SCREEN_H && dx * dx + dy * dy <= 120 * 120;
    EXPECT_EQ(lit(), inside);
}

}  // namespace
