// timeline_text.h -- the timeline text: the six sync tracks written as one file, compiled to keys and
// .track bytes, and .track bytes back to text. The build (tools/trackc) and the live mode use this one reader.
#pragma once
#include <cstddef>
#include <cstdint>

#include "timeline/track_format.h"

// ---- types ----

const int TIMELINE_ROWS_PER_SECOND = 4;  // demo time is read at 4 rows per second

enum {
    TIMELINE_TRACKS = SHOW_TRACKS,    // scene, part, time, var, overlay, greet
    TIMELINE_KEYS_MAX = 16384,        // keys of the six tracks together
    TIMELINE_ERRORS_MAX = 16,         // messages kept; error_count goes on counting
    TIMELINE_MESSAGE_MAX = 256,       // bytes of one message, terminator included
    TIMELINE_NAME_MAX = 32,           // bytes of a track name, terminator included
    TIMELINE_WORD_MAX = 128,          // bytes of one word of a line; longer words are refused
    TIMELINE_FORMAT_LINE_MAX = 96,    // bytes timeline_format_track writes per key (and for the header)
};

struct TimelineKey {
    int32_t row;
    float value;
    int type;      // 0 step, 1 linear, 2 smooth, 3 ramp; any other signed byte is kept as it is
    int line;      // source line, 0 when the key came from a .track file
};

// A track's keys are keys[first .. first + count - 1] of its Timeline: a track is given once, so its
// keys arrive together.
struct TimelineTrack {
    char name[TIMELINE_NAME_MAX];
    int first, count;
    int line;      // line of its "track" header, 0 when not in the text
};

// The six tracks in the order the show reads them, their keys, and what the text said on the way.
struct Timeline {
    TimelineTrack tracks[TIMELINE_TRACKS];
    TimelineKey keys[TIMELINE_KEYS_MAX];
    int key_count;
    double bpm;               // the last tempo line, 0 when there was none
    int beats_per_bar;        // of that tempo line (4 unless it says)
    double offset;            // seconds where bar 1 beat 1 falls (the last offset line)
    char errors[TIMELINE_ERRORS_MAX][TIMELINE_MESSAGE_MAX];  // "FILE:LINE: problem", the first ones
    int error_count;          // all problems found
};

// ---- functions ----

// The six tracks named, without keys; no tempo, no errors.
void timeline_clear(Timeline* timeline);

// Parses size bytes of timeline text. Problems are kept in out->errors as "FILE:LINE: problem";
// returns 1 when there were none. Tracks the text does not mention come back without keys.
int timeline_parse(const char* text, size_t size, const char* file, Timeline* out);

const TimelineKey* timeline_track_keys(const Timeline* timeline, int track);

// Bytes of a track's .track file (4 + 9 per key), or 0 when capacity is less than that.
size_t timeline_encode_track(const Timeline* timeline, int track, uint8_t* out, size_t capacity);

// Reads .track file bytes as the show does, with the show's checks, into track `track` of the
// timeline, whose keys go after the keys already there (the track must have none yet). Returns 1 on
// success; otherwise 0 with the problem in problem (problem_size bytes). *trailing gets the count of
// bytes after the last key.
int timeline_decode_track(const uint8_t* bytes, size_t size, Timeline* timeline, int track, char* problem,
                          size_t problem_size, size_t* trailing);

// The track as timeline text: a "track" line and one key per line, rows as rows, values exact.
// Needs TIMELINE_FORMAT_LINE_MAX x (count + 2) bytes of capacity; returns the length written, 0 when
// the capacity is less.
size_t timeline_format_track(const Timeline* timeline, int track, char* out, size_t capacity);

// "data/sync_scene.track" -> "scene": the base name without "sync_" and ".track", cut to size - 1 bytes.
void timeline_track_name_from_path(const char* path, char* name, size_t size);
