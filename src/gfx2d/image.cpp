// image.cpp -- Images: loading from TGA and raw pixel files, freeing, and the alpha and additive blits
#include "gfx2d/gfx2d.h"
#include "platform/msg.h"
#include "platform/file.h"
#include "tga/tga.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

// ---- types ----

// How the reader's pixel values become red, green, blue, alpha.
enum PixelKind {
    PIXEL_MAPPED,   // 8-bit index into the colour map
    PIXEL_GREY,     // 8-bit grey
    PIXEL_GREY_A,   // 8-bit grey then 8-bit alpha
    PIXEL_555,      // 16-bit little-endian x-5-5-5, blue in the low bits
    PIXEL_RGB,      // red, green, blue (swapped by the reader)
    PIXEL_RGBA,     // red, green, blue, alpha
    PIXEL_RGBX,     // red, green, blue and a byte that is not alpha
};

// Four pixels in one vector register (GCC and Clang vector extensions; plain code where there is none).
typedef uint32_t Pixels4 __attribute__((vector_size(16)));

// ---- internal functions ----

static uint32_t rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) { return r | g << 8 | b << 16 | a << 24; }

// 5-bit components scaled to 0-255, rounding down, as common decoders do; the top bit is not alpha.
static uint32_t from_555(const uint8_t* p)
{
    uint32_t v = p[0] | p[1] << 8;
    uint32_t b = v & 31, g = (v >> 5) & 31, r = (v >> 10) & 31;
    return rgba(r * 255 / 31, g * 255 / 31, b * 255 / 31, 255);
}

static uint8_t shift_of(int width)
{
    uint8_t s = 0;
    while (width >> (s + 1))
        s++;
    return s;
}

