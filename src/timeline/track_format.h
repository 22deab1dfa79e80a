// track_format.h -- the .track file layout and the show's six track names: read by the engine, written by tools/trackc
#pragma once

// A .track file: the key count, then that many keys, packed, little-endian, nothing after them.
enum {
    TRACK_COUNT_BYTES = 4,  // int32 key count, never negative
    TRACK_KEY_BYTES = 9,    // one key: row, value, type
    TRACK_KEY_ROW = 0,      // offset of the int32 row; rows strictly increase from key to key
    TRACK_KEY_VALUE = 4,    // offset of the IEEE single-precision value
    TRACK_KEY_TYPE = 8,     // offset of the int8 interpolation type (TrackInterp)
};

// How a key's value moves towards the next key's; any other type yields 0 between them.
enum TrackInterp {
    TRACK_STEP = 0,    // holds until the next key
    TRACK_LINEAR = 1,
    TRACK_SMOOTH = 2,  // t x t x (3 - 2 t)
    TRACK_RAMP = 3,    // t squared
};

// The show's tracks in the order it requests them; the files are data/sync_<name>.track.
// (CMake reads the names from the line below: keep them on it.)
enum { TRACK_SCENE, TRACK_PART, TRACK_TIME, TRACK_VAR, TRACK_OVERLAY, TRACK_GREET, SHOW_TRACKS };
inline constexpr const char* SHOW_TRACK_NAMES[SHOW_TRACKS] = {"scene", "part", "time", "var", "overlay", "greet"};
