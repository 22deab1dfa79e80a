// text.cpp -- lettering with FreeType: hinted, anti-aliased lines of text with an optional outline
#include "pictures.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

// ---- state ----

static FT_Library library;
static std::string font_dir;
static std::map<std::string, FT_Face> faces;  // by file name, opened on first use

// ---- internal functions ----

static FT_Face face_for(const TextStyle* style)
{
    auto found = faces.find(style->font);
    FT_Face face = nullptr;
    if (found != faces.end()) {
        face = found->second;
    } else {
        std::string path = font_dir + "/" + style->font;
        if (FT_New_Face(library, path.c_str(), 0, &face)) {
            fprintf(stderr, "kerv16-pictures: cannot open the font %s\n", path.c_str());
            face = nullptr;
        }
        faces[style->font] = face;
    }
    if (face)
        FT_Set_Char_Size(face, 0, (FT_F26Dot6)std::lround(style->size * 64), 72, 72);
    return face;
}

// Next code point of a UTF-8 string; malformed bytes come out as '?'.
static uint32_t next_code(const char** s)
{
    const unsigned char* p = (const unsigned char*)*s;
    uint32_t c = *p++;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (c >= 0x80 && extra == 0)
        c = '?';
    else if (extra)
        c &= 0x3F >> extra;
    for (int i = 0; i < extra; i++) {
        if ((*p & 0xC0) != 0x80) {
            c = '?';
            break;
        }
        c = (c << 6) | (*p++ & 0x3F);
    }
    *s = (const char*)p;
    return c;
}

// Walks the line; with a mask given, draws the glyphs' coverage into it. Returns the advance.
static float layout(const char* text, const TextStyle* style, float x, float y, Mask* mask)
{
    FT_Face face = face_for(style);
    if (!face)
        return 0;
    float pen = x;
    FT_UInt previous = 0;
    while (*text) {
        uint32_t code = next_code(&text);
        FT_UInt index = FT_Get_Char_Index(face, code);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            if (!FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &k))
                pen += k.x / 64.0f;
        }
        previous = index;
        if (FT_Load_Glyph(face, index, mask ? FT_LOAD_RENDER : FT_LOAD_DEFAULT))
            continue;
        FT_GlyphSlot g = face->glyph;
        if (mask) {
            int left = (int)std::lround(pen) + g->bitmap_left, top = (int)std::lround(y) - g->bitmap_top;
            for (unsigned row = 0; row < g->bitmap.rows; row++)
                for (unsigned col = 0; col < g->bitmap.width; col++) {
                    int mx = left + (int)col, my = top + (int)row;
                    if (mx < 0 || my < 0 || mx >= mask->width || my >= mask->height)
                        continue;
                    float v = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0f;
                    float& d = mask->cover[(size_t)my * mask->width + mx];
                    d = v > d ? v : d;
                }
        }
        pen += g->advance.x / 64.0f;
    }
    return pen - x;
}

// ---- public functions ----

int text_init(const char* dir)
{
    font_dir = dir;
    if (FT_Init_FreeType(&library)) {
        fprintf(stderr, "kerv16-pictures: FreeType does not start\n");
        return 0;
    }
    return 1;
}

void text_done(void)
{
    for (auto& f : faces)
        if (f.second)
            FT_Done_Face(f.second);
    faces.clear();
    FT_Done_FreeType(library);
}

float text_width(const char* text, const TextStyle* style)
{
    return layout(text, style, 0, 0, nullptr);
}

float text_draw(Canvas* c, const char* text, const TextStyle* style, float x, float y)
{
    Mask m = mask_new(c->width, c->height);
    float advance = layout(text, style, x, y, &m);
    if (style->outline > 0) {
        Mask o = mask_dilate(&m, style->outline);
        canvas_blend_mask(c, &o, style->outline_colour);
    }
    canvas_blend_mask(c, &m, style->colour);
    return advance;
}

float text_line_height(const TextStyle* style)
{
    FT_Face face = face_for(style);
    return face ? face->size->metrics.height / 64.0f : style->size;
}

float text_ascent(const TextStyle* style)
{
    FT_Face face = face_for(style);
    if (!face || FT_Load_Char(face, 'H', FT_LOAD_DEFAULT))
        return style->size * 0.7f;
    return face->glyph->metrics.horiBearingY / 64.0f;
}