// The value of a text of decimal digits after optional leading spaces; -1 for anything else
// ("240x", "+5", "", " ").
static int digits_value(const char* text, long length)
{
    int value = 0;
    long i = 0;
    while (i < length && text[i] == ' ')
        i++;
    if (i == length)
        return -1;
    for (; i < length; i++) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

static void not_loaded(const char* name, const char* why)
{
    if (!name)
        name = "(no name)";
    if (why)
        msg_print(stderr, "%s: picture not loaded: %s\n", name, why);
    else
        msg_print(stderr, "%s: picture not loaded\n", name);
}

// Turns the colour map into one Image pixel per possible index; indices outside the map give opaque black.
static int build_palette(const TgaHeader* h, const uint8_t* map, uint32_t* palette)
{
    int entry_bytes = (h->map_entry + 7) / 8;
    if (h->map_entry != 15 && h->map_entry != 16 && h->map_entry != 24 && h->map_entry != 32)
        return 0;
    for (int index = 0; index < 256; index++) {
        int entry = index - h->map_first;
        const uint8_t* p = map + (long)entry * entry_bytes;
        if (entry < 0 || entry >= h->map_len)
            palette[index] = rgba(0, 0, 0, 255);
        else if (entry_bytes == 2)
            palette[index] = from_555(p);
        else
            palette[index] = rgba(p[0], p[1], p[2], entry_bytes == 4 && h->alpha_bits ? p[3] : 255);
    }
    return 1;
}

// The show's files are 24-bit without and 32-bit with attribute bits; the rest is decoded as well as
// the header allows. Returns the kind, or -1 with `why` set.
static int pixel_kind(const TgaHeader* h, uint32_t flags, const char** why)
{
    if (flags & TGA_GOT_COLOURMAP)
        return PIXEL_MAPPED;
    switch (h->depth) {
    case 8:
        if (h->image_type == 1) {
            *why = "colour-mapped picture without a colour map";
            return -1;
        }
        return PIXEL_GREY;
    case 15:
    case 16:
        return h->image_type == 3 && h->depth == 16 ? PIXEL_GREY_A : PIXEL_555;
    case 24:
        return PIXEL_RGB;
    default:
        // A 32-bit file without attribute bits has no alpha: it shows opaque.
        return h->alpha_bits ? PIXEL_RGBA : PIXEL_RGBX;
    }
}

// Clips an image at (x, y) to the Screen: rows r0..r1-1 and columns k0..k1-1 of the image are drawn.
// The same as visiting every source pixel and skipping those off the Screen.
static int clip(const Image* image, int x, int y, int* r0, int* r1, int* k0, int* k1)
{
    if (!image || !image->pixels || !screen)
        return 0;
    long w = image->width, h = image->height;
    if (x + w <= 0 || y + h <= 0 || x >= SCREEN_W || y >= SCREEN_H)
        return 0;
    *r0 = y < 0 ? -y : 0;
    *r1 = h < SCREEN_H - y ? (int)h : SCREEN_H - y;
    *k0 = x < 0 ? -x : 0;
    *k1 = w < SCREEN_W - x ? (int)w : SCREEN_W - x;
    return *r0 < *r1 && *k0 < *k1;
}

// Pixel s over d by its alpha; a fully transparent s leaves d as it is.
static inline uint32_t blend_alpha(uint32_t d, uint32_t s)
{
    uint32_t a = s >> 24, na = 255 - a;
    uint32_t red = ((s & 255) * a + (d & 255) * na) >> 8;
    uint32_t green = ((s >> 8 & 255) * a + (d >> 8 & 255) * na) >> 8;
    uint32_t blue = ((s >> 16 & 255) * a + (d >> 16 & 255) * na) >> 8;
    uint32_t out = (d & 0xFF000000u) | blue << 16 | green << 8 | red;
    return a ? out : d;
}

// ---- public functions ----

void image_load(const char* name, Image* image)
{
    if (name && (strstr(name, ".tga") || strstr(name, ".TGA")))
        image_load_tga(name, image);
    else
        image_load_raw(name, image);
}

void image_load_tga(const char* name, Image* image)
{
    *image = Image{};
    TgaReader* reader = tga_open(name, "rb");
    if (!reader) {
        not_loaded(name, file_problem());
        return;
    }
    TgaData data = {nullptr, nullptr, nullptr, TGA_WANT_PIXELS | TGA_SWAP_RB};
    tga_read_image(reader, &data);
    TgaHeader h = reader->header;
    tga_close(reader);

    const char* why = nullptr;
    int kind = -1;
    uint32_t palette[256];
    if (!(data.flags & TGA_WANT_PIXELS) || !data.pixels)
        kind = -1;  // the reader has said why
    else if ((kind = pixel_kind(&h, data.flags, &why)) == PIXEL_MAPPED && !build_palette(&h, data.colour_map, palette)) {
        why = "colour-map entries of this size are not supported";
        kind = -1;
    }
    long count = (long)h.width * h.height;
    if (kind >= 0 && count == 0)
        why = h.width == 0 ? "width of 0 pixels" : "height of 0 pixels", kind = -1;
    uint32_t* out = kind < 0 ? nullptr : (uint32_t*)malloc(count * sizeof(uint32_t));
    if (kind >= 0 && !out)
        why = "out of memory", kind = -1;
    if (kind < 0) {
        not_loaded(name, why);
        tga_free_data(&data);
        return;
    }

    int pixel = tga_pixel_bytes(h.depth);  // bytes per source pixel, from the depth alone
    long row_bytes = (long)h.width * pixel;
    for (int r = 0; r < h.height; r++) {
        int src_row = h.top_to_bottom ? r : h.height - 1 - r;
        const uint8_t* src = data.pixels + src_row * row_bytes;
        uint32_t* dst = out + (long)r * h.width;
        for (int k = 0; k < h.width; k++) {
            const uint8_t* p = src + (long)(h.right_to_left ? h.width - 1 - k : k) * pixel;
            switch (kind) {
            case PIXEL_MAPPED: dst[k] = palette[p[0]]; break;
            case PIXEL_GREY: dst[k] = rgba(p[0], p[0], p[0], 255); break;
            case PIXEL_GREY_A: dst[k] = rgba(p[0], p[0], p[0], h.alpha_bits ? p[1] : 255); break;
            case PIXEL_555: dst[k] = from_555(p); break;
            case PIXEL_RGB:
            case PIXEL_RGBX: dst[k] = rgba(p[0], p[1], p[2], 255); break;
            default: dst[k] = rgba(p[0], p[1], p[2], p[3]); break;
            }
        }
    }
    tga_free_data(&data);
    image->pixels = out;
    image->width = h.width;
    image->height = h.height;
    image->width_shift = shift_of(h.width);
}

void image_size_from_name(const char* name, int* width, int* height)
{
    *width = *height = 0;
    if (!name)
        return;
    const char* dot = strrchr(name, '.');
    if (!dot)
        return;
    const char* x = dot;
    while (x > name && x[-1] != 'x')
        x--;
    if (x == name)
        return;
    x--;  // at the letter x
    const char* bar = x;
    while (bar > name && bar[-1] != '_')
        bar--;
    if (bar == name)
        return;
    bar--;  // at the underscore
    long height_len = dot - (x + 1), width_len = x - (bar + 1);
    if (height_len < 1 || height_len > 4 || width_len < 1 || width_len > 4)
        return;
    int w = digits_value(bar + 1, width_len), h = digits_value(x + 1, height_len);
    if (w > 0 && h > 0)
        *width = w, *height = h;
}

void image_load_raw(const char* name, Image* image)
{
    *image = Image{};
    int width, height;
    image_size_from_name(name, &width, &height);
    FILE* file = file_open_data(name);
    if (!file) {
        if (errno == ENOENT)
            msg_print(stdout, "EEEEEEEEEEEK!!!     file not found!! (%s)\n", name);
        else
            not_loaded(name, file_problem());  // there, but not a file that can be read
        return;
    }
    if (width == 0 || height == 0) {
        fclose(file);
        not_loaded(name, "no size in the name (expected name_WxH.ext)");
        return;
    }
    long count = (long)width * height;
    uint32_t* pixels = count > TGA_MAX_PIXELS ? nullptr : (uint32_t*)malloc(count * sizeof(uint32_t));
    if (!pixels) {
        fclose(file);
        msg_print(stdout, "EEEEEEEEEEEK!!!     not nuff mem!! (%s: %d x %d pixels)\n", name, width, height);
        return;
    }
    size_t got = fread(pixels, count * sizeof(uint32_t), 1, file);
    fclose(file);
    if (got != 1) {
        free(pixels);
        char why[64];
        snprintf(why, sizeof why, "file shorter than %d x %d pixels", width, height);
        not_loaded(name, why);
        return;
    }
    image->pixels = pixels;
    image->width = (uint16_t)width;
    image->height = (uint16_t)height;
    image->width_shift = shift_of(width);
}

void image_free(Image* image)
{
    if (!image)
        return;
    free(image->pixels);
    image->pixels = nullptr;
    image->width = image->height = 0;
}

void image_blit_alpha(const Image* image, int x, int y)
{
    int r0, r1, k0, k1;
    if (!clip(image, x, y, &r0, &r1, &k0, &k1))
        return;
    for (int r = r0; r < r1; r++) {
        const uint32_t* src = image->pixels + (long)r * image->width + k0;
        uint32_t* dst = screen + (y + r) * SCREEN_W + x + k0;
        int n = k1 - k0, k = 0;
        // blend_alpha on four pixels at once (written out here: a function taking vectors would
        // change its calling convention on machines without vector registers).
        for (; k + 4 <= n; k += 4) {
            Pixels4 d, sp;
            memcpy(&sp, src + k, sizeof sp);
            if (!((src[k] | src[k + 1] | src[k + 2] | src[k + 3]) >> 24))
                continue;   // four fully transparent pixels: nothing to do, as overlays are mostly
            memcpy(&d, dst + k, sizeof d);
            Pixels4 a = sp >> 24, na = 255 - a;
            Pixels4 red = ((sp & 255) * a + (d & 255) * na) >> 8;
            Pixels4 green = ((sp >> 8 & 255) * a + (d >> 8 & 255) * na) >> 8;
            Pixels4 blue = ((sp >> 16 & 255) * a + (d >> 16 & 255) * na) >> 8;
            Pixels4 out = (d & 0xFF000000u) | blue << 16 | green << 8 | red;
            Pixels4 keep = (Pixels4)(a == 0);  // all ones where the picture is fully transparent
            out = (out & ~keep) | (d & keep);
            memcpy(dst + k, &out, sizeof out);
        }
        for (; k < n; k++)
            dst[k] = blend_alpha(dst[k], src[k]);
    }
}

void image_blit_add(const Image* image, int x, int y)
{
    int r0, r1, k0, k1;
    if (!clip(image, x, y, &r0, &r1, &k0, &k1))
        return;
    for (int r = r0; r < r1; r++) {
        const uint32_t* src = image->pixels + (long)r * image->width + k0;
        uint32_t* dst = screen + (y + r) * SCREEN_W + x + k0;
        for (int k = 0; k < k1 - k0; k++) {
            uint32_t s = src[k], a = s >> 24;
            if (a == 0)
                continue;
            uint32_t d = dst[k];
            uint32_t red = (d & 255) + (s & 255) * a;
            uint32_t green = (d >> 8 & 255) + (s >> 8 & 255) * a;
            uint32_t blue = (d >> 16 & 255) + (s >> 16 & 255) * a;
            red = red > 255 ? 255 : red;
            green = green > 255 ? 255 : green;
            blue = blue > 255 ? 255 : blue;
            dst[k] = (d & 0xFF000000u) | blue << 16 | green << 8 | red;
        }
    }
}
