// terminal_kitty.cpp -- the pixel path's kitty encoder: console cells to a 4-bit PNG of the console colours, sent as one image replaced in place
#include "platform/terminal_pixels.h"

#include <cstdio>
#include <cstring>
#include <zlib.h>

// ---- types ----

enum {
    KITTY_MAX_SCALE = 4,
    KITTY_ROW_BYTES = 1 + VGA_PIXELS_W * KITTY_MAX_SCALE / 2,  // filter byte, then two pixels a byte
    KITTY_CHUNK = 4096,                                         // base64 bytes per escape sequence
};

// ---- state ----

static z_stream deflater;
static int deflater_ready;
static uint8_t row_bytes[KITTY_ROW_BYTES];   // one row, filter byte first
static uint8_t repeat_row[KITTY_ROW_BYTES];  // a row equal to the one above: filter "up", all zeros

static const char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// ---- internal functions ----

static uint8_t* put32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 24);
    p[1] = (uint8_t)(v >> 16);
    p[2] = (uint8_t)(v >> 8);
    p[3] = (uint8_t)v;
    return p + 4;
}

// A PNG chunk around data already at p + 8 (length and type first, CRC after).
static uint8_t* close_chunk(uint8_t* p, const char* type, uint32_t len)
{
    put32(p, len);
    memcpy(p + 4, type, 4);
    uint32_t crc = (uint32_t)crc32(0, p + 4, len + 4);
    return put32(p + 8 + len, crc);
}

// One PNG row of picture pixel row y: two pixels a byte, the first in the high nibble.
static void pack_row(const DisplayCell* cells, int scale, int y, uint8_t* out)
{
    int row = y / (VGA_GLYPH * scale), gy = (y / scale) % VGA_GLYPH;
    const DisplayCell* c = cells + row * DISPLAY_COLS;
    int x = 0;
    uint8_t acc = 0;
    for (int col = 0; col < DISPLAY_COLS; col++) {
        uint8_t bits = vga_font8x8[c[col].ch][gy];
        uint8_t fg = c[col].attr & 15, bg = c[col].attr >> 4;
        for (int g = 0; g < VGA_GLYPH; g++) {
            uint8_t v = bits & (0x80 >> g) ? fg : bg;
            for (int k = 0; k < scale; k++, x++) {
                if (x & 1)
                    *out++ = (uint8_t)(acc | v);
                else
                    acc = (uint8_t)(v << 4);
            }
        }
    }
}

static char* put_base64(char* p, const uint8_t* in, size_t n)
{
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t v = (uint32_t)in[i] << 16 | (uint32_t)in[i + 1] << 8 | in[i + 2];
        *p++ = BASE64[v >> 18];
        *p++ = BASE64[(v >> 12) & 63];
        *p++ = BASE64[(v >> 6) & 63];
        *p++ = BASE64[v & 63];
    }
    if (i < n) {
        uint32_t v = (uint32_t)in[i] << 16 | (i + 1 < n ? (uint32_t)in[i + 1] << 8 : 0);
        *p++ = BASE64[v >> 18];
        *p++ = BASE64[(v >> 12) & 63];
        *p++ = i + 1 < n ? BASE64[(v >> 6) & 63] : '=';
        *p++ = '=';
    }
    return p;
}

// The control keys of the first escape sequence of an image or an edit.
static int put_keys(char* p, int full, int y, const char* medium)
{
    if (full)
        return snprintf(p, 128, "\x1b_Ga=T,f=100,%si=%d,p=1,q=2,C=1", medium, TERMINAL_KITTY_IMAGE_ID);
    return snprintf(p, 128, "\x1b_Ga=f,r=1,x=0,y=%d,f=100,%si=%d,q=2", y, medium, TERMINAL_KITTY_IMAGE_ID);
}

// ---- public functions ----

