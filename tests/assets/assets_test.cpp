// assets_test.cpp -- the asset table's load order, "mesh|texture" names, letter set-up and release order
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/assets_local.h"

namespace {

std::vector<std::string> calls;
int next_slot;

std::string who(const void* target)
{
    for (int i = 0; i < ASSET_ROWS - 1; i++)
        if (asset_table[i].target == target)
            return "#" + std::to_string(i);
    return "?";
}

void rec_image_load(const char* name, Image* image) { calls.push_back("image " + who(image) + " " + name); }
void rec_image_free(Image* image) { calls.push_back("free image " + who(image)); }
void rec_mesh_load(const char* name, Mesh* mesh)
{
    mesh->texture = -1;
    calls.push_back("mesh " + who(mesh) + " " + name);
}
void rec_mesh_free(Mesh* mesh)
{
    mesh->texture = -1;
    calls.push_back("free mesh " + who(mesh));
}
int rec_texture_load(const char* name)
{
    calls.push_back(std::string("texture ") + name);
    return next_slot++;
}
void rec_texture_free_all(void) { calls.push_back("free textures"); }
void rec_set_texture(Mesh* mesh, int slot)
{
    mesh->texture = slot;
    calls.push_back("set " + who(mesh) + " " + std::to_string(slot));
}
void rec_scale(Mesh* mesh, float f) { calls.push_back("scale " + who(mesh) + (f == 0.05f ? " 0.05" : " ?")); }
void rec_normals(Mesh* mesh) { calls.push_back("normals " + who(mesh)); }
void rec_smooth(Mesh* mesh, float d) { calls.push_back("smooth " + who(mesh) + (d == 0.05f ? " 0.05" : " ?")); }

struct AssetTableTest : ::testing::Test {
    AssetOps saved;
    void SetUp() override
    {
        saved = asset_ops;
        asset_ops = AssetOps{rec_image_load, rec_image_free, rec_mesh_load, rec_mesh_free, rec_texture_load,
                             rec_texture_free_all, rec_set_texture, rec_scale, rec_normals, rec_smooth};
        calls.clear();
        next_slot = 0;
    }
    void TearDown() override { asset_ops = saved; }
};

TEST_F(AssetTableTest, RowsLoadInTableOrderAndSplitTexturedMeshes)
{
    load_assets();
    ASSERT_EQ(calls.size(), 40u);  // 36 rows, two of them with a texture load and its assignment
    EXPECT_EQ(calls[0], "image #0 data/raybg.tga");
    EXPECT_EQ(calls[1], "image #1 data/probe.tga");
    EXPECT_EQ(calls[2], "mesh #2 data/plane64.bof");
    EXPECT_EQ(calls[3], "texture data/probe_blk.tga");
    EXPECT_EQ(calls[4], "set #2 0");
    EXPECT_EQ(calls[5], "image #3 data/credz1.tga");
    EXPECT_EQ(calls[7], "image #5 data/logoEnd.tga");
    EXPECT_EQ(calls[14], "image #12 data/info4.tga");
    EXPECT_EQ(calls[15], "mesh #13 data/g.bof");
    EXPECT_EQ(calls[20], "mesh #18 data/g.bof");
    EXPECT_EQ(calls[25], "mesh #23 data/k.bof");
    EXPECT_EQ(calls[31], "mesh #29 data/k.bof");
    EXPECT_EQ(calls[37], "mesh #35 data/sky.bof");
    EXPECT_EQ(calls[38], "texture data/underwater.tga");
    EXPECT_EQ(calls[39], "set #35 1");
    EXPECT_EQ(water_mesh.texture, 0);
    EXPECT_EQ(logo_letters[0].texture, -1);  // no bar: the loader's own setting stays
    EXPECT_EQ(asset_table[5].target, &overlay_images[2]);
    EXPECT_EQ(asset_table[36].target, nullptr);
}

TEST_F(AssetTableTest, OnlyMeshRowsAreSplitAndOverlongNamesAreRefused)
{
    Image picture{};
    AssetRow image_row = {&picture, "data/a|b.tga", ASSET_IMAGE};
    EXPECT_EQ(load_mesh_with_texture(&image_row), 0);

    Mesh mesh{};
    AssetRow plain = {&mesh, "data/plain.bof", ASSET_MESH};
    EXPECT_EQ(load_mesh_with_texture(&plain), 0);
    AssetRow empty = {&mesh, "", ASSET_MESH};
    EXPECT_EQ(load_mesh_with_texture(&empty), 0);
    EXPECT_TRUE(calls.empty());

    // 63 characters fit; 64 would have to be cut, so the row is refused and the mesh left empty.
    std::string fits = "data/m.bof|data/" + std::string(43, 't') + ".tga";
    ASSERT_EQ(fits.size(), 63u);
    AssetRow ok = {&mesh, fits.c_str(), ASSET_MESH};
    EXPECT_EQ(load_mesh_with_texture(&ok), 1);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], "mesh ? data/m.bof");
    EXPECT_EQ(calls[1], "texture data/" + std::string(43, 't') + ".tga");

    calls.clear();
    std::string too_long = fits + "x";
    AssetRow refused = {&mesh, too_long.c_str(), ASSET_MESH};
    mesh.texture = 5;
    EXPECT_EQ(load_mesh_with_texture(&refused), 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "free mesh ?");
    EXPECT_EQ(mesh.texture, -1);
}

