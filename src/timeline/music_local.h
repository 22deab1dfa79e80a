// music_local.h -- what only the music players share: the live mode's mix that keeps the music on the demo time
//
// Threading: music_follow (main thread) writes the demo time under the audio lock; the mix reads it
// on the audio thread, where it also keeps its own fields. A player calls music_follow_mix from its
// mix callback while `active` is set.
#pragma once
#include <cstdint>

// ---- types ----

enum {
    MUSIC_FOLLOW_FADE_FRAMES = 128,  // a jump fades the old sound out and the new in over this many frames (2.9 ms)
    MUSIC_FOLLOW_SLACK_MS = 8,       // the music is moved when it drifts further than this from the demo time
    MUSIC_FOLLOW_WINDOW = 8,         // mixes over which the drift is judged (their median offset)
};

// How the follower reads the music and moves in it; each player supplies its own.
struct MusicSource {
    int (*read)(int16_t* out, int frames);   // stereo frames read from the position on (fewer at the end)
    void (*seek)(int64_t frame);             // the next read starts at that frame (past the end: none)
};

struct MusicFollow {
    // written by the main thread (music_follow), under the lock
    int active;             // 1: the mix keeps the music at the demo time
    int paused;             // 1: silence, and the music stands still
    int demo_ms;            // the demo time at tick_ms
    uint32_t tick_ms;       // the clock when demo_ms held
    int jumps;              // counts the times the demo time moved other than with the clock
    // kept by the mix (audio thread)
    int jumps_seen;         // the jumps the mix has followed
    int64_t frame;          // the frame the music plays next
    int sounding;           // 1 when the last mix ended in sound, which a jump or a pause fades out
    int32_t offsets[MUSIC_FOLLOW_WINDOW];  // frames the music was ahead of the demo time, mix by mix
    int window;             // mixes counted in the window
    long corrections;       // drift corrections made (for measurements)
};

// ---- state ----

extern MusicFollow music_follow_state;

// ---- functions ----

// What music_follow does under the player's audio lock.
void music_follow_set(int demo_ms, uint32_t at_ms, int paused);

// Fills frames stereo frames at the demo time the clock now_ms gives: after a jump or a drift beyond
// the slack the music moves there, fading out and in; while paused, silence once the sound faded out.
void music_follow_mix(const MusicSource* source, int16_t* out, int frames, uint32_t now_ms);
