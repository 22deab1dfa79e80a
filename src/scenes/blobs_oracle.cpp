// blobs_oracle.cpp -- the blob scene done the straightforward way: a full voxel volume cleared and splatted
// every frame. The show uses blobs.cpp; this one is kept as the reference that tests and benchmarks compare with.
#include "scenes/blobs_local.h"
#include "assets/assets.h"

#include <cstring>

// ---- state ----

// 240 x 150 x 150 cells of four sums (F, Sx, Sy, Sz), z varying fastest: 86,400,000 bytes.
static BlobCell blob_volume[SCREEN_W][SCREEN_H][BLOB_DEPTH];

// ---- public functions ----

void blob_render_oracle(const BlobCentre* centres, int count)
{
    blob_kernel_init();
    memset(blob_volume, 0, sizeof blob_volume);
    memset(blob_depth, BLOB_DEPTH, sizeof blob_depth);
    for (int m = 0; m < count; m++) {
        const BlobCentre& c = centres[m];
        for (int x = c.x - BLOB_REACH; x < c.x + BLOB_REACH; x++)
            for (int y = c.y - BLOB_REACH; y < c.y + BLOB_REACH; y++)
                for (int z = c.z - BLOB_REACH; z < c.z + BLOB_REACH; z++) {
                    // Nothing behind a surface already found is accumulated.
                    if ((unsigned)x >= SCREEN_W || (unsigned)y >= SCREEN_H || blob_depth[x][y] < z)
                        break;
                    if ((unsigned)z >= BLOB_DEPTH)
                        continue;
                    const BlobCell& k = blob_kernel[x - c.x + BLOB_REACH][y - c.y + BLOB_REACH][z - c.z + BLOB_REACH];
                    BlobCell& v = blob_volume[x][y][z];
                    v.f += k.f, v.gx += k.gx, v.gy += k.gy, v.gz += k.gz;
                    if (v.f > BLOB_THRESHOLD)
                        blob_depth[x][y] = (uint8_t)z;
                }
    }
    for (int y = 0; y < SCREEN_H; y++)
        for (int x = 0; x < SCREEN_W; x++) {
            int d = blob_depth[x][y];
            if (d == BLOB_DEPTH)
                continue;
            const BlobCell& v = blob_volume[x][y][d];
            screen[y * SCREEN_W + x] = blob_probe_lookup(v.gx, v.gy, v.gz, screen[y * SCREEN_W + x]);
        }
}

void scene_blobs_oracle(int now, int part)
{
    BlobCentre centres[BLOB_SPLATS];
    image_blit_alpha(&blob_background, 0, 0);
    blob_centres(now, part, centres);
    blob_render_oracle(centres, BLOB_SPLATS);
}
