// sync.cpp -- fuzz target: any bytes as a sync track, evaluated around every key and far outside them
#include "fuzz_input.h"
#include "gfx3d/gfx3d.h"
#include "timeline/timeline.h"

#include <cmath>
#include <cstdlib>
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
