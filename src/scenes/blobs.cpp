// blobs.cpp -- scene 4: soft blobs splatted as a field, surfaces found front to back, shaded from a light probe
//
// The visible result needs much less than a full voxel volume. Field strengths are never negative, so a
// column's sums only grow and its surface is the first z whose sum over *every* splat covering it is above
// the threshold; later splats can only stop short of cells behind that, which nobody looks at. So each
// pixel column is summed on its own, a few cells at a time from the front over the splats that reach
// them, until the first cell above the threshold shows; the gradient sums are added up for that one
// cell only. The Screen comes out exactly as from the straightforward volume (blobs_oracle.cpp), which
// the tests check.
#include "scenes/blobs_local.h"
#include "assets/assets.h"

#include <cmath>
#include <cstring>

// ---- types ----

enum {
    BLOCK = 8,                           // cells summed at a time, front to back, until a surface shows
    PAD = BLOCK,                         // zeros before and after each kernel profile
    PROFILE = BLOB_SIDE + 2 * PAD,
};

// ---- state ----

BlobCell blob_kernel[BLOB_SIDE][BLOB_SIDE][BLOB_SIDE];
uint8_t blob_depth[SCREEN_W][SCREEN_H];

static int kernel_ready;
// F alone, offsets (a, b) then the 36 values along c with PAD zeros either side, so that any BLOCK cells
// of a column's profile that overlap it at all can be read in one go.
static int32_t kernel_f[BLOB_SIDE][BLOB_SIDE][PROFILE];
static int32_t kernel_peak[BLOB_SIDE][BLOB_SIDE];  // the largest F along each column of the kernel
// G by squared distance: a kernel cell's gradient is G(a^2 + b^2 + c^2) x (a, b, c), and this table is
// small enough to stay in the cache where the whole kernel does not.
static int32_t kernel_g[3 * BLOB_REACH * BLOB_REACH + 1];

// The Screen row being worked on: per column the splats covering it, in splat order, and the sum of
// their column peaks (no sum along the column can be larger).
static uint8_t column_splats[SCREEN_W][BLOB_SPLATS];
static int32_t column_peaks[SCREEN_W][BLOB_SPLATS];  // each one's column peak
static int column_count[SCREEN_W];
static int32_t column_peak[SCREEN_W];

// ---- internal functions ----

// Splats whose box covers row y, in the order given (front to back).
static int row_splats(const BlobCentre* centres, const int* order, int count, int y, int out[BLOB_SPLATS])
{
    int n = 0;
    for (int i = 0; i < count && n < BLOB_SPLATS; i++) {
        int m = order[i];
        if (y >= centres[m].y - BLOB_REACH && y < centres[m].y + BLOB_REACH)
            out[n++] = m;
    }
    return n;
}

