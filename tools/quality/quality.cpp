// quality.cpp -- kerv16-quality: scores the cell conversion against a naive one, chafa and img2txt
//
// Every method turns a 240 x 150 picture into 80 x 50 cells; the cells are drawn with the 8 x 8 code
// page 437 glyphs in the palette that method assumes and compared with the picture:
//   SSIM   on luma, after scaling the drawing back down to 240 x 150 (area average in linear light);
//   PSNR   on RGB, and
//   dE00   mean CIEDE2000, both after blurring picture and scaled drawing in linear light
//          (a Gaussian of BLUR_SIGMA pixels standing for the distance the show is watched from).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/console.h"
#include "platform/vga.h"
#include "gfx2d/gfx2d.h"
#include "metrics.h"

#include "stb_image.h"
#include "stb_image_write.h"

// ---- types ----

struct Cells {
    DisplayCell cell[DISPLAY_CELLS];  // code page 437 character, background x 16 + foreground
    uint8_t palette[16][3];           // what the method's colour numbers stand for
};

enum { METHODS = 7 };
static const char* METHOD_NAMES[METHODS] = {"kerv16",       "naive",   "chafa",        "chafa-din99d",
                                            "chafa-blocks", "img2txt", "img2txt-plain"};
// The command lines of the other converters (the picture's name follows); chafa gets every code page 437
// symbol unless the command names its own.
static const char* TOOL_COMMANDS[METHODS] = {
    nullptr, nullptr,
    "chafa -f symbols -c 16 --size 80x50 --stretch --font-ratio 1/1 --polite off",                // its defaults
    "chafa -f symbols -c 16 --size 80x50 --stretch --font-ratio 1/1 --polite off -p off --color-space din99d",
    // Its block symbols that code page 437 has: space, the half and full blocks, the three shades.
    "chafa -f symbols -c 16 --size 80x50 --stretch --font-ratio 1/1 --polite off"
    " --symbols space+u2580+u2584+u2588+u258c+u2590+u2591+u2592+u2593",
    "img2txt -W 80 -H 50 -f ansi",                                                                 // Floyd-Steinberg
    "img2txt -W 80 -H 50 -f ansi -d none",
};

// ---- state ----

