// main.cpp -- kerv16-music: renders the arrangement, masters it and encodes the soundtrack mp3
#include "music.h"

#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

// ---- internal functions ----

// Removes DC, brings the loudest passages to the limiter and keeps every sample below the ceiling:
// the gain is the minimum of the needed reductions around each sample, averaged so it moves smoothly.
static void master(float* mix, long frames)
{
    const float ceiling = 0.89f;  // -1 dBFS
    float prev_in[2] = {0, 0}, prev_out[2] = {0, 0}, peak = 0;
    for (long n = 0; n < frames; n++)
        for (int c = 0; c < 2; c++) {
            float x = mix[2 * n + c];
            float y = x - prev_in[c] + 0.9995f * prev_out[c];
            prev_in[c] = x, prev_out[c] = y;
            mix[2 * n + c] = y;
            peak = fmaxf(peak, fabsf(y));
        }
    if (peak <= 0)
        return;
    float pre = ceiling * 1.5f / peak;
    const long look = MUSIC_RATE / 200;  // 5 ms
    std::vector<float> need(frames), gain(frames);
    for (long n = 0; n < frames; n++) {
        float a = fmaxf(fabsf(mix[2 * n]), fabsf(mix[2 * n + 1])) * pre;
        need[n] = a > ceiling ? ceiling / a : 1.0f;
    }
    // Sliding minimum over [n - look, n + look].
    std::deque<long> q;
    std::vector<float> lowest(frames);
    for (long n = 0, right = 0; n < frames; n++) {
        for (; right < frames && right <= n + look; right++) {
            while (!q.empty() && need[q.back()] >= need[right])
                q.pop_back();
            q.push_back(right);
        }
        while (q.front() < n - look)
            q.pop_front();
        lowest[n] = need[q.front()];
    }
    // Average over [n - look/2, n + look/2]: every value averaged near a peak is already at most its need.
    double sum = 0;
    long half = look / 2;
    for (long n = 0; n < frames + half; n++) {
        if (n < frames)
            sum += lowest[n];
        if (n - 2 * half - 1 >= 0)
            sum -= lowest[n - 2 * half - 1];
        long centre = n - half;
        if (centre >= 0) {
            long lo = centre - half < 0 ? 0 : centre - half, hi = centre + half >= frames ? frames - 1 : centre + half;
            gain[centre] = (float)(sum / (double)(hi - lo + 1));
        }
    }
    // Release slowly (150 ms), never above what is needed.
    float g = 1.0f, release = 1.0f - expf(-1.0f / (0.15f * MUSIC_RATE));
    for (long n = 0; n < frames; n++) {
        g += (1.0f - g) * release;
        if (gain[n] < g)
            g = gain[n];
        for (int c = 0; c < 2; c++) {
            float y = mix[2 * n + c] * pre * g;
            mix[2 * n + c] = fmaxf(-0.999f, fminf(0.999f, y));
        }
    }
}

static int write_wav(const char* path, const float* mix, long frames)
{
    FILE* f = fopen(path, "wb");
    if (!f)
        return 0;
    uint32_t data = (uint32_t)(frames * 4), riff = 36 + data, fmt_len = 16, rate = MUSIC_RATE, bytes = MUSIC_RATE * 4;
    uint16_t pcm = 1, channels = 2, align = 4, bits = 16;
    fwrite("RIFF", 1, 4, f), fwrite(&riff, 4, 1, f), fwrite("WAVEfmt ", 1, 8, f), fwrite(&fmt_len, 4, 1, f);
    fwrite(&pcm, 2, 1, f), fwrite(&channels, 2, 1, f), fwrite(&rate, 4, 1, f), fwrite(&bytes, 4, 1, f);
    fwrite(&align, 2, 1, f), fwrite(&bits, 2, 1, f), fwrite("data", 1, 4, f), fwrite(&data, 4, 1, f);
    for (long i = 0; i < frames * 2; i++) {
        int16_t s = (int16_t)lrintf(mix[i] * 32767.0f);
        fwrite(&s, 2, 1, f);
    }
    return fclose(f) == 0;
}

static int write_mp3(const char* path, const float* mix, long frames)
{
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, MUSIC_RATE);
    lame_set_num_channels(lame, 2);
    lame_set_out_samplerate(lame, MUSIC_RATE);
    lame_set_brate(lame, 192);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        fprintf(stderr, "kerv16-music: the mp3 encoder refused its settings\n");
        return 0;
    }
    FILE* f = fopen(path, "wb");
    if (!f) {
        lame_close(lame);
        fprintf(stderr, "kerv16-music: cannot write %s\n", path);
        return 0;
    }
    const int chunk = 8192;
    std::vector<unsigned char> buf(chunk * 5 / 4 + 7200);
    int ok = 1;
    for (long at = 0; at < frames && ok; at += chunk) {
        int n = (int)(frames - at < chunk ? frames - at : chunk);
        int bytes = lame_encode_buffer_interleaved_ieee_float(lame, mix + 2 * at, n, buf.data(), (int)buf.size());
        ok = bytes >= 0 && fwrite(buf.data(), 1, bytes, f) == (size_t)bytes;
    }
    int bytes = lame_encode_flush(lame, buf.data(), (int)buf.size());
    ok = ok && bytes >= 0 && fwrite(buf.data(), 1, bytes, f) == (size_t)bytes;
    ok = (fclose(f) == 0) && ok;
    lame_close(lame);
    if (!ok)
        fprintf(stderr, "kerv16-music: encoding %s failed\n", path);
    return ok;
}

// ---- public functions ----

int main(int argc, char** argv)
{
    const char *song_path = nullptr, *mp3_path = nullptr, *wav_path = nullptr;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--wav") && i + 1 < argc)
            wav_path = argv[++i];
        else if (!song_path)
            song_path = argv[i];
        else if (!mp3_path)
            mp3_path = argv[i];
    }
    if (!song_path || (!mp3_path && !wav_path)) {
        fprintf(stderr, "usage: kerv16-music SONG.txt OUT.mp3 [--wav OUT.wav]\n");
        return 2;
    }
    static Song song;
    if (!song_load(song_path, &song))
        return 1;
    float* mix;
    long frames = synth_render(&song, &mix);
    master(mix, frames);
    int ok = 1;
    if (mp3_path)
        ok = write_mp3(mp3_path, mix, frames);
    if (wav_path && !write_wav(wav_path, mix, frames)) {
        fprintf(stderr, "kerv16-music: cannot write %s\n", wav_path);
        ok = 0;
    }
    delete[] mix;
    printf("kerv16-music: %d bars at %g BPM, %.1f s\n", song_bars(&song), song.tempo, (double)frames / MUSIC_RATE);
    return ok ? 0 : 1;
}
