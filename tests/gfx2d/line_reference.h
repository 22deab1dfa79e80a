// line_reference.h -- lines walked step by step as they have always been drawn, to compare the Screen's lines with
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "gfx2d/gfx2d.h"

struct LineStep {
    int64_t k;  // 1 .. n + 1, in plotting order
    int x, y;
};

// Every step of the line (8.8 steps of the distance over n + 1, the step before each plot, positions
// rounded down) whose point lies within `reach` of the Screen, in plotting order; with reach -1 every
// step, for lines under 2^20 steps. Up to 2^20 steps the whole line is walked from its start. Longer ones are walked the same way, but outwards from a step
// near the Screen's centre, each way only until the point is off the Screen on an axis along which
// it does not come back: a line to 2^31 is not walked to its end.
inline std::vector<LineStep> reference_line(int x0, int y0, int x1, int y1, int reach)
{
    int64_t dx = (int64_t)x1 - x0, dy = (int64_t)y1 - y0;
    int64_t n = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
    int64_t sx = dx * 256 / (n + 1), sy = dy * 256 / (n + 1);
    int64_t fx0 = (int64_t)x0 * 256, fy0 = (int64_t)y0 * 256;
    auto near = [&](int64_t fx, int64_t fy) {
        int64_t x = fx >> 8, y = fy >> 8;
        return reach < 0 || (x >= -reach && x < SCREEN_W + reach && y >= -reach && y < SCREEN_H + reach);
    };
    std::vector<LineStep> steps;
    if (n < (1 << 20)) {
        int64_t fx = fx0, fy = fy0;
        for (int64_t k = 1; k <= n + 1; k++) {
            fx += sx;
            fy += sy;
            if (near(fx, fy))
                steps.push_back({k, (int)(fx >> 8), (int)(fy >> 8)});
        }
        return steps;
    }
    // Gone for good when, moving by (mx, my) a step, the point is off one side and not turning back.
    auto gone = [&](int64_t fx, int64_t fy, int64_t mx, int64_t my) {
        int64_t x = fx >> 8, y = fy >> 8;
        return (x < -reach && mx <= 0) || (x >= SCREEN_W + reach && mx >= 0) || (y < -reach && my <= 0) ||
               (y >= SCREEN_H + reach && my >= 0);
    };
    double cx = (double)SCREEN_W * 128 - fx0, cy = (double)SCREEN_H * 128 - fy0;
    double along = ((double)sx * cx + (double)sy * cy) / ((double)sx * sx + (double)sy * sy);
    int64_t mid = (int64_t)std::min(std::max(along, 1.0), (double)(n + 1));
    int64_t fx = fx0 + mid * sx, fy = fy0 + mid * sy;
    for (int64_t k = mid; k >= 1 && !gone(fx, fy, -sx, -sy); k--, fx -= sx, fy -= sy)
        if (near(fx, fy))
            steps.push_back({k, (int)(fx >> 8), (int)(fy >> 8)});
    std::reverse(steps.begin(), steps.end());
    fx = fx0 + mid * sx, fy = fy0 + mid * sy;
    for (int64_t k = mid + 1; k <= n + 1; k++) {
        fx += sx;
        fy += sy;
        if (gone(fx, fy, sx, sy))
            break;
        if (near(fx, fy))
            steps.push_back({k, (int)(fx >> 8), (int)(fy >> 8)});
    }
    return steps;
}
