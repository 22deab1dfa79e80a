// bof_fault_test.cpp -- malformed, truncated and garbage mesh files load empty with one message naming the file
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "gfx3d_helpers.h"

using namespace gfx3d_test;

namespace {

bool is_empty(const Mesh& m)
{
    return m.vertex_count == 0 && m.face_count == 0 && m.edge_count == 0 && m.frame_count == 0 && !m.vertices &&
           !m.faces && !m.edges && m.texture == -1 && m.transformed == 0;
}

// A loaded mesh is either empty or wholly consistent: every index inside its arrays.
void expect_sound(const Mesh& m)
{
    if (is_empty(m)) return;
    ASSERT_GT(m.frame_count, 0);
    ASSERT_GE(m.vertex_count, 0);
    for (int i = 0; i < m.face_count; i++) {
        const MeshFace& f = m.faces[i];
        for (int v : {f.va, f.vb, f.vc}) ASSERT_TRUE(v >= 0 && v < m.vertex_count);
        for (int e : {f.eab, f.ebc, f.eca}) ASSERT_TRUE(e >= 0 && e < m.edge_count);
    }
}

int count_lines(const std::string& s) { return (int)std::count(s.begin(), s.end(), '\n'); }

// Loads `text` and returns what was printed; the mesh must come out empty.
std::string load_refused(const std::string& leaf, const std::string& text, int animated = 0)
{
    std::string path = write_file(leaf, text);
    Mesh m{};
    m.transformed = 1;
    m.texture = 7;
    testing::internal::CaptureStdout();
    if (animated) mesh_load_animated(path.c_str(), &m);
    else mesh_load_static(path.c_str(), &m);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(is_empty(m)) << leaf;
    EXPECT_EQ(count_lines(out), 1) << leaf << ": " << out;
    EXPECT_NE(out.find(path), std::string::npos) << out;
    mesh_free(&m);
    return out;
}

const char* GOOD =
    "cube 8 12 0 0 0\n"
    "0 -1 -1 -1 0 0\n1 1 -1 -1 1 0\n2 1 1 -1 1 1\n3 -1 1 -1 0 1\n"
    "4 -1 -1 1 0 0\n5 1 -1 1 1 0\n6 1 1 1 1 1\n7 -1 1 1 0 1\n"
    "0 0 1 2\n1 0 2 3\n2 4 6 5\n3 4 7 6\n4 0 4 5\n5 0 5 1\n"
    "6 3 2 6\n7 3 6 7\n8 1 5 6\n9 1 6 2\n10 0 3 7\n11 0 7 4\n";

TEST(BofFaults, EachKindOfFaultLoadsEmpty)
{
    std::string missing = temp_path("no_such.bof");
    Mesh m{};
    testing::internal::CaptureStdout();
    mesh_load_animated(missing.c_str(), &m);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(is_empty(m));
    EXPECT_EQ(out, "EEEEEEEEEEEK!!!     file not found!! (" + missing + ")\n");

    load_refused("empty.bof", "");
    load_refused("blank.bof", "   \r\n\t ");
    load_refused("word_only.bof", "cube");
    load_refused("words.bof", "cube eight twelve 0 0 0");
    load_refused("no_position.bof", "cube 1 0 x");
    load_refused("negative.bof", "cube -3 1 0 0 0 0 0 0 0 0 0");
    load_refused("absurd_vertices.bof", "cube 4000000000 1 0 0 0");
    load_refused("absurd_faces.bof", "cube 3 99999999 0 0 0");
    load_refused("more_than_file.bof", "cube 60000 60000 0 0 0 0 0 0 0 0 0");
    load_refused("short_vertex.bof", "t 3 1 0 0 0  0 0 0 0 0 0  1 1 0 0 0 0  2 0 1 0 0  0 0 1 2");
    load_refused("short_face.bof", "t 3 1 0 0 0  0 0 0 0 0 0  1 1 0 0 0 0  2 0 1 0 0 0  0 0 1");
    load_refused("garbage_number.bof", "t 3 1 0 0 0  0 0 0 0 0 0  1 1 0 0 0 0  2 0 1 zz 0 0  0 0 1 2");
    load_refused("nan.bof", "t 3 1 0 0 0  0 0 0 0 0 0  1 1 0 0 0 0  2 0 1 nan 0 0  0 0 1 2");
    std::string out_of_range = load_refused("index.bof", "t 3 1 0 0 0  0 0 0 0 0 0  1 1 0 0 0 0  2 0 1 0 0 0  0 0 1 3");
    EXPECT_NE(out_of_range.find("face 0"), std::string::npos) << out_of_range;
    load_refused("neg_index.bof", "t 3 1 0 0 0  0 0 0 0 0 0  1 1 0 0 0 0  2 0 1 0 0 0  0 0 -1 2");
    load_refused("zero_frames.bof", "a 3 1 0 0 0 0", 1);
    load_refused("absurd_frames.bof", "a 3 1 100000 0 0 0", 1);
    load_refused("short_frames.bof", "a 3 1 2 0 0 0  0 0 0 0 0 0  1 1 0 0 0 0  2 0 1 0 0 0  0 0 1 2", 1);
}

// One triangle whose vertex 2 has x = `x` and u = `u`, as written.
std::string triangle(const std::string& x, const std::string& u)
{
    return "t 3 1 0 0 0  0 0 0 0 0 0  1 1 0 0 0 0  2 " + x + " 1 0 " + u + " 0  0 0 1 2";
}

TEST(BofFaults, CoordinatesBeyondWhatTheWordsHoldAreRefused)
{
    // 20.12 holds -524288 up to just below 524288; texture words (x 32768) up to just below 65536.
    for (const char* x : {"1e30", "3.4e38", "-3.4e38", "524288", "-524289", "600000"}) {
        std::string out = load_refused("far.bof", triangle(x, "0"));
        EXPECT_NE(out.find("vertex entry 2"), std::string::npos) << x << ": " << out;
        EXPECT_NE(out.find("20.12"), std::string::npos) << out;
    }
    for (const char* u : {"65536", "-65537", "1e30"}) {
        std::string out = load_refused("far_u.bof", triangle("0", u));
        EXPECT_NE(out.find("texture coordinate"), std::string::npos) << u << ": " << out;
    }
    struct Edge {
        const char *x, *u;
        int32_t fx, fu;
    } edges[] = {{"524287.9375", "0", 2147483392, 0}, {"-524288", "0", INT32_MIN, 0},
                 {"0", "65535.98828125", 0, 2147483264}, {"0", "-65536", 0, INT32_MIN}};
    for (const Edge& e : edges) {
        Mesh m{};
        testing::internal::CaptureStdout();
        mesh_load_static(write_file("edge.bof", triangle(e.x, e.u)).c_str(), &m);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << e.x << " " << e.u;
        ASSERT_EQ(m.vertex_count, 3);
        EXPECT_EQ(m.vertices[2].x, e.fx) << e.x;
        EXPECT_EQ(m.vertices[2].u, e.fu) << e.u;
        mesh_free(&m);
    }
}

TEST(BofFaults, TooManyEdges)
{
    // A fan of 8200 triangles around vertex 0: 2 new edges per face, 16401 in all.
    const int faces = 8200, vertices = faces + 2;
    std::string text = "fan " + std::to_string(vertices) + " " + std::to_string(faces) + " 0 0 0\n";
    for (int i = 0; i < vertices; i++) text += "0 " + std::to_string(i) + " 0 0 0 0\n";
    for (int i = 0; i < faces; i++)
        text += "0 0 " + std::to_string(i + 1) + " " + std::to_string(i + 2) + "\n";
    std::string out = load_refused("fan.bof", text);
    EXPECT_NE(out.find("16384"), std::string::npos) << out;
}

TEST(BofFaults, EveryTruncationLoadsEmptyOrWhole)
{
    std::string good(GOOD);
    int whole = 0;
    for (size_t len = 0; len <= good.size(); len++) {
        Mesh m{};
        testing::internal::CaptureStdout();
        mesh_load_static(write_file("cut.bof", good.substr(0, len)).c_str(), &m);
        std::string out = testing::internal::GetCapturedStdout();
        expect_sound(m);
        if (!is_empty(m)) {
            whole++;
            EXPECT_EQ(m.face_count, 12);
            EXPECT_EQ(m.edge_count, 18);
            EXPECT_TRUE(out.empty());
        } else {
            EXPECT_EQ(count_lines(out), 1) << len;
        }
        mesh_free(&m);
    }
    EXPECT_GE(whole, 1);  // at least the whole file (cutting the final newline or a last digit may still load)
}

TEST(BofFaults, GarbageBytesNeverBreakTheLoader)
{
    std::mt19937 rng(16);
    std::string good(GOOD);
    const char alphabet[] = "0123456789 -.\n\rxe+9";
    for (int round = 0; round < 400; round++) {
        std::string text = good;
        int changes = 1 + (int)(rng() % 6);
        for (int c = 0; c < changes; c++) {
            size_t at = rng() % text.size();
            switch (rng() % 3) {
            case 0: text[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
            case 1: text.erase(at, 1 + rng() % 4); break;
            default: text.insert(at, 1, (char)(rng() % 256)); break;
            }
            if (text.empty()) text = "x";
        }
        Mesh m{};
        testing::internal::CaptureStdout();
        mesh_load_static(write_file("fuzz.bof", text).c_str(), &m);
        std::string out = testing::internal::GetCapturedStdout();
        expect_sound(m);
        if (is_empty(m)) {
            EXPECT_EQ(count_lines(out), 1) << text;
        }
        // Whatever loaded can go through the whole pipeline.
        m.texture = -1;
        mesh_compute_normals(&m);
        mesh_smooth_normals(&m, 0.05f);
        mesh_transform(&m);
        mesh_free(&m);
    }
}

}  // namespace
