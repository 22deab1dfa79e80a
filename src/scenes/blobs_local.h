// blobs_local.h -- what the blob scene's files share: sizes, the kernel, splat centres, the probe lookup
#pragma once
#include <cstdint>

#include "scenes/scenes.h"

// ---- types ----

enum {
    BLOB_SPLATS = 64,
    BLOB_REACH = 18,                 // a splat covers offsets -18..17 on each axis
    BLOB_SIDE = 2 * BLOB_REACH,      // 36
    BLOB_DEPTH = 150,                // z cells of the volume; also "no surface" in the depth map
    BLOB_FIELD = 373248,             // 5832 * 64: a lone blob reaches the threshold at distance 8
    BLOB_THRESHOLD = 5831,           // a cell whose F sum is above this is inside the surface
};

struct BlobCentre {
    int x, y, z;
};

// One kernel cell: field strength F and the outward gradient G * (a, b, c).
struct BlobCell {
    int32_t f, gx, gy, gz;
};

// ---- state ----

// Cell for offset (a, b, c), each -18..17, is blob_kernel[a + 18][b + 18][c + 18].
extern BlobCell blob_kernel[BLOB_SIDE][BLOB_SIDE][BLOB_SIDE];
extern uint8_t blob_depth[SCREEN_W][SCREEN_H];  // z of the first cell inside the surface, 150 for none

// ---- functions ----

void blob_kernel_init(void);  // once; later calls do nothing
void blob_centres(int now, int part, BlobCentre centres[BLOB_SPLATS]);
// The probe pixel for a surface cell's summed gradient; the background's pixel when there is no probe.
uint32_t blob_probe_lookup(int64_t sx, int64_t sy, int64_t sz, uint32_t background);

// Splat `count` centres in order and shade the Screen over whatever it holds.
void blob_render(const BlobCentre* centres, int count);         // the one the show uses
void blob_render_oracle(const BlobCentre* centres, int count);  // the straightforward one, for comparison
