// textures.cpp -- the letters' textures, the underwater sky and the blobs' background
#include "pictures.h"

#include <cmath>
#include <string>

// ---- internal functions ----

static const float PI = 3.14159265f;

static int save(const char* dir, const char* name, const Canvas* c)
{
    std::string path = std::string(dir) + "/" + name;
    return tga_write(path.c_str(), c, 0);
}

// Letter textures: the faces take the upper 3/4 (v 0..0.75, top of the word first), the side walls
// the band below, so the sides can be darker than the faces.
struct LetterLook {
    Rgba left_top, right_top, left_bottom, right_bottom;  // face colours at the word's corners
    Rgba side, side_dark;
    Rgba crack;
    int seed;
};

static Canvas letter_texture(const LetterLook* look)
{
    const int w = 256, h = 128, face_rows = 96;
    Canvas c = canvas_new(w, h, rgb(0, 0, 0));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float u = (x + 0.5f) / w;
            Rgba p;
            if (y < face_rows) {
                float v = (y + 0.5f) / face_rows;
                p = mix(mix(look->left_top, look->right_top, u), mix(look->left_bottom, look->right_bottom, u), v);
                // Frost: soft blotches, and thin cracks along the ridges of a second noise.
                float frost = fbm_tiled(x / 16.0f, y / 16.0f, 16, 6, 4, look->seed);
                p = mix(p, rgb(255, 255, 255), smooth(0.6f, 0.8f, frost) * 0.12f);
                float ridge = std::fabs(fbm_tiled(x / 24.0f, y / 12.0f, 11, 8, 3, look->seed + 7) - 0.5f);
                p = mix(p, look->crack, smooth(0.015f, 0.0f, ridge) * 0.4f);
                // A bright rim along the top rows catches the eye like a bevel.
                p = mix(p, rgb(255, 255, 255), smooth(6.0f, 0.0f, (float)y) * 0.5f);
            } else {
                float v = (y - face_rows + 0.5f) / (h - face_rows);
                p = mix(look->side, look->side_dark, v);
                p = mix(p, look->side_dark, hash01(x / 4, y, look->seed) * 0.3f);
            }
            p.a = 1;
            c.pixels[(size_t)y * w + x] = p;
        }
    return c;
}

// The underwater sky, wrapped twice around a sphere: repeats across its width, light from above,
// shafts of light, a net of caustics near the surface. Kept dark, because a second copy is added on top.
static Canvas underwater(void)
{
    const int w = 256, h = 256;
    Canvas c = canvas_new(w, h, rgb(0, 0, 0));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float v = (y + 0.5f) / h, u = (x + 0.5f) / w;
            Rgba p = v < 0.5f ? mix(rgb(14, 60, 76), rgb(0, 24, 56), v * 2) : mix(rgb(0, 24, 56), rgb(0, 4, 16), (v - 0.5f) * 2);
            // Shafts: whole periods across the width, so the picture repeats without a seam.
            float shafts = 0.5f + 0.5f * std::sin(u * 2 * PI * 5 + 1.3f * std::sin(u * 2 * PI * 3));
            shafts *= 0.5f + 0.5f * std::sin(u * 2 * PI * 7 + 0.5f);
            p = mix(p, rgb(40, 100, 110), shafts * shafts * smooth(0.85f, 0.1f, v) * 0.6f);
            // Caustics: soft bright seams where a tiled noise crosses its middle value, near the surface.
            float n = fbm_tiled(u * 8, v * 8, 8, 8, 2, 41);
            float seam = smooth(0.06f, 0.0f, std::fabs(n - 0.5f));
            p = mix(p, rgb(60, 130, 130), seam * smooth(0.45f, 0.0f, v) * 0.5f);
            p.a = 1;
            c.pixels[(size_t)y * w + x] = p;
        }
    return c;
}

// Behind the blobs: rays from the middle of the Screen in two dark colours, lighter near the middle.
static Canvas rays(void)
{
    const int w = 240, h = 150;
    Canvas c = canvas_new(w, h, rgb(0, 0, 0));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float dx = x + 0.5f - w / 2.0f, dy = (y + 0.5f - h / 2.0f);
            float angle = std::atan2(dy, dx), dist = std::sqrt(dx * dx + dy * dy) / 140.0f;
            float ray = smooth(-0.15f, 0.15f, std::sin(angle * 12 + dist * 2.5f));
            Rgba p = mix(rgb(45, 10, 70), rgb(8, 20, 80), ray);
            p = mix(p, rgb(110, 40, 120), smooth(0.45f, 0.0f, dist) * 0.6f);
            p = mix(p, rgb(0, 0, 0), smooth(0.6f, 1.1f, dist) * 0.7f);
            p.a = 1;
            c.pixels[(size_t)y * w + x] = p;
        }
    return c;
}

// ---- public functions ----

int make_textures(const char* out_dir)
{
    LetterLook ice = {rgb(140, 225, 255), rgb(110, 180, 255), rgb(40, 140, 220), rgb(30, 90, 200),
                      rgb(20, 60, 130),   rgb(5, 15, 60),     rgb(20, 60, 120), 11};
    LetterLook hot = {rgb(255, 230, 60), rgb(255, 90, 60),  rgb(235, 160, 20), rgb(220, 40, 50),
                      rgb(110, 20, 0),   rgb(35, 0, 5),     rgb(110, 20, 0),  23};
    Canvas ice_c = letter_texture(&ice), hot_c = letter_texture(&hot);
    Canvas sea = underwater(), bg = rays();
    return save(out_dir, "ice gophy.tga", &ice_c) && save(out_dir, "kerv.tga", &hot_c) &&
           save(out_dir, "underwater.tga", &sea) && save(out_dir, "raybg.tga", &bg);
}
