// music_follow.cpp -- the live mode's music: kept on the demo time through jumps, loops and pauses
//
// The picture leads: each frame tells the demo time and the clock tick it belongs to. The mix works
// out the demo time of its own moment from the same clock and plays the music from there. After a
// jump it moves at once; between jumps it moves only when the music has drifted from the clock by
// more than the slack, judged by the median offset over a few mixes (a mix the device calls late or
// early makes one offset look off by that much). Every move fades the old sound out and the new in
// over 3 ms, so no step in the wave clicks; a pause fades out and then stops reading.
#include "timeline/music_local.h"
#include "timeline/timeline.h"
#include "platform/audio.h"

#include <climits>
#include <cstring>

// ---- state ----

MusicFollow music_follow_state;

// ---- internal functions ----

static int64_t frames_of_ms(int64_t ms) { return ms * AUDIO_RATE / 1000; }

static void read_from(const MusicSource* source, int16_t* out, int frames)
{
    int n = frames > 0 ? source->read(out, frames) : 0;
    if (n < 0)
        n = 0;
    music_follow_state.frame += n;
    if (n < frames)
        memset(out + 2 * n, 0, sizeof(int16_t) * 2 * (size_t)(frames - n));
}

// Scales frames [0, n) of out by a ramp rising (up) or falling over those frames.
static void ramp(int16_t* out, int n, int up)
{
    for (int i = 0; i < n; i++) {
        int k = up ? i : n - i;
        out[2 * i] = (int16_t)(out[2 * i] * k / n);
        out[2 * i + 1] = (int16_t)(out[2 * i + 1] * k / n);
    }
}

// Moves the music so that out[0] plays frame `target`: what sounded fades out first, the new sound
// fades in.
static void jump(const MusicSource* source, int16_t* out, int frames, int64_t target)
{
    MusicFollow* f = &music_follow_state;
    int fade = frames / 2 < MUSIC_FOLLOW_FADE_FRAMES ? frames / 2 : MUSIC_FOLLOW_FADE_FRAMES;
    int done = 0;
    if (f->sounding && fade > 0) {
        read_from(source, out, fade);
        ramp(out, fade, 0);
        done = fade;
    }
    int64_t at = target + done;
    f->frame = at < 0 ? 0 : at;
    source->seek(f->frame);
    read_from(source, out + 2 * done, frames - done);
    ramp(out + 2 * done, fade, 1);
    f->sounding = 1;
    f->window = 0;
}

// The median of the window's offsets (the mean of the middle two): an insertion sort of eight.
static int64_t median_offset(void)
{
    int32_t v[MUSIC_FOLLOW_WINDOW];
    memcpy(v, music_follow_state.offsets, sizeof v);
    for (int i = 1; i < MUSIC_FOLLOW_WINDOW; i++)
        for (int j = i; j > 0 && v[j - 1] > v[j]; j--) {
            int32_t x = v[j];
            v[j] = v[j - 1];
            v[j - 1] = x;
        }
    return ((int64_t)v[MUSIC_FOLLOW_WINDOW / 2 - 1] + v[MUSIC_FOLLOW_WINDOW / 2]) / 2;
}

// ---- public functions ----

void music_follow_mix(const MusicSource* source, int16_t* out, int frames, uint32_t now_ms)
{
    MusicFollow* f = &music_follow_state;
    int jumped = f->jumps_seen != f->jumps;
    f->jumps_seen = f->jumps;
    if (f->paused) {
        int fade = frames < MUSIC_FOLLOW_FADE_FRAMES ? frames : MUSIC_FOLLOW_FADE_FRAMES;
        int done = 0;
        if (f->sounding) {
            read_from(source, out, fade);
            ramp(out, fade, 0);
            done = fade;
        }
        memset(out + 2 * done, 0, sizeof(int16_t) * 2 * (size_t)(frames - done));
        f->sounding = 0;
        return;
    }
    int64_t target = frames_of_ms((int64_t)f->demo_ms + (int32_t)(now_ms - f->tick_ms));
    if (jumped || !f->sounding) {
        jump(source, out, frames, target);
        return;
    }
    int64_t offset = f->frame - target;
    f->offsets[f->window] = (int32_t)(offset > INT32_MAX ? INT32_MAX : offset < -INT32_MAX ? -INT32_MAX : offset);
    if (++f->window >= MUSIC_FOLLOW_WINDOW) {
        int64_t drift = median_offset();
        f->window = 0;
        if (drift > frames_of_ms(MUSIC_FOLLOW_SLACK_MS) || drift < -frames_of_ms(MUSIC_FOLLOW_SLACK_MS)) {
            f->corrections++;
            jump(source, out, frames, f->frame - drift);
            return;
        }
    }
    read_from(source, out, frames);
}

// Under the audio lock. A demo time that is not where the last one and the clock lead counts as a
// jump, and so do a pause, its end and the first call.
void music_follow_set(int demo_ms, uint32_t at_ms, int paused)
{
    MusicFollow* f = &music_follow_state;
    int32_t expected = f->demo_ms + (f->paused ? 0 : (int32_t)(at_ms - f->tick_ms));
    if (!f->active || paused != f->paused || demo_ms != expected)
        f->jumps++;
    f->active = 1;
    f->paused = paused;
    f->demo_ms = demo_ms;
    f->tick_ms = at_ms;
}
