// timeline.h -- keyed sync tracks read from data/sync_<name>.track, and the music that plays alongside
#pragma once
#include <cstdint>

// ---- types ----

struct SyncKey {
    int32_t row;
    float value;
    int32_t type;  // TrackInterp (0 step, 1 linear, 2 smooth, 3 ramp); any other value yields 0
};

struct SyncTrack {
    char* name;        // own copy
    SyncKey* keys;     // strictly increasing rows, owned
    int key_count;
};

struct SyncDevice {
    char* base;             // own copy, e.g. "data/sync"
    SyncTrack** tracks;     // owned
    int track_count;
};

// ---- sync tracks ----

SyncDevice* sync_create(const char* base);                   // null when memory runs out
SyncTrack* sync_get_track(SyncDevice* device, const char* name);  // loaded on first request
float sync_get_value(const SyncTrack* track, double row);
int sync_find_track(SyncDevice* device, const char* name);   // index or -1
int sync_add_track(SyncDevice* device, const char* name);    // index of the new empty track
const char* sync_track_path(const char* base, const char* name);  // static buffer
int sync_load_track(const char* path, SyncTrack* track);     // 0 read, 1 could not open, 2 refused
int sync_find_key(const SyncTrack* track, int row);          // index, or -1 - insertion point

// ---- music ----

int music_start(const char* name);  // 1 when playback started; 0 and silence otherwise
int music_stop(void);
void music_seek_back(void);         // streams 1000 ms, modules one order entry
void music_seek_forward(void);
int music_is_mp3(const char* name);
int music_get_position(void);       // stream: ms played; module: order entry; -1 when nothing plays
// The live mode: from now on the music keeps to the demo time, which is demo_ms at clock tick at_ms
// (called every frame). A time the clock does not lead to since the last call is a jump the music
// follows at once, with a fade; paused fades it out and holds it still. The seeks above are not
// used meanwhile.
void music_follow(int demo_ms, uint32_t at_ms, int paused);
struct AudioDriver;
void music_use_audio(const AudioDriver* driver);  // output backend (SDL by default); stops the music
