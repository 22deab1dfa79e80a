// pages.cpp -- lettered pictures from content/: credits, end logo, overlays, info pages, greetings
#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// ---- types ----

struct PageLine {
    const TextStyle* style;  // null: a gap
    std::string text;
    float gap;               // pixels, for gaps
};

struct Page {
    std::vector<PageLine> lines;
    int panel;           // 1: a dark band behind the text
    Rgba panel_colour;
    int additive;        // 1: written for the additive blit (colour x alpha is what is added)
    Rgba add_colour;     // colour bytes, and the alpha at full coverage
    float glow;          // additive only: radius of the halo around the letters
    float middle;        // pixel row the block's middle stands on; 0: the page's middle
};

// ---- state ----

static const float PAGE_W = 240, PAGE_H = 150, MARGIN = 6;
static const Rgba OUTLINE = {0.0f, 0.0f, 0.05f, 1.0f};

// Sizes in pixels per em: every stroke stays at least one 3 x 3 cell wide.
static const TextStyle STYLE_HUGE = {"DejaVuSans-Bold.ttf", 52, {1.0f, 1.0f, 0.33f, 1}, 3, OUTLINE};
static const TextStyle STYLE_TITLE = {"DejaVuSans-Bold.ttf", 32, {1.0f, 1.0f, 0.33f, 1}, 2.5f, OUTLINE};
static const TextStyle STYLE_TEXT = {"DejaVuSans-Bold.ttf", 21, {1.0f, 1.0f, 1.0f, 1}, 2, OUTLINE};
static const TextStyle STYLE_SMALL = {"DejaVuSans-Bold.ttf", 18, {0.33f, 1.0f, 1.0f, 1}, 2, OUTLINE};

// ---- internal functions ----

static std::string trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

static const TextStyle* style_named(const std::string& word)
{
    if (word == "huge") return &STYLE_HUGE;
    if (word == "title") return &STYLE_TITLE;
    if (word == "text") return &STYLE_TEXT;
    if (word == "small") return &STYLE_SMALL;
    return nullptr;
}

// Reads a page description; 0 with a message naming the file and line on a fault.
static int page_read(const std::string& path, Page* page)
{
    FILE* f = fopen(path.c_str(), "r");
    if (!f) {
        fprintf(stderr, "kerv16-pictures: cannot read %s\n", path.c_str());
        return 0;
    }
    *page = Page{};
    char buffer[512];
    int line_no = 0, ok = 1;
    while (ok && fgets(buffer, sizeof buffer, f)) {
        line_no++;
        std::string line = trim(buffer);
        if (line.empty() || line[0] == '#')
            continue;
        size_t space = line.find_first_of(" \t");
        std::string kind = line.substr(0, space), rest = space == std::string::npos ? "" : trim(line.substr(space));
        int r, g, b, a;
        float number;
        if (const TextStyle* style = style_named(kind)) {
            page->lines.push_back({style, rest, 0});
        } else if (kind == "gap" && sscanf(rest.c_str(), "%f", &number) == 1) {
            page->lines.push_back({nullptr, "", number});
        } else if (kind == "middle" && sscanf(rest.c_str(), "%f", &number) == 1 && number > 0 && number < PAGE_H) {
            page->middle = number;
        } else if (kind == "panel" && sscanf(rest.c_str(), "%d %d %d %d", &r, &g, &b, &a) == 4) {
            page->panel = 1;
            page->panel_colour = rgb(r, g, b, a);
        } else if (kind == "additive" && sscanf(rest.c_str(), "%d %d %d %d %f", &r, &g, &b, &a, &number) == 5) {
            page->additive = 1;
            page->add_colour = rgb(r, g, b, a);
            page->glow = number;
        } else {
            fprintf(stderr, "%s:%d: cannot use \"%s\"\n", path.c_str(), line_no, line.c_str());
            ok = 0;
        }
    }
    fclose(f);
    return ok;
}

// A copy of the style shrunk until the text fits the page's width; 0 when it would get too small.
static int fit(const std::string& text, const TextStyle* style, TextStyle* fitted)
{
    *fitted = *style;
    while (text_width(text.c_str(), fitted) > PAGE_W - 2 * MARGIN) {
        fitted->size -= 1;
        if (fitted->size < style->size * 0.6f || fitted->size < 14)
            return 0;
    }
    return 1;
}

