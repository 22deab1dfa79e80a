// sync.cpp -- fuzz target: any bytes as a sync track, evaluated across its rows and fed to the rotations
#include "fuzz_input.h"
#include "gfx3d/gfx3d.h"
#include "timeline/timeline.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SyncTrack track = {};
    int loaded = sync_load_track(fuzz_input_file(data, size, ".track").c_str(), &track);
    if (loaded != 0 && track.key_count != 0)
        fuzz_fail("a refused track kept keys");
    for (int i = 1; i < track.key_count; i++)
        if (track.keys[i].row <= track.keys[i - 1].row)
            fuzz_fail("rows of a loaded track do not rise");
    // Around every key, between keys and far outside them, as the show's clock and seeks can ask.
    double rows[] = {-1e12, -1.5, 0.0, 0.25, 1e12, NAN};
    for (int i = -1; i <= track.key_count; i++) {
        double base = i < 0 || i == track.key_count ? rows[(i + 1) % 6] : (double)track.keys[i].row;
        for (double step : {-0.5, 0.0, 0.375, 0.999}) {
            float v = sync_get_value(&track, base + step);
            if (std::isnan(v) && !std::isnan(base))
                fuzz_fail("a loaded track evaluates to NaN");
            // What the scenes do with track values: angles for the camera's rotations.
            Mat4 m;
            mat_rotate_x(&m, v);
            mat_rotate_y(&m, v);
            mat_rotate_z(&m, v);
        }
        if (track.key_count == 0)
            break;
    }
    free(track.keys);
    return 0;
}
