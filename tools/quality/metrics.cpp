// metrics.cpp -- picture scores: SSIM on luma, and PSNR and mean CIEDE2000 after a blur in linear light
#include "metrics.h"

#include <algorithm>
#include <cmath>

#include "gfx2d/gfx2d.h"

// ---- state ----

static const double METRICS_BLUR_SIGMA = 1.5;  // pixels of the 240 x 150 picture (half a cell)

// ---- internal functions ----

static void linear_to_lab(const double* lin, double lab[3])
{
    double x = 0.4124564 * lin[0] + 0.3575761 * lin[1] + 0.1804375 * lin[2];
    double y = 0.2126729 * lin[0] + 0.7151522 * lin[1] + 0.0721750 * lin[2];
    double z = 0.0193339 * lin[0] + 0.1191920 * lin[1] + 0.9503041 * lin[2];
    auto f = [](double t) { return t > 216.0 / 24389 ? cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    double fx = f(x / 0.95047), fy = f(y), fz = f(z / 1.08883);
    lab[0] = 116 * fy - 16, lab[1] = 500 * (fx - fy), lab[2] = 200 * (fy - fz);
}

static double ciede2000(const double p[3], const double q[3])
{
    const double deg = M_PI / 180;
    double c1 = hypot(p[1], p[2]), c2 = hypot(q[1], q[2]), cm = (c1 + c2) / 2;
    double g = 0.5 * (1 - sqrt(pow(cm, 7) / (pow(cm, 7) + pow(25.0, 7))));
    double a1 = p[1] * (1 + g), a2 = q[1] * (1 + g);
    double cc1 = hypot(a1, p[2]), cc2 = hypot(a2, q[2]);
    double h1 = cc1 == 0 ? 0 : atan2(p[2], a1), h2 = cc2 == 0 ? 0 : atan2(q[2], a2);
    if (h1 < 0)
        h1 += 2 * M_PI;
    if (h2 < 0)
        h2 += 2 * M_PI;
    double dl = q[0] - p[0], dc = cc2 - cc1, dh = 0;
    if (cc1 * cc2 != 0) {
        dh = h2 - h1;
        if (dh > M_PI)
            dh -= 2 * M_PI;
        else if (dh < -M_PI)
            dh += 2 * M_PI;
    }
    double dhh = 2 * sqrt(cc1 * cc2) * sin(dh / 2);
    double lm = (p[0] + q[0]) / 2, ccm = (cc1 + cc2) / 2, hm = h1 + h2;
    if (cc1 * cc2 != 0) {
        if (fabs(h1 - h2) <= M_PI)
            hm = (h1 + h2) / 2;
        else
            hm = h1 + h2 < 2 * M_PI ? (h1 + h2 + 2 * M_PI) / 2 : (h1 + h2 - 2 * M_PI) / 2;
    }
    double t = 1 - 0.17 * cos(hm - 30 * deg) + 0.24 * cos(2 * hm) + 0.32 * cos(3 * hm + 6 * deg) - 0.20 * cos(4 * hm - 63 * deg);
    double dtheta = 30 * deg * exp(-pow((hm / deg - 275) / 25, 2));
    double rc = 2 * sqrt(pow(ccm, 7) / (pow(ccm, 7) + pow(25.0, 7)));
    double sl = 1 + 0.015 * (lm - 50) * (lm - 50) / sqrt(20 + (lm - 50) * (lm - 50));
    double sc = 1 + 0.045 * ccm, sh = 1 + 0.015 * ccm * t;
    double rt = -sin(2 * dtheta) * rc;
    return sqrt(pow(dl / sl, 2) + pow(dc / sc, 2) + pow(dhh / sh, 2) + rt * (dc / sc) * (dhh / sh));
}

// ---- public functions ----

double metrics_to_linear(double c)
{
    c /= 255;
    return c <= 0.04045 ? c / 12.92 : pow((c + 0.055) / 1.055, 2.4);
}

double metrics_to_srgb(double l)
{
    l = l < 0 ? 0 : l > 1 ? 1 : l;
    double c = l <= 0.0031308 ? l * 12.92 : 1.055 * pow(l, 1 / 2.4) - 0.055;
    return c * 255;
}

// Area average of the 640 x 400 drawing over the 240 x 150 grid (each pixel covers 8/3 x 8/3), in linear light.
Picture metrics_scale_down(const std::vector<uint8_t>& rgb)
{
    Picture p;
    p.lin.assign(SCREEN_PIXELS * 3, 0);
    for (int y = 0; y < 400; y++)
        for (int x = 0; x < 640; x++)
            for (int k = 0; k < 3; k++) {
                double v = metrics_to_linear(rgb[((size_t)y * 640 + x) * 3 + k]);
                // The drawing pixel [x, x + 1) spans output columns at 3x/8 .. 3(x + 1)/8.
                for (int oy = 3 * y / 8; oy <= (3 * y + 2) / 8; oy++)
                    for (int ox = 3 * x / 8; ox <= (3 * x + 2) / 8; ox++) {
                        double wx = std::min(3.0 * (x + 1) / 8, ox + 1.0) - std::max(3.0 * x / 8, (double)ox);
                        double wy = std::min(3.0 * (y + 1) / 8, oy + 1.0) - std::max(3.0 * y / 8, (double)oy);
                        if (wx > 0 && wy > 0 && ox < 240 && oy < 150)
                            p.lin[((size_t)oy * 240 + ox) * 3 + k] += v * wx * wy;
                    }
            }
    return p;
}

std::vector<double> metrics_gaussian_blur(const std::vector<double>& img, int w, int h, int channels, double sigma)
{
    int r = (int)ceil(3 * sigma);
    std::vector<double> kernel(2 * r + 1);
    double sum = 0;
    for (int i = -r; i <= r; i++)
        sum += kernel[i + r] = exp(-i * i / (2 * sigma * sigma));
    for (double& k : kernel)
        k /= sum;
    std::vector<double> tmp(img.size()), out(img.size());
    for (int pass = 0; pass < 2; pass++) {
        const std::vector<double>& src = pass ? tmp : img;
        std::vector<double>& dst = pass ? out : tmp;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                for (int c = 0; c < channels; c++) {
                    double acc = 0;
                    for (int i = -r; i <= r; i++) {
                        int sx = pass ? x : std::clamp(x + i, 0, w - 1), sy = pass ? std::clamp(y + i, 0, h - 1) : y;
                        acc += kernel[i + r] * src[((size_t)sy * w + sx) * channels + c];
                    }
                    dst[((size_t)y * w + x) * channels + c] = acc;
                }
    }
    return out;
}

double metrics_ssim_luma(const Picture& a, const Picture& b)
{
    std::vector<double> ya(SCREEN_PIXELS), yb(SCREEN_PIXELS);
    for (int i = 0; i < SCREEN_PIXELS; i++) {
        const double* p = &a.lin[3 * i];
        const double* q = &b.lin[3 * i];
        ya[i] = 0.299 * metrics_to_srgb(p[0]) + 0.587 * metrics_to_srgb(p[1]) + 0.114 * metrics_to_srgb(p[2]);
        yb[i] = 0.299 * metrics_to_srgb(q[0]) + 0.587 * metrics_to_srgb(q[1]) + 0.114 * metrics_to_srgb(q[2]);
    }
    std::vector<double> aa(SCREEN_PIXELS), bb(SCREEN_PIXELS), ab(SCREEN_PIXELS);
    for (int i = 0; i < SCREEN_PIXELS; i++)
        aa[i] = ya[i] * ya[i], bb[i] = yb[i] * yb[i], ab[i] = ya[i] * yb[i];
    auto ma = metrics_gaussian_blur(ya, 240, 150, 1, 1.5), mb = metrics_gaussian_blur(yb, 240, 150, 1, 1.5);
    auto saa = metrics_gaussian_blur(aa, 240, 150, 1, 1.5), sbb = metrics_gaussian_blur(bb, 240, 150, 1, 1.5);
    auto sab = metrics_gaussian_blur(ab, 240, 150, 1, 1.5);
    const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    double total = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++) {
        double va = saa[i] - ma[i] * ma[i], vb = sbb[i] - mb[i] * mb[i], cov = sab[i] - ma[i] * mb[i];
        total += ((2 * ma[i] * mb[i] + c1) * (2 * cov + c2)) / ((ma[i] * ma[i] + mb[i] * mb[i] + c1) * (va + vb + c2));
    }
    return total / (double)SCREEN_PIXELS;
}

