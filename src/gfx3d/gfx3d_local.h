// gfx3d_local.h -- what only the 3D engine's own files share: edge scratch, spans, the triangle setup
#pragma once
#include "gfx3d/gfx3d.h"

// ---- types ----

// One horizontal run of pixels handed to a span filler. Texel coordinates and depth are 20.12.
struct Span {
    int32_t count;           // pixels
    fixed u, v;              // texel column and row at the first pixel
    fixed du, dv;            // change per pixel
    fixed depth, ddepth;     // depth at the first pixel, change per pixel
    int32_t u_mask, v_mask;  // texture width - 1, height - 1 (textures repeat)
    int32_t width_shift;     // texel row r starts at r << width_shift
    const uint32_t* texels;
    uint32_t* dst;           // first Screen pixel
    int32_t* zdst;           // first zbuffer value
};

// The texel value that is never drawn (magenta, read as a little-endian word).
enum : uint32_t { TEXEL_TRANSPARENT = 0xFFFF00FFu };

// ---- state ----

// Used only while a mesh's edges are built; a mesh has at most EDGE_SCRATCH distinct edges.
extern MeshEdge edge_scratch[EDGE_SCRATCH];
extern int edge_scratch_count;

extern void (*span_fill)(Span* s);  // the current filler; null until the first draw or raster_set_additive
extern int current_texture;         // TextureTable slot of the mesh being drawn

// ---- functions ----

void span_opaque(Span* s);
void span_additive(Span* s);
void edge_prepare(MeshVertex* a, MeshVertex* b, MeshEdge* e);  // a is the upper vertex
void triangle_draw(const MeshFace* face, Mesh* mesh);
// Builds the edges of a mesh; 0 when a face index is outside the mesh or the edges overflow the scratch
// (the mesh's edges are then left null). `problem` receives a short description.
int mesh_build_edges_checked(Mesh* mesh, const char** problem);
