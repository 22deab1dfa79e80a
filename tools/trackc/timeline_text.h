// timeline_text.h -- the show's six sync tracks as one text file, and their .track files (track compiler)
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "timeline/track_format.h"

// ---- types ----

const int TIMELINE_ROWS_PER_SECOND = 4;  // demo time is read at 4 rows per second

enum { TIMELINE_TRACKS = SHOW_TRACKS };  // scene, part, time, var, overlay, greet

struct TimelineKey {
    int32_t row;
    float value;
    int type;      // 0 step, 1 linear, 2 smooth, 3 ramp; any other signed byte is kept as it is
    int line;      // source line, 0 when the key came from a .track file
};

struct TimelineTrack {
    std::string name;
    std::vector<TimelineKey> keys;  // rows strictly increasing
    int line;                       // line of its "track" header, 0 when not in the text
};

// The six tracks in the order the show reads them.
struct Timeline {
    TimelineTrack tracks[TIMELINE_TRACKS];
};

inline constexpr const char* const* TIMELINE_TRACK_NAMES = SHOW_TRACK_NAMES;

// ---- functions ----

// Parses timeline text. Problems are appended to errors as "FILE:LINE: problem"; returns 1 when there
// were none. Tracks the text does not mention come back without keys.
int timeline_parse(const std::string& text, const char* file, Timeline* out, std::vector<std::string>* errors);

// A track as the bytes of its .track file.
std::vector<uint8_t> timeline_encode_track(const TimelineTrack& track);

// Reads .track file bytes as the show does, with the show's checks. Returns 1 on success; otherwise
// 0 with the problem in *problem. *trailing gets the count of bytes after the last key.
int timeline_decode_track(const uint8_t* bytes, size_t size, TimelineTrack* track, std::string* problem,
                          size_t* trailing);

// The track as timeline text: a "track" line and one key per line, rows as rows, values exact.
std::string timeline_format_track(const TimelineTrack& track);

// "data/sync_scene.track" -> "scene": the base name without "sync_" and ".track".
std::string timeline_track_name_from_path(const std::string& path);
