// cellgen.cpp -- kerv16-cellgen: writes the cell conversion tables (first cut: block glyphs, fixed coverages)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static const int PAL[16][3] = {
    {0, 0, 0}, {0, 0, 128}, {0, 128, 0}, {0, 128, 128}, {128, 0, 0}, {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
    {128, 128, 128}, {0, 0, 255}, {0, 255, 0}, {0, 255, 255}, {255, 0, 0}, {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
};
// Rough foreground share of each aligned group of four shade ramp entries.
static const double GROUP_COVER[10] = {0, 0.05, 0.09, 0.12, 0.25, 0.2, 0.3, 0.35, 0.5, 0};

static int write_file(const std::string& path, const void* data, size_t n)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(data, 1, n, f) != n || fclose(f) != 0) {
        fprintf(stderr, "kerv16-cellgen: cannot write %s\n", path.c_str());
        return 0;
    }
    return 1;
}

int main(int argc, char** argv)
{
    if (argc != 3 || strcmp(argv[1], "tables") != 0) {
        fprintf(stderr, "usage: kerv16-cellgen tables DATA_DIR\n");
        return 2;
    }
    std::vector<uint8_t> charmap(118098), colmap(163840);
    // Each level and pattern: the half-block glyph nearest to the foreground share of the four quadrants.
    for (int level = 0; level < 6; level++)
        for (int code = 0; code < 19683; code++) {
            int d[9], c = code;
            for (int k = 0; k < 9; k++)
                d[k] = c % 3, c /= 3;
            double top = (d[0] + d[1] + d[2]) / 6.0, bottom = (d[6] + d[7] + d[8]) / 6.0;
            double left = (d[0] + d[3] + d[6]) / 6.0, right = (d[2] + d[5] + d[8]) / 6.0;
            double all = 0;
            for (int k = 0; k < 9; k++)
                all += d[k] / 18.0;
            all *= (level + 1) / 6.0;
            uint8_t ch = all < 0.15 ? 0x20 : all < 0.4 ? 0xB0 : all < 0.6 ? 0xB1 : all < 0.85 ? 0xB2 : 0xDB;
            if (fabs(top - bottom) > 0.5)
                ch = top > bottom ? 0xDF : 0xDC;
            else if (fabs(left - right) > 0.5)
                ch = left > right ? 0xDD : 0xDE;
            charmap[level * 19683 + code] = ch;
        }
    // Each 15-bit colour: the pair and shade group whose mean is nearest in RGB.
    for (int idx = 0; idx < 32768; idx++) {
        double r = (idx >> 10) * 8 + 4, g = (idx >> 5 & 31) * 8 + 4, b = (idx & 31) * 8 + 4;
        double best = 1e30;
        int best_attr = 0, best_group = 0;
        for (int a = 0; a < 16; a++)
            for (int f = 0; f < 16; f++)
                for (int grp = 0; grp < 10; grp++) {
                    double w = GROUP_COVER[grp];
                    double dr = PAL[a][0] * (1 - w) + PAL[f][0] * w - r;
                    double dg = PAL[a][1] * (1 - w) + PAL[f][1] * w - g;
                    double db = PAL[a][2] * (1 - w) + PAL[f][2] * w - b;
                    double e = dr * dr + dg * dg + db * db;
                    if (e < best)
                        best = e, best_attr = a * 16 + f, best_group = grp;
                }
        colmap[idx] = (uint8_t)best_attr;
        float mix = (float)((best_group * 4 + 2) / 74.0);
        uint32_t bits;
        memcpy(&bits, &mix, 4);
        for (int i = 0; i < 4; i++)
            colmap[32768 + 4 * idx + i] = (uint8_t)(bits >> (8 * i));
    }
    std::string dir = argv[2];
    return write_file(dir + "/charmap.lut", charmap.data(), charmap.size()) &&
                   write_file(dir + "/colmap.lut", colmap.data(), colmap.size())
               ? 0
               : 1;
}
