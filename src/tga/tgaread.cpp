// tgaread.cpp -- the TGA reader's reading: header, identification field, colour map, rows raw or run-length
#include "tga/tga_local.h"

#include <cstdlib>
#include <cstring>

// ---- internal functions ----

// Every file access goes through these two; both refresh `offset` from the stream.
static void seek_to(TgaReader* reader, long position)
{
    fseek(reader->file, position, SEEK_SET);
    reader->offset = (int32_t)ftell(reader->file);
}

static size_t read_items(TgaReader* reader, void* buffer, size_t size, size_t count)
{
    size_t got = fread(buffer, size, count, reader->file);
    reader->offset = (int32_t)ftell(reader->file);
    return got;
}

static uint16_t le16(const uint8_t* p) { return (uint16_t)(p[0] + p[1] * 256); }

// Colour-map bytes in the file; entries of 15 and 16 bits take 2 bytes each.
static long map_bytes(const TgaHeader* h) { return (long)h->map_len * tga_pixel_bytes(h->map_entry); }

static int is_run_length(int image_type) { return image_type >= 9 && image_type <= 11; }

// ---- public functions ----

int tga_read_header(TgaReader* reader)
{
    if (!reader)
        return TGA_SUCCESS;
    seek_to(reader, 0);
    if (reader->offset != 0) {
        TGA_REPORT(reader, TGA_SEEK_FAILED);
        return TGA_SEEK_FAILED;
    }
    uint8_t* bytes = (uint8_t*)calloc(1, TGA_HEADER_BYTES);
    if (!bytes) {
        TGA_REPORT(reader, TGA_OUT_OF_MEMORY);
        return TGA_OUT_OF_MEMORY;
    }
    if (read_items(reader, bytes, TGA_HEADER_BYTES, 1) != 1) {
        free(bytes);
        TGA_REPORT(reader, TGA_READ_FAILED);
        return TGA_READ_FAILED;
    }
    TgaHeader* h = &reader->header;
    h->id_len = bytes[0];
    h->map_type = bytes[1];
    h->image_type = bytes[2];
    h->map_first = le16(bytes + 3);
    h->map_len = le16(bytes + 5);
    h->map_entry = bytes[7];
    h->x_origin = le16(bytes + 8);
    h->y_origin = le16(bytes + 10);
    h->width = le16(bytes + 12);
    h->height = le16(bytes + 14);
    h->depth = bytes[16];
    h->alpha_bits = bytes[17] & 0x0F;
    h->right_to_left = (bytes[17] >> 4) & 1;
    h->top_to_bottom = (bytes[17] >> 5) & 1;
    free(bytes);

    int depth_known = h->depth == 8 || h->depth == 15 || h->depth == 16 || h->depth == 24 || h->depth == 32;
    if (!depth_known || (h->map_type != 0 && h->depth != 8)) {
        TGA_REPORT(reader, TGA_UNKNOWN_SUB_FORMAT);
        return TGA_UNKNOWN_SUB_FORMAT;
    }
    reader->last = TGA_SUCCESS;
    return TGA_SUCCESS;
}

int tga_read_id(TgaReader* reader, TgaData* data)
{
    if (!reader || reader->header.id_len == 0)
        return TGA_SUCCESS;
    seek_to(reader, TGA_HEADER_BYTES);
    if (reader->offset != TGA_HEADER_BYTES) {
        TGA_REPORT(reader, TGA_SEEK_FAILED);
        return TGA_SEEK_FAILED;
    }
    data->id_field = (uint8_t*)malloc(reader->header.id_len);
    if (!data->id_field) {
        TGA_REPORT(reader, TGA_OUT_OF_MEMORY);
        return TGA_OUT_OF_MEMORY;
    }
    if (read_items(reader, data->id_field, reader->header.id_len, 1) != 1) {
        free(data->id_field);
        data->id_field = nullptr;
        TGA_REPORT(reader, TGA_READ_FAILED);
        return TGA_READ_FAILED;
    }
    reader->last = TGA_SUCCESS;
    return TGA_SUCCESS;
}

int tga_read_colour_map(TgaReader* reader, uint8_t** map, uint32_t flags)
{
    if (!reader || !map)
        return 0;
    const TgaHeader* h = &reader->header;
    long size = map_bytes(h);
    if (size == 0)
        return 0;  // no report of its own: the image read reports it
    long start = TGA_HEADER_BYTES + h->id_len;
    if (reader->offset != start)
        seek_to(reader, start);
    if (reader->offset != start) {
        TGA_REPORT(reader, TGA_SEEK_FAILED);
        return 0;
    }
    uint8_t* bytes = (uint8_t*)malloc(size);
    if (!bytes) {
        TGA_REPORT(reader, TGA_OUT_OF_MEMORY);
        return 0;
    }
    *map = bytes;
    if (read_items(reader, bytes, size, 1) != 1) {
        TGA_REPORT(reader, TGA_READ_FAILED);
        return 0;
    }
    if ((h->map_entry == 24 || h->map_entry == 32) && (flags & TGA_SWAP_RB))
        tga_swap_rb(bytes, (int)size, h->map_entry / 8);
    reader->last = TGA_SUCCESS;
    return 1;
}

