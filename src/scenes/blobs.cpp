// blobs.cpp -- scene 4: soft blobs splatted as a field, surfaces found front to back, shaded from a light probe
//
// The visible result needs much less than a full voxel volume. Field strengths are never negative, so a
// column's sums only grow and its surface is the first z whose sum over *every* splat covering it is above
// the threshold; later splats can only stop short of cells behind that, which nobody looks at. So each
// Screen row is summed on its own in a small buffer of F values, the first cell above the threshold is
// searched, and the gradient sums are added up for that one cell only. The Screen comes out exactly as
// from the straightforward volume (blobs_oracle.cpp), which the tests check.
#include "scenes/blobs_local.h"
#include "assets/assets.h"

#include <cmath>
#include <cstring>

// ---- state ----

BlobCell blob_kernel[BLOB_SIDE][BLOB_SIDE][BLOB_SIDE];
uint8_t blob_depth[SCREEN_W][SCREEN_H];

static int kernel_ready;
// F alone, offsets (a, b) then the 36 values along c, so a column's profile is contiguous.
static int32_t kernel_f[BLOB_SIDE][BLOB_SIDE][BLOB_SIDE];
static int32_t kernel_peak[BLOB_SIDE][BLOB_SIDE];  // the largest F along each column of the kernel

// F sums of the Screen row being worked on; zero outside the z range each column touched.
static int32_t row_sums[SCREEN_W][BLOB_DEPTH];
static uint8_t row_lo[SCREEN_W];  // first z touched in the column, or BLOB_DEPTH
static uint8_t row_hi[SCREEN_W];  // last z touched in the column
static int32_t row_peak[SCREEN_W];  // sum of the covering splats' column peaks: no sum along it can be larger

// ---- internal functions ----

// Splats whose box covers row y, in splat order.
static int row_splats(const BlobCentre* centres, int count, int y, int out[BLOB_SPLATS])
{
    int n = 0;
    for (int m = 0; m < count && n < BLOB_SPLATS; m++)
        if (y >= centres[m].y - BLOB_REACH && y < centres[m].y + BLOB_REACH)
            out[n++] = m;
    return n;
}

// Adds the F profiles of the covering splats to row_sums; cells outside the volume are left out. A column
// whose peaks add up to no more than the threshold cannot hold a surface and is skipped.
static void sum_row(const BlobCentre* centres, const int* list, int n, int y)
{
    int x_lo = SCREEN_W, x_hi = 0;
    for (int i = 0; i < n; i++) {
        const BlobCentre& c = centres[list[i]];
        int b = y - c.y + BLOB_REACH;
        int x0 = c.x - BLOB_REACH < 0 ? 0 : c.x - BLOB_REACH;
        int x1 = c.x + BLOB_REACH > SCREEN_W ? (int)SCREEN_W : c.x + BLOB_REACH;
        for (int x = x0; x < x1; x++)
            row_peak[x] += kernel_peak[x - c.x + BLOB_REACH][b];
        x_lo = x0 < x_lo ? x0 : x_lo;
        x_hi = x1 > x_hi ? x1 : x_hi;
    }
    for (int i = 0; i < n; i++) {
        const BlobCentre& c = centres[list[i]];
        int b = y - c.y + BLOB_REACH;
        int c0 = c.z - BLOB_REACH < 0 ? BLOB_REACH - c.z : 0;
        int c1 = c.z + BLOB_REACH > BLOB_DEPTH ? BLOB_DEPTH - c.z + BLOB_REACH : BLOB_SIDE;
        if (c0 >= c1)
            continue;
        int x0 = c.x - BLOB_REACH < 0 ? 0 : c.x - BLOB_REACH;
        int x1 = c.x + BLOB_REACH > SCREEN_W ? (int)SCREEN_W : c.x + BLOB_REACH;
        int z0 = c.z - BLOB_REACH + c0;
        for (int x = x0; x < x1; x++) {
            if (row_peak[x] <= BLOB_THRESHOLD)
                continue;
            const int32_t* profile = kernel_f[x - c.x + BLOB_REACH][b];
            int32_t* sums = row_sums[x] + z0;
            if (c1 - c0 == BLOB_SIDE) {  // the usual case: a fixed length the compiler can unroll
                for (int k = 0; k < BLOB_SIDE; k++)
                    sums[k] += profile[k];
            } else {
                for (int k = c0; k < c1; k++)
                    sums[k - c0] += profile[k];
            }
            if (z0 < row_lo[x])
                row_lo[x] = (uint8_t)z0;
            if (z0 + c1 - c0 - 1 > row_hi[x])
                row_hi[x] = (uint8_t)(z0 + c1 - c0 - 1);
        }
    }
    if (x_lo < x_hi)
        memset(row_peak + x_lo, 0, sizeof(int32_t) * (x_hi - x_lo));
}

// ---- public functions ----

