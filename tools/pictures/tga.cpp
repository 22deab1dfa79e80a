// tga.cpp -- the TGA writer: uncompressed true-colour, bottom row first
#include "pictures.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

// ---- internal functions ----

static uint8_t to_byte(float v)
{
    v = v < 0 ? 0 : v > 1 ? 1 : v;
    return (uint8_t)std::lround(v * 255.0f);
}

// ---- public functions ----

int tga_write(const char* path, const Canvas* c, int with_alpha)
{
    if (c->width <= 0 || c->height <= 0 || c->width > 65535 || c->height > 65535) {
        fprintf(stderr, "kerv16-pictures: %s: a TGA cannot hold %d x %d pixels\n", path, c->width, c->height);
        return 0;
    }
    uint8_t header[18] = {0};
    header[2] = 2;  // uncompressed true-colour
    header[12] = (uint8_t)(c->width & 255), header[13] = (uint8_t)(c->width >> 8);
    header[14] = (uint8_t)(c->height & 255), header[15] = (uint8_t)(c->height >> 8);
    header[16] = with_alpha ? 32 : 24;
    header[17] = with_alpha ? 8 : 0;  // attribute bits; bit 5 clear: bottom row first
    int bytes = with_alpha ? 4 : 3;
    std::vector<uint8_t> data((size_t)c->width * c->height * bytes);
    size_t o = 0;
    for (int y = c->height - 1; y >= 0; y--)
        for (int x = 0; x < c->width; x++) {
            const Rgba& p = c->pixels[(size_t)y * c->width + x];
            uint8_t r = to_byte(p.r), g = to_byte(p.g), b = to_byte(p.b), a = with_alpha ? to_byte(p.a) : 255;
            // Opaque magenta is the rasterizer's transparent texel; no picture means it.
            if (r == 255 && g == 0 && b == 255 && a == 255)
                b = 254;
            data[o++] = b, data[o++] = g, data[o++] = r;
            if (with_alpha)
                data[o++] = a;
        }
    FILE* f = fopen(path, "wb");
    if (!f) {
        fprintf(stderr, "kerv16-pictures: cannot write %s: %s\n", path, strerror(errno));
        return 0;
    }
    int ok = fwrite(header, 1, sizeof header, f) == sizeof header && fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok)
        fprintf(stderr, "kerv16-pictures: cannot write %s: %s\n", path, strerror(errno));
    return ok;
}