// libcaca's colours in its own order (black, blue, green, cyan, red, magenta, brown, light grey, ...),
// as its HTML export writes them.
static const uint8_t CACA_PALETTE[16][3] = {
    {0x00, 0x00, 0x00}, {0x00, 0x00, 0xAA}, {0x00, 0xAA, 0x00}, {0x00, 0xAA, 0xAA}, {0xAA, 0x00, 0x00}, {0xAA, 0x00, 0xAA},
    {0xAA, 0x55, 0x00}, {0xAA, 0xAA, 0xAA}, {0x55, 0x55, 0x55}, {0x55, 0x55, 0xFF}, {0x55, 0xFF, 0x55}, {0x55, 0xFF, 0xFF},
    {0xFF, 0x55, 0x55}, {0xFF, 0x55, 0xFF}, {0xFF, 0xFF, 0x55}, {0xFF, 0xFF, 0xFF},
};
// ANSI colour number (red = 1, green = 2, blue = 4) to console and libcaca colour number (blue = 1, red = 4).
static const int ANSI_TO_INDEX[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// ---- internal functions ----

// Draws the cells with the 8 x 8 glyphs (640 x 400, sRGB bytes).
static std::vector<uint8_t> draw_cells(const Cells& cells)
{
    std::vector<uint8_t> rgb(640 * 400 * 3);
    vga_draw_cells_rgb(cells.cell, cells.palette, rgb.data());
    return rgb;
}

static Score score(const Picture& source, const Cells& cells, const std::string& png_out)
{
    std::vector<uint8_t> drawn = draw_cells(cells);
    if (!png_out.empty())
        stbi_write_png(png_out.c_str(), 640, 400, 3, drawn.data(), 640 * 3);
    return metrics_score(source, metrics_scale_down(drawn));
}

static void show_cells(const uint32_t* pixels, Cells* cells)
{
    convert_screen(pixels, cells->cell);
    memcpy(cells->palette, vga_palette, sizeof cells->palette);
}

// Every cell a space in the console colour nearest to the block's mean.
static void naive_cells(const uint32_t* pixels, Cells* cells)
{
    for (int i = 0; i < DISPLAY_CELLS; i++) {
        int sum[3] = {0, 0, 0};
        for (int k = 0; k < 9; k++) {
            uint32_t p = pixels[(i / 80 * 3 + k / 3) * 240 + i % 80 * 3 + k % 3];
            for (int c = 0; c < 3; c++)
                sum[c] += p >> (8 * c) & 255;
        }
        int n = console_nearest_colour(sum[0] / 9, sum[1] / 9, sum[2] / 9);
        cells->cell[i] = DisplayCell{' ', (uint8_t)(n * 17)};
    }
    memcpy(cells->palette, vga_palette, sizeof cells->palette);
}

// Reads text with ANSI colour sequences (SGR 0, 1 bright foreground, 5 bright background, 7 inverse,
// 30-37, 40-47, 90-97, 100-107) and UTF-8 characters into cells. Returns 0 when it did not fill 80 x 50.
static int parse_ansi(const std::string& text, Cells* cells)
{
    static int from_unicode[0x10000];
    static int ready;
    if (!ready) {
        for (int u = 0; u < 0x10000; u++)
            from_unicode[u] = -1;
        for (int c = 255; c >= 0; c--)
            from_unicode[vga_unicode[c]] = c;
        ready = 1;
    }
    int fg = 7, bg = 0, bold = 0, blink = 0, inverse = 0, row = 0, col = 0, filled = 0;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = text[i];
        if (c == 0x1B && i + 1 < text.size() && text[i + 1] == '[') {
            size_t j = i + 2;
            std::vector<int> params(1, 0);
            while (j < text.size() && (isdigit((unsigned char)text[j]) || text[j] == ';' || text[j] == '?')) {
                if (text[j] == ';')
                    params.push_back(0);
                else if (text[j] != '?')
                    params.back() = params.back() * 10 + (text[j] - '0');
                j++;
            }
            if (j < text.size() && text[j] == 'm')
                for (int p : params) {
                    if (p == 0)
                        fg = 7, bg = 0, bold = blink = inverse = 0;
                    else if (p == 1)
                        bold = 1;
                    else if (p == 5)
                        blink = 1;
                    else if (p == 7)
                        inverse = 1;
                    else if (p == 27)
                        inverse = 0;
                    else if (p >= 30 && p <= 37)
                        fg = ANSI_TO_INDEX[p - 30];
                    else if (p >= 90 && p <= 97)
                        fg = ANSI_TO_INDEX[p - 90] + 8;
                    else if (p >= 40 && p <= 47)
                        bg = ANSI_TO_INDEX[p - 40];
                    else if (p >= 100 && p <= 107)
                        bg = ANSI_TO_INDEX[p - 100] + 8;
                    else if (p == 39)
                        fg = 7;
                    else if (p == 49)
                        bg = 0;
                }
            i = j + 1;
            continue;
        }
        if (c == '\n') {
            row++, col = 0, i++;
            continue;
        }
        if (c == '\r' || c < 0x20) {
            i++;
            continue;
        }
        int u = c, extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra)
            u = c & (0x3F >> extra);
        for (i++; extra > 0 && i < text.size(); extra--, i++)
            u = u << 6 | (text[i] & 0x3F);
        int code = u < 0x10000 ? from_unicode[u] : -1;
        if (code < 0)
            code = '?';
        if (row < 50 && col < 80) {
            int f = fg | (bold && fg < 8 ? 8 : 0), b = bg | (blink && bg < 8 ? 8 : 0);
            if (inverse)
                std::swap(f, b);
            int cell = row * 80 + col;
            cells->cell[cell] = DisplayCell{(uint8_t)code, (uint8_t)(b * 16 + f)};
            filled++;
        }
        col++;
    }
    return filled == DISPLAY_CELLS;
}

static int run_tool(const std::string& command, Cells* cells)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return 0;
    std::string text;
    char buf[8192];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    int status = pclose(p);
    return status == 0 && parse_ansi(text, cells);
}

static std::string chafa_symbols(void)
{
    // Every code page 437 character chafa may know, by code point.
    std::string list = "space";
    for (int c = 1; c < 255; c++) {
        char item[16];
        snprintf(item, sizeof item, "+u%04x", vga_unicode[c]);
        list += item;
    }
    return list;
}

