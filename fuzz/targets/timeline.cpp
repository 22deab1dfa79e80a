// timeline.cpp -- fuzz target: any text as the timeline; what compiles must load in the show as written
#include "../../tools/trackc/timeline_text.h"
#include "fuzz_input.h"
#include "timeline/timeline.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Timeline timeline;
    std::vector<std::string> errors;
    std::string text((const char*)data, size);
    if (!timeline_parse(text, "fuzz.txt", &timeline, &errors)) {
        if (errors.empty())
            fuzz_fail("a refused timeline without a message");
        return 0;
    }
    for (const TimelineTrack& t : timeline.tracks) {
        // The compiler's bytes, read back by its own decoder and by the show's loader, key for key.
        std::vector<uint8_t> bytes = timeline_encode_track(t);
        TimelineTrack back;
        std::string problem;
        size_t trailing = 0;
        if (!timeline_decode_track(bytes.data(), bytes.size(), &back, &problem, &trailing) || trailing != 0 ||
            back.keys.size() != t.keys.size())
            fuzz_fail("a compiled track does not decode");
        SyncTrack loaded = {};
        if (sync_load_track(fuzz_input_file(bytes.data(), bytes.size(), ".track").c_str(), &loaded) != 0 ||
            loaded.key_count != (int)t.keys.size())
            fuzz_fail("a compiled track is refused by the show");
        for (int i = 0; i < loaded.key_count; i++)
            if (loaded.keys[i].row != t.keys[i].row || memcmp(&loaded.keys[i].value, &t.keys[i].value, 4) != 0 ||
                loaded.keys[i].type != t.keys[i].type)
                fuzz_fail("a compiled key reads back differently");
        free(loaded.keys);
        // The text form parses back to the same keys.
        Timeline again;
        std::vector<std::string> again_errors;
        if (!timeline_parse(timeline_format_track(t), "again.txt", &again, &again_errors))
            fuzz_fail("a formatted track does not parse");
    }
    return 0;
}
