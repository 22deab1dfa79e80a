// measure.h -- figures of one Screen that say how it reads as cells (the renderer logs them per frame)
#pragma once
#include <cstdint>

struct ScreenMeasure {
    double mean;    // mean grey level (red + green + blue) / 3, 0..255
    double detail;  // mean distance of a pixel's grey level from its own 3 x 3 block's mean, 0..255
};

ScreenMeasure measure_screen(const uint32_t* pixels);  // pixels: 240 x 150, rows top to bottom, 0xXXBBGGRR
