// tables.cpp -- the cell conversion tables as an optimisation over the real glyph coverage
//
// char_table: for every coverage level and base-3 pattern, the glyph whose ink over the nine sub-blocks of
//   the cell is nearest to what the pattern asks for. Digit 2 asks for full foreground, 1 for half, 0 for
//   none, scaled by the level (level q stands for a strongest pixel near (q + 1) / 6). It minimises the
//   squared coverage error summed over the nine sub-blocks plus the squared error of the mean coverage
//   (counted again, since from a distance the mean is what shows).
// colour_table and mix_table: for every 15-bit colour, the background, foreground and shade ramp group
//   (or the pattern path) whose appearance is nearest, with colours mixed in linear light in the
//   proportion of the glyphs' ink. It minimises
//     the squared OKLab error of the mean appearance, colour error weighted MEAN_AB over lightness error
//     (a colour cast on a grey shows more than a slightly wrong lightness), plus
//     what a flat field of the colour loses in a structure index (SSIM on luma, weight STRUCTURE): the
//     luma variance of the Screen pixels it shows (each sub-block of a glyph is one Screen pixel, and
//     cell noise mixes a group's glyphs) against a stabiliser STRUCTURE_C2, times the brightness term.
//     Texture below the stabiliser costs little, above it almost everything, so smooth areas stay
//     flat or take the even glyphs (0xB0, 0xB1) and pairs of close lightness, while the mean still
//     counts where a flat fill would be visibly off; plus
//     squared colour difference x ink variance (TEXTURE_AB: colour detail shows far less than lightness
//     detail). TEXTURE_L and TEXTURE_FINE weigh the lightness texture directly instead (squared
//     lightness difference x ink variance between and inside sub-blocks); they are off by default.
//   Then a few rounds over all colours pick, among each colour's cheapest choices, the one whose luma
//   steps from its six neighbouring colours as their wanted lumas do (STEPS, per squared luma unit):
//   a smooth gradient crosses many colours, and where neighbouring ones zigzag in luma the gradient
//   shows edges that a structure index counts like texture.
//   The weights were tuned with kerv16-quality on its whole picture set.
#include "cellgen.h"
#include "console/cell_format.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

// ---- types ----

struct Lab {
    double l, a, b;
};

// ---- state ----

enum {
    RAMP_GROUPS = SHADE_GROUPS,  // groups 0-8 of four ramp entries; entry 36 (code 0) draws blank like group 0
    BIN_CHOICES = 16,            // flat candidates a colour bin keeps for the step rounds
    STEP_ROUNDS = 8,             // rounds over all bins evening the steps (fewer when nothing changes)
};

static const double MEAN_WEIGHT = 1.0;  // extra weight of the mean coverage in char_table
// The colour tables' weights (see the top of the file); the command line may override them for tuning.
static double texture_weight_l = 0;       // TEXTURE_L
static double texture_weight_fine = 0;    // TEXTURE_FINE
static double texture_weight_ab = 0.02;   // TEXTURE_AB
static double mean_weight_ab = 3;         // MEAN_AB
static double structure_weight = 0.025;   // STRUCTURE
static double structure_c2 = 150;         // STRUCTURE_C2: (0.03 x 255)^2 and what a picture's own texture hides
static double step_weight = 0.00002;      // STEPS: luma steps between neighbouring colours, per squared luma unit

static const struct {
    const char* name;
    double* value;
} WEIGHTS[] = {
    {"TEXTURE_L", &texture_weight_l}, {"TEXTURE_FINE", &texture_weight_fine}, {"TEXTURE_AB", &texture_weight_ab},
    {"MEAN_AB", &mean_weight_ab},     {"STRUCTURE", &structure_weight},      {"STRUCTURE_C2", &structure_c2},
    {"STEPS", &step_weight},
};

// ---- internal functions ----

static double srgb_to_linear(double c)
{
    c /= 255;
    return c <= 0.04045 ? c / 12.92 : pow((c + 0.055) / 1.055, 2.4);
}

// Luma in sRGB units (0-255) of a linear-light colour, as a viewer's eye and SSIM see lightness.
static double srgb_luma(const double lin[3])
{
    double y = 0;
    const double weight[3] = {0.299, 0.587, 0.114};
    for (int k = 0; k < 3; k++) {
        double l = lin[k] < 0 ? 0 : lin[k] > 1 ? 1 : lin[k];
        y += weight[k] * 255 * (l <= 0.0031308 ? l * 12.92 : 1.055 * pow(l, 1 / 2.4) - 0.055);
    }
    return y;
}

