// output.cpp -- what the renderer writes: PNG pictures of the Screen and of the cells, raw cell files, and their folder
#include "render.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "gfx2d/gfx2d.h"

#include "stb_image_write.h"

// ---- public functions ----

int render_write_png(const char* path, const uint8_t* rgb, int width, int height)
{
    if (!stbi_write_png(path, width, height, 3, rgb, width * 3)) {
        fprintf(stderr, "kerv16-render: cannot write %s\n", path);
        return 0;
    }
    return 1;
}

int render_write_screen_png(const char* path, const uint32_t* pixels)
{
    std::vector<uint8_t> rgb(SCREEN_PIXELS * 3);
    for (int i = 0; i < SCREEN_PIXELS; i++) {
        rgb[3 * i] = (uint8_t)pixels[i];
        rgb[3 * i + 1] = (uint8_t)(pixels[i] >> 8);
        rgb[3 * i + 2] = (uint8_t)(pixels[i] >> 16);
    }
    return render_write_png(path, rgb.data(), SCREEN_W, SCREEN_H);
}

int render_write_cells_png(const char* path, const DisplayCell* cells)
{
    std::vector<uint8_t> rgb((size_t)VGA_PIXELS_W * VGA_PIXELS_H * 3);
    vga_draw_cells_rgb(cells, vga_palette, rgb.data());
    return render_write_png(path, rgb.data(), VGA_PIXELS_W, VGA_PIXELS_H);
}

int render_write_cells_bin(const char* path, const DisplayCell* cells)
{
    uint8_t bytes[DISPLAY_CELLS * 2];
    for (int i = 0; i < DISPLAY_CELLS; i++) {
        bytes[2 * i] = cells[i].ch;
        bytes[2 * i + 1] = cells[i].attr;
    }
    FILE* f = fopen(path, "wb");
    int ok = f && fwrite(bytes, 1, sizeof bytes, f) == sizeof bytes;
    if (f && fclose(f) != 0)
        ok = 0;
    if (!ok)
        fprintf(stderr, "kerv16-render: cannot write %s\n", path);
    return ok;
}

int render_make_dir(const char* dir)
{
    std::error_code err;
    std::filesystem::create_directories(dir, err);
    if (err || !std::filesystem::is_directory(dir)) {
        fprintf(stderr, "kerv16-render: cannot make the output folder %s: %s\n", dir,
                err ? err.message().c_str() : "a file of that name is in the way");
        return 0;
    }
    return 1;
}
