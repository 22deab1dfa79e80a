// cellgen.h -- what the parts of kerv16-cellgen share: glyph sets and the table optimiser
#pragma once
#include <cstdint>
#include <string>

// ---- types ----

// The 256 code page 437 glyphs, 8 pixels wide, one byte per row with the leftmost pixel in bit 7.
struct GlyphSet {
    uint8_t rows8[256][8];    // the 8 x 8 set the renderer draws with
    uint8_t rows16[256][16];  // the 8 x 16 set it was completed from
    int derived[256];         // 1 where the 8 x 8 glyph was made from the 8 x 16 one
};

// ---- functions ----

// Reads default8x16.psf.gz and Uni2-VGA8.psf.gz from `font_dir`. Returns 1, or prints why not and returns 0.
int glyphs_load(const std::string& font_dir, GlyphSet* set);
int glyphs_write_source(const GlyphSet* set, const char* path);  // the engine's vga_font8x8

// Sets one of the colour tables' error weights from "NAME=VALUE" (for tuning); 0 when there is no such weight.
int tables_set_weight(const char* assignment);

// Fills charmap (CHAR_TABLE_BYTES) and colmap (COLMAP_BYTES) from the glyph coverage.
void tables_build(const GlyphSet* set, uint8_t* charmap, uint8_t* colmap);
