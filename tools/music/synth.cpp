// synth.cpp -- voices (drums, bass, pad, lead, arp, rain), reverb and delay, the master limiter
#include "music.h"

#include <cmath>
#include <cstring>
#include <vector>

// ---- types ----

struct Voice {
    int active;
    int ins;
    double freq;       // Hz
    long age;          // samples since the note began
    long gate_len;     // samples the note is held; release follows
    float level;
    float pan;         // -1 left .. 1 right
    double phase[3];
    float svf_low, svf_band;  // state-variable filter
    float hp_prev_in, hp_prev_out;
    float cutoff;      // Hz, for pad and bass filters
};

enum { MAX_VOICES = 96 };

// ---- state ----

static Voice voices[MAX_VOICES];
static uint32_t noise_state = 0x1234567u;

// ---- internal functions ----

static const double PI = 3.14159265358979323846;

static float noise(void)
{
    noise_state = noise_state * 1664525u + 1013904223u;
    return (float)((int32_t)noise_state) * (1.0f / 2147483648.0f);
}

static double midi_freq(int note) { return 440.0 * pow(2.0, (note - 69) / 12.0); }

// Band-limited sawtooth (polyBLEP) at phase p in 0..1 with increment dt.
static float saw(double p, double dt)
{
    double v = 2.0 * p - 1.0;
    if (p < dt) {
        double t = p / dt;
        v -= t + t - t * t - 1.0;
    } else if (p > 1.0 - dt) {
        double t = (p - 1.0) / dt;
        v -= t * t + t + t + 1.0;
    }
    return (float)v;
}

static float svf_lowpass(Voice* v, float in, float cutoff, float q)
{
    float f = 2.0f * sinf((float)PI * fminf(cutoff, 16000.0f) / MUSIC_RATE);
    v->svf_low += f * v->svf_band;
    float high = in - v->svf_low - q * v->svf_band;
    v->svf_band += f * high;
    return v->svf_low;
}

static float adsr(long age, long gate_len, float a, float d, float s, float r)
{
    float t = (float)age / MUSIC_RATE, g = (float)gate_len / MUSIC_RATE;
    auto held = [&](float x) {
        if (x < a)
            return x / a;
        x -= a;
        return s + (1.0f - s) * expf(-x / d);
    };
    if (t < g)
        return held(t);
    return held(g) * expf(-(t - g) / r);
}

static void start_voice(int ins, double freq, long gate_len, float level, float pan, float cutoff)
{
    int slot = -1;
    long oldest = -1;
    for (int i = 0; i < MAX_VOICES; i++) {
        if (!voices[i].active) {
            slot = i;
            break;
        }
        if (voices[i].age > oldest)
            oldest = voices[i].age, slot = i;
    }
    Voice* v = &voices[slot];
    memset(v, 0, sizeof *v);
    v->active = 1;
    v->ins = ins;
    v->freq = freq;
    v->gate_len = gate_len;
    v->level = level;
    v->pan = pan;
    v->cutoff = cutoff;
    v->phase[1] = 0.33;
    v->phase[2] = 0.71;
}

