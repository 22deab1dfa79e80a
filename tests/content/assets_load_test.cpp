// assets_load_test.cpp -- every generated picture and mesh loads through the engine's own loaders, silently
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unistd.h>

#include "assets/assets.h"
#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d.h"

namespace {

// The files the show reads, by the names its asset table and letter set-up use.
const char* const PICTURES[] = {"data/raybg.tga",    "data/probe.tga",      "data/probe_blk.tga", "data/credz1.tga",
                                "data/credz2.tga",   "data/logoEnd.tga",    "data/ovr_kerv__.tga", "data/ovr_kerv16.tga",
                                "data/greets.tga",   "data/info1.tga",      "data/info2.tga",     "data/info3.tga",
                                "data/info4.tga",    "data/ice gophy.tga",  "data/ice_env.tga",   "data/kerv.tga",
                                "data/underwater.tga"};
const char* const MESHES[] = {"data/plane64.bof", "data/g.bof", "data/o.bof", "data/p.bof", "data/h.bof",
                              "data/y.bof",       "data/k.bof", "data/e.bof", "data/r.bof", "data/v.bof",
                              "data/1.bof",       "data/6.bof", "data/sky.bof"};

std::string in_data_root(const char* name)
{
    return std::string(KERV_DATA_ROOT) + "/" + name;
}

TEST(ContentLoads, EveryPictureLoadsWithoutAMessage)
{
    for (const char* name : PICTURES) {
        SCOPED_TRACE(name);
        Image image{};
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        image_load(in_data_root(name).c_str(), &image);
        std::string out = testing::internal::GetCapturedStdout(), err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out + err, "");
        ASSERT_NE(image.pixels, nullptr);
        EXPECT_GT(image.width, 0);
        EXPECT_GT(image.height, 0);
        image_free(&image);
    }
}

TEST(ContentLoads, EveryMeshLoadsWithoutAMessageAndHasFacesAndEdges)
{
    for (const char* name : MESHES) {
        SCOPED_TRACE(name);
        Mesh mesh{};
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        mesh_load_static(in_data_root(name).c_str(), &mesh);
        std::string out = testing::internal::GetCapturedStdout(), err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out + err, "");
        EXPECT_GT(mesh.vertex_count, 0);
        EXPECT_GT(mesh.face_count, 0);
        EXPECT_GT(mesh.edge_count, 0);
        EXPECT_LE(mesh.edge_count, (int)EDGE_SCRATCH);
        mesh_free(&mesh);
    }
}

// Through the asset table itself: every row finds its file, and the letters end up the size the
// scenes place them at (g o p h y 4 to 5 units wide after the scaling, k e r v 1 6 as they are).
TEST(ContentLoads, TheAssetTableFillsEveryRowFromTheGeneratedFiles)
{
    ASSERT_EQ(chdir(KERV_DATA_ROOT), 0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    load_assets();
    setup_letter_materials();
    std::string out = testing::internal::GetCapturedStdout(), err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out + err, "");
    EXPECT_NE(blob_background.pixels, nullptr);
    EXPECT_NE(blob_probe.pixels, nullptr);
    for (int i = 0; i < OVERLAY_IMAGES; i++)
        EXPECT_NE(overlay_images[i].pixels, nullptr) << "overlay " << i;
    EXPECT_GE(water_mesh.texture, 0);
    EXPECT_GE(sky_mesh.texture, 0);
    EXPECT_NE(texture_table.slots[sky_mesh.texture].pixels, nullptr);
    auto width = [](const Mesh& m) {
        fixed lo = 0x7FFFFFFF, hi = -0x7FFFFFFF;
        for (int i = 0; i < m.vertex_count; i++)
            lo = std::min(lo, m.vertices[i].x), hi = std::max(hi, m.vertices[i].x);
        return (hi - lo) / 4096.0;
    };
    for (int i = 0; i < LOGO_LETTERS; i++) {
        SCOPED_TRACE(i);
        for (const Mesh* m : {&logo_letters[i], &logo_letters_env[i]}) {
            EXPECT_GT(m->face_count, 0);
            ASSERT_GE(m->texture, 0);
            EXPECT_NE(texture_table.slots[m->texture].pixels, nullptr);
            EXPECT_GE(width(*m), 3.0);  // narrow enough that the word fits the later cameras
            EXPECT_LE(width(*m), 3.85);
        }
    }
    for (int i = 0; i < EVENT_LETTERS; i++) {
        SCOPED_TRACE(i);
        for (const Mesh* m : {&event_letters[i], &event_letters_env[i]}) {
            EXPECT_GT(m->face_count, 0);
            ASSERT_GE(m->texture, 0);
            EXPECT_NE(texture_table.slots[m->texture].pixels, nullptr);
            EXPECT_GE(width(*m), 3.0);
            EXPECT_LE(width(*m), 5.5);
        }
    }
    free_assets();
}

}  // namespace