static Lab linear_to_oklab(double r, double g, double b)
{
    double l = cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
    double m = cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
    double s = cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
    return Lab{0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
               1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
               0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

static double mean_error(const Lab& p, const Lab& q)
{
    double dl = p.l - q.l, da = p.a - q.a, db = p.b - q.b;
    return dl * dl + mean_weight_ab * (da * da + db * db);
}

// How visible the texture of colour q over colour p is, for ink of pixel variance w x (1 - w) of which
// `coarse` is variance between sub-blocks (what still shows where one sub-block is one Screen pixel).
static double texture(const Lab& p, const Lab& q, double w, double coarse)
{
    double dl = p.l - q.l, da = p.a - q.a, db = p.b - q.b;
    double fine = w * (1 - w) - coarse;
    return (texture_weight_l * coarse + texture_weight_fine * fine) * dl * dl + texture_weight_ab * w * (1 - w) * (da * da + db * db);
}

// Variance of the sub-block ink over a set of glyphs drawn equally often.
static double coarse_variance(const double sub[256][9], const uint8_t* glyphs, int count)
{
    double mean = 0, square = 0;
    for (int i = 0; i < count; i++)
        for (int k = 0; k < 9; k++)
            mean += sub[glyphs[i]][k] / (9 * count), square += sub[glyphs[i]][k] * sub[glyphs[i]][k] / (9 * count);
    return square - mean * mean;
}

// Glyphs the pattern path may use: those every common terminal font draws one cell wide and that are
// common in fonts. Left out: the control-range pictures (several have emoji forms that some terminals
// draw two cells wide), 0x7F, the peseta and reversed-not signs and the integral halves (missing from
// many fonts), and the blanks 0x00 and 0xFF (the space stands for them).
static int usable_in_patterns(int code)
{
    if (code < 0x20 || code == 0x7F || code == 0xFF)
        return 0;
    return code != 0x9E && code != 0xA9 && code != 0xF4 && code != 0xF5;
}

// Ink share of each of the nine sub-blocks (3 x 3 blocks of 8/3 x 8/3 pixels) and of the whole glyph.
static void glyph_coverage(const uint8_t rows[8], double sub[9], double* total)
{
    int ink = 0;
    for (int k = 0; k < 9; k++)
        sub[k] = 0;
    // On a 24 x 24 grid every glyph pixel is 3 x 3 and every sub-block 8 x 8.
    for (int y = 0; y < 24; y++)
        for (int x = 0; x < 24; x++)
            if (rows[y / 3] >> (7 - x / 3) & 1)
                sub[(y / 8) * 3 + x / 8] += 1.0 / 64;
    for (int r = 0; r < 8; r++)
        ink += __builtin_popcount(rows[r]);
    *total = ink / 64.0;
}

// The exact leaning of the pattern path for a pixel against colours a and b (same arithmetic as the show).
static float leaning(const int p[3], int a, int b)
{
    auto dist = [&](int i) {
        int m = (vga_palette[i][0] + p[0]) / 2;
        int dr = vga_palette[i][0] - p[0], dg = vga_palette[i][1] - p[1], db = vga_palette[i][2] - p[2];
        return ((512 + m) * dr * dr) / 256 + ((767 - m) * db * db) / 256 + 4 * dg * dg;
    };
    float da = (float)dist(a) * (1.0f / 256), db = (float)dist(b) * (1.0f / 256);
    float s = da + db;
    if (s == 0)
        return 0;
    float t = (da - db) / s + 0.6f;
    return t < 0 ? 0 : t > 1 ? 1 : t;
}

// The character the pattern path draws for nine pixels of colour p between a and b.
static int uniform_pattern_char(const uint8_t* charmap, const int p[3], int a, int b)
{
    float t = leaning(p, a, b);
    int q = (int)((double)(6 * t) - 0.5);
    q = q < 0 ? 0 : q > 5 ? 5 : q;
    float scale = 6.0f / (float)(q + 1);
    int d = (int)((double)t * 2.5 * (double)scale);
    d = d > 2 ? 2 : d;
    return charmap[q * CELL_PATTERNS + d * 9841];  // nine equal digits: d x (1 + 3 + ... + 6561)
}

static void build_char_table(const double sub[256][9], uint8_t* charmap)
{
    std::vector<int> glyphs;
    for (int c = 0; c < 256; c++)
        if (usable_in_patterns(c))
            glyphs.push_back(c);
    for (int q = 0; q < CELL_LEVELS; q++) {
        double scale = (q + 1) / 6.0;
        for (int code = 0; code < CELL_PATTERNS; code++) {
            double want[9], want_mean = 0;
            for (int k = 0, c = code; k < 9; k++, c /= 3) {
                want[k] = c % 3 / 2.0 * scale;
                want_mean += want[k] / 9;
            }
            double best = 1e30;
            int best_glyph = ' ';
            for (int g : glyphs) {
                double e = 0, mean = 0;
                for (int k = 0; k < 9; k++) {
                    double d = sub[g][k] - want[k];
                    e += d * d;
                    mean += sub[g][k] / 9;
                }
                e += MEAN_WEIGHT * 9 * (mean - want_mean) * (mean - want_mean);
                if (e < best - 1e-12)
                    best = e, best_glyph = g;
            }
            charmap[q * CELL_PATTERNS + code] = (uint8_t)best_glyph;
        }
    }
}

// The console colour whose red, green and blue fall in bin idx, or -1.
static int console_colour_in_bin(int idx)
{
    for (int i = 0; i < 16; i++)
        if (cell_colour_index(vga_palette[i][0], vga_palette[i][1], vga_palette[i][2]) == idx)
            return i;
    return -1;
}

static void put_mix(uint8_t* colmap, int idx, float mix)
{
    uint32_t bits;
    memcpy(&bits, &mix, 4);
    for (int i = 0; i < 4; i++)
        colmap[MIX_TABLE_OFFSET + 4 * idx + i] = (uint8_t)(bits >> (8 * i));
}

// The console colours in linear light and OKLab, and how the glyphs cover a cell.
struct Inks {
    double lin[16][3];
    Lab lab[16];
    double sub[256][9], total[256];  // ink of each glyph's nine sub-blocks and of the whole glyph
};

// One appearance the flat path can give: pair (a, b) drawn with ramp group `group`.
struct Candidate {
    Lab lab;
    double texture;
    double luma, luma_var;  // of the Screen pixels a flat field shows, sRGB units
    int a, b, group;
};

// Mean and variance of the luma a flat field shows when drawn with foreground b over background a in
// `glyphs` (equally often, as cell noise scatters them): each sub-block stands for one Screen pixel.
static void luma_texture(const Inks& ink, int a, int b, const uint8_t* glyphs, int count, double* mean, double* var)
{
    double sum = 0, square = 0;
    for (int i = 0; i < count; i++)
        for (int k = 0; k < 9; k++) {
            double w = ink.sub[glyphs[i]][k], lin[3];
            for (int ch = 0; ch < 3; ch++)
                lin[ch] = ink.lin[a][ch] * (1 - w) + ink.lin[b][ch] * w;
            double y = srgb_luma(lin);
            sum += y, square += y * y;
        }
    *mean = sum / (9 * count);
    *var = std::max(0.0, square / (9 * count) - *mean * *mean);
}

// What a structure index (SSIM) loses on a flat field of luma `want` shown with mean `luma` and
// texture `var`: the texture counts against the field's flatness, the mean against its brightness.
static double structure_loss(double want, double luma, double var)
{
    const double c1 = (0.01 * 255) * (0.01 * 255);
    double l = (2 * want * luma + c1) / (want * want + luma * luma + c1);
    return 1 - l * structure_c2 / (var + structure_c2);
}

// The appearance of foreground b over background a at ink share w: mixed in linear light.
static Lab mixed(const Inks& ink, int a, int b, double w)
{
    const double* la = ink.lin[a];
    const double* lb = ink.lin[b];
    return linear_to_oklab(la[0] * (1 - w) + lb[0] * w, la[1] * (1 - w) + lb[1] * w, la[2] * (1 - w) + lb[2] * w);
}

// Every pair with every ramp group; a pair of equal colours only once, as a blank.
static std::vector<Candidate> flat_candidates(const Inks& ink)
{
    // Ink share of each ramp group: the mean over the four entries one mix scatters over.
    double group_ink[RAMP_GROUPS], group_coarse[RAMP_GROUPS];
    uint8_t group_glyphs[RAMP_GROUPS][4];
    for (int g = 0; g < RAMP_GROUPS; g++) {
        uint8_t glyphs[4];
        group_ink[g] = 0;
        for (int e = 4 * g; e < 4 * g + 4; e++) {
            glyphs[e - 4 * g] = shade_ramp[e > 36 ? 36 : e];
            group_ink[g] += ink.total[glyphs[e - 4 * g]] / 4;
        }
        group_coarse[g] = coarse_variance(ink.sub, glyphs, 4);
        memcpy(group_glyphs[g], glyphs, 4);
    }
    std::vector<Candidate> candidates;
    for (int a = 0; a < 16; a++)
        for (int b = 0; b < 16; b++)
            for (int g = 0; g < RAMP_GROUPS; g++) {
                if (a == b && g > 0)
                    continue;
                double w = group_ink[g];
                Candidate c = {mixed(ink, a, b, w), texture(ink.lab[a], ink.lab[b], w, group_coarse[g]), 0, 0, a, b, g};
                luma_texture(ink, a, b, group_glyphs[g], 4, &c.luma, &c.luma_var);
                candidates.push_back(c);
            }
    return candidates;
}

// The pattern path draws one fixed glyph per pair and colour; it is taken where it looks better than
// `best` and where every colour of the bin (and a little beyond, for flat blocks that are not quite
// uniform) gets the same glyph, so what was judged is what is drawn. Returns the attribute, or -1.
static int best_pattern(const Inks& ink, const uint8_t* charmap, const int rgb[3], const Lab& want, double want_luma,
                        double* best, double* best_luma)
{
    int attr = -1;
    for (int a = 0; a < 16; a++)
        for (int b = 0; b < 16; b++) {
            if (a == b)
                continue;
            int ch = uniform_pattern_char(charmap, rgb, a, b);
            int same = 1;
            for (int corner = 0; corner < 8 && same; corner++) {
                int p[3];
                for (int k = 0; k < 3; k++) {
                    int v = rgb[k] + (corner >> k & 1 ? 7 : -8);
                    p[k] = v < 0 ? 0 : v > 255 ? 255 : v;
                }
                same = uniform_pattern_char(charmap, p, a, b) == ch;
            }
            if (!same)
                continue;
            uint8_t glyph = (uint8_t)ch;
            double luma, luma_var;
            luma_texture(ink, a, b, &glyph, 1, &luma, &luma_var);
            double e = mean_error(mixed(ink, a, b, ink.total[ch]), want) +
                       texture(ink.lab[a], ink.lab[b], ink.total[ch], coarse_variance(ink.sub, &glyph, 1)) +
                       structure_weight * structure_loss(want_luma, luma, luma_var);
            if (e < *best)
                *best = e, attr = a * 16 + b, *best_luma = luma;
        }
    return attr;
}

// What one colour bin may show: its best flat candidates and its best pattern, with their costs
// before the step term, and the luma of what it shows now.
struct BinChoice {
    int cand[BIN_CHOICES];  // indices into the flat candidates, cheapest first
    double cost[BIN_CHOICES];
    int count;
    int pattern;            // attribute of the best pattern, or -1
    double pattern_cost, pattern_luma;
    int pick;               // 0 .. count - 1 a flat candidate, count the pattern
    double luma;            // luma of what the bin shows, sRGB units
    double want_luma;
};

// The luma a colour bin should show so that it steps from its six neighbours as the colours do: in a
// smooth gradient many small steps are invisible while a few large ones are edges.
static double step_target(const std::vector<BinChoice>& bins, int idx)
{
    static const int STEP[3] = {1024, 32, 1};
    double sum = 0;
    int n = 0;
    for (int axis = 0; axis < 3; axis++) {
        int digit = idx / STEP[axis] % 32;
        for (int dir = -1; dir <= 1; dir += 2) {
            if (digit + dir < 0 || digit + dir > 31)
                continue;
            const BinChoice& nb = bins[idx + dir * STEP[axis]];
            sum += nb.luma + bins[idx].want_luma - nb.want_luma, n++;
        }
    }
    return sum / n;
}

// Picks the cheapest of a bin's options counting the step term; returns 1 when the pick changed.
static int repick(std::vector<BinChoice>& bins, const std::vector<Candidate>& candidates, int idx)
{
    BinChoice& bin = bins[idx];
    double target = step_target(bins, idx), best = 1e30;
    int pick = 0;
    for (int i = 0; i <= bin.count; i++) {
        if (i == bin.count && bin.pattern < 0)
            break;
        double luma = i < bin.count ? candidates[bin.cand[i]].luma : bin.pattern_luma;
        double e = (i < bin.count ? bin.cost[i] : bin.pattern_cost) + step_weight * (luma - target) * (luma - target);
        if (e < best)
            best = e, pick = i;
    }
    int changed = pick != bin.pick;
    bin.pick = pick;
    bin.luma = pick < bin.count ? candidates[bin.cand[pick]].luma : bin.pattern_luma;
    return changed;
}

// For every 15-bit colour the flat appearance or pattern nearest to the bin's centre, then, a few
// rounds over all bins, the one among the nearest that also steps evenly from its neighbours.
static void build_colour_tables(const Inks& ink, const uint8_t* charmap, uint8_t* colmap)
{
    std::vector<Candidate> candidates = flat_candidates(ink);
    std::vector<BinChoice> bins(CELL_COLOURS);
    std::vector<int> exact(CELL_COLOURS);
    for (int idx = 0; idx < CELL_COLOURS; idx++) {
        BinChoice& bin = bins[idx];
        int rgb[3] = {(idx >> 10) * 8 + 4, (idx >> 5 & 31) * 8 + 4, (idx & 31) * 8 + 4};
        double want_lin[3] = {srgb_to_linear(rgb[0] - 0.5), srgb_to_linear(rgb[1] - 0.5), srgb_to_linear(rgb[2] - 0.5)};
        Lab want = linear_to_oklab(want_lin[0], want_lin[1], want_lin[2]);
        bin.want_luma = srgb_luma(want_lin);
        // A bin that holds a console colour shows exactly that colour: flat fills in a console colour
        // are common and anything else would add texture to them.
        exact[idx] = console_colour_in_bin(idx);
        if (exact[idx] >= 0) {
            double luma, var;
            uint8_t blank = ' ';
            luma_texture(ink, exact[idx], exact[idx], &blank, 1, &luma, &var);
            bin.count = 0, bin.pattern = -1, bin.pick = 0, bin.luma = luma;
            continue;
        }
        // The cheapest candidates in order; on equal cost the earlier one stays first.
        bin.count = 0;
        for (int c = 0; c < (int)candidates.size(); c++) {
            const Candidate& cand = candidates[c];
            double e = mean_error(cand.lab, want) + cand.texture +
                       structure_weight * structure_loss(bin.want_luma, cand.luma, cand.luma_var);
            if (bin.count == BIN_CHOICES && e >= bin.cost[BIN_CHOICES - 1])
                continue;
            int at = bin.count < BIN_CHOICES ? bin.count++ : BIN_CHOICES - 1;
            for (; at > 0 && e < bin.cost[at - 1]; at--)
                bin.cand[at] = bin.cand[at - 1], bin.cost[at] = bin.cost[at - 1];
            bin.cand[at] = c, bin.cost[at] = e;
        }
        // The pattern path only where it beats the best flat candidate.
        bin.pattern_cost = bin.cost[0];
        bin.pattern = best_pattern(ink, charmap, rgb, want, bin.want_luma, &bin.pattern_cost, &bin.pattern_luma);
        bin.pick = bin.pattern >= 0 ? bin.count : 0;
        bin.luma = bin.pattern >= 0 ? bin.pattern_luma : candidates[bin.cand[0]].luma;
    }
    for (int round = 0; round < STEP_ROUNDS && step_weight > 0; round++) {
        int changed = 0;
        for (int idx = 0; idx < CELL_COLOURS; idx++)
            if (exact[idx] < 0)
                changed += repick(bins, candidates, idx);
        if (!changed)
            break;
    }
    for (int idx = 0; idx < CELL_COLOURS; idx++) {
        const BinChoice& bin = bins[idx];
        if (exact[idx] >= 0) {
            colmap[idx] = (uint8_t)(exact[idx] * 16 + exact[idx]);
            put_mix(colmap, idx, 0);
        } else if (bin.pick == bin.count) {
            colmap[idx] = (uint8_t)bin.pattern;
            put_mix(colmap, idx, -1);
        } else {
            const Candidate& c = candidates[bin.cand[bin.pick]];
            colmap[idx] = (uint8_t)(c.a * 16 + c.b);
            put_mix(colmap, idx, c.a == c.b ? 0 : cell_group_mix(c.group));
        }
    }
}

// ---- public functions ----

int tables_set_weight(const char* assignment)
{
    const char* eq = strchr(assignment, '=');
    for (const auto& w : WEIGHTS)
        if (eq && strlen(w.name) == (size_t)(eq - assignment) && !strncmp(assignment, w.name, eq - assignment)) {
            *w.value = atof(eq + 1);
            return 1;
        }
    return 0;
}

void tables_build(const GlyphSet* set, uint8_t* charmap, uint8_t* colmap)
{
    static Inks ink;
    for (int c = 0; c < 256; c++)
        glyph_coverage(set->rows8[c], ink.sub[c], &ink.total[c]);
    for (int i = 0; i < 16; i++) {
        for (int ch = 0; ch < 3; ch++)
            ink.lin[i][ch] = srgb_to_linear(vga_palette[i][ch]);
        ink.lab[i] = linear_to_oklab(ink.lin[i][0], ink.lin[i][1], ink.lin[i][2]);
    }
    build_char_table(ink.sub, charmap);
    build_colour_tables(ink, charmap, colmap);
}
