// timeline.cpp -- fuzz target: any text as the timeline; what compiles must load in the show as written
#include "fuzz_input.h"
#include "timeline/timeline.h"
#include "timeline/timeline_text.h"

#include <cstdlib>
#include <cstring>
#include <vector>

static Timeline timeline, back, again;
static uint8_t bytes[TRACK_COUNT_BYTES + (size_t)TIMELINE_KEYS_MAX * TRACK_KEY_BYTES];
static char text[(size_t)TIMELINE_FORMAT_LINE_MAX * (TIMELINE_KEYS_MAX + 2)];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!timeline_parse((const char*)data, size, "fuzz.txt", &timeline)) {
        if (timeline.error_count == 0 || !timeline.errors[0][0])
            fuzz_fail("a refused timeline without a message");
        return 0;
    }
    for (int i = 0; i < TIMELINE_TRACKS; i++) {
        const TimelineTrack& t = timeline.tracks[i];
        const TimelineKey* keys = timeline_track_keys(&timeline, i);
        // The compiler's bytes, read back by its own decoder and by the show's loader, key for key.
        size_t n = timeline_encode_track(&timeline, i, bytes, sizeof bytes);
        timeline_clear(&back);
        char problem[TIMELINE_MESSAGE_MAX];
        size_t trailing = 0;
        if (!n || !timeline_decode_track(bytes, n, &back, i, problem, sizeof problem, &trailing) || trailing != 0 ||
            back.tracks[i].count != t.count)
            fuzz_fail("a compiled track does not decode");
        SyncTrack loaded = {};
        if (sync_load_track(fuzz_input_file(bytes, n, ".track").c_str(), &loaded) != 0 || loaded.key_count != t.count)
            fuzz_fail("a compiled track is refused by the show");
        for (int k = 0; k < loaded.key_count; k++)
            if (loaded.keys[k].row != keys[k].row || memcmp(&loaded.keys[k].value, &keys[k].value, 4) != 0 ||
                loaded.keys[k].type != keys[k].type)
                fuzz_fail("a compiled key reads back differently");
        free(loaded.keys);
        // The text form parses back to the same keys.
        size_t length = timeline_format_track(&timeline, i, text, sizeof text);
        if (!length || !timeline_parse(text, length, "again.txt", &again) || again.tracks[i].count != t.count)
            fuzz_fail("a formatted track does not parse");
    }
    return 0;
}
