// raster_exact_test.cpp -- textured meshes against a reference drawn here, thin-triangle bounds, discs off the Screen
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "gfx3d_helpers.h"

using namespace gfx3d_test;

namespace {

const int SLOT = 62;
const int TEX_W = 16, TEX_H = 8;  // wider than one row: the row offset is r << 4

// ---- the reference: the drawing rules written out again over plain copies of the Screen and depth ----

int32_t add(int32_t a, int32_t b) { return (int32_t)((uint32_t)a + (uint32_t)b); }
int32_t sub(int32_t a, int32_t b) { return (int32_t)((uint32_t)a - (uint32_t)b); }
int32_t times(int32_t a, int32_t n) { return (int32_t)((uint32_t)a * (uint32_t)n); }
int32_t mul(int32_t a, int32_t b) { return (int32_t)(((int64_t)a * b) >> 12); }
int32_t div(int32_t a, int32_t b) { return b ? (int32_t)(((int64_t)a * 4096) / b) : 0; }
int row_of(int32_t a) { return a >> 12; }

struct RefEdge {
    bool prepared = false, is_short = false;
    int32_t x = 0, u = 0, v = 0, depth = 0, dx = 0, du = 0, dv = 0, ddepth = 0;
};

struct Reference {
    std::vector<uint32_t> pixels, depths;
    std::vector<uint32_t> tex;
    int32_t near;
    std::map<std::pair<int, int>, RefEdge> edges;  // by unordered vertex pair

    RefEdge& edge(int a, int b) { return edges[{std::min(a, b), std::max(a, b)}]; }

    void prepare(const MeshVertex& a, const MeshVertex& b, RefEdge& e)
    {
        if (e.prepared) return;  // the first face to reach a shared edge decides its top
        e.prepared = true;
        int32_t h = sub(b.ty, a.ty);
        e.is_short = h < 512;
        e.u = times(a.u, TEX_W) >> 3, e.v = times(a.v, TEX_H) >> 3;
        e.x = a.tx, e.depth = a.tz;
        if (e.is_short) return;
        int32_t r = div(4096, h);
        e.du = mul(sub(times(b.u, TEX_W) >> 3, e.u), r);
        e.dv = mul(sub(times(b.v, TEX_H) >> 3, e.v), r);
        e.dx = mul(sub(b.tx, a.tx), r);
        e.ddepth = mul(sub(b.tz, a.tz), r);
        if (a.ty < 0) {
            int32_t s = sub(0, a.ty);
            e.u = add(e.u, mul(e.du, s)), e.v = add(e.v, mul(e.dv, s));
            e.x = add(e.x, mul(e.dx, s)), e.depth = add(e.depth, mul(e.ddepth, s));
        }
    }

    void span(int y, int xl, int count, int32_t u, int32_t v, int32_t d, int32_t du, int32_t dv, int32_t dd)
    {
        for (int i = 0; i < count; i++) {
            int at = y * SCREEN_W + xl + i;
            if (d <= (int32_t)depths[at] && d > near) {
                uint32_t t = tex[(((v >> 12) & (TEX_H - 1)) * TEX_W) + ((u >> 12) & (TEX_W - 1))];
                if (t != 0xFFFF00FFu) pixels[at] = t, depths[at] = (uint32_t)d;
            }
            d = add(d, dd), u = add(u, du), v = add(v, dv);
        }
    }

    struct Side {
        int32_t x, u, v, depth;
    };
    static Side load(const RefEdge& e) { return {e.x, e.u, e.v, e.depth}; }
    static void step(Side& s, const RefEdge& e)
    {
        s.x = add(s.x, e.dx), s.u = add(s.u, e.du), s.v = add(s.v, e.dv), s.depth = add(s.depth, e.ddepth);
    }

