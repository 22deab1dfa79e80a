// mp3_format.cpp -- MPEG audio layer III frame headers, and decoded sound brought to the device's format
#include "platform/mp3.h"

#include <cstdlib>

// ---- state ----

// Bit rates in kbit/s by index (0 is "free", 15 invalid), layer III.
static const int KBPS_MPEG1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
static const int KBPS_MPEG2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
// Sampling rates by index (3 reserved) for MPEG-1, MPEG-2 and MPEG-2.5.
static const int RATES[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

// ---- internal functions ----

// 1 when the four bytes at p are a layer III header with a known rate and bit rate.
static int parse_header(const uint8_t* p, Mp3Header* h)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return 0;
    int version_bits = (p[1] >> 3) & 3;  // 0: 2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
    int layer_bits = (p[1] >> 1) & 3;    // 1: layer III
    int kbps_index = p[2] >> 4;
    int rate_index = (p[2] >> 2) & 3;
    if (version_bits == 1 || layer_bits != 1 || rate_index == 3)
        return 0;
    int mpeg1 = version_bits == 3;
    int kbps = (mpeg1 ? KBPS_MPEG1 : KBPS_MPEG2)[kbps_index];
    if (kbps == 0)
        return 0;
    h->version = mpeg1 ? 1 : version_bits == 2 ? 2 : 25;
    h->rate = RATES[mpeg1 ? 0 : version_bits == 2 ? 1 : 2][rate_index];
    h->channels = (p[3] >> 6) == 3 ? 1 : 2;
    h->kbps = kbps;
    // 1152 samples per MPEG-1 frame, 576 for the others; the padding bit adds one byte.
    h->frame_bytes = (mpeg1 ? 144000 : 72000) * kbps / h->rate + ((p[2] >> 1) & 1);
    return 1;
}

// ---- public functions ----

long mp3_find_header(const uint8_t* bytes, long size, Mp3Header* header)
{
    long at = 0;
    // ID3v2: "ID3", version, flags, then the tag size in four 7-bit bytes; a footer adds ten bytes.
    if (size >= 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
        long tag = ((long)(bytes[6] & 0x7F) << 21) | ((long)(bytes[7] & 0x7F) << 14) | ((bytes[8] & 0x7F) << 7) |
                   (bytes[9] & 0x7F);
        at = 10 + tag + ((bytes[5] & 0x10) ? 10 : 0);
    }
    for (; at + 4 <= size; at++) {
        Mp3Header h;
        if (!parse_header(bytes + at, &h))
            continue;
        long next = at + h.frame_bytes;
        Mp3Header h2;
        // The last frame of a file has no successor to confirm it.
        if (next + 4 > size ? next == size : parse_header(bytes + next, &h2) && h2.rate == h.rate) {
            *header = h;
            return at;
        }
    }
    return -1;
}

int16_t* mp3_to_stereo(const Mp3Pcm* pcm, int rate, int64_t* frames)
{
    *frames = 0;
    if (!pcm->samples || pcm->frames <= 0 || pcm->rate <= 0 || rate <= 0 || pcm->channels < 1)
        return nullptr;
    int64_t n = pcm->frames * rate / pcm->rate;
    int16_t* out = n > 0 ? (int16_t*)malloc(sizeof(int16_t) * 2 * (size_t)n) : nullptr;
    if (!out)
        return nullptr;
    int ch = pcm->channels;
    for (int64_t i = 0; i < n; i++) {
        // Output frame i lies at source frame i x pcm->rate / rate: whole part k, fraction in 1/65536.
        int64_t k = i * pcm->rate / rate;
        int64_t weight = i * pcm->rate % rate * 65536 / rate;
        int64_t k1 = k + 1 < pcm->frames ? k + 1 : k;
        for (int c = 0; c < 2; c++) {
            int from = c < ch ? c : 0;
            int64_t a = pcm->samples[k * ch + from], b = pcm->samples[k1 * ch + from];
            out[2 * i + c] = (int16_t)(a + (b - a) * weight / 65536);
        }
    }
    *frames = n;
    return out;
}
