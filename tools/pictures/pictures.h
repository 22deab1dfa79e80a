// pictures.h -- kerv16-pictures: a floating-point canvas, lettering, and the makers of every picture
#pragma once
#include <string>
#include <vector>

// ---- types ----

struct Rgba {
    float r, g, b, a;  // 0..1, straight (not premultiplied) alpha
};

struct Canvas {
    int width, height;
    std::vector<Rgba> pixels;  // top row first
};

// A coverage mask the size of a canvas, 0..1 per pixel.
struct Mask {
    int width, height;
    std::vector<float> cover;
};

// Lettering styles; sizes are in pixels per em.
struct TextStyle {
    const char* font;  // file name in the font folder
    float size;
    Rgba colour;
    float outline;     // width of the dark outline around the letters, pixels (0: none)
    Rgba outline_colour;
};

// ---- public functions ----

// paint.cpp
Canvas canvas_new(int width, int height, Rgba fill);
void canvas_blend(Canvas* c, int x, int y, Rgba src);           // src over the pixel; clipped
void canvas_blend_mask(Canvas* c, const Mask* m, Rgba colour);  // colour over every pixel by its coverage
Mask mask_new(int width, int height);
Mask mask_dilate(const Mask* m, float radius);                  // max over a disc
float hash01(int x, int y, int seed);                           // deterministic noise value 0..1
float noise_tiled(float x, float y, int period_x, int period_y, int seed);  // smooth, repeats on the periods
float fbm_tiled(float x, float y, int period_x, int period_y, int octaves, int seed);
Rgba mix(Rgba a, Rgba b, float t);
Rgba rgb(int r, int g, int b, int a = 255);
float clamp01(float v);
float smooth(float e0, float e1, float x);

// tga.cpp: 32-bit with alpha or 24-bit without, bottom row first; 1 on success, message on failure
int tga_write(const char* path, const Canvas* c, int with_alpha);

// text.cpp
int text_init(const char* font_dir);  // 1 on success
void text_done(void);
float text_width(const char* text, const TextStyle* style);
// Draws one line with its baseline at y, starting at x; returns the pen advance.
float text_draw(Canvas* c, const char* text, const TextStyle* style, float x, float y);
float text_line_height(const TextStyle* style);
float text_ascent(const TextStyle* style);  // cap height of the font at the style's size

// makers, one per picture or family: each writes into DIR and returns 1 on success
int make_spheres(const char* out_dir);      // probe, probe_blk, ice_env
int make_textures(const char* out_dir);     // ice gophy, kerv, underwater, raybg
int make_pages(const char* content_dir, const char* out_dir);  // credits, logo, overlays, info pages, greetings
