// synth.cpp -- the arrangement played step by step into the voices, and the mix: rain bed, delay, reverb
#include "music.h"

#include <cmath>
#include <cstring>
#include <vector>

// ---- types ----

// Freeverb-style reverb: eight combs and four all-passes per side.
struct Reverb {
    std::vector<float> comb[2][8], allpass[2][4];
    int comb_at[2][8], allpass_at[2][4];
    float comb_low[2][8];
};

// Ping-pong delay of a dotted eighth on the lead.
struct Delay {
    std::vector<float> left, right;  // one dotted eighth of samples each
    long at;                         // the slot read and written next
};

// The rain bed under the droplets: filtered noise whose level follows the rain part's.
struct RainBed {
    float low, high_prev_in, high;  // low-pass, then high-pass state
    float level;                    // follows the target by 1/50000 a sample
};

// ---- state ----

static Reverb reverb;
static Delay delay;
static RainBed rain_bed;

// ---- internal functions ----

static double midi_freq(int note) { return 440.0 * pow(2.0, (note - 69) / 12.0); }

static void reverb_init(Reverb* r)
{
    static const int COMB[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int ALLPASS[4] = {556, 441, 341, 225};
    for (int s = 0; s < 2; s++) {
        for (int i = 0; i < 8; i++)
            r->comb[s][i].assign(COMB[i] + s * 23, 0.0f), r->comb_at[s][i] = 0, r->comb_low[s][i] = 0;
        for (int i = 0; i < 4; i++)
            r->allpass[s][i].assign(ALLPASS[i] + s * 23, 0.0f), r->allpass_at[s][i] = 0;
    }
}

static float reverb_side(Reverb* r, int s, float in)
{
    float out = 0;
    for (int i = 0; i < 8; i++) {
        std::vector<float>& buf = r->comb[s][i];
        int& at = r->comb_at[s][i];
        float y = buf[at];
        r->comb_low[s][i] = y * 0.75f + r->comb_low[s][i] * 0.25f;
        buf[at] = in + r->comb_low[s][i] * 0.86f;
        at = (at + 1) % (int)buf.size();
        out += y;
    }
    for (int i = 0; i < 4; i++) {
        std::vector<float>& buf = r->allpass[s][i];
        int& at = r->allpass_at[s][i];
        float b = buf[at];
        buf[at] = out + b * 0.5f;
        out = b - out;
        at = (at + 1) % (int)buf.size();
    }
    return out * 0.03f;
}

static float level_at(const Section* sec, double f)
{
    if (sec->swell)
        return (float)fmin(1.0, 0.15 + f * 1.2);
    if (sec->fade)
        return (float)(1.0 - f);
    return 1.0f;
}

// The next step (wrapping) at which the pattern plays, as a distance in steps (1..16).
static int steps_to_next(const char* steps, int at)
{
    for (int d = 1; d <= STEPS_PER_BAR; d++)
        if (steps[(at + d) % STEPS_PER_BAR] != '.')
            return d;
    return STEPS_PER_BAR;
}

// Starts the notes of one sixteenth step.
static void play_step(const Section* sec, int bar_in_section, int step, double step_samples, double progress)
{
    const Chord* chord = &sec->chords[bar_in_section % sec->chord_count];
    int third = chord->minor ? 3 : 4;
    float cutoff_rise = sec->rise ? (float)(0.15 + 0.85 * progress) : 1.0f;
    for (int ins = 0; ins < INS_COUNT; ins++) {
        const Part* p = &sec->parts[ins];
        if (!p->on)
            continue;
        float lv = p->level;
        if (ins == INS_PAD && step == 0) {
            int root = 48 + chord->root;  // C3 .. B3
            int notes[4] = {root, root + third, root + 7, root + 12};
            for (int k = 0; k < 4; k++)
                voice_start(INS_PAD, midi_freq(notes[k]), (long)(step_samples * 16 * 0.97), lv, -0.6f + 0.4f * k,
                            2600.0f * cutoff_rise);
        } else if (p->pattern) {
            char c = p->pattern->steps[step];
            if (c == '.')
                continue;
            float accent = c == 'X' ? 1.0f : 0.78f;
            long len = (long)(step_samples * steps_to_next(p->pattern->steps, step) * 0.9);
            switch (ins) {
            case INS_KICK: voice_start(INS_KICK, 0, 0, lv * accent, 0, 0); break;
            case INS_SNARE: voice_start(INS_SNARE, 0, 0, lv * accent * 0.8f, 0.05f, 0); break;
            case INS_HAT: voice_start(INS_HAT, 0, 0, lv * accent, 0.3f, 0); break;
            case INS_OHAT: voice_start(INS_OHAT, 0, 0, lv * accent * 0.8f, -0.3f, 0); break;
            case INS_BASS: {
                int note = 36 + chord->root + (c == 'o' ? 12 : 0);
                voice_start(INS_BASS, midi_freq(note), len, lv, 0, 160.0f + 500.0f * cutoff_rise);
                break;
            }
            case INS_ARP: {
                int tone = c - '0';
                if (tone < 0 || tone > 3)
                    break;
                static const int OFFSET[4] = {0, 0, 7, 12};
                int note = 60 + chord->root + (tone == 1 ? third : OFFSET[tone]);
                voice_start(INS_ARP, midi_freq(note), (long)(step_samples * 0.8), lv, step % 4 < 2 ? -0.5f : 0.5f, 0);
                break;
            }
            }
        }
        if (ins == INS_LEAD && p->melody && step % 2 == 0) {
            const Melody* m = p->melody;
            int at = (bar_in_section * MELODY_STEPS_PER_BAR + step / 2) % m->count;
            int note = m->steps[at];
            if (note < 0)
                continue;
            int held = 1;
            while (held < m->count && m->steps[(at + held) % m->count] == MELODY_HOLD)
                held++;
            voice_start(INS_LEAD, midi_freq(note), (long)(step_samples * 2 * held * 0.92), lv, 0.1f, 0);
        }
    }
}

static void mix_reset(long delay_len)
{
    reverb_init(&reverb);
    delay.left.assign(delay_len, 0.0f);
    delay.right.assign(delay_len, 0.0f);
    delay.at = 0;
    rain_bed = RainBed{};
    voices_reset();
}

// Adds the bed to l and r, and now and then starts a droplet; target is the level it moves towards.
static void rain_bed_sample(RainBed* bed, float target, float* l, float* r)
{
    bed->level += (target - bed->level) * 0.00002f;
    if (!(bed->level > 0.001f))
        return;
    float w = voice_noise();
    bed->low += (w - bed->low) * 0.3f;
    bed->high = bed->low - bed->high_prev_in + 0.995f * bed->high;
    bed->high_prev_in = bed->low;
    *l += bed->high * 0.10f * bed->level;
    *r += (bed->high * 0.7f + 0.3f * voice_noise() * 0.3f) * 0.10f * bed->level;
    if ((voice_noise_state >> 8) % 100000 < (uint32_t)(bed->level * 28))
        voice_start(INS_RAIN, 1800.0 + 2600.0 * (voice_noise() * 0.5 + 0.5), 0, bed->level, voice_noise(), 0);
}

// The delay's echoes and the reverb of the send (and of the echoes) added to l and r.
static void echo_and_reverb(float delay_in, float send, float* l, float* r)
{
    float dl = delay.left[delay.at], dr = delay.right[delay.at];
    delay.left[delay.at] = delay_in * 0.5f + dr * 0.38f;
    delay.right[delay.at] = dl * 0.38f;
    delay.at = (delay.at + 1) % (long)delay.left.size();
    *l += dl * 0.6f + reverb_side(&reverb, 0, send + dl * 0.2f);
    *r += dr * 0.6f + reverb_side(&reverb, 1, send + dr * 0.2f);
}

// One stereo frame of section sec, f of the way through it.
static void render_frame(const Section* sec, float f, float target_rain, float* frame)
{
    float master = level_at(sec, f);
    float l = 0, r = 0, send = 0, delay_in = 0;
    rain_bed_sample(&rain_bed, target_rain * master, &l, &r);
    voices_mix(master, &l, &r, &send, &delay_in);
    echo_and_reverb(delay_in, send, &l, &r);
    frame[0] = l;
    frame[1] = r;
}

// The frames from n on: the reverb rings out (the last section has faded the voices already).
static void render_tail(float* mix, long n, long frames, long tail)
{
    for (; n < frames; n++) {
        float fade = 1.0f - (float)(n - (frames - tail)) / tail;
        mix[2 * n] = reverb_side(&reverb, 0, 0) * fade;
        mix[2 * n + 1] = reverb_side(&reverb, 1, 0) * fade;
    }
}

// ---- public functions ----

long synth_render(const Song* song, float** out)
{
    const double step_samples = 60.0 / song->tempo / 4.0 * MUSIC_RATE;
    const long tail = 4 * MUSIC_RATE;
    long frames = (long)(song_bars(song) * STEPS_PER_BAR * step_samples) + tail;
    float* mix = new float[frames * 2]();
    mix_reset((long)(step_samples * 3));

    long step_index = 0, n = 0;
    for (int si = 0; si < song->section_count; si++) {
        const Section* sec = &song->sections[si];
        long section_start = n;
        long section_len = (long)(sec->bars * STEPS_PER_BAR * step_samples);
        float target_rain = sec->parts[INS_RAIN].on ? sec->parts[INS_RAIN].level : 0.0f;
        for (int bar = 0; bar < sec->bars; bar++)
            for (int step = 0; step < STEPS_PER_BAR; step++, step_index++) {
                // Steps start on the nearest sample, so rounding never accumulates.
                long until = (long)llround((step_index + 1) * step_samples);
                play_step(sec, bar, step, step_samples, (double)(n - section_start) / section_len);
                for (; n < until && n < frames; n++)
                    render_frame(sec, (float)(n - section_start) / section_len, target_rain, &mix[2 * n]);
            }
    }
    render_tail(mix, n, frames, tail);
    *out = mix;
    return frames;
}
