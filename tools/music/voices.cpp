// voices.cpp -- the soundtrack's voices: drums, bass, pad, lead, arp and rain droplets, one sample at a time
#include "music.h"

#include <cmath>
#include <cstring>

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
uint32_t voice_noise_state = 0x1234567u;

// ---- internal functions ----

static const double PI = 3.14159265358979323846;

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

// The instruments, one sample each. Every one takes the voice, its age t in seconds and its phase step dt (cycles per sample),
// returns the dry sample before the voice's level, sets *send to its reverb share and ends the voice
// once its sound has died away.

static float kick_sample(Voice* v, float t, float* send)
{
    double f = 44.0 + 120.0 * exp(-t * 28.0);  // the pitch falls from 164 Hz to 44 Hz
    v->phase[0] += f / MUSIC_RATE;
    float env = expf(-t * 6.5f);
    float out = (float)sin(2 * PI * v->phase[0]) * env + (t < 0.004f ? voice_noise() * 0.3f : 0);  // a click on top
    *send = 0.02f;
    if (t > 0.9f)
        v->active = 0;
    return out;
}

static float snare_sample(Voice* v, float t, float* send)
{
    v->phase[0] += 185.0 / MUSIC_RATE;
    float n = voice_noise();
    float hp = n - v->hp_prev_in + 0.6f * v->hp_prev_out;  // a gentle high-pass on the noise
    v->hp_prev_in = n, v->hp_prev_out = hp;
    float out = (float)sin(2 * PI * v->phase[0]) * expf(-t * 22) * 0.5f + hp * expf(-t * 13) * 0.45f;
    *send = 0.3f;
    if (t > 0.6f)
        v->active = 0;
    return out;
}

// Closed and open hats: the same filtered noise, a short or a long decay.
static float hat_sample(Voice* v, float t, float* send)
{
    int closed = v->ins == INS_HAT;
    float n = voice_noise();
    float hp = n - v->hp_prev_in;
    v->hp_prev_in = n;
    hp = hp - v->hp_prev_out * 0.2f;
    v->hp_prev_out = hp;
    float out = hp * expf(-t * (closed ? 55.0f : 8.0f)) * 0.25f;
    *send = 0.1f;
    if (t > (closed ? 0.15f : 0.7f))
        v->active = 0;
    return out;
}

// Two slightly detuned saws and a sine an octave down, through a low-pass that closes after the attack.
static float bass_sample(Voice* v, float t, double dt, float* send)
{
    for (int k = 0; k < 2; k++) {
        v->phase[k] += dt * (k ? 1.003 : 1.0);
        v->phase[k] -= floor(v->phase[k]);
    }
    v->phase[2] += dt * 0.5;
    v->phase[2] -= floor(v->phase[2]);
    float raw = 0.5f * (saw(v->phase[0], dt) + saw(v->phase[1], dt)) + 0.6f * (float)sin(2 * PI * v->phase[2]);
    float env = adsr(v->age, v->gate_len, 0.004f, 0.18f, 0.65f, 0.07f);
    float cutoff = v->cutoff + 1400.0f * expf(-t * 9.0f);
    float out = svf_lowpass(v, raw, cutoff, 0.6f) * env * 0.8f;
    *send = 0.04f;
    if (t * MUSIC_RATE > v->gate_len + 0.6f * MUSIC_RATE)
        v->active = 0;
    return out;
}

// Three detuned saws under a slowly wavering low-pass.
static float pad_sample(Voice* v, float t, double dt, float* send)
{
    static const double DETUNE[3] = {0.9958, 1.0, 1.0042};
    float raw = 0;
    for (int k = 0; k < 3; k++) {
        v->phase[k] += dt * DETUNE[k];
        v->phase[k] -= floor(v->phase[k]);
        raw += saw(v->phase[k], dt * DETUNE[k]);
    }
    float env = adsr(v->age, v->gate_len, 0.7f, 2.0f, 0.8f, 1.1f);
    float out = svf_lowpass(v, raw * 0.33f, v->cutoff * (1.0f + 0.15f * sinf(t * 0.7f)), 1.1f) * env * 0.35f;
    *send = 0.5f;
    if (t * MUSIC_RATE > v->gate_len + 5.0f * MUSIC_RATE)
        v->active = 0;
    return out;
}

