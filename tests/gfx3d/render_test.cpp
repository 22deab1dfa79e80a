// render_test.cpp -- a textured cube in front of a letter, drawn through the whole pipeline and kept as a PNG
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gfx3d_helpers.h"

#include <stb/stb_image_write.h>

using namespace gfx3d_test;

namespace {

const int CUBE_SLOT = 60, LETTER_SLOT = 61;

// A cube of half-size 1 with four vertices per side, so every side shows the whole texture. Each side's
// corners are ordered so that it runs clockwise on the Screen when seen from outside.
std::string cube_bof()
{
    std::string verts, faces;
    char line[128];
    int v = 0;
    for (int axis = 0; axis < 3; axis++)
        for (int sign = -1; sign <= 1; sign += 2) {
            int ua = (axis + 1) % 3, va = (axis + 2) % 3;
            const float corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
            float p[4][3];
            for (int c = 0; c < 4; c++) {
                p[c][axis] = (float)sign;
                p[c][ua] = corner[c][0];
                p[c][va] = corner[c][1];
            }
            // Outward normal along `axis` times `sign`; keep the order whose cross product points outwards.
            float a[3], b[3];
            for (int k = 0; k < 3; k++) a[k] = p[1][k] - p[0][k], b[k] = p[2][k] - p[0][k];
            float cross[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
            bool outwards = cross[axis] * sign > 0;
            for (int c = 0; c < 4; c++) {
                snprintf(line, sizeof line, "%d %g %g %g %g %g\n", v + c, p[c][0], p[c][1], p[c][2],
                         (corner[c][0] + 1) / 2, (corner[c][1] + 1) / 2);
                verts += line;
            }
            int f = v / 2;
            if (outwards)
                snprintf(line, sizeof line, "%d %d %d %d\n%d %d %d %d\n", f, v, v + 1, v + 2, f + 1, v, v + 2, v + 3);
            else
                snprintf(line, sizeof line, "%d %d %d %d\n%d %d %d %d\n", f, v, v + 2, v + 1, f + 1, v, v + 3, v + 2);
            faces += line;
            v += 4;
        }
    return "cube 24 12 9 9 9\n" + verts + faces;
}

// 64 x 64: eight by eight squares, tinted by position so the orientation shows, with one transparent square.
std::vector<uint32_t> checker_texture()
{
    std::vector<uint32_t> t(64 * 64);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            bool dark = ((x / 8) + (y / 8)) & 1;
            uint32_t r = 60 + x * 3, g = 60 + y * 3, b = dark ? 40 : 220;
            if (y < 8 && x < 8) r = 255, g = 255, b = 0;  // yellow corner at texture (0, 0)
            t[y * 64 + x] = (x / 8 == 4 && y / 8 == 4) ? TEXEL_TRANSPARENT : 0xFF000000u | b << 16 | g << 8 | r;
        }
    return t;
}

void write_png(const char* name)
{
    const int scale = 3;
    std::vector<uint8_t> rgb(SCREEN_W * scale * SCREEN_H * scale * 3);
    for (int y = 0; y < SCREEN_H * scale; y++)
        for (int x = 0; x < SCREEN_W * scale; x++) {
            uint32_t p = screen[(y / scale) * SCREEN_W + x / scale];
            uint8_t* o = &rgb[(y * SCREEN_W * scale + x) * 3];
            o[0] = p & 0xFF, o[1] = (p >> 8) & 0xFF, o[2] = (p >> 16) & 0xFF;
        }
    stbi_write_png(name, SCREEN_W * scale, SCREEN_H * scale, 3, rgb.data(), SCREEN_W * scale * 3);
}

TEST(Gfx3dRender, CubeInFrontOfLetter)
{
    reset_camera();
    camera_set_projection(10, 5000, 400.0f);  // focal length 300 pixels
    camera_update();
    prepare_screen();
    screen_fill(0x00301010u);
    set_texture(CUBE_SLOT, 64, 64, checker_texture());

    Mesh cube{}, letter{};
    mesh_load_static(write_file("cube.bof", cube_bof()).c_str(), &cube);
    ASSERT_EQ(cube.face_count, 12);
    EXPECT_EQ(cube.edge_count, 30);  // 5 per side: 4 outer and the diagonal
    mesh_scale(&cube, 1.6f);
    mesh_compute_normals(&cube);
    mesh_set_texture(&cube, CUBE_SLOT);
    mesh_set_transform(&cube, -1.6f, -0.3f, 16.0f, 0.6f, 0.45f, 0.1f);
    mesh_transform(&cube);

    // The show's letter when the data has been built: a plain letter mesh, environment-mapped.
    bool have_letter = false;
    if (FILE* f = fopen("data/k.bof", "rb")) {
        fclose(f);
        mesh_load_static("data/k.bof", &letter);
        have_letter = letter.face_count > 0;
    }
    if (have_letter) {
        std::vector<uint32_t> env(64 * 64);
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 64; x++) {
                int d = (int)std::hypot(x - 24.0, y - 20.0) * 6;  // a highlight up and left of centre
                uint32_t c = (uint32_t)std::max(30, 255 - d);
                env[y * 64 + x] = 0xFF000000u | c << 16 | (c * 3 / 4) << 8 | c / 3;
            }
        set_texture(LETTER_SLOT, 64, 64, env);
        mesh_scale(&letter, 1.2f);
        mesh_compute_normals(&letter);
        mesh_smooth_normals(&letter, 0.05f);
        mesh_set_texture(&letter, LETTER_SLOT);
        mesh_set_transform(&letter, 2.0f, 0.2f, 22.0f, -0.35f, 0.1f, 0.0f);
        mesh_transform(&letter);
        mesh_env_uv(&letter);
        mesh_draw(&letter);
    }
    mesh_draw(&cube);
    write_png("gfx3d_render.png");

    // The cube covers its part of the Screen with texels: three sides seen, the background elsewhere.
    int cube_pixels = 0, key_colour = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++) {
        cube_pixels += zbuffer[i] != 0x7FFFFFFF;
        key_colour += screen[i] == TEXEL_TRANSPARENT;
    }
    EXPECT_GT(cube_pixels, 3000);
    EXPECT_EQ(key_colour, 0);
    EXPECT_NE(screen[78 * SCREEN_W + 92], 0x00301010u);   // near the cube's centre
    EXPECT_EQ(screen[5 * SCREEN_W + 5], 0x00301010u);     // a corner stays background

    mesh_free(&cube);
    mesh_free(&letter);
    clear_texture(CUBE_SLOT);
    clear_texture(LETTER_SLOT);
}

}  // namespace
