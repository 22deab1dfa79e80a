// sheet.cpp -- the contact sheet: a frame of the show every few seconds, drawn as cells, in one PNG
#include "render.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "console/console.h"
#include "platform/vga.h"

// ---- state ----

// Half-size drawings of the frames taken so far, in the order taken, with their demo times.
static std::vector<std::vector<uint8_t>> tiles;
static std::vector<long> tile_times;

// ---- internal functions ----

static void put_text(uint8_t* rgb, int width, int x0, int y0, const char* text)
{
    const uint8_t* ink = vga_palette[15];
    for (int i = 0; text[i]; i++)
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++)
                if (vga_font8x8[(uint8_t)text[i]][y] >> (7 - x) & 1) {
                    uint8_t* out = &rgb[((size_t)(y0 + y) * width + x0 + 8 * i + x) * 3];
                    out[0] = ink[0], out[1] = ink[1], out[2] = ink[2];
                }
}

// ---- public functions ----

void sheet_layout(int count, int* width, int* height)
{
    int columns = count < SHEET_COLUMNS ? count : SHEET_COLUMNS;
    int rows = (count + SHEET_COLUMNS - 1) / SHEET_COLUMNS;
    *width = columns * SHEET_TILE_W + (columns + 1) * SHEET_GAP;
    *height = rows * (SHEET_TILE_H + SHEET_LABEL_H) + (rows + 1) * SHEET_GAP;
}

void sheet_add(const DisplayCell* cells, long t)
{
    std::vector<uint8_t> full((size_t)VGA_PIXELS_W * VGA_PIXELS_H * 3);
    vga_draw_cells_rgb(cells, vga_palette, full.data());
    // Each tile pixel is the mean of a 2 x 2 square of the 8 x 8 glyph drawing.
    std::vector<uint8_t> tile((size_t)SHEET_TILE_W * SHEET_TILE_H * 3);
    for (int y = 0; y < SHEET_TILE_H; y++)
        for (int x = 0; x < SHEET_TILE_W; x++)
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int k = 0; k < 4; k++)
                    sum += full[((size_t)(2 * y + k / 2) * VGA_PIXELS_W + 2 * x + k % 2) * 3 + c];
                tile[((size_t)y * SHEET_TILE_W + x) * 3 + c] = (uint8_t)((sum + 2) / 4);
            }
    tiles.push_back(std::move(tile));
    tile_times.push_back(t);
}

int sheet_write(const char* path)
{
    int count = (int)tiles.size();
    if (!count) {
        fprintf(stderr, "kerv16-render: no frame for the contact sheet %s\n", path);
        return 0;
    }
    int width, height;
    sheet_layout(count, &width, &height);
    std::vector<uint8_t> rgb((size_t)width * height * 3, 0);
    for (int i = 0; i < count; i++) {
        int x0 = SHEET_GAP + i % SHEET_COLUMNS * (SHEET_TILE_W + SHEET_GAP);
        int y0 = SHEET_GAP + i / SHEET_COLUMNS * (SHEET_TILE_H + SHEET_LABEL_H + SHEET_GAP);
        for (int y = 0; y < SHEET_TILE_H; y++)
            std::copy_n(&tiles[i][(size_t)y * SHEET_TILE_W * 3], SHEET_TILE_W * 3,
                        &rgb[((size_t)(y0 + y) * width + x0) * 3]);
        char label[32];
        long s = tile_times[i] / 1000;
        snprintf(label, sizeof label, "%ld:%02ld", s / 60, s % 60);
        put_text(rgb.data(), width, x0, y0 + SHEET_TILE_H + (SHEET_LABEL_H - 8) / 2, label);
    }
    return render_write_png(path, rgb.data(), width, height);
}
