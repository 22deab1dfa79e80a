// meshes_test.cpp -- the generated meshes: the water plane's layout, closed letters facing the camera, the sky
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "content/content_files.h"

namespace {

struct V3 {
    double x, y, z;
};

V3 position(const BofFile& b, int i)
{
    return {b.vertices[i].x, b.vertices[i].y, b.vertices[i].z};
}

// (p1 - p0) x (p2 - p0): the side the rasterizer draws (clockwise on the Screen) faces along it.
V3 face_normal(const BofFile& b, int f)
{
    V3 p0 = position(b, b.faces[f * 3]), p1 = position(b, b.faces[f * 3 + 1]), p2 = position(b, b.faces[f * 3 + 2]);
    double ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z, bx = p2.x - p0.x, by = p2.y - p0.y, bz = p2.z - p0.z;
    return {ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
}

// Vertices at the same place count as one (caps, walls and seams duplicate them).
std::vector<int> weld(const BofFile& b)
{
    std::map<std::tuple<long, long, long>, int> ids;
    std::vector<int> id;
    for (const BofVertex& v : b.vertices) {
        auto key = std::make_tuple(std::lround(v.x * 1000), std::lround(v.y * 1000), std::lround(v.z * 1000));
        id.push_back(ids.emplace(key, (int)ids.size()).first->second);
    }
    return id;
}

// Every edge is walked once in each direction: a closed surface, consistently wound.
int open_edges(const BofFile& b)
{
    std::vector<int> id = weld(b);
    std::map<std::pair<int, int>, int> walked;
    for (size_t f = 0; f < b.faces.size(); f += 3)
        for (int k = 0; k < 3; k++)
            walked[{id[b.faces[f + k]], id[b.faces[f + (k + 1) % 3]]}]++;
    int bad = 0;
    for (const auto& [edge, count] : walked) {
        auto back = walked.find({edge.second, edge.first});
        bad += count != 1 || back == walked.end() || back->second != 1;
    }
    return bad;
}

// Positive when the drawn sides face outwards.
double signed_volume(const BofFile& b)
{
    double volume = 0;
    for (size_t f = 0; f < b.faces.size(); f += 3) {
        V3 p = position(b, b.faces[f]), q = position(b, b.faces[f + 1]), r = position(b, b.faces[f + 2]);
        volume += (p.x * (q.y * r.z - q.z * r.y) - p.y * (q.x * r.z - q.z * r.x) + p.z * (q.x * r.y - q.y * r.x)) / 6;
    }
    return volume;
}

int distinct_edges(const BofFile& b)
{
    std::set<std::pair<int, int>> edges;
    for (size_t f = 0; f < b.faces.size(); f += 3)
        for (int k = 0; k < 3; k++) {
            int a = b.faces[f + k], c = b.faces[f + (k + 1) % 3];
            edges.insert({std::min(a, c), std::max(a, c)});
        }
    return (int)edges.size();
}

TEST(ContentMeshes, WaterPlaneIsTheGridTheWaterSceneWritesHeightsInto)
{
    BofFile b;
    ASSERT_TRUE(read_bof("plane64.bof", &b));
    ASSERT_EQ(b.vertices.size(), 4096u);
    for (int j = 0; j < 64; j++)
        for (int i = 0; i < 64; i++) {
            const BofVertex& v = b.vertices[64 * j + i];
            ASSERT_NEAR(v.x, -50 + i * 100.0 / 64, 1e-5) << i << "," << j;
            ASSERT_NEAR(v.z, -50 + j * 100.0 / 64, 1e-5) << i << "," << j;
            ASSERT_EQ(v.y, 0.0);
        }
    EXPECT_EQ(b.faces.size(), 63u * 63u * 2u * 3u);
    for (size_t f = 0; f < b.faces.size() / 3; f++) {
        V3 n = face_normal(b, (int)f);
        ASSERT_GT(n.y, 0) << "face " << f << " is drawn only from below";
    }
    EXPECT_LE(distinct_edges(b), 16384);
}

struct LetterCase {
    const char* file;
    double min_width, max_width;
};

// g o p h y are scaled by 0.05 when the show starts; k e r v 1 6 are used as they are.
const LetterCase LETTERS[] = {{"g.bof", 60, 77}, {"o.bof", 60, 77}, {"p.bof", 60, 77}, {"h.bof", 60, 77},
                              {"y.bof", 60, 77},  {"k.bof", 3, 5.5},  {"e.bof", 3, 5.5},  {"r.bof", 3, 5.5},
                              {"v.bof", 3, 5.5},  {"1.bof", 3, 5.5},  {"6.bof", 3, 5.5}};

TEST(ContentMeshes, LettersAreClosedSolidsWhoseFrontFacesTheCamera)
{
    for (const LetterCase& c : LETTERS) {
        SCOPED_TRACE(c.file);
        BofFile b;
        ASSERT_TRUE(read_bof(c.file, &b));
        double x0 = 1e9, x1 = -1e9, z0 = 1e9;
        for (const BofVertex& v : b.vertices)
            x0 = std::min(x0, v.x), x1 = std::max(x1, v.x), z0 = std::min(z0, v.z);
        EXPECT_GE(x1 - x0, c.min_width);
        EXPECT_LE(x1 - x0, c.max_width);
        EXPECT_NEAR(x0 + x1, 0, (x1 - x0) * 0.01) << "letters are placed by their middle";
        EXPECT_EQ(open_edges(b), 0);
        EXPECT_GT(signed_volume(b), 0) << "the drawn sides face inwards";
        // The cameras look along +z, so the side nearest them (least z) must be drawn.
        int front = 0;
        for (size_t f = 0; f < b.faces.size() / 3; f++) {
            const BofVertex* v[3] = {&b.vertices[b.faces[f * 3]], &b.vertices[b.faces[f * 3 + 1]], &b.vertices[b.faces[f * 3 + 2]]};
            if (v[0]->z == z0 && v[1]->z == z0 && v[2]->z == z0) {
                front++;
                EXPECT_LE(face_normal(b, (int)f).z, 1e-9);
            }
        }
        EXPECT_GT(front, 0);
        EXPECT_LE(distinct_edges(b), 16384);
        // Three corners on one line make a face the rasterizer can draw as a stray line across the picture.
        for (size_t f = 0; f < b.faces.size() / 3; f++) {
            V3 n = face_normal(b, (int)f);
            double longest = 0;
            for (int k = 0; k < 3; k++) {
                V3 p = position(b, b.faces[f * 3 + k]), q = position(b, b.faces[f * 3 + (k + 1) % 3]);
                longest = std::max(longest, (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
            }
            EXPECT_GT(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1e-6 * longest) << "sliver face " << f;
        }
    }
}

// A mirrored letter would still be closed and face the camera; p's stem (the only ink below the
// baseline) must be on the left, and the texture must run the same way as the letters.
TEST(ContentMeshes, LettersReadLeftToRight)
{
    BofFile p, g, y;
    ASSERT_TRUE(read_bof("p.bof", &p));
    ASSERT_TRUE(read_bof("g.bof", &g));
    ASSERT_TRUE(read_bof("y.bof", &y));
    double bottom = 1e9, top = -1e9;
    for (const BofVertex& v : p.vertices)
        bottom = std::min(bottom, v.y), top = std::max(top, v.y);
    double sum = 0;
    int n = 0;
    for (const BofVertex& v : p.vertices)
        if (v.y < bottom + (top - bottom) * 0.15)
            sum += v.x, n++;
    ASSERT_GT(n, 0);
    EXPECT_LT(sum / n, 0);
    // Texture u runs over the whole word: every u of g lies left of every u of y.
    double g_u = -1, y_u = 2;
    for (const BofVertex& v : g.vertices)
        if (v.v < 0.76)
            g_u = std::max(g_u, v.u);
    for (const BofVertex& v : y.vertices)
        if (v.v < 0.76)
            y_u = std::min(y_u, v.u);
    EXPECT_LT(g_u, y_u);
}

TEST(ContentMeshes, SkyEnclosesTheCameraAndIsSeenFromInside)
{
    BofFile b;
    ASSERT_TRUE(read_bof("sky.bof", &b));
    EXPECT_EQ(open_edges(b), 0);
    EXPECT_LT(signed_volume(b), 0);
    // The underwater cameras clip nearer than 20 and farther than 300.
    for (const BofVertex& v : b.vertices) {
        double r = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        ASSERT_GT(r, 25);
        ASSERT_LT(r, 250);
        ASSERT_GT(v.v, 0);  // the texture repeats; 0 or 1 at a pole would sample the far edge
        ASSERT_LT(v.v, 1);
    }
    // A face with a corner behind the camera is not drawn at all, so faces must be small enough
    // that one reaching into the picture never has one: every corner within 20 degrees of the others.
    for (size_t f = 0; f < b.faces.size(); f += 3)
        for (int k = 0; k < 3; k++) {
            V3 a = position(b, b.faces[f + k]), c = position(b, b.faces[f + (k + 1) % 3]);
            double cosine = (a.x * c.x + a.y * c.y + a.z * c.z) /
                            std::sqrt((a.x * a.x + a.y * a.y + a.z * a.z) * (c.x * c.x + c.y * c.y + c.z * c.z));
            ASSERT_GT(cosine, std::cos(20 * 3.14159265 / 180)) << "face " << f / 3;
        }
    // Where the sphere closes, the copies of a vertex take the same place in the repeating texture.
    std::vector<int> id = weld(b);
    std::map<int, double> u_of;
    for (size_t i = 0; i < b.vertices.size(); i++) {
        const BofVertex& v = b.vertices[i];
        if (v.y * v.y > 0.999 * (v.x * v.x + v.y * v.y + v.z * v.z))
            continue;  // poles: one copy per column by design
        auto [it, fresh] = u_of.emplace(id[i], v.u);
        if (!fresh) {
            double d = v.u - it->second;
            EXPECT_NEAR(d, std::round(d), 1e-6) << "seam at vertex " << i;
        }
    }
    EXPECT_LE(distinct_edges(b), 16384);
}

}  // namespace
