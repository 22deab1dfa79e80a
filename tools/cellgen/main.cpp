// main.cpp -- kerv16-cellgen: the 8 x 8 font source and the cell conversion tables, from the console fonts
#include "cellgen.h"
#include "console/cell_format.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stb_image_write.h"

// ---- internal functions ----

static int usage(void)
{
    fprintf(stderr,
            "usage: kerv16-cellgen [--fonts DIR] font OUT.cpp    the 8 x 8 glyphs as C++ source\n"
            "       kerv16-cellgen [--fonts DIR] tables DATA_DIR [NAME=VALUE...]   charmap.lut and colmap.lut\n"
            "       kerv16-cellgen [--fonts DIR] sheet OUT.png   every glyph, 8 x 8 beside 8 x 16, to look at\n"
            "DIR defaults to /usr/share/consolefonts.\n");
    return 2;
}

static int write_file(const std::string& path, const uint8_t* data, size_t n)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(data, 1, n, f) != n || fclose(f) != 0) {
        fprintf(stderr, "kerv16-cellgen: cannot write %s\n", path.c_str());
        return 0;
    }
    return 1;
}

// 16 x 16 glyphs, each as its 8 x 8 form (drawn twice as high) beside its 8 x 16 form; derived ones in red.
static int write_sheet(const GlyphSet* set, const char* path)
{
    const int zoom = 3, cw = 20 * zoom, chh = 20 * zoom, w = 16 * cw, h = 16 * chh;
    std::vector<uint8_t> rgb((size_t)w * h * 3, 40);
    for (int c = 0; c < 256; c++) {
        int x0 = (c % 16) * cw + zoom, y0 = (c / 16) * chh + 2 * zoom;
        for (int y = 0; y < 16 * zoom; y++)
            for (int x = 0; x < 8 * zoom; x++) {
                int gx = x / zoom, gy = y / zoom;
                int ink8 = set->rows8[c][gy / 2] >> (7 - gx) & 1, ink16 = set->rows16[c][gy] >> (7 - gx) & 1;
                uint8_t* p = &rgb[((size_t)(y0 + y) * w + x0 + x) * 3];
                p[0] = ink8 ? 255 : 0, p[1] = ink8 && !set->derived[c] ? 255 : 0, p[2] = ink8 && !set->derived[c] ? 255 : 0;
                p = &rgb[((size_t)(y0 + y) * w + x0 + 9 * zoom + x) * 3];
                p[0] = p[1] = p[2] = ink16 ? 200 : 0;
            }
    }
    return stbi_write_png(path, w, h, 3, rgb.data(), w * 3) != 0;
}

// ---- public functions ----

int main(int argc, char** argv)
{
    std::string fonts = "/usr/share/consolefonts";
    int i = 1;
    if (i + 1 < argc && !strcmp(argv[i], "--fonts"))
        fonts = argv[i + 1], i += 2;
    // Tuning: kerv16-cellgen tables DIR NAME=VALUE... overrides the error weights.
    int extra = argc - i - 2;
    if (extra < 0 || (extra > 0 && strcmp(argv[i], "tables")))
        return usage();
    for (int e = 0; e < extra; e++)
        if (!tables_set_weight(argv[i + 2 + e])) {
            fprintf(stderr, "kerv16-cellgen: no weight %s\n", argv[i + 2 + e]);
            return 2;
        }
    const char* what = argv[i];
    const char* out = argv[i + 1];
    static GlyphSet set;
    if (strcmp(what, "font") && strcmp(what, "tables") && strcmp(what, "sheet"))
        return usage();
    if (!glyphs_load(fonts, &set))
        return 1;
    if (!strcmp(what, "font"))
        return glyphs_write_source(&set, out) ? 0 : 1;
    if (!strcmp(what, "sheet"))
        return write_sheet(&set, out) ? 0 : 1;
    static uint8_t charmap[CHAR_TABLE_BYTES], colmap[COLMAP_BYTES];
    tables_build(&set, charmap, colmap);
    std::string dir = out;
    return write_file(dir + "/charmap.lut", charmap, sizeof charmap) &&
                   write_file(dir + "/colmap.lut", colmap, sizeof colmap)
               ? 0
               : 1;
}