// The depth of column (x, y): the first z in the volume whose F sum over the covering splats is above
// the threshold, BLOB_DEPTH when there is none. The splats come in front-to-back order; blocks of cells
// are summed from the front over the splats that reach them, and a block where even the peaks of those
// splats add up to no more than the threshold is passed over.
static int column_depth(const BlobCentre* centres, int x, int y)
{
    const uint8_t* list = column_splats[x];
    const int32_t* peaks = column_peaks[x];
    int n = column_count[x];
    int first = 0, last = 0;   // the splats reaching the block: starting before its end, ending after its start
    int32_t reach_peak = 0;    // the sum of their peaks
    int z = centres[list[0]].z - BLOB_REACH;
    z = z < 0 ? 0 : z;   // cells outside the volume are never summed
    while (z < BLOB_DEPTH) {
        while (last < n && centres[list[last]].z - BLOB_REACH < z + BLOCK)
            reach_peak += peaks[last++];
        while (first < last && centres[list[first]].z + BLOB_REACH <= z)
            reach_peak -= peaks[first++];
        if (first == last) {
            if (last == n)
                break;
            z = centres[list[last]].z - BLOB_REACH;   // a gap between the splats
            continue;
        }
        if (reach_peak > BLOB_THRESHOLD) {
            int32_t sums[BLOCK] = {};
            for (int i = first; i < last; i++) {
                const BlobCentre& c = centres[list[i]];
                const int32_t* profile = kernel_f[x - c.x + BLOB_REACH][y - c.y + BLOB_REACH] + PAD + z - (c.z - BLOB_REACH);
                for (int k = 0; k < BLOCK; k++)
                    sums[k] += profile[k];
            }
            for (int k = 0; k < BLOCK && z + k < BLOB_DEPTH; k++)
                if (sums[k] > BLOB_THRESHOLD)
                    return z + k;
        }
        z += BLOCK;
    }
    return BLOB_DEPTH;
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
                kernel_g[d2] = g;
                blob_kernel[a + BLOB_REACH][b + BLOB_REACH][c + BLOB_REACH] = BlobCell{f, g * a, g * b, g * c};
                kernel_f[a + BLOB_REACH][b + BLOB_REACH][c + BLOB_REACH + PAD] = f;
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
        float k1 = (float)maths_pow_int(1.0625, s + 1), k2 = (float)maths_pow_int(1.0625, s + 2), k3 = (float)maths_pow_int(1.0625, s + 3);
        float sx = (float)maths_sin(k1 * t + p), cy = (float)maths_cos(k2 * t + p), sz = (float)maths_sin(k3 * t + p);
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
    // Quotients of integers below 2^53 in magnitude truncate in double precision exactly as in integers:
    // a quotient that is not whole lies at least 1 / len from the next whole number, far beyond the
    // rounding. Floating-point division is much faster than 64-bit integer division.
    const int64_t EXACT = (int64_t)1 << 53;
    int64_t u = 0, v = 0;
    if (len && sx * hw < EXACT && sx * hw > -EXACT && sy * hh < EXACT && sy * hh > -EXACT) {
        u = (int64_t)((double)(sx * hw) / (double)len);
        v = (int64_t)((double)(sy * hh) / (double)len);
    } else if (len) {
        u = sx * hw / len;
        v = sy * hh / len;
    }
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
    // The splats front to back: the sums do not depend on the order their terms come in.
    count = count < BLOB_SPLATS ? count : BLOB_SPLATS;
    int order[BLOB_SPLATS];
    for (int i = 0; i < count; i++) {
        int j = i;
        for (; j > 0 && centres[order[j - 1]].z > centres[i].z; j--)
            order[j] = order[j - 1];
        order[j] = i;
    }
    int list[BLOB_SPLATS];
    for (int y = 0; y < SCREEN_H; y++) {
        int n = row_splats(centres, order, count, y, list);
        if (!n)
            continue;
        int x_lo = SCREEN_W, x_hi = 0;
        for (int i = 0; i < n; i++) {
            const BlobCentre& c = centres[list[i]];
            int b = y - c.y + BLOB_REACH;
            int x0 = c.x - BLOB_REACH < 0 ? 0 : c.x - BLOB_REACH;
            int x1 = c.x + BLOB_REACH > SCREEN_W ? (int)SCREEN_W : c.x + BLOB_REACH;
            for (int x = x0; x < x1; x++) {
                int32_t peak = kernel_peak[x - c.x + BLOB_REACH][b];
                column_peaks[x][column_count[x]] = peak;
                column_splats[x][column_count[x]++] = (uint8_t)list[i];
                column_peak[x] += peak;
            }
            x_lo = x0 < x_lo ? x0 : x_lo;
            x_hi = x1 > x_hi ? x1 : x_hi;
        }
        for (int x = x_lo; x < x_hi; x++) {
            // A column whose splats' peaks add up to no more than the threshold holds no surface.
            int d = column_peak[x] > BLOB_THRESHOLD ? column_depth(centres, x, y) : BLOB_DEPTH;
            if (d < BLOB_DEPTH) {
                blob_depth[x][y] = (uint8_t)d;
                // Every covering splat reached the surface cell, so its gradient is the sum over all of them.
                int64_t gx = 0, gy = 0, gz = 0;
                for (int i = 0; i < column_count[x]; i++) {
                    const BlobCentre& c = centres[column_splats[x][i]];
                    int a = x - c.x, b = y - c.y, k = d - c.z;
                    if ((unsigned)(k + BLOB_REACH) >= BLOB_SIDE)
                        continue;
                    int32_t g = kernel_g[a * a + b * b + k * k];
                    gx += g * a, gy += g * b, gz += g * k;
                }
                // The sums are kept in 32 bits as a volume of them would be.
                screen[y * SCREEN_W + x] =
                    blob_probe_lookup((int32_t)gx, (int32_t)gy, (int32_t)gz, screen[y * SCREEN_W + x]);
            }
            column_count[x] = 0;
            column_peak[x] = 0;
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
