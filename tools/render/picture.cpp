// picture.cpp -- kerv16-render --picture: one 240 x 150 picture through the show's cell conversion
#include "render.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "console/console.h"
#include "gfx2d/gfx2d.h"

#include "stb_image.h"

// ---- internal functions ----

static int has_suffix(const char* name, const char* suffix)
{
    size_t n = strlen(name), m = strlen(suffix);
    return n >= m && strcasecmp(name + n - m, suffix) == 0;
}

// Puts the picture's red, green and blue bytes into the Screen unchanged. Returns 1, or says why not.
static int read_picture(const char* path)
{
    if (has_suffix(path, ".png")) {
        int w, h, n;
        uint8_t* rgb = stbi_load(path, &w, &h, &n, 3);
        if (!rgb) {
            fprintf(stderr, "kerv16-render: %s: %s\n", path, stbi_failure_reason());
            return 0;
        }
        if (w != SCREEN_W || h != SCREEN_H) {
            fprintf(stderr, "kerv16-render: %s is %d x %d pixels, expected %d x %d\n", path, w, h, SCREEN_W, SCREEN_H);
            stbi_image_free(rgb);
            return 0;
        }
        for (int i = 0; i < SCREEN_PIXELS; i++)
            screen[i] = rgb[3 * i] | (uint32_t)rgb[3 * i + 1] << 8 | (uint32_t)rgb[3 * i + 2] << 16;
        stbi_image_free(rgb);
        return 1;
    }
    // Anything else goes through the show's own picture loader (TGA, raw pixel files).
    Image image = {};
    image_load(path, &image);
    int ok = image.pixels && image.width == SCREEN_W && image.height == SCREEN_H;
    if (!image.pixels)
        fprintf(stderr, "kerv16-render: %s could not be read as a picture\n", path);
    else if (!ok)
        fprintf(stderr, "kerv16-render: %s is %d x %d pixels, expected %d x %d\n", path, image.width, image.height,
                SCREEN_W, SCREEN_H);
    else
        for (int i = 0; i < SCREEN_PIXELS; i++)
            screen[i] = image.pixels[i] & 0x00FFFFFF;
    image_free(&image);
    return ok;
}

// ---- public functions ----

int render_picture(int argc, char** argv)
{
    const char *picture = nullptr, *cells_out = nullptr, *png_out = nullptr, *screen_out = nullptr;
    for (int i = 1; i < argc; i++) {
        const char** slot = !strcmp(argv[i], "--picture") ? &picture
                            : !strcmp(argv[i], "--cells") ? &cells_out
                            : !strcmp(argv[i], "--png")   ? &png_out
                            : !strcmp(argv[i], "--screen") ? &screen_out
                                                          : nullptr;
        if (!slot || i + 1 >= argc) {
            fprintf(stderr, "kerv16-render: --picture FILE [--cells OUT.bin] [--png OUT.png] [--screen OUT.png]; "
                    "unexpected %s\n", argv[i]);
            return 2;
        }
        *slot = argv[++i];
    }
    if (!picture || (!cells_out && !png_out && !screen_out)) {
        fprintf(stderr, "kerv16-render: --picture FILE needs --cells OUT.bin or --png OUT.png\n");
        return 2;
    }
    if (!load_cell_tables())
        return 1;
    screen_create();
    if (!read_picture(picture))
        return 1;
    static DisplayCell cells[DISPLAY_CELLS];
    convert_screen(screen, cells);
    int ok = 1;
    if (cells_out)
        ok &= render_write_cells_bin(cells_out, cells);
    if (png_out)
        ok &= render_write_cells_png(png_out, cells);
    if (screen_out)
        ok &= render_write_screen_png(screen_out, screen);  // the Screen as converted
    return ok ? 0 : 1;
}