// One sample of a voice; sets *send to the reverb send share.
static float voice_sample(Voice* v, float* send)
{
    float t = (float)v->age / MUSIC_RATE;
    float out = 0, env;
    double dt = v->freq / MUSIC_RATE;
    *send = 0.15f;
    switch (v->ins) {
    case INS_KICK: {
        double f = 44.0 + 120.0 * exp(-t * 28.0);
        v->phase[0] += f / MUSIC_RATE;
        env = expf(-t * 6.5f);
        out = (float)sin(2 * PI * v->phase[0]) * env + (t < 0.004f ? noise() * 0.3f : 0);
        *send = 0.02f;
        if (t > 0.9f)
            v->active = 0;
        break;
    }
    case INS_SNARE: {
        v->phase[0] += 185.0 / MUSIC_RATE;
        float n = noise();
        float hp = n - v->hp_prev_in + 0.6f * v->hp_prev_out;  // a gentle high-pass on the noise
        v->hp_prev_in = n, v->hp_prev_out = hp;
        out = (float)sin(2 * PI * v->phase[0]) * expf(-t * 22) * 0.5f + hp * expf(-t * 13) * 0.45f;
        *send = 0.3f;
        if (t > 0.6f)
            v->active = 0;
        break;
    }
    case INS_HAT:
    case INS_OHAT: {
        float n = noise();
        float hp = n - v->hp_prev_in;
        v->hp_prev_in = n;
        hp = hp - v->hp_prev_out * 0.2f;
        v->hp_prev_out = hp;
        out = hp * expf(-t * (v->ins == INS_HAT ? 55.0f : 8.0f)) * 0.25f;
        *send = 0.1f;
        if (t > (v->ins == INS_HAT ? 0.15f : 0.7f))
            v->active = 0;
        break;
    }
    case INS_BASS: {
        for (int k = 0; k < 2; k++) {
            v->phase[k] += dt * (k ? 1.003 : 1.0);
            v->phase[k] -= floor(v->phase[k]);
        }
        v->phase[2] += dt * 0.5;
        v->phase[2] -= floor(v->phase[2]);
        float raw = 0.5f * (saw(v->phase[0], dt) + saw(v->phase[1], dt)) + 0.6f * (float)sin(2 * PI * v->phase[2]);
        env = adsr(v->age, v->gate_len, 0.004f, 0.18f, 0.65f, 0.07f);
        float cutoff = v->cutoff + 1400.0f * expf(-t * 9.0f);
        out = svf_lowpass(v, raw, cutoff, 0.6f) * env * 0.8f;
        *send = 0.04f;
        if (t * MUSIC_RATE > v->gate_len + 0.6f * MUSIC_RATE)
            v->active = 0;
        break;
    }
    case INS_PAD: {
        static const double DETUNE[3] = {0.9958, 1.0, 1.0042};
        float raw = 0;
        for (int k = 0; k < 3; k++) {
            v->phase[k] += dt * DETUNE[k];
            v->phase[k] -= floor(v->phase[k]);
            raw += saw(v->phase[k], dt * DETUNE[k]);
        }
        env = adsr(v->age, v->gate_len, 0.7f, 2.0f, 0.8f, 1.1f);
        out = svf_lowpass(v, raw * 0.33f, v->cutoff * (1.0f + 0.15f * sinf(t * 0.7f)), 1.1f) * env * 0.35f;
        *send = 0.5f;
        if (t * MUSIC_RATE > v->gate_len + 5.0f * MUSIC_RATE)
            v->active = 0;
        break;
    }
    case INS_LEAD: {
        double vib = t > 0.25f ? 1.0 + 0.012 * sin(2 * PI * 5.3 * t) * fmin(1.0, (t - 0.25) * 3) : 1.0;
        v->phase[0] += dt * vib;
        v->phase[1] += dt * vib * 1.006;
        v->phase[2] += dt * vib * 0.5;
        for (int k = 0; k < 3; k++)
            v->phase[k] -= floor(v->phase[k]);
        float sq = v->phase[2] < 0.5 ? 0.5f : -0.5f;
        float raw = 0.45f * (saw(v->phase[0], dt) + saw(v->phase[1], dt)) + 0.25f * sq;
        env = adsr(v->age, v->gate_len, 0.012f, 0.35f, 0.6f, 0.22f);
        out = svf_lowpass(v, raw, 1800.0f + 2600.0f * env, 0.9f) * env * 0.42f;
        *send = 0.35f;
        if (t * MUSIC_RATE > v->gate_len + 1.5f * MUSIC_RATE)
            v->active = 0;
        break;
    }
    case INS_ARP: {
        v->phase[0] += dt;
        v->phase[0] -= floor(v->phase[0]);
        env = adsr(v->age, v->gate_len, 0.002f, 0.12f, 0.0f, 0.05f);
        out = svf_lowpass(v, saw(v->phase[0], dt), 900.0f + 3200.0f * env, 1.3f) * env * 0.35f;
        *send = 0.45f;
        if (t > 0.6f)
            v->active = 0;
        break;
    }
    case INS_RAIN: {  // one droplet: a falling ping
        v->phase[0] += v->freq * (1.0 - 0.5 * fmin(1.0, t * 20.0)) / MUSIC_RATE;
        out = (float)sin(2 * PI * v->phase[0]) * expf(-t * 60) * 0.12f;
        *send = 0.6f;
        if (t > 0.12f)
            v->active = 0;
        break;
    }
    }
    v->age++;
    return out * v->level;
}

// Freeverb-style reverb: eight combs and four all-passes per side.
struct Reverb {
    std::vector<float> comb[2][8], allpass[2][4];
    int comb_at[2][8], allpass_at[2][4];
    float comb_low[2][8];
};

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
                start_voice(INS_PAD, midi_freq(notes[k]), (long)(step_samples * 16 * 0.97), lv, -0.6f + 0.4f * k,
                            2600.0f * cutoff_rise);
        } else if (p->pattern) {
            char c = p->pattern->steps[step];
            if (c == '.')
                continue;
            float accent = c == 'X' ? 1.0f : 0.78f;
            long len = (long)(step_samples * steps_to_next(p->pattern->steps, step) * 0.9);
            switch (ins) {
            case INS_KICK: start_voice(INS_KICK, 0, 0, lv * accent, 0, 0); break;
            case INS_SNARE: start_voice(INS_SNARE, 0, 0, lv * accent * 0.8f, 0.05f, 0); break;
            case INS_HAT: start_voice(INS_HAT, 0, 0, lv * accent, 0.3f, 0); break;
            case INS_OHAT: start_voice(INS_OHAT, 0, 0, lv * accent * 0.8f, -0.3f, 0); break;
            case INS_BASS: {
                int note = 36 + chord->root + (c == 'o' ? 12 : 0);
                start_voice(INS_BASS, midi_freq(note), len, lv, 0, 160.0f + 500.0f * cutoff_rise);
                break;
            }
            case INS_ARP: {
                int tone = c - '0';
                if (tone < 0 || tone > 3)
                    break;
                static const int OFFSET[4] = {0, 0, 7, 12};
                int note = 60 + chord->root + (tone == 1 ? third : OFFSET[tone]);
                start_voice(INS_ARP, midi_freq(note), (long)(step_samples * 0.8), lv, step % 4 < 2 ? -0.5f : 0.5f, 0);
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
            start_voice(INS_LEAD, midi_freq(note), (long)(step_samples * 2 * held * 0.92), lv, 0.1f, 0);
        }
    }
}

