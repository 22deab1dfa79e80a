// spheres.cpp -- sphere maps indexed by a surface normal: the blobs' probe, the water's and the ice's
#include "pictures.h"

#include <cmath>
#include <string>

// ---- types ----

// A direction in the viewer's frame: x right, y up, z towards the viewer.
struct Dir {
    float x, y, z;
};

// ---- internal functions ----

static Dir normalised(Dir d)
{
    float l = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return l > 0 ? Dir{d.x / l, d.y / l, d.z / l} : Dir{0, 0, 1};
}

// Pixel (col, row) of a size x size map stands for the normal whose x and y it is (row 0 = up);
// beyond the rim the map repeats the rim's normal, since lookups can land a pixel outside it.
static Dir normal_at(int col, int row, int size)
{
    float x = (col + 0.5f) / size * 2 - 1, y = 1 - (row + 0.5f) / size * 2;
    float q = x * x + y * y;
    if (q >= 1) {
        float l = std::sqrt(q);
        return Dir{x / l, y / l, 0};
    }
    return Dir{x, y, std::sqrt(1 - q)};
}

// The direction the viewer sees mirrored in a surface with normal n.
static Dir reflected(Dir n)
{
    return Dir{2 * n.z * n.x, 2 * n.z * n.y, 2 * n.z * n.z - 1};
}

static float highlight(Dir r, Dir light, float power)
{
    float d = r.x * light.x + r.y * light.y + r.z * light.z;
    return d > 0 ? std::pow(d, power) : 0;
}

static Rgba add(Rgba a, Rgba b, float k)
{
    return Rgba{a.r + b.r * k, a.g + b.g * k, a.b + b.b * k, 1};
}

// Chrome for the blobs: a blue sky over an orange ground, a sharp horizon and a sun.
static Rgba chrome(Dir n)
{
    Dir r = reflected(n);
    Rgba c;
    if (r.y > 0.02f)
        c = mix(rgb(110, 210, 255), rgb(20, 30, 150), std::pow(clamp01(r.y), 0.6f));
    else if (r.y > -0.02f)
        c = rgb(255, 255, 220);  // the horizon line
    else
        c = mix(rgb(230, 110, 20), rgb(40, 8, 30), std::pow(clamp01(-r.y), 0.5f));
    c = add(c, rgb(255, 255, 255), highlight(r, normalised({-0.5f, 0.6f, 0.62f}), 60));
    // A darker rim keeps neighbouring blobs apart.
    c = mix(c, rgb(10, 0, 40), smooth(0.35f, 0.0f, n.z) * 0.8f);
    return c;
}

// Night water: deep blue with fine bands of light everywhere, so that the small changes of the normal
// that ripples make move visible stripes, brighter towards the rim (grazing views) and a moon glint.
static Rgba night_water(Dir n)
{
    Dir r = reflected(n);
    Rgba c = mix(rgb(0, 24, 80), rgb(0, 8, 36), clamp01(r.y));
    float bands = 0.5f + 0.5f * std::sin(n.y * 110.0f + 0.8f * std::sin(n.x * 17.0f));
    c = add(c, rgb(40, 100, 180), bands * bands * (0.35f + 0.65f * smooth(0.3f, 0.9f, n.y)));
    // Near the top of the map (water seen at a low angle) tilts move the normal sideways: cross bands.
    float cross = 0.5f + 0.5f * std::sin(n.x * 50.0f + 2.0f * std::sin(n.y * 13.0f));
    c = add(c, rgb(30, 70, 130), cross * cross * smooth(0.7f, 0.97f, n.y) * 0.8f);
    c = add(c, rgb(20, 30, 60), smooth(0.6f, 1.0f, std::sqrt(n.x * n.x + n.y * n.y)) * 0.5f);
    c = add(c, rgb(200, 220, 255), highlight(r, normalised({0.1f, 0.92f, 0.38f}), 120) * 1.2f);
    c = add(c, rgb(60, 80, 140), highlight(r, normalised({0.1f, 0.92f, 0.38f}), 12) * 0.4f);
    return c;
}

// Ice: dark where the surface faces the viewer, cold blue towards the rim, soft bands (ripples show
// in them when the water wears this map) and a white sun. It is added over the letters, so the faces
// keep their own colour and only edges and highlights light up.
static Rgba ice(Dir n)
{
    Dir r = reflected(n);
    float rim = (1 - n.z) * (1 - n.z);
    Rgba c = mix(rgb(4, 12, 28), rgb(50, 115, 150), rim);
    if (r.y < 0)
        c = mix(c, rgb(0, 5, 20), clamp01(-r.y) * 0.6f);
    float bands = 0.5f + 0.5f * std::sin(n.y * 70.0f + 0.6f * std::sin(n.x * 11.0f));
    c = add(c, rgb(25, 55, 75), bands * bands * (0.2f + 0.6f * rim));
    float cross = 0.5f + 0.5f * std::sin(n.x * 50.0f + 2.0f * std::sin(n.y * 13.0f));
    c = add(c, rgb(20, 50, 70), cross * cross * smooth(0.7f, 0.97f, n.y) * 0.7f);
    c = add(c, rgb(255, 255, 255), highlight(r, normalised({-0.45f, 0.55f, 0.7f}), 60));
    c = add(c, rgb(120, 200, 255), highlight(r, normalised({0.7f, -0.2f, 0.68f}), 30) * 0.3f);
    return c;
}

static int write_map(const char* dir, const char* name, int size, Rgba (*shade)(Dir))
{
    Canvas c = canvas_new(size, size, rgb(0, 0, 0));
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            Rgba p = shade(normal_at(x, y, size));
            p.a = 1;
            c.pixels[(size_t)y * size + x] = p;
        }
    std::string path = std::string(dir) + "/" + name;
    return tga_write(path.c_str(), &c, 0);
}

// ---- public functions ----

int make_spheres(const char* out_dir)
{
    return write_map(out_dir, "probe.tga", 128, chrome) && write_map(out_dir, "probe_blk.tga", 256, night_water) &&
           write_map(out_dir, "ice_env.tga", 256, ice);
}
