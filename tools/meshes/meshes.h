// meshes.h -- kerv16-meshes: triangle meshes built in memory and written as static BOF text files
#pragma once
#include <string>
#include <vector>

// ---- types ----

struct MeshVtx {
    double x, y, z;  // model units
    double u, v;     // texture coordinates, 1.0 = one texture width or height
};

struct MeshTri {
    int a, b, c;  // vertex indices
};

struct MeshOut {
    std::vector<MeshVtx> vertices;
    std::vector<MeshTri> faces;
};

enum {
    PIVOT_BOTTOM,    // the word's lowest ink
    PIVOT_MIDDLE,    // the middle of the word's ink
    PIVOT_BASELINE,  // the font's baseline
};

// One word of extruded letters, one mesh per glyph.
struct LetterSet {
    std::string glyphs;              // UTF-8 text typeset as one word, one glyph per mesh
    std::vector<std::string> files;  // output file per glyph
    double em = 100.0;               // model units per em
    double depth = 10.0;             // extrusion depth, centred on z = 0
    int pivot = 0;                   // where y = 0 (before `lift`): PIVOT_BOTTOM, PIVOT_MIDDLE or PIVOT_BASELINE
    double lift = 0.0;               // added to every y after the pivot (model units)
    double step = 0.05;              // longest curve segment, in ems
};

// ---- public functions ----

// Adds the triangle (a, b, c), wound so that its (b - a) x (c - a) normal points along (nx, ny, nz).
void mesh_add_facing(MeshOut* m, int a, int b, int c, double nx, double ny, double nz);
void mesh_drop_unused(MeshOut* m);  // removes vertices no face uses, keeping the order of the rest
int bof_write(const char* path, const char* word, const MeshOut* m);  // 1 on success, message on failure

// 64 x 64 water plane: vertex 64j + i at x = -50 + i * 100 / 64, y = 0, z = -50 + j * 100 / 64, seen from above.
void shape_plane64(MeshOut* m);
// Sphere around the origin seen from inside; u runs `u_repeat` times around, v from the top pole (0) to the bottom (1).
void shape_sky(MeshOut* m, double radius, int rings, int segments, int u_repeat);

// Extrudes the glyphs of one set; fills one mesh per glyph. 1 on success, message on failure.
int letters_build(const char* font_path, const LetterSet* set, std::vector<MeshOut>* out);
