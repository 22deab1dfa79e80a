// paint.cpp -- the canvas: blending, coverage masks, deterministic noise
#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// ---- internal functions ----

static float fade(float t)
{
    return t * t * (3 - 2 * t);
}

// ---- public functions ----

Canvas canvas_new(int width, int height, Rgba fill)
{
    return Canvas{width, height, std::vector<Rgba>((size_t)width * height, fill)};
}

void canvas_blend(Canvas* c, int x, int y, Rgba s)
{
    if (x < 0 || y < 0 || x >= c->width || y >= c->height || s.a <= 0)
        return;
    Rgba& d = c->pixels[(size_t)y * c->width + x];
    float out_a = s.a + d.a * (1 - s.a);
    if (out_a <= 0) {
        d = Rgba{0, 0, 0, 0};
        return;
    }
    float kd = d.a * (1 - s.a) / out_a, ks = s.a / out_a;
    d = Rgba{s.r * ks + d.r * kd, s.g * ks + d.g * kd, s.b * ks + d.b * kd, out_a};
}

void canvas_blend_mask(Canvas* c, const Mask* m, Rgba colour)
{
    for (int y = 0; y < c->height && y < m->height; y++)
        for (int x = 0; x < c->width && x < m->width; x++) {
            float k = m->cover[(size_t)y * m->width + x];
            if (k > 0)
                canvas_blend(c, x, y, Rgba{colour.r, colour.g, colour.b, colour.a * k});
        }
}

Mask mask_new(int width, int height)
{
    return Mask{width, height, std::vector<float>((size_t)width * height, 0.0f)};
}

Mask mask_dilate(const Mask* m, float radius)
{
    Mask out = mask_new(m->width, m->height);
    int r = (int)std::ceil(radius);
    // Only the box around the covered pixels can change.
    int x0 = m->width, y0 = m->height, x1 = -1, y1 = -1;
    for (int y = 0; y < m->height; y++)
        for (int x = 0; x < m->width; x++)
            if (m->cover[(size_t)y * m->width + x] > 0)
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    for (int y = std::max(0, y0 - r); y <= std::min(m->height - 1, y1 + r); y++)
        for (int x = std::max(0, x0 - r); x <= std::min(m->width - 1, x1 + r); x++) {
            float best = 0;
            for (int dy = -r; dy <= r; dy++)
                for (int dx = -r; dx <= r; dx++) {
                    int sx = x + dx, sy = y + dy;
                    if (sx < 0 || sy < 0 || sx >= m->width || sy >= m->height)
                        continue;
                    // Soft edge: full weight inside the radius, fading over the last pixel.
                    float w = clamp01(radius + 0.5f - std::sqrt((float)(dx * dx + dy * dy)));
                    best = std::max(best, m->cover[(size_t)sy * m->width + sx] * w);
                }
            out.cover[(size_t)y * m->width + x] = best;
        }
    return out;
}

float hash01(int x, int y, int seed)
{
    uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + (uint32_t)seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / (float)0x1000000;
}

float noise_tiled(float x, float y, int px, int py, int seed)
{
    int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
    float fx = fade(x - x0), fy = fade(y - y0);
    auto at = [&](int ix, int iy) {
        ix = ((ix % px) + px) % px;
        iy = ((iy % py) + py) % py;
        return hash01(ix, iy, seed);
    };
    float a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
    float b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
    return a + (b - a) * fy;
}

float fbm_tiled(float x, float y, int px, int py, int octaves, int seed)
{
    float sum = 0, weight = 0.5f, total = 0;
    for (int o = 0; o < octaves; o++) {
        sum += noise_tiled(x, y, px, py, seed + o * 101) * weight;
        total += weight;
        x *= 2, y *= 2, px *= 2, py *= 2, weight *= 0.5f;
    }
    return sum / total;
}

Rgba mix(Rgba a, Rgba b, float t)
{
    return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Rgba rgb(int r, int g, int b, int a)
{
    return Rgba{r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
}

float clamp01(float v)
{
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

float smooth(float e0, float e1, float x)
{
    return fade(clamp01((x - e0) / (e1 - e0)));
}