// Lays the lines out centred on the page, the block in the middle of its height or with its middle
// on the row the page asks for, as near as the block and its panel fit inside the page.
static int page_render(const Page* page, const std::string& name, Canvas* c)
{
    *c = canvas_new((int)PAGE_W, (int)PAGE_H, Rgba{0, 0, 0, 0});
    std::vector<TextStyle> styles(page->lines.size());
    float height = 0;
    for (size_t i = 0; i < page->lines.size(); i++) {
        const PageLine& l = page->lines[i];
        if (!l.style) {
            height += l.gap;
            continue;
        }
        if (!fit(l.text, l.style, &styles[i])) {
            fprintf(stderr, "kerv16-pictures: %s: \"%s\" is too long for one line\n", name.c_str(), l.text.c_str());
            return 0;
        }
        height += text_line_height(&styles[i]);
    }
    if (height > PAGE_H - 2 * MARGIN) {
        // Letters cut off at the page's edge would be read as a fault of the show.
        fprintf(stderr, "kerv16-pictures: %s: the lines are %.0f pixels high, more than the page's %.0f\n",
                name.c_str(), height, PAGE_H - 2 * MARGIN);
        return 0;
    }
    float top = std::floor((PAGE_H - height) / 2);
    if (page->middle > 0) {
        // The panel reaches 8 pixels beyond the lines; the page's first and last rows stay clear.
        float lowest = 9, highest = PAGE_H - 9 - height;
        top = std::floor(std::clamp(page->middle - height / 2, lowest, std::max(lowest, highest)));
    }
    if (page->panel) {
        for (int y = 0; y < c->height; y++) {
            float edge = std::min(y - (top - 8), (top + height + 8) - y);
            Rgba p = page->panel_colour;
            p.a *= clamp01(edge / 6);
            for (int x = 0; x < c->width; x++)
                canvas_blend(c, x, y, p);
        }
    }
    Mask cover = mask_new(c->width, c->height);
    float y = top;
    for (size_t i = 0; i < page->lines.size(); i++) {
        const PageLine& l = page->lines[i];
        if (!l.style) {
            y += l.gap;
            continue;
        }
        const TextStyle* s = &styles[i];
        float line_h = text_line_height(s), cap = text_ascent(s);
        float baseline = std::round(y + (line_h + cap) / 2);
        float x = std::round((PAGE_W - text_width(l.text.c_str(), s)) / 2);
        if (page->additive) {
            Canvas scratch = canvas_new(c->width, c->height, Rgba{0, 0, 0, 0});
            TextStyle plain = *s;
            plain.outline = 0;
            plain.colour = Rgba{1, 1, 1, 1};
            text_draw(&scratch, l.text.c_str(), &plain, x, baseline);
            for (size_t k = 0; k < cover.cover.size(); k++)
                cover.cover[k] = std::max(cover.cover[k], scratch.pixels[k].a);
        } else {
            text_draw(c, l.text.c_str(), s, x, baseline);
        }
        y += line_h;
    }
    if (page->additive) {
        // Colour stays fixed; the alpha carries the shape, since the additive blit adds colour x alpha.
        Mask halo = mask_dilate(&cover, page->glow);
        for (size_t k = 0; k < c->pixels.size(); k++) {
            float a = std::max(cover.cover[k], halo.cover[k] * 0.35f);
            Rgba p = page->add_colour;
            c->pixels[k] = Rgba{p.r, p.g, p.b, p.a * a};
        }
    }
    return 1;
}

static int page_file(const char* content_dir, const char* out_dir, const char* name)
{
    Page page;
    Canvas c;
    std::string in = std::string(content_dir) + "/pages/" + name + ".txt";
    std::string out = std::string(out_dir) + "/" + name + ".tga";
    return page_read(in, &page) && page_render(&page, in, &c) && tga_write(out.c_str(), &c, 1);
}

// One 150-row page per group, stacked top to bottom.
static int greetings(const char* content_dir, const char* out_dir)
{
    std::string in = std::string(content_dir) + "/greetings.txt";
    FILE* f = fopen(in.c_str(), "r");
    if (!f) {
        fprintf(stderr, "kerv16-pictures: cannot read %s\n", in.c_str());
        return 0;
    }
    std::string header;
    float middle = 0;
    std::vector<std::string> groups;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, f)) {
        std::string line = trim(buffer);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.rfind("header ", 0) == 0)
            header = trim(line.substr(7));
        else if (line.rfind("middle ", 0) == 0 && atof(line.c_str() + 7) > 0 && atof(line.c_str() + 7) < PAGE_H)
            middle = (float)atof(line.c_str() + 7);
        else
            groups.push_back(line);
    }
    fclose(f);
    if (groups.empty()) {
        fprintf(stderr, "%s: no group to greet\n", in.c_str());
        return 0;
    }
    Canvas strip = canvas_new((int)PAGE_W, (int)PAGE_H * (int)groups.size(), Rgba{0, 0, 0, 0});
    for (size_t i = 0; i < groups.size(); i++) {
        Page page{};
        page.panel = 1;
        page.panel_colour = rgb(0, 0, 20, 150);
        page.middle = middle;
        if (!header.empty())
            page.lines.push_back({&STYLE_SMALL, header, 0});
        page.lines.push_back({nullptr, "", 4});
        page.lines.push_back({&STYLE_TITLE, groups[i], 0});
        Canvas c;
        if (!page_render(&page, in, &c))
            return 0;
        std::copy(c.pixels.begin(), c.pixels.end(), strip.pixels.begin() + (long)(i * c.pixels.size()));
    }
    std::string out = std::string(out_dir) + "/greets.tga";
    return tga_write(out.c_str(), &strip, 1);
}

// ---- public functions ----

int make_pages(const char* content_dir, const char* out_dir)
{
    static const char* const names[] = {"credz1", "credz2", "logoEnd", "ovr_kerv__", "ovr_kerv16",
                                        "info1",  "info2",  "info3",   "info4"};
    for (const char* name : names)
        if (!page_file(content_dir, out_dir, name))
            return 0;
    return greetings(content_dir, out_dir);
}
