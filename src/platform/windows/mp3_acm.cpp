// mp3_acm.cpp -- MP3 files decoded whole through Windows' own MP3 codec (the Audio Compression Manager)
#include "platform/mp3.h"

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---- types ----

enum {
    CHUNK_IN = 64 << 10,  // compressed bytes handed to the codec per call
    CODEC_DELAY = 1393,   // what Windows' own encoder settings announce; the decoder ignores it
};

// ---- internal functions ----

static uint8_t* read_file(const char* name, long* size)
{
    FILE* f = fopen(name, "rb");
    if (!f)
        return nullptr;
    uint8_t* bytes = nullptr;
    long n = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        n = ftell(f);
    if (n > 0 && n <= MP3_MAX_FILE_BYTES && fseek(f, 0, SEEK_SET) == 0) {
        bytes = (uint8_t*)malloc((size_t)n);
        if (bytes && fread(bytes, 1, (size_t)n, f) != (size_t)n) {
            free(bytes);
            bytes = nullptr;
        }
    }
    fclose(f);
    *size = n;
    return bytes;
}

// Appends n bytes of PCM, growing the buffer by half again when it is full.
static int append(Mp3Pcm* pcm, size_t* capacity, const uint8_t* data, size_t n)
{
    size_t used = (size_t)pcm->frames * (size_t)pcm->channels * 2;
    if (used + n > *capacity) {
        size_t grown = (used + n) + (used + n) / 2;
        int16_t* bigger = (int16_t*)realloc(pcm->samples, grown);
        if (!bigger)
            return 0;
        pcm->samples = bigger;
        *capacity = grown;
    }
    memcpy((uint8_t*)pcm->samples + used, data, n);
    pcm->frames += (int64_t)(n / (size_t)(pcm->channels * 2));
    return 1;
}

static int decode(HACMSTREAM stream, const uint8_t* bytes, long size, Mp3Pcm* pcm, size_t capacity)
{
    DWORD out_bytes = 0;
    if (acmStreamSize(stream, CHUNK_IN, &out_bytes, ACM_STREAMSIZEF_SOURCE) != 0 || out_bytes == 0)
        return 0;
    uint8_t* in = (uint8_t*)malloc(CHUNK_IN);
    uint8_t* out = (uint8_t*)malloc(out_bytes);
    ACMSTREAMHEADER header = {};
    header.cbStruct = sizeof header;
    header.pbSrc = in;
    header.cbSrcLength = CHUNK_IN;
    header.pbDst = out;
    header.cbDstLength = out_bytes;
    int ok = in && out && acmStreamPrepareHeader(stream, &header, 0) == 0;
    long at = 0;            // next file byte not yet handed to the codec
    DWORD pending = 0;      // bytes at the front of `in` the codec has not taken yet
    DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START;
    while (ok) {
        DWORD room = CHUNK_IN - pending;
        DWORD take = size - at < (long)room ? (DWORD)(size - at) : room;
        memcpy(in + pending, bytes + at, take);
        at += take;
        header.cbSrcLength = pending + take;
        if (at == size)
            flags |= ACM_STREAMCONVERTF_END;
        if (acmStreamConvert(stream, &header, flags) != 0) {
            ok = 0;
            break;
        }
        flags &= ~(DWORD)ACM_STREAMCONVERTF_START;
        if (header.cbDstLengthUsed && !append(pcm, &capacity, out, header.cbDstLengthUsed))
            ok = 0;
        DWORD used = header.cbSrcLengthUsed < header.cbSrcLength ? header.cbSrcLengthUsed : header.cbSrcLength;
        pending = header.cbSrcLength - used;
        memmove(in, in + used, pending);
        // Nothing moves any more: the end of the file, or a codec that takes no more of it.
        if (used == 0 && header.cbDstLengthUsed == 0)
            break;
    }
    if (in && out && header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)
        acmStreamUnprepareHeader(stream, &header, 0);
    free(in);
    free(out);
    return ok && pcm->frames > 0;
}

// ---- public functions ----

int mp3_decode_file(const char* name, Mp3Pcm* pcm)
{
    *pcm = Mp3Pcm{};
    long size = 0;
    uint8_t* bytes = name ? read_file(name, &size) : nullptr;
    if (!bytes)
        return 0;
    Mp3Header first;
    long start = mp3_find_header(bytes, size, &first);
    if (start < 0) {
        free(bytes);
        return 0;
    }
    MPEGLAYER3WAVEFORMAT source = {};
    source.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    source.wfx.nChannels = (WORD)first.channels;
    source.wfx.nSamplesPerSec = (DWORD)first.rate;
    source.wfx.nAvgBytesPerSec = (DWORD)first.kbps * 1000 / 8;
    source.wfx.nBlockAlign = 1;
    source.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    source.wID = MPEGLAYER3_ID_MPEG;
    source.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    source.nBlockSize = (WORD)first.frame_bytes;
    source.nFramesPerBlock = 1;
    source.nCodecDelay = CODEC_DELAY;
    WAVEFORMATEX target = {};
    target.wFormatTag = WAVE_FORMAT_PCM;
    target.nChannels = (WORD)first.channels;
    target.nSamplesPerSec = (DWORD)first.rate;
    target.wBitsPerSample = 16;
    target.nBlockAlign = (WORD)(2 * first.channels);
    target.nAvgBytesPerSec = target.nSamplesPerSec * target.nBlockAlign;
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, &source.wfx, &target, nullptr, 0, 0, 0) != 0) {
        free(bytes);
        return 0;
    }
    pcm->rate = first.rate;
    pcm->channels = first.channels;
    // Room for the whole file at the first frame's bit rate, plus a little: usually no regrowth.
    double seconds = (double)(size - start) * 8.0 / (first.kbps * 1000.0);
    size_t capacity = (size_t)((seconds + 1.0) * first.rate) * (size_t)first.channels * 2;
    pcm->samples = (int16_t*)malloc(capacity);
    int ok = pcm->samples && decode(stream, bytes + start, size - start, pcm, capacity);
    acmStreamClose(stream, 0);
    free(bytes);
    if (!ok)
        mp3_free(pcm);
    return ok;
}

void mp3_free(Mp3Pcm* pcm)
{
    free(pcm->samples);
    *pcm = Mp3Pcm{};
}
