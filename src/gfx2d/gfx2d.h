// gfx2d.h -- the Screen (240 x 150 pixels, 0xXXBBGGRR), 2D primitives, Images and their two blit rules
#pragma once
#include <cstdint>

// ---- types ----

enum {
    SCREEN_W = 240,
    SCREEN_H = 150,
    SCREEN_PIXELS = SCREEN_W * SCREEN_H,  // 36000
};

// A picture in memory: pixels red, green, blue, alpha (byte 0..3), top row first.
// An empty Image has null pixels and width and height 0.
struct Image {
    uint32_t* pixels;     // width x height pixels, owned
    uint16_t height;      // rows
    uint16_t width;       // pixels per row
    uint8_t width_shift;  // floor(log2 width); 0 for widths 0 and 1
};

// ---- state other subsystems may read ----

extern uint32_t* screen;                       // the one Screen, set by screen_create
extern int pen_width;                          // set_pen_width
extern void (*plot)(int x, int y, uint32_t colour);

// ---- the Screen and its primitives ----

uint32_t* screen_create(void);     // allocates the Screen (cleared to black) and stores it in `screen`
uint32_t* screen_pixels(void);
void screen_present(void);         // converts and writes one frame (present_screen)

void put_pixel(int x, int y, uint32_t colour);  // clipped to the Screen
void put_disc(int x, int y, uint32_t colour);   // disc of the current pen width
void set_pen_width(int width);                  // < 2: single pixels, else discs
void draw_line(int x0, int y0, int x1, int y1, uint32_t colour);  // 8.8 DDA through `plot`
// The run of draw_line's steps (1 .. max(|dx|, |dy|) + 1, in plotting order) whose point lies within
// `reach` (>= 0) pixels of the Screen on both axes: 1 with it in *first .. *last, 0 when there is none.
// A pen that writes no farther than `reach` from its point draws nothing at the other steps, so
// draw_line walks only this run for put_pixel and put_disc.
int draw_line_steps(int x0, int y0, int x1, int y1, int reach, int64_t* first, int64_t* last);
void draw_line_bgr(int x0, int y0, int x1, int y1, int blue, int green, int red);
uint32_t screen_fill(uint32_t value);
void screen_fill_rgb(int red, int green, int blue);
uint32_t pixel_average(uint32_t a, uint32_t b);        // per byte floor(a/2) + floor(b/2)
uint32_t pixel_add_saturate(uint32_t a, uint32_t b);   // per channel sum, nearly saturated

// ---- Images ----

void image_load(const char* name, Image* image);       // TGA when the name holds ".tga"/".TGA", raw otherwise
void image_load_tga(const char* name, Image* image);
void image_load_raw(const char* name, Image* image);   // headerless, size from "..._WxH.ext"
void image_size_from_name(const char* name, int* width, int* height);
void image_free(Image* image);                         // accepts an empty Image
void image_blit_alpha(const Image* image, int x, int y);  // (s*a + d*(255-a)) >> 8
void image_blit_add(const Image* image, int x, int y);    // min(255, d + s*a)