Score metrics_score(const Picture& source, const Picture& drawn)
{
    Score s;
    s.ssim = metrics_ssim_luma(source, drawn);
    auto bs = metrics_gaussian_blur(source.lin, 240, 150, 3, METRICS_BLUR_SIGMA);
    auto bd = metrics_gaussian_blur(drawn.lin, 240, 150, 3, METRICS_BLUR_SIGMA);
    double se = 0, de = 0;
    for (int i = 0; i < SCREEN_PIXELS; i++) {
        for (int k = 0; k < 3; k++) {
            double d = metrics_to_srgb(bs[3 * i + k]) - metrics_to_srgb(bd[3 * i + k]);
            se += d * d;
        }
        double la[3], lb[3];
        linear_to_lab(&bs[3 * i], la);
        linear_to_lab(&bd[3 * i], lb);
        de += ciede2000(la, lb);
    }
    double mse = se / (SCREEN_PIXELS * 3);
    s.psnr = mse > 0 ? 10 * log10(255.0 * 255 / mse) : 99;
    s.de = de / (double)SCREEN_PIXELS;
    return s;
}

Picture metrics_area_average(const uint8_t* rgb, int w, int h, size_t stride)
{
    Picture p;
    p.lin.assign(SCREEN_PIXELS * 3, 0);
    // Source pixel x spans output columns [240 x / w, 240 (x + 1) / w); its weight in each is the overlap.
    auto spread = [](int n, int out_n, std::vector<int>& first, std::vector<double>& weights) {
        first.resize(n);
        weights.assign((size_t)n * 2, 0);
        for (int i = 0; i < n; i++) {
            double a = (double)out_n * i / n, b = (double)out_n * (i + 1) / n;
            int o = std::min((int)a, out_n - 1);
            first[i] = o;
            weights[2 * i] = std::min(b, o + 1.0) - a;
            weights[2 * i + 1] = b > o + 1 ? b - (o + 1) : 0;  // a source pixel is never wider than an output pixel
        }
    };
    std::vector<int> fx, fy;
    std::vector<double> wx, wy;
    spread(w, 240, fx, wx);
    spread(h, 150, fy, wy);
    double lut[256];
    for (int v = 0; v < 256; v++)
        lut[v] = metrics_to_linear(v);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            for (int j = 0; j < 2; j++)
                for (int i = 0; i < 2; i++) {
                    double weight = wy[2 * y + j] * wx[2 * x + i];
                    int ox = fx[x] + i, oy = fy[y] + j;
                    if (weight <= 0 || ox >= 240 || oy >= 150)
                        continue;
                    const uint8_t* s = rgb + (size_t)y * stride + (size_t)x * 3;
                    double* d = &p.lin[((size_t)oy * 240 + ox) * 3];
                    for (int k = 0; k < 3; k++)
                        d[k] += weight * lut[s[k]];
                }
    return p;
}