int tga_read_scanlines(TgaReader* reader, uint8_t* buffer, int first, int count, uint32_t flags)
{
    if (!reader || !buffer)
        return 0;
    TgaHeader* h = &reader->header;
    // The buffer holds `height` rows from row 0; run-length data cannot be entered in the middle,
    // so only whole reads from the first row are served.
    if (first != 0 || count < 0 || count > h->height) {
        TGA_REPORT(reader, TGA_ERROR);
        return 0;
    }
    int pixel = tga_pixel_bytes(h->depth);
    if (pixel < 1 || pixel > 4) {
        TGA_REPORT(reader, TGA_UNKNOWN_SUB_FORMAT);
        return 0;
    }
    long row = tga_row_bytes(h);
    long start = TGA_HEADER_BYTES + h->id_len + map_bytes(h) + first * row;
    if (reader->offset != start)
        seek_to(reader, start);
    if (reader->offset != start) {
        TGA_REPORT(reader, TGA_SEEK_FAILED);
        return 0;
    }

    int rows = 0;
    if (is_run_length(h->image_type)) {
        uint8_t* out = buffer + first * row;
        while (rows < count && tga_decode_rle_row(reader, out) == 0) {
            rows++;
            out += row;
        }
        // What comes back is plain rows, so the header now tells the uncompressed type.
        h->image_type -= 8;
    } else if (row == 0) {
        rows = count;  // rows of no pixels hold no bytes
    } else {
        rows = (int)read_items(reader, buffer, row, count);
    }
    if (rows != count) {
        TGA_REPORT(reader, TGA_READ_FAILED);
        return rows;
    }
    if ((h->depth == 24 || h->depth == 32) && (flags & TGA_SWAP_RB))
        tga_swap_rb(buffer + first * row, (int)(count * row), h->depth / 8);
    reader->last = TGA_SUCCESS;
    return rows;
}

int tga_decode_rle_row(TgaReader* reader, uint8_t* out)
{
    if (!reader || !out)
        return 1;
    const TgaHeader* h = &reader->header;
    int pixel = tga_pixel_bytes(h->depth);
    if (pixel < 1 || pixel > 4)
        return 1;
    FILE* file = reader->file;
    uint8_t value[4] = {0, 0, 0, 0};  // the run's pixel
    // Both counters start at 0 for every row: a packet never continues into the next row.
    int run = 0, raw = 0, failed = 0;
    for (int i = 0; i < h->width; i++) {
        if (run == 0 && raw == 0) {
            int b = fgetc(file);
            if (b == EOF) {
                failed = 1;
                break;
            }
            if (b >= 128) {
                run = b - 127;
                if (fread(value, pixel, 1, file) != 1) {
                    failed = 1;
                    break;
                }
            } else {
                raw = b + 1;
            }
        }
        if (run > 0) {
            memcpy(out, value, pixel);
            run--;
        } else {
            if (fread(out, pixel, 1, file) != 1) {
                failed = 1;
                break;
            }
            raw--;
        }
        out += pixel;
    }
    reader->offset = (int32_t)ftell(file);
    if (failed)
        return 1;
    reader->last = TGA_SUCCESS;
    return 0;
}

void tga_read_image(TgaReader* reader, TgaData* data)
{
    if (!reader || !data)
        return;
    if (tga_read_header(reader) != TGA_SUCCESS) {
        TGA_REPORT(reader, reader->last);
        return;
    }
    const TgaHeader* h = &reader->header;
    if ((data->flags & TGA_WANT_ID) && h->id_len != 0) {
        if (tga_read_id(reader, data) != TGA_SUCCESS) {
            data->flags &= ~TGA_WANT_ID;
            TGA_REPORT(reader, reader->last);
        }
    } else {
        data->flags &= ~TGA_WANT_ID;
    }

    if (data->flags & TGA_WANT_PIXELS) {
        if (h->map_type == 1) {
            if (!tga_read_colour_map(reader, &data->colour_map, data->flags)) {
                // Without its map the pixel data is not read either. A map of no entries fails
                // without a code of its own; it is named as the sub-format it is, not as "Success".
                data->flags &= ~TGA_GOT_COLOURMAP;
                TGA_REPORT(reader, reader->last != TGA_SUCCESS ? reader->last : TGA_UNKNOWN_SUB_FORMAT);
                return;
            }
            data->flags |= TGA_GOT_COLOURMAP;
        }
        // Refuse absurd sizes before allocating; width and height are 16-bit, so this cannot overflow.
        long pixels = (long)h->width * h->height;
        size_t size = (size_t)pixels * tga_pixel_bytes(h->depth);
        data->pixels = pixels > TGA_MAX_PIXELS ? nullptr : (uint8_t*)malloc(size ? size : 1);
        if (!data->pixels) {
            data->flags &= ~TGA_WANT_PIXELS;
            TGA_REPORT(reader, TGA_OUT_OF_MEMORY);
            return;
        }
        if (tga_read_scanlines(reader, data->pixels, 0, h->height, data->flags) < h->height) {
            data->flags &= ~TGA_WANT_PIXELS;
            TGA_REPORT(reader, reader->last);
        }
    }
    reader->last = TGA_SUCCESS;
}

void tga_swap_rb(uint8_t* buffer, int length, int step)
{
    if (!buffer || step <= 0)
        return;
    // A trailing partial pixel is left alone rather than read past the end.
    for (int i = 0; i + 2 < length; i += step) {
        uint8_t t = buffer[i];
        buffer[i] = buffer[i + 2];
        buffer[i + 2] = t;
    }
}