// ---- public functions ----

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: kerv16-quality [--out DIR] PICTURE.png...   (240 x 150, run where data/ is)\n");
        return 2;
    }
    std::string out_dir;
    int first = 1, methods = METHODS;
    if (argc > 3 && !strcmp(argv[first], "--out"))
        out_dir = argv[first + 1], first += 2;
    if (argc > first + 1 && !strcmp(argv[first], "--ours"))
        methods = 1, first++;  // only this conversion, for tuning the tables
    if (!load_cell_tables())
        return 1;
    screen_create();
    const std::string symbols = chafa_symbols();
    double sums[METHODS][3] = {};
    int counted[METHODS] = {};
    std::string below;  // pictures where this conversion's SSIM is more than 0.02 under the naive fill's
    int below_count = 0;
    double ours_ssim = 0;
    printf("%-18s %-14s %6s %6s %6s\n", "picture", "method", "SSIM", "PSNR", "dE00");
    for (int a = first; a < argc; a++) {
        int w, h, n;
        uint8_t* rgb = stbi_load(argv[a], &w, &h, &n, 3);
        if (!rgb || w != 240 || h != 150) {
            fprintf(stderr, "kerv16-quality: %s is not a 240 x 150 PNG picture\n", argv[a]);
            stbi_image_free(rgb);
            return 1;
        }
        Picture source;
        source.lin.resize(SCREEN_PIXELS * 3);
        for (int i = 0; i < SCREEN_PIXELS; i++) {
            screen[i] = rgb[3 * i] | (uint32_t)rgb[3 * i + 1] << 8 | (uint32_t)rgb[3 * i + 2] << 16;
            for (int k = 0; k < 3; k++)
                source.lin[3 * i + k] = metrics_to_linear(rgb[3 * i + k]);
        }
        stbi_image_free(rgb);
        std::string name = argv[a];
        name = name.substr(name.find_last_of('/') + 1);
        name = name.substr(0, name.find_last_of('.'));
        for (int m = 0; m < methods; m++) {
            static Cells cells;
            int ok = 1;
            if (m == 0) {
                show_cells(screen, &cells);
            } else if (m == 1) {
                naive_cells(screen, &cells);
            } else {
                // chafa picks from the console's colours; libcaca from its own (as its HTML export shows).
                int caca = !strncmp(TOOL_COMMANDS[m], "img2txt", 7);
                memcpy(cells.palette, caca ? CACA_PALETTE : vga_palette, sizeof cells.palette);
                std::string command = TOOL_COMMANDS[m];
                if (!caca && !strstr(TOOL_COMMANDS[m], "--symbols"))
                    command += " --symbols " + symbols;
                ok = run_tool(command + " '" + argv[a] + "'", &cells);
            }
            if (!ok) {
                printf("%-18s %-14s   (did not run)\n", name.c_str(), METHOD_NAMES[m]);
                continue;
            }
            std::string png = out_dir.empty() ? "" : out_dir + "/" + name + "." + METHOD_NAMES[m] + ".png";
            Score s = score(source, cells, png);
            printf("%-18s %-14s %6.3f %6.2f %6.2f\n", name.c_str(), METHOD_NAMES[m], s.ssim, s.psnr, s.de);
            if (m == 0)
                ours_ssim = s.ssim;
            if (m == 1 && ours_ssim < s.ssim - 0.02) {
                char item[64];
                snprintf(item, sizeof item, "%s%s %+.3f", below_count ? ", " : "", name.c_str(), ours_ssim - s.ssim);
                below += item, below_count++;
            }
            sums[m][0] += s.ssim, sums[m][1] += s.psnr, sums[m][2] += s.de;
            counted[m]++;
        }
        fflush(stdout);
    }
    printf("\nmean over %d pictures:\n", argc - first);
    for (int m = 0; m < methods; m++)
        if (counted[m])
            printf("%-18s %-14s %6.3f %6.2f %6.2f\n", "mean", METHOD_NAMES[m], sums[m][0] / counted[m],
                   sums[m][1] / counted[m], sums[m][2] / counted[m]);
    if (methods > 1)
        printf("\nkerv16 more than 0.02 SSIM below the naive fill on %d pictures%s%s\n", below_count,
               below_count ? ": " : "", below.c_str());
    return 0;
}
