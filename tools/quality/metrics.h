// metrics.h -- picture scores: SSIM on luma, and PSNR and mean CIEDE2000 after a blur in linear light
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// ---- types ----

struct Picture {
    std::vector<double> lin;  // 240 x 150 x 3, linear light
};

struct Score {
    double ssim, psnr, de;
};

// ---- public functions ----

double metrics_to_linear(double c);  // sRGB byte value 0-255 to linear light 0-1
double metrics_to_srgb(double l);    // linear light (clamped to 0-1) to sRGB 0-255

// Area average of a 640 x 400 drawing (sRGB bytes) over the 240 x 150 grid, in linear light.
Picture metrics_scale_down(const std::vector<uint8_t>& rgb);

std::vector<double> metrics_gaussian_blur(const std::vector<double>& img, int w, int h, int channels, double sigma);

double metrics_ssim_luma(const Picture& a, const Picture& b);

// SSIM, then PSNR and mean CIEDE2000 after blurring both by 1.5 pixels (half a cell).
Score metrics_score(const Picture& source, const Picture& drawn);

// Area average of a w x h drawing (sRGB bytes, 3 per pixel, stride bytes per row) over the 240 x 150
// grid, in linear light: each output pixel is the mean of the w / 240 x h / 150 source pixels it covers.
// Needs w >= 240 and h >= 150.
Picture metrics_area_average(const uint8_t* rgb, int w, int h, size_t stride);
