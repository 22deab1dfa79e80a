// tga.h -- the TGA reader: header, identification field, colour map and pixel rows, raw or run-length encoded
//
// The reader hands back the file's pixel rows in file order (bottom row first unless the header says
// top_to_bottom), optionally with red and blue exchanged; orientation, alpha and colour-map lookup are
// the caller's business (image_load_tga). Failures are reported on standard error as
// "Tga:<source file>:<line>: <status text>" and stored in the reader's `last`.
//
// Pixel sizes: depths 8, 24 and 32 hold 1, 3 and 4 bytes per pixel; depths 15 and 16 hold 2 bytes
// (little-endian 5-5-5 plus one attribute bit), handed back unchanged. Colour-map entries likewise.
#pragma once
#include <cstdint>
#include <cstdio>

// ---- types ----

// Status codes of the reader; tga_status_text gives their texts.
enum TgaStatus {
    TGA_SUCCESS = 0,
    TGA_ERROR = 1,                // a request the reader cannot serve (a first row other than 0)
    TGA_OUT_OF_MEMORY = 2,        // also: a picture larger than TGA_MAX_PIXELS
    TGA_OPEN_FAILED = 3,
    TGA_SEEK_FAILED = 4,
    TGA_READ_FAILED = 5,
    TGA_WRITE_FAILED = 6,         // never raised by the reader
    TGA_UNKNOWN_SUB_FORMAT = 7,
};

// TgaData.flags
enum {
    TGA_WANT_ID = 0x01,        // caller: read the identification field; cleared unless it was read
    TGA_WANT_PIXELS = 0x04,    // caller: read colour map and pixels; cleared unless all rows were read
    TGA_GOT_COLOURMAP = 0x08,  // reader: the colour map was read
    TGA_SWAP_RB = 0x20,        // caller: blue-green-red to red-green-blue in 24/32-bit pixels and map entries
};

enum {
    TGA_HEADER_BYTES = 18,
    TGA_MAX_PIXELS = 1 << 24,  // 4096 x 4096; larger pictures are refused as "Out of memory" before allocating
};

// The 18-byte file header, decoded; 16-bit fields are little-endian in the file.
struct TgaHeader {
    uint8_t id_len;         // bytes of identification field after the header
    uint8_t map_type;       // 1: a colour map follows the identification field
    uint8_t image_type;     // 1/2/3 colour-mapped/true-colour/grey, 9/10/11 the same run-length encoded
    uint16_t map_first;     // first colour-map index (kept; the reader does not use it)
    uint16_t map_len;       // colour-map entries
    uint8_t map_entry;      // bits per colour-map entry
    uint16_t x_origin;      // kept, not used
    uint16_t y_origin;      // kept, not used
    uint16_t width;         // pixels per row
    uint16_t height;        // rows
    uint8_t depth;          // bits per pixel: 8, 15, 16, 24 or 32
    uint8_t alpha_bits;     // descriptor bits 0-3: attribute bits per pixel
    uint8_t right_to_left;  // descriptor bit 4
    uint8_t top_to_bottom;  // descriptor bit 5
};

struct TgaReader;
typedef void (*TgaErrorHook)(TgaReader* reader, int status);

// One open file, owned by the caller between tga_open and tga_close.
struct TgaReader {
    FILE* file;
    int32_t offset;           // file position, refreshed after every seek and read
    int32_t last;             // status of the last operation (TgaStatus)
    TgaHeader header;         // filled by tga_read_header
    TgaErrorHook error_hook;  // called before each report when set; null after tga_open
};

// The caller's request and result. The buffers are allocated by the reader and belong to the caller
// afterwards (tga_free_data releases them); tga_close does not free them.
struct TgaData {
    uint8_t* id_field;    // id_len bytes, when requested and present
    uint8_t* colour_map;  // raw map, map_len entries of tga_pixel_bytes(map_entry) bytes
    uint8_t* pixels;      // rows in file order, height x tga_row_bytes(header) bytes
    uint32_t flags;       // TGA_WANT_ID | TGA_WANT_PIXELS | TGA_GOT_COLOURMAP | TGA_SWAP_RB
};

// ---- public functions ----

// tga.cpp
TgaReader* tga_open(const char* name, const char* mode);  // null (after a report) when it cannot open
void tga_close(TgaReader* reader);                         // null allowed; the TgaData buffers stay
const char* tga_status_text(int status);                   // "Error" for unknown codes
int tga_pixel_bytes(int bits);                             // bytes per stored value: (bits + 7) / 8
int tga_row_bytes(const TgaHeader* header);                // width x tga_pixel_bytes(depth)
void tga_free_data(TgaData* data);                         // frees the three buffers, keeps the flags

// tgaread.cpp, in the order tga_read_image calls them
void tga_read_image(TgaReader* reader, TgaData* data);    // the outcome is in data->flags and the buffers
int tga_read_header(TgaReader* reader);                    // 0 or the status code
int tga_read_id(TgaReader* reader, TgaData* data);         // 0 or the status code
int tga_read_colour_map(TgaReader* reader, uint8_t** map, uint32_t flags);  // 1 on success, 0 on failure
// Reads `count` rows from `first` (only 0 is accepted) into buffer, which holds height rows;
// returns the rows read. Run-length types are lowered by 8 afterwards (10 becomes 2).
int tga_read_scanlines(TgaReader* reader, uint8_t* buffer, int first, int count, uint32_t flags);
int tga_decode_rle_row(TgaReader* reader, uint8_t* out);   // 0 for a whole row, 1 on failure
void tga_swap_rb(uint8_t* buffer, int length, int step);   // swaps bytes i and i + 2 for i = 0, step, ...