// ---- public functions ----

long synth_render(const Song* song, float** out)
{
    const double step_samples = 60.0 / song->tempo / 4.0 * MUSIC_RATE;
    const long tail = 4 * MUSIC_RATE;
    long frames = (long)(song_bars(song) * STEPS_PER_BAR * step_samples) + tail;
    float* mix = new float[frames * 2]();
    static Reverb reverb;
    reverb_init(&reverb);
    // Ping-pong delay of a dotted eighth on the lead.
    long delay_len = (long)(step_samples * 3);
    std::vector<float> delay_l(delay_len, 0.0f), delay_r(delay_len, 0.0f);
    long delay_at = 0;
    memset(voices, 0, sizeof voices);
    noise_state = 0x1234567u;

    long step_index = 0, n = 0;
    float rain_low = 0, rain_high_prev_in = 0, rain_high = 0, rain_level = 0;
    for (int si = 0; si < song->section_count; si++) {
        const Section* sec = &song->sections[si];
        long section_start = n;
        long section_len = (long)(sec->bars * STEPS_PER_BAR * step_samples);
        for (int bar = 0; bar < sec->bars; bar++)
            for (int step = 0; step < STEPS_PER_BAR; step++, step_index++) {
                long until = (long)llround((step_index + 1) * step_samples);
                double progress = (double)(n - section_start) / section_len;
                play_step(sec, bar, step, step_samples, progress);
                float target_rain = sec->parts[INS_RAIN].on ? sec->parts[INS_RAIN].level : 0.0f;
                for (; n < until && n < frames; n++) {
                    float f = (float)(n - section_start) / section_len;
                    float master = level_at(sec, f);
                    float l = 0, r = 0, send = 0, delay_in = 0;
                    rain_level += (target_rain * master - rain_level) * 0.00002f;
                    if (rain_level > 0.001f) {
                        float w = noise();
                        rain_low += (w - rain_low) * 0.3f;
                        rain_high = rain_low - rain_high_prev_in + 0.995f * rain_high;
                        rain_high_prev_in = rain_low;
                        l += rain_high * 0.10f * rain_level;
                        r += (rain_high * 0.7f + 0.3f * noise() * 0.3f) * 0.10f * rain_level;
                        if ((noise_state >> 8) % 100000 < (uint32_t)(rain_level * 28))
                            start_voice(INS_RAIN, 1800.0 + 2600.0 * (noise() * 0.5 + 0.5), 0, rain_level,
                                        noise(), 0);
                    }
                    for (int i = 0; i < MAX_VOICES; i++) {
                        Voice* v = &voices[i];
                        if (!v->active)
                            continue;
                        float s, sh;
                        s = voice_sample(v, &sh);
                        if (v->ins != INS_RAIN)
                            s *= master;
                        float gl = sqrtf(0.5f * (1 - v->pan)), gr = sqrtf(0.5f * (1 + v->pan));
                        l += s * gl;
                        r += s * gr;
                        send += s * sh;
                        if (v->ins == INS_LEAD)
                            delay_in += s;
                    }
                    float dl = delay_l[delay_at], dr = delay_r[delay_at];
                    delay_l[delay_at] = delay_in * 0.5f + dr * 0.38f;
                    delay_r[delay_at] = dl * 0.38f;
                    delay_at = (delay_at + 1) % delay_len;
                    l += dl * 0.6f + reverb_side(&reverb, 0, send + dl * 0.2f);
                    r += dr * 0.6f + reverb_side(&reverb, 1, send + dr * 0.2f);
                    mix[2 * n] = l;
                    mix[2 * n + 1] = r;
                }
            }
    }
    // The tail: the reverb rings out (the last section has faded the voices already).
    for (; n < frames; n++) {
        float fade = 1.0f - (float)(n - (frames - tail)) / tail;
        mix[2 * n] = reverb_side(&reverb, 0, 0) * fade;
        mix[2 * n + 1] = reverb_side(&reverb, 1, 0) * fade;
    }
    *out = mix;
    return frames;
}
