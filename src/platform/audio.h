// audio.h -- sound output: one device fed by a mixing callback, and the lock the main thread takes
//
// Glossary: a frame is one sample per channel. Devices play interleaved signed 16-bit stereo.
// Threading: the mix callback runs on the audio thread (SDL, waveOut) or inside audio_null_run (null).
// The main thread takes audio_lock only while it changes what the callback reads; the callback
// itself never blocks on the main thread.
#pragma once
#include <cstdint>

// ---- types ----

// Fills `frames` stereo frames (2 x frames samples) at the rate the device was opened with.
typedef void (*AudioMix)(int16_t* out, int frames);

// An output backend; sibling files supply them (audio_sdl.cpp, audio_waveout.cpp, audio_null.cpp).
struct AudioDriver {
    const char* name;
    int (*open)(int rate, AudioMix mix);  // 1 when sound can play; the device then runs at once
    void (*lock)(void);                   // keeps the callback out until unlock
    void (*unlock)(void);
    void (*close)(void);                  // stops the callback; open may be called again
};

enum {
    AUDIO_RATE = 44100,         // frames per second of every device
    AUDIO_DEVICE_FRAMES = 1024, // frames per callback the SDL device asks for
};

// ---- backends ----

extern const AudioDriver audio_sdl_driver;   // SDL2's audio device (any SDL_AUDIODRIVER, e.g. disk)
extern const AudioDriver audio_null_driver;  // no sound: a simulated sample clock driven by hand
extern const AudioDriver audio_waveout_driver;  // Windows' waveOut device (Windows builds only)

// Null backend: runs the mix for `frames` frames into out (2 x frames samples), as a device would,
// and advances the sample clock. Nothing happens while no device is open.
void audio_null_run(int16_t* out, int frames);
int64_t audio_null_frames(void);  // frames mixed since the device was opened

// ---- a soundtrack the host decodes and plays itself (the web page: audio_web.cpp) ----

// Reads the file and starts decoding it; 1 when it could be read. Playing waits for the decoder
// and then joins at the position the track has reached by then.
int audio_track_open(const char* path);
void audio_track_play(int ms);    // plays the track opened last from ms on
void audio_track_stop(void);
int audio_track_position(void);   // ms of the track now, -1 when it does not play
