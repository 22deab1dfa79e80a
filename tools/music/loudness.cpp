// loudness.cpp -- what a listener's meter reads: integrated loudness (K-weighted, gated) and true peak
#include "music.h"

#include <cmath>
#include <vector>

// ---- types ----

struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1, x2, y1, y2;
};

// ---- internal functions ----

static double biquad_run(Biquad* f, double x)
{
    double y = f->b0 * x + f->b1 * f->x1 + f->b2 * f->x2 - f->a1 * f->y1 - f->a2 * f->y2;
    f->x2 = f->x1, f->x1 = x, f->y2 = f->y1, f->y1 = y;
    return y;
}

// The K weighting at any rate, from its analogue shelf (+4 dB above about 1.7 kHz) and high pass
// (about 38 Hz), so that 48 kHz gets the published coefficients.
static void k_weighting(int rate, Biquad* shelf, Biquad* high_pass)
{
    double k = tan(M_PI * 1681.974450955533 / rate), q = 0.7071752369554196;
    double vh = pow(10.0, 3.999843853973347 / 20.0), vb = pow(vh, 0.4996667741545416);
    double a0 = 1.0 + k / q + k * k;
    *shelf = Biquad{(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                    2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0, 0, 0, 0, 0};
    k = tan(M_PI * 38.13547087602444 / rate), q = 0.5003270373238773;
    a0 = 1.0 + k / q + k * k;
    *high_pass = Biquad{1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0, 0, 0, 0, 0};
}

// Gated loudness: blocks of 400 ms every 100 ms; those under -70 LUFS are dropped, then those more
// than 10 LU under the mean of the rest.
static double integrated_loudness(const float* mix, long frames, int rate)
{
    Biquad shelf[2], high_pass[2];
    for (int c = 0; c < 2; c++)
        k_weighting(rate, &shelf[c], &high_pass[c]);
    long step = rate / 10;
    std::vector<double> power;  // summed squares of both channels per 100 ms
    double sum = 0;
    for (long n = 0; n < frames; n++) {
        for (int c = 0; c < 2; c++) {
            double y = biquad_run(&high_pass[c], biquad_run(&shelf[c], mix[2 * n + c]));
            sum += y * y;
        }
        if ((n + 1) % step == 0)
            power.push_back(sum), sum = 0;
    }
    std::vector<double> blocks;
    for (size_t i = 3; i < power.size(); i++)
        blocks.push_back((power[i - 3] + power[i - 2] + power[i - 1] + power[i]) / (4.0 * step));
    auto lufs = [](double p) { return -0.691 + 10.0 * log10(p); };
    double gate = -70.0;
    for (int pass = 0; pass < 2; pass++) {
        double total = 0;
        long count = 0;
        for (double p : blocks)
            if (p > 0 && lufs(p) > gate)
                total += p, count++;
        if (!count)
            return -HUGE_VAL;
        if (pass == 1)
            return lufs(total / count);
        gate = lufs(total / count) - 10.0;
    }
    return -HUGE_VAL;
}

// ---- public functions ----

// Four times oversampled by a Kaiser-windowed sinc of 32 taps a phase, as a meter of true peak does.
void loudness_peaks(const float* mix, long frames, float* peaks)
{
    constexpr int PHASES = 4, TAPS = 32;
    static float fir[PHASES][TAPS];
    const double beta = 8.0;
    auto bessel0 = [](double x) {
        double sum = 1, term = 1;
        for (int k = 1; k < 30; k++)
            term *= (x / (2 * k)) * (x / (2 * k)), sum += term;
        return sum;
    };
    for (int p = 0; p < PHASES; p++)
        for (int t = 0; t < TAPS; t++) {
            double x = (t - TAPS / 2 + 1) - (double)p / PHASES;  // from the point worked out, in samples
            double w = x / (TAPS / 2);
            double window = fabs(w) < 1 ? bessel0(beta * sqrt(1 - w * w)) / bessel0(beta) : 0;
            fir[p][t] = (float)((x == 0 ? 1.0 : sin(M_PI * x) / (M_PI * x)) * window);
        }
    std::vector<float> x((size_t)frames + TAPS, 0.0f);  // one channel, silence on both sides
    for (int c = 0; c < 2; c++) {
        for (long n = 0; n < frames; n++)
            x[(size_t)n + TAPS / 2 - 1] = mix[2 * n + c];
        for (long n = 0; n < frames; n++) {
            const float* at = &x[(size_t)n];  // at[TAPS / 2 - 1] is sample n
            float peak = fabsf(at[TAPS / 2 - 1]);
            for (int p = 1; p < PHASES; p++) {
                float y = 0;
                for (int t = 0; t < TAPS; t++)
                    y += fir[p][t] * at[t];
                peak = fmaxf(peak, fabsf(y));
            }
            peaks[n] = c == 0 ? peak : fmaxf(peaks[n], peak);
        }
    }
}

Loudness loudness_measure(const float* mix, long frames, int rate)
{
    Loudness l;
    l.lufs = integrated_loudness(mix, frames, rate);
    std::vector<float> peaks((size_t)frames);
    loudness_peaks(mix, frames, peaks.data());
    double peak = 0;
    for (float p : peaks)
        peak = fmax(peak, p);
    l.true_peak_db = peak > 0 ? 20.0 * log10(peak) : -HUGE_VAL;
    return l;
}