void blob_kernel_init(void)
{
    if (kernel_ready)
        return;
    for (int a = -BLOB_REACH; a < BLOB_REACH; a++)
        for (int b = -BLOB_REACH; b < BLOB_REACH; b++)
            for (int c = -BLOB_REACH; c < BLOB_REACH; c++) {
                int d2 = a * a + b * b + c * c;
                int32_t f = d2 ? BLOB_FIELD / d2 : 0;
                int32_t g = (int32_t)((int64_t)f * f / BLOB_FIELD);  // f * f needs 64 bits near the centre
                blob_kernel[a + BLOB_REACH][b + BLOB_REACH][c + BLOB_REACH] = BlobCell{f, g * a, g * b, g * c};
                kernel_f[a + BLOB_REACH][b + BLOB_REACH][c + BLOB_REACH] = f;
                int32_t& peak = kernel_peak[a + BLOB_REACH][b + BLOB_REACH];
                peak = f > peak ? f : peak;
            }
    kernel_ready = 1;
}

void blob_centres(int now, int part, BlobCentre centres[BLOB_SPLATS])
{
    const int half_w = SCREEN_W / 2, third_w = SCREEN_W / 3;
    const int half_h = SCREEN_H / 2, third_h = SCREEN_H / 3;
    const int half_d = BLOB_DEPTH / 2, third_d = BLOB_DEPTH / 3;
    double t = now * (double)0.000125f;
    float p = (float)((int64_t)part + 2);
    for (int m = 0; m < BLOB_SPLATS; m++) {
        int s = 48 * m / 64;  // every position with s divisible by 3 is splatted twice
        float k1 = (float)pow(1.0625, s + 1), k2 = (float)pow(1.0625, s + 2), k3 = (float)pow(1.0625, s + 3);
        float sx = (float)sin(k1 * t + p), cy = (float)cos(k2 * t + p), sz = (float)sin(k3 * t + p);
        centres[m].x = (int)(half_w + third_w * sx);
        centres[m].y = (int)(half_h + third_h * cy);
        centres[m].z = (int)(half_d + third_d * sz);
    }
}

uint32_t blob_probe_lookup(int64_t sx, int64_t sy, int64_t sz, uint32_t background)
{
    const Image* probe = &blob_probe;
    if (!probe->pixels || !probe->width || !probe->height)
        return background;
    int64_t len = (int64_t)sqrt((double)(sx * sx + sy * sy + sz * sz));
    int64_t hw = probe->width / 2, hh = probe->height / 2;
    int64_t u = len ? sx * hw / len : 0;
    int64_t v = len ? sy * hh / len : 0;
    // A gradient straight along +x or +y reaches one past the picture: use its last column or row.
    int64_t col = u + hw, row = v + hh;
    col = col < 0 ? 0 : col >= probe->width ? probe->width - 1 : col;
    row = row < 0 ? 0 : row >= probe->height ? probe->height - 1 : row;
    return probe->pixels[(row << probe->width_shift) + col];
}

void blob_render(const BlobCentre* centres, int count)
{
    blob_kernel_init();
    memset(blob_depth, BLOB_DEPTH, sizeof blob_depth);
    memset(row_lo, BLOB_DEPTH, sizeof row_lo);
    memset(row_hi, 0, sizeof row_hi);
    int list[BLOB_SPLATS];
    for (int y = 0; y < SCREEN_H; y++) {
        int n = row_splats(centres, count, y, list);
        if (!n)
            continue;
        sum_row(centres, list, n, y);
        for (int x = 0; x < SCREEN_W; x++) {
            int lo = row_lo[x], hi = row_hi[x];
            if (lo > hi)
                continue;
            int32_t* sums = row_sums[x];
            int d = lo;
            while (d <= hi && sums[d] <= BLOB_THRESHOLD)
                d++;
            memset(sums + lo, 0, sizeof(int32_t) * (hi - lo + 1));
            row_lo[x] = BLOB_DEPTH, row_hi[x] = 0;
            if (d > hi)
                continue;
            blob_depth[x][y] = (uint8_t)d;
            // Every covering splat reached the surface cell, so its gradient is the sum over all of them.
            int64_t gx = 0, gy = 0, gz = 0;
            for (int i = 0; i < n; i++) {
                const BlobCentre& c = centres[list[i]];
                int a = x - c.x + BLOB_REACH, k = d - c.z + BLOB_REACH;
                if ((unsigned)a >= BLOB_SIDE || (unsigned)k >= BLOB_SIDE)
                    continue;
                const BlobCell& cell = blob_kernel[a][y - c.y + BLOB_REACH][k];
                gx += cell.gx, gy += cell.gy, gz += cell.gz;
            }
            // The sums are kept in 32 bits as a volume of them would be.
            screen[y * SCREEN_W + x] =
                blob_probe_lookup((int32_t)gx, (int32_t)gy, (int32_t)gz, screen[y * SCREEN_W + x]);
        }
    }
}

void scene_blobs(int now, int part)
{
    BlobCentre centres[BLOB_SPLATS];
    image_blit_alpha(&blob_background, 0, 0);
    blob_centres(now, part, centres);
    blob_render(centres, BLOB_SPLATS);
}