// Two saws and a square an octave down; vibrato fades in after a quarter second.
static float lead_sample(Voice* v, float t, double dt, float* send)
{
    double vib = t > 0.25f ? 1.0 + 0.012 * sin(2 * PI * 5.3 * t) * fmin(1.0, (t - 0.25) * 3) : 1.0;
    v->phase[0] += dt * vib;
    v->phase[1] += dt * vib * 1.006;
    v->phase[2] += dt * vib * 0.5;
    for (int k = 0; k < 3; k++)
        v->phase[k] -= floor(v->phase[k]);
    float sq = v->phase[2] < 0.5 ? 0.5f : -0.5f;
    float raw = 0.45f * (saw(v->phase[0], dt) + saw(v->phase[1], dt)) + 0.25f * sq;
    float env = adsr(v->age, v->gate_len, 0.012f, 0.35f, 0.6f, 0.22f);
    float out = svf_lowpass(v, raw, 1800.0f + 2600.0f * env, 0.9f) * env * 0.42f;
    *send = 0.35f;
    if (t * MUSIC_RATE > v->gate_len + 1.5f * MUSIC_RATE)
        v->active = 0;
    return out;
}

// A plucked saw whose filter follows the envelope.
static float arp_sample(Voice* v, float t, double dt, float* send)
{
    v->phase[0] += dt;
    v->phase[0] -= floor(v->phase[0]);
    float env = adsr(v->age, v->gate_len, 0.002f, 0.12f, 0.0f, 0.05f);
    float out = svf_lowpass(v, saw(v->phase[0], dt), 900.0f + 3200.0f * env, 1.3f) * env * 0.35f;
    *send = 0.45f;
    if (t > 0.6f)
        v->active = 0;
    return out;
}

// One droplet: a ping whose pitch falls by half in its first 50 ms.
static float rain_sample(Voice* v, float t, float* send)
{
    v->phase[0] += v->freq * (1.0 - 0.5 * fmin(1.0, t * 20.0)) / MUSIC_RATE;
    float out = (float)sin(2 * PI * v->phase[0]) * expf(-t * 60) * 0.12f;
    *send = 0.6f;
    if (t > 0.12f)
        v->active = 0;
    return out;
}

// One sample of a voice at its level; sets *send to the reverb send share and ages the voice.
static float voice_sample(Voice* v, float* send)
{
    float t = (float)v->age / MUSIC_RATE;
    double dt = v->freq / MUSIC_RATE;
    float out = 0;
    *send = 0.15f;
    switch (v->ins) {
    case INS_KICK: out = kick_sample(v, t, send); break;
    case INS_SNARE: out = snare_sample(v, t, send); break;
    case INS_HAT:
    case INS_OHAT: out = hat_sample(v, t, send); break;
    case INS_BASS: out = bass_sample(v, t, dt, send); break;
    case INS_PAD: out = pad_sample(v, t, dt, send); break;
    case INS_LEAD: out = lead_sample(v, t, dt, send); break;
    case INS_ARP: out = arp_sample(v, t, dt, send); break;
    case INS_RAIN: out = rain_sample(v, t, send); break;
    }
    v->age++;
    return out * v->level;
}

// ---- public functions ----

// A free voice, or else the oldest one.
void voice_start(int ins, double freq, long gate_len, float level, float pan, float cutoff)
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

float voice_noise(void)
{
    voice_noise_state = voice_noise_state * 1664525u + 1013904223u;
    return (float)((int32_t)voice_noise_state) * (1.0f / 2147483648.0f);
}

void voices_reset(void)
{
    memset(voices, 0, sizeof voices);
    voice_noise_state = 0x1234567u;
}

void voices_mix(float master, float* l, float* r, float* send, float* delay_in)
{
    for (int i = 0; i < MAX_VOICES; i++) {
        Voice* v = &voices[i];
        if (!v->active)
            continue;
        float s, sh;
        s = voice_sample(v, &sh);
        if (v->ins != INS_RAIN)
            s *= master;
        float gl = sqrtf(0.5f * (1 - v->pan)), gr = sqrtf(0.5f * (1 + v->pan));
        *l += s * gl;
        *r += s * gr;
        *send += s * sh;
        if (v->ins == INS_LEAD)
            *delay_in += s;
    }
}

