// audio_null.cpp -- audio without a sound card: the mix runs when asked, against a simulated sample clock
#include "platform/audio.h"

#include <cstring>

// ---- state ----

static struct {
    AudioMix mix;    // null while closed
    int64_t frames;  // simulated sample clock, frames since open
} null_audio;

// ---- internal functions ----

static int null_open(int, AudioMix mix)
{
    null_audio.mix = mix;
    null_audio.frames = 0;
    return 1;
}

// The mix runs on the caller's thread, so there is nothing to keep out.
static void null_lock(void) {}
static void null_unlock(void) {}
static void null_close(void) { null_audio.mix = nullptr; }

// ---- public functions ----

const AudioDriver audio_null_driver = {"null", null_open, null_lock, null_unlock, null_close};

void audio_null_run(int16_t* out, int frames)
{
    if (frames <= 0)
        return;
    if (!null_audio.mix) {
        memset(out, 0, sizeof(int16_t) * 2 * (size_t)frames);
        return;
    }
    null_audio.mix(out, frames);
    null_audio.frames += frames;
}

int64_t audio_null_frames(void) { return null_audio.frames; }
