// main.cpp -- kerv16-music: renders the arrangement, masters it and encodes the soundtrack mp3
#include "music.h"

#include <lame/lame.h>
#include <mpg123.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

// ---- types ----

// Mastering: chosen by measuring the mp3 as decoded, against the mix as first mastered (-13.5 LUFS
// at +0.1 dBTP): the same loudness within a tenth of a LU, and true peaks 1.3 dB lower.
constexpr float MASTER_CEILING_DB = -1.6f;  // the limiter's ceiling for true peaks, dBFS
constexpr float MASTER_DRIVE_DB = 4.5f;     // how far the loudest peak is driven over it
constexpr double MASTER_TRUE_PEAK_DB = -1.0; // the most the decoded mp3 may peak at, dBTP

// ---- internal functions ----

// Removes DC, drives the loudest peak drive_db over the ceiling and limits every true peak to it:
// the gain is the minimum of the needed reductions around each sample, averaged so it moves smoothly.
static void master(float* mix, long frames, float ceiling_db, float drive_db)
{
    const float ceiling = powf(10.0f, ceiling_db / 20.0f);
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
    float pre = ceiling * powf(10.0f, drive_db / 20.0f) / peak;
    const long look = MUSIC_RATE / 200;  // 5 ms
    // The peaks between samples count too: a player's reconstruction reaches them.
    std::vector<float> need(frames), gain(frames);
    loudness_peaks(mix, frames, need.data());
    for (long n = 0; n < frames; n++) {
        float a = need[n] * pre;
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

// Writes path; messages name the file as the user knows it, shown.
static int write_mp3(const char* path, const char* shown, const float* mix, long frames)
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
        fprintf(stderr, "kerv16-music: cannot write %s: %s\n", shown, strerror(errno));
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
        fprintf(stderr, "kerv16-music: encoding %s failed\n", shown);
    return ok;
}

// The mp3 as a player decodes it, unclipped; an empty vector when it cannot be read.
static std::vector<float> decode_mp3(const char* path)
{
    std::vector<float> pcm;
    mpg123_init();
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    if (!mh)
        return pcm;
    mpg123_format_none(mh);
    mpg123_format(mh, MUSIC_RATE, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(mh, path) == MPG123_OK) {
        float buf[8192];
        size_t done = 0;
        int err;
        while ((err = mpg123_read(mh, (unsigned char*)buf, sizeof buf, &done)) == MPG123_OK || err == MPG123_NEW_FORMAT)
            pcm.insert(pcm.end(), buf, buf + done / sizeof(float));
        pcm.insert(pcm.end(), buf, buf + done / sizeof(float));
        if (err != MPG123_DONE)
            pcm.clear();
        mpg123_close(mh);
    }
    mpg123_delete(mh);
    return pcm;
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
    float* raw;
    long frames = synth_render(&song, &raw);
    std::vector<float> mix((size_t)frames * 2);
    // The encoder's filters overshoot the limiter by some tenths of a dB: should the mp3 as decoded
    // still peak above the limit, it is mastered again that much lower.
    float ceiling_db = MASTER_CEILING_DB;
    Loudness heard = {};
    std::string part = mp3_path ? std::string(mp3_path) + ".part" : "";
    int ok = 1;
    for (int attempt = 0; attempt < 4; attempt++) {
        memcpy(mix.data(), raw, mix.size() * sizeof(float));
        master(mix.data(), frames, ceiling_db, MASTER_DRIVE_DB);
        if (!mp3_path)
            break;
        if (!write_mp3(part.c_str(), mp3_path, mix.data(), frames)) {
            ok = 0;
            break;
        }
        std::vector<float> pcm = decode_mp3(part.c_str());
        if (pcm.empty()) {
            fprintf(stderr, "kerv16-music: cannot decode %s again to measure it\n", part.c_str());
            ok = 0;
            break;
        }
        heard = loudness_measure(pcm.data(), (long)pcm.size() / 2, MUSIC_RATE);
        if (heard.true_peak_db <= MASTER_TRUE_PEAK_DB)
            break;
        ceiling_db -= (float)(heard.true_peak_db - MASTER_TRUE_PEAK_DB) + 0.1f;
    }
    if (ok && mp3_path && heard.true_peak_db > MASTER_TRUE_PEAK_DB) {
        fprintf(stderr, "kerv16-music: %s still peaks at %+.1f dBTP after mastering it lower\n", mp3_path,
                heard.true_peak_db);
        ok = 0;
    }
    if (ok && mp3_path && rename(part.c_str(), mp3_path) != 0) {
        fprintf(stderr, "kerv16-music: cannot write %s: %s\n", mp3_path, strerror(errno));
        ok = 0;
    }
    if (!ok && mp3_path)
        remove(part.c_str());
    if (ok && wav_path && !write_wav(wav_path, mix.data(), frames)) {
        fprintf(stderr, "kerv16-music: cannot write %s\n", wav_path);
        ok = 0;
    }
    delete[] raw;
    if (!mp3_path)
        heard = loudness_measure(mix.data(), frames, MUSIC_RATE);
    if (ok)
        printf("kerv16-music: %d bars at %g BPM, %.1f s; %.1f LUFS integrated, true peak %+.1f dBTP (%s)\n",
               song_bars(&song), song.tempo, (double)frames / MUSIC_RATE, heard.lufs, heard.true_peak_db,
               mp3_path ? "the mp3 as decoded" : "the mix");
    return ok ? 0 : 1;
}