size_t terminal_kitty_png(const DisplayCell* cells, int scale, int y0, int y1, uint8_t* out, size_t capacity)
{
    int w = VGA_PIXELS_W * scale;
    if (scale < 1 || scale > KITTY_MAX_SCALE || y0 < 0 || y1 > VGA_PIXELS_H * scale || y0 >= y1 || capacity < 256)
        return 0;
    if (!deflater_ready) {
        // Level 1: the rows repeat glyph patterns that the fastest level finds as well as any.
        if (deflateInit(&deflater, 1) != Z_OK)
            return 0;
        deflater_ready = 1;
    }
    uint8_t* p = out;
    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    memcpy(p, SIGNATURE, 8);
    p += 8;
    // Header: width, height, 4 bits, palette colour, deflate, no filter method beyond the standard, no interlace.
    uint8_t* d = p + 8;
    d = put32(d, (uint32_t)w);
    d = put32(d, (uint32_t)(y1 - y0));
    d[0] = 4, d[1] = 3, d[2] = 0, d[3] = 0, d[4] = 0;
    p = close_chunk(p, "IHDR", 13);
    d = p + 8;
    for (int c = 0; c < 16; c++)
        for (int k = 0; k < 3; k++)
            *d++ = vga_palette[c][k];
    p = close_chunk(p, "PLTE", 48);
    // The pixels: a row repeated by the scale is filtered "up" into zeros.
    uint8_t* data = p + 8;
    deflateReset(&deflater);
    deflater.next_out = data;
    size_t room = (size_t)(out + capacity - data) - 16;
    deflater.avail_out = (uInt)room;
    int row_len = 1 + w / 2;
    memset(repeat_row, 0, sizeof repeat_row);
    repeat_row[0] = 2;
    for (int y = y0; y < y1; y++) {
        const uint8_t* send = repeat_row;
        if (y == y0 || y / scale != (y - 1) / scale) {
            pack_row(cells, scale, y, row_bytes + 1);
            row_bytes[0] = 0;
            send = row_bytes;
        }
        deflater.next_in = (Bytef*)send;
        deflater.avail_in = (uInt)row_len;
        int last = y + 1 == y1;
        int status = deflate(&deflater, last ? Z_FINISH : Z_NO_FLUSH);
        if (last ? status != Z_STREAM_END : (status != Z_OK || deflater.avail_in != 0))
            return 0;   // out of room
    }
    uint32_t len = (uint32_t)(room - deflater.avail_out);
    p = close_chunk(p, "IDAT", len);
    p = close_chunk(p, "IEND", 0);
    return (size_t)(p - out);
}

size_t terminal_kitty_wrap(const uint8_t* png, size_t png_len, int full, int y, char* out, size_t capacity)
{
    // Base64 grows 3 bytes to 4; each chunk of 4096 adds at most 32 bytes of framing.
    size_t b64 = (png_len + 2) / 3 * 4;
    if (capacity < b64 + (b64 / KITTY_CHUNK + 1) * 32 + 160)
        return 0;
    char* p = out;
    p += put_keys(p, full, y, "");
    // Chunks of 3072 bytes of PNG are 4096 of base64; every chunk but the last says more follows.
    size_t at = 0;
    int first = 1;
    do {
        size_t n = png_len - at < 3072 ? png_len - at : 3072;
        int more = at + n < png_len;
        if (!first)
            p += snprintf(p, 16, "\x1b_G");
        p += snprintf(p, 16, "%sm=%d;", first ? "," : "", more);
        p = put_base64(p, png + at, n);
        *p++ = 0x1b;
        *p++ = '\\';
        at += n;
        first = 0;
    } while (at < png_len);
    return (size_t)(p - out);
}

size_t terminal_kitty_wrap_shm(const char* shm_name, size_t png_len, int full, int y, char* out, size_t capacity)
{
    size_t name_len = strlen(shm_name);
    if (capacity < name_len * 2 + 200)
        return 0;
    char* p = out;
    p += put_keys(p, full, y, "t=s,");
    p += snprintf(p, 32, ",S=%zu;", png_len);
    p = put_base64(p, (const uint8_t*)shm_name, name_len);
    *p++ = 0x1b;
    *p++ = '\\';
    return (size_t)(p - out);
}
