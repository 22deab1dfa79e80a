// loudness_test.cpp -- the soundtrack tool's meter: integrated loudness with its two gates, and true peak
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "music.h"

namespace {

const int RATE = 44100;

// Interleaved stereo: seconds of a sine of these amplitudes on each channel (0 leaves it silent),
// appended; faded in and out over fade seconds.
void add_sine(std::vector<float>* mix, double seconds, double freq, double left, double right, double phase = 0,
              double fade = 0)
{
    long n0 = (long)mix->size() / 2, frames = (long)(seconds * RATE);
    for (long n = 0; n < frames; n++) {
        double edge = fade > 0 ? fmin(1.0, fmin((double)n, (double)(frames - 1 - n)) / (fade * RATE)) : 1.0;
        double s = edge * sin(2 * M_PI * freq * (double)(n0 + n) / RATE + phase);
        mix->push_back((float)(left * s));
        mix->push_back((float)(right * s));
    }
}

Loudness measure(const std::vector<float>& mix)
{
    return loudness_measure(mix.data(), (long)mix.size() / 2, RATE);
}

}  // namespace

// A full-scale 997 Hz sine in one channel reads -3.01 LUFS, in both 0 LUFS; loudness follows the level.
TEST(SoundtrackMeter, SineReadsItsLevel)
{
    std::vector<float> one, both, quiet;
    add_sine(&one, 5, 997, 1.0, 0);
    add_sine(&both, 5, 997, 1.0, 1.0);
    add_sine(&quiet, 5, 997, 0.1, 0.1);
    EXPECT_NEAR(measure(one).lufs, -3.01, 0.05);
    EXPECT_NEAR(measure(both).lufs, 0.0, 0.05);
    EXPECT_NEAR(measure(quiet).lufs, -20.0, 0.05);
}

// Silence falls under the absolute gate; a passage 20 dB down falls under the relative one (10 LU
// below the mean of the rest; ungated, 5 s of each would read -23 LUFS). What is left: 47 blocks of
// 400 ms wholly in the tone and the three that leave it, with 3/4, 1/2 and 1/4 of its power (and
// 1/4, 1/2, 3/4 of the quiet passage's hundredth).
TEST(SoundtrackMeter, GatesLeaveOutSilenceAndQuietPassages)
{
    std::vector<float> with_silence, with_quiet;
    add_sine(&with_silence, 5, 997, 0.1, 0.1);
    add_sine(&with_silence, 5, 997, 0, 0);
    add_sine(&with_quiet, 5, 997, 0.1, 0.1);
    add_sine(&with_quiet, 5, 997, 0.01, 0.01);
    EXPECT_NEAR(measure(with_silence).lufs, -20.0 + 10 * log10((47 + 1.5) / 50), 0.01);
    EXPECT_NEAR(measure(with_quiet).lufs, -20.0 + 10 * log10((47 + 1.5 + 0.015) / 50), 0.01);
    std::vector<float> silent(2 * RATE, 0.0f);
    EXPECT_EQ(measure(silent).lufs, -HUGE_VAL);
}

// A sine at a quarter of the rate, sampled 45 degrees off its crests: every sample is at 0.707 of the
// amplitude, and the true peak is the amplitude (0.5: -6.02 dBTP, the samples' peak -9.03 dBFS). It
// fades in and out: a sudden start rings in any reconstruction.
TEST(SoundtrackMeter, TruePeakLiesBetweenTheSamples)
{
    std::vector<float> mix;
    add_sine(&mix, 1, RATE / 4.0, 0.5, 0.25, M_PI / 4, 0.05);
    EXPECT_NEAR(measure(mix).true_peak_db, -6.02, 0.05);
    std::vector<float> peaks(mix.size() / 2);
    loudness_peaks(mix.data(), (long)peaks.size(), peaks.data());
    EXPECT_NEAR(peaks[RATE / 2], 0.5, 0.005);  // the louder channel, away from the ends
}