    void triangle(const MeshVertex* f, int i0, int i1, int i2)
    {
        // Sorted by row with three compare-and-swaps; ties swap too.
        int p[3] = {i0, i1, i2};
        if (f[p[2]].ty <= f[p[1]].ty) std::swap(p[1], p[2]);
        if (f[p[1]].ty <= f[p[0]].ty) std::swap(p[0], p[1]);
        if (f[p[2]].ty <= f[p[1]].ty) std::swap(p[1], p[2]);
        const MeshVertex &T = f[p[0]], &M = f[p[1]], &B = f[p[2]];
        RefEdge &tm = edge(p[0], p[1]), &tb = edge(p[0], p[2]), &mb = edge(p[1], p[2]);
        prepare(T, M, tm);
        prepare(T, B, tb);
        prepare(M, B, mb);
        if (tb.is_short) return;
        int y0 = std::max(row_of(T.ty), 0), y_end = std::min(row_of(B.ty), 149);
        if (y_end - y0 <= 0) return;
        int y1 = std::max(row_of(M.ty), 0);
        RefEdge* current = y0 < y1 ? &tm : &mb;
        Side shrt = load(*current), lng = load(tb);
        if (mb.is_short) mb.x = M.tx;
        int k = y1 - y0;
        int32_t w = sub(mb.x, add(tb.x, times(tb.dx, k)));
        if (w >= 0 && w <= 255) return;
        int32_t du = div(sub(mb.u, add(tb.u, times(tb.du, k))), w);
        int32_t dv = div(sub(mb.v, add(tb.v, times(tb.dv, k))), w);
        int32_t dd = div(sub(mb.depth, add(tb.depth, times(tb.ddepth, k))), w);
        for (int y = y0; y <= y_end; y++) {
            const Side& left = w > 0 ? lng : shrt;
            const Side& right = w > 0 ? shrt : lng;
            int xl = row_of(left.x), xr = row_of(right.x);
            if (xr >= 0 && xl < 240) {
                int skip = 0;
                if (xl < 0) skip = -xl, xl = 0;
                if (xr > 240) xr = 240;
                span(y, xl, xr - xl, add(left.u, times(du, skip)), add(left.v, times(dv, skip)),
                     add(left.depth, times(dd, skip)), du, dv, dd);
            }
            if (y != y0) step(lng, tb);
            if (y == y1) shrt = load(mb), current = &mb;
            else if (y != y0) step(shrt, *current);
        }
    }

