// measure.cpp -- how a Screen reads once it becomes cells: its brightness and its in-cell detail
#include "measure.h"

#include "gfx2d/gfx2d.h"

#include <cmath>

// ---- internal functions ----

// Grey level of a pixel 0xXXBBGGRR: the plain mean of its three colour bytes, 0..255.
static double grey(uint32_t p)
{
    return ((p & 0xFF) + (p >> 8 & 0xFF) + (p >> 16 & 0xFF)) / 3.0;
}

// ---- public functions ----

ScreenMeasure measure_screen(const uint32_t* pixels)
{
    ScreenMeasure m = {0.0, 0.0};
    double sum = 0.0, deviation = 0.0;
    for (int by = 0; by < SCREEN_H; by += 3)
        for (int bx = 0; bx < SCREEN_W; bx += 3) {
            // One cell's 3 x 3 block: detail below the cell's size is what the cells turn into letter soup.
            double g[9], block = 0.0;
            for (int k = 0; k < 9; k++) {
                g[k] = grey(pixels[(by + k / 3) * SCREEN_W + bx + k % 3]);
                block += g[k];
            }
            sum += block;
            block /= 9.0;
            for (int k = 0; k < 9; k++)
                deviation += std::fabs(g[k] - block);
        }
    const double n = (double)SCREEN_PIXELS;
    m.mean = sum / n;
    m.detail = deviation / n;
    return m;
}
