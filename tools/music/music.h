// music.h -- the soundtrack tool: the arrangement read from text, the voices, the mix
#pragma once
#include <cstdint>

// ---- types ----

constexpr int MUSIC_RATE = 44100;        // samples per second
constexpr int STEPS_PER_BAR = 16;        // pattern steps: sixteenth notes
constexpr int MELODY_STEPS_PER_BAR = 8;  // melody steps: eighth notes
constexpr int MAX_NAME = 32;
constexpr int MAX_PATTERNS = 64;
constexpr int MAX_MELODIES = 32;
constexpr int MAX_MELODY_STEPS = 512;
constexpr int MAX_SECTIONS = 64;
constexpr int MAX_CHORDS = 16;

enum Instrument { INS_RAIN, INS_PAD, INS_BASS, INS_KICK, INS_SNARE, INS_HAT, INS_OHAT, INS_LEAD, INS_ARP, INS_COUNT };

struct Pattern {
    char name[MAX_NAME];
    char steps[STEPS_PER_BAR + 1];
};

struct Melody {
    char name[MAX_NAME];
    int steps[MAX_MELODY_STEPS];  // MIDI note, MELODY_HOLD or MELODY_REST
    int count;
};
enum { MELODY_HOLD = -2, MELODY_REST = -3 };  // parse errors are -1

struct Chord {
    int root;    // pitch class 0..11 (C = 0)
    int minor;   // 1 minor triad, 0 major
};

struct Part {
    int on;
    float level;          // 0..1
    const Pattern* pattern;
    const Melody* melody;
};

struct Section {
    char name[MAX_NAME];
    int bars;
    Chord chords[MAX_CHORDS];
    int chord_count;
    Part parts[INS_COUNT];
    int rise, swell, fade;
};

struct Song {
    double tempo;  // beats per minute
    Pattern patterns[MAX_PATTERNS];
    int pattern_count;
    Melody melodies[MAX_MELODIES];
    int melody_count;
    Section sections[MAX_SECTIONS];
    int section_count;
};

// ---- functions ----

int song_load(const char* path, Song* song);  // 1 on success; prints "path:line: problem" otherwise
int song_bars(const Song* song);

// The voices (voices.cpp), played by the arrangement and summed by the mix.
extern uint32_t voice_noise_state;  // the shared noise generator; droplets start on its bits
float voice_noise(void);            // the next white-noise sample, -1..1
void voices_reset(void);            // nothing sounding, the noise back at its seed
// ins: Instrument; freq in Hz; gate_len in samples; pan -1 left .. 1 right; cutoff in Hz (bass and pad).
// Takes a free voice, or the oldest one when all are sounding.
void voice_start(int ins, double freq, long gate_len, float level, float pan, float cutoff);
// Adds one sample of every sounding voice, panned, to l and r, its reverb share to *send and the
// lead's to *delay_in; master scales every voice but the rain droplets.
void voices_mix(float master, float* l, float* r, float* send, float* delay_in);

// What a meter reads of interleaved stereo at rate: integrated loudness (LUFS) and true peak (dBTP).
struct Loudness {
    double lufs, true_peak_db;
};
Loudness loudness_measure(const float* mix, long frames, int rate);
// Per frame the largest magnitude of either channel at the sample and between it and the next.
void loudness_peaks(const float* mix, long frames, float* peaks);

// Renders the whole song, interleaved stereo floats in -1..1; returns the frame count (allocated with new[]).
long synth_render(const Song* song, float** out);
