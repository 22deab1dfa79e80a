// main.cpp -- trackc: compiles the timeline text into the six .track files, or dumps .track files as text
#include "timeline_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
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
    Timeline timeline;
    std::vector<std::string> errors;
    if (!timeline_parse(std::string(bytes.begin(), bytes.end()), source, &timeline, &errors)) {
        for (const std::string& e : errors)
            fprintf(stderr, "%s\n", e.c_str());
        fprintf(stderr, "trackc: %zu error%s, no track written\n", errors.size(), errors.size() == 1 ? "" : "s");
        return 1;
    }
    size_t keys = 0;
    int32_t last_row = 0;
    for (const TimelineTrack& t : timeline.tracks)
        for (const TimelineKey& k : t.keys)
            if (k.type < 0 || k.type > 3) {
                // The show names such a track as likely damaged each time it loads it: once per track here too.
                fprintf(stderr, "%s:%d: warning: interpolation %d holds 0 up to the next key; the show will name track %s as likely damaged\n",
                        source, k.line, k.type, t.name.c_str());
                break;
            }
    for (const TimelineTrack& t : timeline.tracks) {
        std::string path = std::string(out_dir) + "/sync_" + t.name + ".track";
        if (!write_file(path, timeline_encode_track(t)))
            return 1;
        keys += t.keys.size();
        if (!t.keys.empty() && t.keys.back().row > last_row)
            last_row = t.keys.back().row;
    }
    // The show stops itself only where scene and part both read -1; after their last keys they hold.
    const TimelineTrack& scene = timeline.tracks[0];
    const TimelineTrack& part = timeline.tracks[1];
    if (scene.keys.empty() || part.keys.empty() || std::trunc(scene.keys.back().value) != -1 ||
        std::trunc(part.keys.back().value) != -1)
        fprintf(stderr, "%s: warning: the timeline does not end with scene -1 and part -1; the show will not stop by itself\n",
                source);
    printf("trackc: %s: %zu keys in 6 tracks, last key at row %d (%.2f s)\n", source, keys, last_row,
           last_row / (double)TIMELINE_ROWS_PER_SECOND);
    return 0;
}

static int dump(int count, char** paths)
{
    int status = 0;
    for (int i = 0; i < count; i++) {
        std::vector<uint8_t> bytes;
        if (!read_file(paths[i], &bytes)) {
            status = 1;
            continue;
        }
        TimelineTrack track = {timeline_track_name_from_path(paths[i]), {}, 0};
        std::string problem;
        size_t trailing;
        if (!timeline_decode_track(bytes.data(), bytes.size(), &track, &problem, &trailing)) {
            fprintf(stderr, "trackc: %s: %s\n", paths[i], problem.c_str());
            status = 1;
            continue;
        }
        printf("%s# from %s\n%s", i ? "\n" : "", paths[i], timeline_format_track(track).c_str());
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
