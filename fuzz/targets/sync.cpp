// sync.cpp -- fuzz target: any bytes as a sync track, its keys as written, evaluated around every key and far outside them
#include "fuzz_input.h"
#include "gfx3d/gfx3d.h"
#include "timeline/timeline.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SyncTrack track = {};
    int loaded = sync_load_track(fuzz_input_file(data, size, ".track").c_str(), &track);
    if (loaded != 0 && track.key_count != 0)
        fuzz_fail("a refused track kept keys");
    for (int i = 1; i < track.key_count; i++)
        if (track.keys[i].row <= track.keys[i - 1].row)
            fuzz_fail("rows of a loaded track do not rise");
    // A loaded track holds the file's keys as written, every type included (sign-widened).
    for (int i = 0; i < track.key_count; i++) {
        const uint8_t* rec = data + 4 + 9 * (size_t)i;
        int32_t row = (int32_t)((uint32_t)rec[0] | (uint32_t)rec[1] << 8 | (uint32_t)rec[2] << 16 | (uint32_t)rec[3] << 24);
        if (track.keys[i].row != row || memcmp(&track.keys[i].value, rec + 4, 4) != 0 ||
            track.keys[i].type != (int8_t)rec[8])
            fuzz_fail("a loaded key differs from the file's");
        // A type other than 0..3 holds 0 up to the next key.
        if (i + 1 < track.key_count && (track.keys[i].type < 0 || track.keys[i].type > 3) &&
            sync_get_value(&track, track.keys[i].row + 0.5 * ((double)track.keys[i + 1].row - track.keys[i].row)) != 0.0f)
            fuzz_fail("a key of another type does not hold 0");
    }
    // Far outside the keys (the clock and the seeks can ask anything), then around every key.
    std::vector<double> rows = {-1e12, -1.5, 0.0, 0.25, 1e12, NAN, INFINITY};
    for (int i = 0; i < track.key_count; i++)
        for (double step : {-0.5, 0.0, 0.375, 0.999})
            rows.push_back(track.keys[i].row + step);
    for (double row : rows) {
        // The scenes take values as angles and sizes: a NaN would pass on into their fixed point.
        float value = sync_get_value(&track, row);
        if (!std::isfinite(value))
            fuzz_fail("a loaded track evaluates to a value that is not finite");
        // The water scene turns "time" into angles: every rotation stays defined for any value.
        Mat4 m;
        mat_rotate_x(&m, value);
        mat_rotate_y(&m, value);
        mat_rotate_z(&m, value);
    }
    free(track.keys);
    return 0;
}
