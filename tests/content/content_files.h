// content_files.h -- small independent readers of the generated TGA and BOF files, for the content tests
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct TgaFile {
    int width = 0, height = 0, depth = 0, descriptor = 0;
    std::vector<uint8_t> rgba;  // top row first, red green blue alpha
    uint8_t at(int x, int y, int channel) const { return rgba[((size_t)y * width + x) * 4 + channel]; }
};

struct BofVertex {
    double x, y, z, u, v;
};

struct BofFile {
    std::vector<BofVertex> vertices;
    std::vector<int> faces;  // three indices per face
};

inline std::string data_path(const std::string& name)
{
    return std::string(KERV_DATA_ROOT) + "/data/" + name;
}

// Uncompressed true-colour only: that is what our picture tool writes.
inline bool read_tga(const std::string& name, TgaFile* t)
{
    FILE* f = fopen(data_path(name).c_str(), "rb");
    if (!f)
        return false;
    uint8_t h[18];
    bool ok = fread(h, 1, 18, f) == 18 && h[0] == 0 && h[1] == 0 && h[2] == 2;
    if (ok) {
        t->width = h[12] | h[13] << 8, t->height = h[14] | h[15] << 8, t->depth = h[16], t->descriptor = h[17];
        int bytes = t->depth / 8;
        ok = (t->depth == 24 || t->depth == 32);
        std::vector<uint8_t> raw((size_t)t->width * t->height * (ok ? bytes : 0));
        ok = ok && fread(raw.data(), 1, raw.size(), f) == raw.size();
        t->rgba.assign((size_t)t->width * t->height * 4, 255);
        for (int y = 0; ok && y < t->height; y++)
            for (int x = 0; x < t->width; x++) {
                int sy = (t->descriptor & 0x20) ? y : t->height - 1 - y;
                const uint8_t* s = &raw[((size_t)sy * t->width + x) * bytes];
                uint8_t* d = &t->rgba[((size_t)y * t->width + x) * 4];
                d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = bytes == 4 ? s[3] : 255;
            }
    }
    fclose(f);
    return ok;
}

inline bool read_bof(const std::string& name, BofFile* b)
{
    FILE* f = fopen(data_path(name).c_str(), "rb");
    if (!f)
        return false;
    char word[64];
    int nv = 0, nf = 0;
    float px, py, pz;
    bool ok = fscanf(f, "%63s %d %d %f %f %f", word, &nv, &nf, &px, &py, &pz) == 6 && nv > 0 && nf > 0;
    for (int i = 0; ok && i < nv; i++) {
        int n;
        BofVertex v;
        ok = fscanf(f, "%d %lf %lf %lf %lf %lf", &n, &v.x, &v.y, &v.z, &v.u, &v.v) == 6;
        b->vertices.push_back(v);
    }
    for (int i = 0; ok && i < nf; i++) {
        int n, a, c, d;
        ok = fscanf(f, "%d %d %d %d", &n, &a, &c, &d) == 4 && a >= 0 && c >= 0 && d >= 0 && a < nv && c < nv && d < nv;
        b->faces.insert(b->faces.end(), {a, c, d});
    }
    fclose(f);
    return ok;
}
