// cell_convert.cpp -- PLACEHOLDER cell conversion until the table-driven one lands:
// a full block in the nearest console colour of the block's mean.
#include "console/console.h"

const uint8_t console_palette[16][3] = {
    {0, 0, 0}, {0, 0, 128}, {0, 128, 0}, {0, 128, 128}, {128, 0, 0}, {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
    {128, 128, 128}, {0, 0, 255}, {0, 255, 0}, {0, 255, 255}, {255, 0, 0}, {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
};

int load_cell_tables(void) { return 1; }

uint8_t convert_cell(const uint32_t* pixels, int column, int row, uint8_t* character)
{
    int r = 0, g = 0, b = 0;
    for (int j = 0; j < 3; j++)
        for (int i = 0; i < 3; i++) {
            uint32_t p = pixels[(row * 3 + j) * 240 + column * 3 + i];
            r += p & 255;
            g += (p >> 8) & 255;
            b += (p >> 16) & 255;
        }
    r /= 9, g /= 9, b /= 9;
    int best = 0, best_d = 1 << 30;
    for (int k = 15; k >= 0; k--) {
        int dr = r - console_palette[k][0], dg = g - console_palette[k][1], db = b - console_palette[k][2];
        int d = dr * dr + dg * dg + db * db;
        if (d < best_d)
            best_d = d, best = k;
    }
    *character = ' ';
    return (uint8_t)(best * 16 + best);
}
