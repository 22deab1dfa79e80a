// music_pcm.cpp -- the soundtrack decoded whole at start-up and played from memory: start, stop, seek
//
// Windows builds play MP3 streams through the system's own decoder (platform/mp3.h); tracker modules
// are refused, since no module player is at hand there. Seeks are exact to the frame.
// Threading: the mix runs on the audio thread; the main thread touches `music` only under the
// audio lock, and decodes before it takes the lock, so the audio thread never waits for the disk.
#include "timeline/timeline.h"
#include "timeline/music_local.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/msg.h"
#include "platform/mp3.h"

#include <cstdlib>
#include <cstring>

// ---- types ----

enum { SEEK_MS = 1000 };  // one seek step

// ---- state ----

static struct {
    int initialised;          // the device is open; set once, cleared only by music_use_audio
    int16_t* stream;          // the stream playing, stereo at AUDIO_RATE, or null
    int64_t stream_frames;    // its length in frames
    int64_t position;         // next frame to play (audio thread, seeks)
    const AudioDriver* audio; // the output backend; waveOut unless chosen otherwise
} music = {0, nullptr, 0, 0, &audio_waveout_driver};

// ---- internal functions ----

static int read_pcm(int16_t* out, int frames)
{
    int64_t left = music.stream_frames - music.position;
    int n = left < frames ? (int)(left > 0 ? left : 0) : frames;
    if (n > 0)
        memcpy(out, music.stream + 2 * music.position, sizeof(int16_t) * 2 * (size_t)n);
    music.position += n;
    return n;
}

static void seek_pcm(int64_t frame) { music.position = frame < music.stream_frames ? frame : music.stream_frames; }

static const MusicSource PCM_SOURCE = {read_pcm, seek_pcm};

static void mix(int16_t* out, int frames)
{
    if (music_follow_state.active && music.stream) {
        music_follow_mix(&PCM_SOURCE, out, frames, clock_ticks());
        return;
    }
    int64_t left = music.stream ? music.stream_frames - music.position : 0;
    int n = left < frames ? (int)(left > 0 ? left : 0) : frames;
    if (n > 0)
        memcpy(out, music.stream + 2 * music.position, sizeof(int16_t) * 2 * (size_t)n);
    music.position += n;
    if (n < frames)
        memset(out + 2 * n, 0, sizeof(int16_t) * 2 * (size_t)(frames - n));
}

// ---- public functions ----

int music_start(const char* name)
{
    if (!music.initialised) {
        // A failure leaves initialised 0, so the next start tries again.
        if (!music.audio->open(AUDIO_RATE, mix))
            return 0;
        music.initialised = 1;
    }
    if (music.stream)
        music_stop();
    if (!name)
        return 0;
    if (!music_is_mp3(name)) {
        msg_print(stderr, "kerv16: %s: tracker modules cannot be played in this build; the show goes on silently\n",
                  name);
        return 0;
    }
    Mp3Pcm pcm;
    if (!mp3_decode_file(name, &pcm))
        return 0;
    int64_t frames = 0;
    int16_t* stream = mp3_to_stereo(&pcm, AUDIO_RATE, &frames);
    mp3_free(&pcm);
    if (!stream)
        return 0;
    music.audio->lock();
    music.stream = stream;
    music.stream_frames = frames;
    music.position = 0;
    music_follow_state.sounding = 0;  // a follower starts it at the demo time
    music.audio->unlock();
    return 1;
}

int music_stop(void)
{
    music.audio->lock();
    int16_t* stream = music.stream;
    music.stream = nullptr;
    music.audio->unlock();
    free(stream);  // outside the lock: the mix can no longer see it
    return 1;
}

// Before the start plays from 0; past the end the music ends quietly.
static void seek(int direction)
{
    music.audio->lock();
    if (music.stream) {
        int64_t played = music.position < music.stream_frames ? music.position : music.stream_frames;
        int64_t target = played * 1000 / AUDIO_RATE + direction * SEEK_MS;
        if (target < 0)
            target = 0;
        int64_t frame = (target * AUDIO_RATE + 999) / 1000;  // rounded up, so the time reads back as target
        music.position = frame < music.stream_frames ? frame : music.stream_frames;
    }
    music.audio->unlock();
}

void music_seek_back(void) { seek(-1); }
void music_seek_forward(void) { seek(1); }

int music_get_position(void)
{
    music.audio->lock();
    int position = -1;
    if (music.stream) {
        int64_t played = music.position < music.stream_frames ? music.position : music.stream_frames;
        position = (int)(played * 1000 / AUDIO_RATE);
    }
    music.audio->unlock();
    return position;
}

void music_follow(int demo_ms, uint32_t at_ms, int paused)
{
    music.audio->lock();
    music_follow_set(demo_ms, at_ms, paused);
    music.audio->unlock();
}

void music_use_audio(const AudioDriver* driver)
{
    music_stop();
    if (music.initialised)
        music.audio->close();
    music.initialised = 0;
    music.audio = driver ? driver : &audio_waveout_driver;
    music_follow_state = MusicFollow{};  // a new device plays as the ordinary show until told otherwise
}