    void draw(const Mesh& m)
    {
        edges.clear();
        const MeshVertex* f = m.vertices;
        for (int i = 0; i < m.face_count; i++) {
            const MeshFace& face = m.faces[i];
            const MeshVertex &a = f[face.va], &b = f[face.vb], &c = f[face.vc];
            if (a.outcode & b.outcode & c.outcode) continue;
            if (a.behind || b.behind || c.behind) continue;
            const int32_t right = 240 << 12, bottom = 150 << 12;
            if ((a.tx < 0 && b.tx < 0 && c.tx < 0) || (a.tx >= right && b.tx >= right && c.tx >= right)) continue;
            if ((a.ty < 0 && b.ty < 0 && c.ty < 0) || (a.ty >= bottom && b.ty >= bottom && c.ty >= bottom)) continue;
            int32_t A = mul(sub(a.tx, b.tx) >> 6, sub(b.ty, c.ty) >> 3);
            int32_t B = mul(sub(a.ty, b.ty) >> 6, sub(b.tx, c.tx) >> 3);
            if (A < B) continue;
            triangle(f, face.va, face.vb, face.vc);
        }
    }
};

struct RasterExact : ::testing::Test {
    Mesh mesh{};
    std::vector<uint32_t> tex;
    uint32_t seed = 12345;
    int next(int n)
    {
        seed = seed * 1103515245u + 12345u;
        return (int)((seed >> 8) % (uint32_t)n);
    }
    void SetUp() override
    {
        reset_camera();
        prepare_screen();
        tex.resize(TEX_W * TEX_H);
        for (int r = 0; r < TEX_H; r++)
            for (int c = 0; c < TEX_W; c++) tex[r * TEX_W + c] = 0x00010000u * (r + 1) + 0x00000100u * (c + 1) + 0x37;
        tex[3 * TEX_W + 5] = 0xFFFF00FFu;  // one transparent texel
        set_texture(SLOT, TEX_W, TEX_H, tex);
    }
    void TearDown() override
    {
        mesh_free(&mesh);
        clear_texture(SLOT);
    }
    // Draws the mesh with the engine and with the reference over the same background and depths.
    void compare(const char* what)
    {
        for (int i = 0; i < SCREEN_PIXELS; i++) {
            screen[i] = 0x00ABCDEFu + (uint32_t)i;
            zbuffer[i] = i % 7 == 0 ? 1060000000 : 0x7FFFFFFF;
        }
        Reference ref;
        ref.pixels.assign(screen, screen + SCREEN_PIXELS);
        ref.depths.assign((uint32_t*)zbuffer, (uint32_t*)zbuffer + SCREEN_PIXELS);
        ref.tex = tex;
        ref.near = camera.near;
        mesh_draw(&mesh);
        ref.draw(mesh);
        int drawn = 0;
        for (int i = 0; i < SCREEN_PIXELS; i++) {
            ASSERT_EQ(screen[i], ref.pixels[i]) << what << ": pixel " << i % SCREEN_W << ", " << i / SCREEN_W;
            ASSERT_EQ((uint32_t)zbuffer[i], ref.depths[i]) << what << ": depth " << i;
            drawn += screen[i] != 0x00ABCDEFu + (uint32_t)i;
        }
        total_drawn += drawn;
    }
    int total_drawn = 0;
};

TEST_F(RasterExact, AClippedTexturedTriangleMatchesTheReferencePixelForPixel)
{
    // Reaches past the left, top and bottom edges, with depth and v changing along every edge and u
    // wrapping around the texture.
    make_screen_mesh(&mesh, {{-30.3f, -20.7f, 0, 0, 1050000000}, {200.6f, 40.2f, 3 * 32768, 9000, 1070000000},
                             {60.1f, 170.9f, 20000, 2 * 32768 + 500, 1100000000}},
                     {MeshFace{0, 1, 2, 0, 0, 0}}, SLOT);
    compare("clipped triangle");
    EXPECT_GT(total_drawn, 10000);
    mesh_free(&mesh);
    make_screen_mesh(&mesh, {{230.5f, 5.25f, 32768, 0, 1040500000}, {300.0f, 100.0f, 0, 32768, 1090000000},
                             {180.75f, 149.5f, 16000, 16000, 1060000000}},
                     {MeshFace{0, 1, 2, 0, 0, 0}}, SLOT);
    compare("past the right edge");
}

TEST_F(RasterExact, MeshesWithSharedEdgesTiesAndThinFacesMatchTheReference)
{
    // Coarse rows make ties in the sort; both windings, so about half the faces are culled; faces
    // share edges, and the first to reach one fixes its top.
    for (int round = 0; round < 60; round++) {
        std::vector<ScreenVertex> v;
        for (int i = 0; i < 7; i++) {
            float x = (float)(next(340) - 50) + (round % 3 == 0 ? (float)next(4096) / 4096.0f : 0.0f);
            float y = (float)(next(12) * 17 - 30) + (round % 2 ? 0.5f : (float)next(64) / 64.0f);
            v.push_back({x, y, next(4 * 32768) - 32768, next(3 * 32768), 1041000000 + next(60000000)});
        }
        std::vector<MeshFace> faces;
        for (int i = 0; i < 8; i++) {
            int a = next(7), b = (a + 1 + next(6)) % 7, c = next(7);
            while (c == a || c == b) c = (c + 1) % 7;
            faces.push_back(MeshFace{a, b, c, 0, 0, 0});
        }
        mesh_free(&mesh);
        make_screen_mesh(&mesh, v, faces, SLOT);
        compare(("round " + std::to_string(round)).c_str());
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(total_drawn, 50000);
}

// Draws a triangle whose middle vertex sits `w` / 4096 of a pixel beside a vertical long edge, the two
// placed on either side of column 21 so that a drawn triangle lights a pixel; both windings are tried.
int thin_triangle(Mesh* mesh, int32_t w)
{
    int lit = 0;
    for (int order = 0; order < 2; order++) {
        screen_fill(0);
        zbuffer_clear();
        mesh_free(mesh);
        make_screen_mesh(mesh, {{21, 10, 0, 0, 1050000000}, {21, 20, 0, 0, 1050000000}, {21, 30, 0, 0, 1050000000}},
                         {order ? MeshFace{0, 2, 1, 0, 0, 0} : MeshFace{0, 1, 2, 0, 0, 0}}, SLOT);
        int32_t long_x = 21 * 4096 - w / 2;
        mesh->vertices[0].tx = mesh->vertices[2].tx = long_x;
        mesh->vertices[1].tx = long_x + w;
        mesh_draw(mesh);
        for (int i = 0; i < SCREEN_PIXELS; i++) lit += screen[i] != 0;
    }
    return lit;
}

TEST_F(RasterExact, ThinTrianglesAreRefusedForMiddleWidthsZeroTo255Only)
{
    EXPECT_EQ(thin_triangle(&mesh, 255), 0);  // straddles column 21, yet refused
    EXPECT_GT(thin_triangle(&mesh, 256), 0);   // 1/16 pixel wide, but drawn
    EXPECT_GT(thin_triangle(&mesh, -1), 0);    // the long side on the right: drawn however thin
    EXPECT_GT(thin_triangle(&mesh, -255), 0);
}

TEST_F(RasterExact, DiscsCentredOffTheScreenOrBehindAreSkipped)
{
    const int32_t depth = 8192 << 17;  // d = 8192: size 32 gives radius 16
    auto disc_at = [&](float x, float y, int32_t behind) {
        screen_fill(0);
        mesh_free(&mesh);
        make_screen_mesh(&mesh, {{x, y, 32, 0x00404040, depth}}, {}, -1);
        mesh.vertices[0].behind = behind;
        mesh_draw_discs(&mesh, 1, nullptr);
        int lit = 0;
        for (int i = 0; i < SCREEN_PIXELS; i++) lit += screen[i] != 0;
        return lit;
    };
    // Centres one pixel off each edge would reach 15 pixels into the Screen, yet draw nothing.
    EXPECT_EQ(disc_at(-0.5f, 70, 0), 0);
    EXPECT_EQ(disc_at(240.0f, 70, 0), 0);
    EXPECT_EQ(disc_at(100, -0.25f, 0), 0);
    EXPECT_EQ(disc_at(100, 150.0f, 0), 0);
    EXPECT_EQ(disc_at(100, 70, -1), 0);
    // On the edges themselves they draw the part inside.
    EXPECT_GT(disc_at(0.0f, 70, 0), 300);
    EXPECT_GT(disc_at(239.9f, 149.9f, 0), 150);
}

}  // namespace