TEST_F(AssetTableTest, LetterMaterialsInOrder)
{
    setup_letter_materials();
    std::vector<std::string> want = {"normals #2", "texture data/ice gophy.tga", "texture data/ice_env.tga"};
    for (int i = 4; i >= 0; i--) {
        std::string t = "#" + std::to_string(13 + i), e = "#" + std::to_string(18 + i);
        for (auto s : {"scale " + t + " 0.05", "scale " + e + " 0.05", "set " + t + " 0", "set " + e + " 1",
                       "normals " + e, "smooth " + e + " 0.05"})
            want.push_back(s);
    }
    want.push_back("texture data/kerv.tga");
    for (int i = 5; i >= 0; i--) {
        std::string t = "#" + std::to_string(23 + i), e = "#" + std::to_string(29 + i);
        for (auto s : {"set " + t + " 2", "set " + e + " 1", "normals " + e, "smooth " + e + " 0.05"})
            want.push_back(s);
    }
    EXPECT_EQ(calls, want);
}

TEST_F(AssetTableTest, ReleaseInTableOrderThenTextures)
{
    free_assets();
    ASSERT_EQ(calls.size(), 37u);
    EXPECT_EQ(calls[0], "free image #0");
    EXPECT_EQ(calls[2], "free mesh #2");
    EXPECT_EQ(calls[12], "free image #12");
    EXPECT_EQ(calls[13], "free mesh #13");
    EXPECT_EQ(calls[35], "free mesh #35");
    EXPECT_EQ(calls[36], "free textures");
}

TEST_F(AssetTableTest, EveryRowAndTheLetterTexturesAsTheShowNamesThem)
{
    // The table written out: file name and the object each row fills, in order.
    const void* l[5] = {&logo_letters[0], &logo_letters[1], &logo_letters[2], &logo_letters[3], &logo_letters[4]};
    const void* le[5] = {&logo_letters_env[0], &logo_letters_env[1], &logo_letters_env[2], &logo_letters_env[3],
                         &logo_letters_env[4]};
    struct Row {
        const char* name;
        const void* target;
        bool image;
    };
    const Row rows[36] = {
        {"data/raybg.tga", &blob_background, true},
        {"data/probe.tga", &blob_probe, true},
        {"data/plane64.bof|data/probe_blk.tga", &water_mesh, false},
        {"data/credz1.tga", &overlay_images[0], true},
        {"data/credz2.tga", &overlay_images[1], true},
        {"data/logoEnd.tga", &overlay_images[2], true},
        {"data/ovr_kerv__.tga", &overlay_images[3], true},
        {"data/ovr_kerv16.tga", &overlay_images[4], true},
        {"data/greets.tga", &overlay_images[5], true},
        {"data/info1.tga", &overlay_images[6], true},
        {"data/info2.tga", &overlay_images[7], true},
        {"data/info3.tga", &overlay_images[8], true},
        {"data/info4.tga", &overlay_images[9], true},
        {"data/g.bof", l[0], false}, {"data/o.bof", l[1], false}, {"data/p.bof", l[2], false},
        {"data/h.bof", l[3], false}, {"data/y.bof", l[4], false},
        {"data/g.bof", le[0], false}, {"data/o.bof", le[1], false}, {"data/p.bof", le[2], false},
        {"data/h.bof", le[3], false}, {"data/y.bof", le[4], false},
        {"data/k.bof", &event_letters[0], false}, {"data/e.bof", &event_letters[1], false},
        {"data/r.bof", &event_letters[2], false}, {"data/v.bof", &event_letters[3], false},
        {"data/1.bof", &event_letters[4], false}, {"data/6.bof", &event_letters[5], false},
        {"data/k.bof", &event_letters_env[0], false}, {"data/e.bof", &event_letters_env[1], false},
        {"data/r.bof", &event_letters_env[2], false}, {"data/v.bof", &event_letters_env[3], false},
        {"data/1.bof", &event_letters_env[4], false}, {"data/6.bof", &event_letters_env[5], false},
        {"data/sky.bof|data/underwater.tga", &sky_mesh, false},
    };
    for (int i = 0; i < 36; i++) {
        EXPECT_STREQ(asset_table[i].name, rows[i].name) << "row " << i;
        EXPECT_EQ(asset_table[i].target, rows[i].target) << "row " << i;
        EXPECT_EQ(asset_table[i].kind == ASSET_IMAGE, rows[i].image) << "row " << i;
    }
    EXPECT_EQ(asset_table[36].target, nullptr);
    EXPECT_EQ(asset_table[36].name, nullptr);

    // The three letter textures, in the order they are loaded.
    setup_letter_materials();
    std::vector<std::string> textures;
    for (const std::string& c : calls)
        if (c.rfind("texture ", 0) == 0)
            textures.push_back(c);
    EXPECT_EQ(textures, (std::vector<std::string>{"texture data/ice gophy.tga", "texture data/ice_env.tga",
                                                   "texture data/kerv.tga"}));
}

}  // namespace
