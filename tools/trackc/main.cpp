// main.cpp -- trackc: compiles the timeline text into the six .track files, or dumps .track files as text
#include "timeline/timeline_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// ---- internal functions ----

static void usage(FILE* out)
{
    fprintf(out,
            "usage: trackc TIMELINE.txt OUTDIR      write OUTDIR/sync_<name>.track for the six tracks\n"
            "       trackc --dump FILE.track...     print .track files as timeline text\n");
}

static bool read_file(const char* path, std::vector<uint8_t>* out)
{
    FILE* f = fopen(path, "rb");
    if (!f) {
        fprintf(stderr, "trackc: %s: %s\n", path, strerror(errno));
        return false;
    }
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out->insert(out->end(), buf, buf + n);
    bool ok = !ferror(f);
    fclose(f);
    if (!ok)
        fprintf(stderr, "trackc: %s: read failed\n", path);
    return ok;
}

// Written beside the target and renamed, so a failed build never leaves half a track behind.
static bool write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::string temp = path + ".tmp";
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "trackc: %s: %s\n", temp.c_str(), strerror(errno));
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        fprintf(stderr, "trackc: %s: write failed\n", path.c_str());
        remove(temp.c_str());
        return false;
    }
    return true;
}

static int compile(const char* source, const char* out_dir)
{
    std::vector<uint8_t> bytes;
    if (!read_file(source, &bytes))
        return 1;
    std::unique_ptr<Timeline> timeline(new Timeline);
    if (!timeline_parse((const char*)bytes.data(), bytes.size(), source, timeline.get())) {
        int kept = timeline->error_count < TIMELINE_ERRORS_MAX ? timeline->error_count : TIMELINE_ERRORS_MAX;
        for (int i = 0; i < kept; i++)
            fprintf(stderr, "%s\n", timeline->errors[i]);
        if (timeline->error_count > kept)
            fprintf(stderr, "%s: %d more errors\n", source, timeline->error_count - kept);
        fprintf(stderr, "trackc: %d error%s, no track written\n", timeline->error_count,
                timeline->error_count == 1 ? "" : "s");
        return 1;
    }
    size_t keys = 0;
    int32_t last_row = 0;
    for (int i = 0; i < TIMELINE_TRACKS; i++) {
        const TimelineTrack& t = timeline->tracks[i];
        const TimelineKey* k = timeline_track_keys(timeline.get(), i);
        for (int j = 0; j < t.count; j++)
            if (k[j].type < 0 || k[j].type > 3) {
                // The show names such a track as likely damaged each time it loads it: once per track here too.
                fprintf(stderr, "%s:%d: warning: interpolation %d holds 0 up to the next key; the show will name track %s as likely damaged\n",
                        source, k[j].line, k[j].type, t.name);
                break;
            }
    }
    std::vector<uint8_t> track_bytes(TRACK_COUNT_BYTES + (size_t)TIMELINE_KEYS_MAX * TRACK_KEY_BYTES);
    for (int i = 0; i < TIMELINE_TRACKS; i++) {
        const TimelineTrack& t = timeline->tracks[i];
        size_t n = timeline_encode_track(timeline.get(), i, track_bytes.data(), track_bytes.size());
        std::string path = std::string(out_dir) + "/sync_" + t.name + ".track";
        if (!write_file(path, std::vector<uint8_t>(track_bytes.begin(), track_bytes.begin() + (long)n)))
            return 1;
        keys += (size_t)t.count;
        if (t.count && timeline_track_keys(timeline.get(), i)[t.count - 1].row > last_row)
            last_row = timeline_track_keys(timeline.get(), i)[t.count - 1].row;
    }
    // The show stops itself only where scene and part both read -1; after their last keys they hold.
    const TimelineTrack& scene = timeline->tracks[TRACK_SCENE];
    const TimelineTrack& part = timeline->tracks[TRACK_PART];
    if (!scene.count || !part.count ||
        std::trunc(timeline_track_keys(timeline.get(), TRACK_SCENE)[scene.count - 1].value) != -1 ||
        std::trunc(timeline_track_keys(timeline.get(), TRACK_PART)[part.count - 1].value) != -1)
        fprintf(stderr, "%s: warning: the timeline does not end with scene -1 and part -1; the show will not stop by itself\n",
                source);
    printf("trackc: %s: %zu keys in 6 tracks, last key at row %d (%.2f s)\n", source, keys, last_row,
           last_row / (double)TIMELINE_ROWS_PER_SECOND);
    return 0;
}

static int dump(int count, char** paths)
{
    int status = 0;
    std::unique_ptr<Timeline> timeline(new Timeline);
    std::vector<char> text((size_t)TIMELINE_FORMAT_LINE_MAX * (TIMELINE_KEYS_MAX + 2));
    for (int i = 0; i < count; i++) {
        std::vector<uint8_t> bytes;
        if (!read_file(paths[i], &bytes)) {
            status = 1;
            continue;
        }
        timeline_clear(timeline.get());
        TimelineTrack* track = &timeline->tracks[0];
        timeline_track_name_from_path(paths[i], track->name, sizeof track->name);
        char problem[TIMELINE_MESSAGE_MAX];
        size_t trailing;
        if (!timeline_decode_track(bytes.data(), bytes.size(), timeline.get(), 0, problem, sizeof problem, &trailing)) {
            fprintf(stderr, "trackc: %s: %s\n", paths[i], problem);
            status = 1;
            continue;
        }
        timeline_format_track(timeline.get(), 0, text.data(), text.size());
        printf("%s# from %s\n%s", i ? "\n" : "", paths[i], text.data());
        if (trailing)
            printf("    # %zu bytes after the last key, which the show ignores\n", trailing);
    }
    return status;
}

// ---- public functions ----

int main(int argc, char** argv)
{
    if (argc >= 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
        usage(stdout);
        return 0;
    }
    if (argc >= 3 && !strcmp(argv[1], "--dump"))
        return dump(argc - 2, argv + 2);
    if (argc == 3 && argv[1][0] != '-')
        return compile(argv[1], argv[2]);
    usage(stderr);
    return 2;
}
