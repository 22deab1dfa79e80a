// mp3.h -- a whole MP3 file decoded into memory by the system's own decoder (mp3_acm.cpp: the ACM codec)
#pragma once
#include <cstdint>

// ---- types ----

// Decoded sound: interleaved signed 16-bit samples, `channels` per frame. Owned; mp3_free releases it.
struct Mp3Pcm {
    int16_t* samples;
    int64_t frames;
    int rate;      // frames per second, as the file says
    int channels;  // 1 or 2
};

// Facts from the first MPEG audio frame header.
struct Mp3Header {
    int version;     // 1 for MPEG-1, 2 for MPEG-2, 25 for MPEG-2.5
    int rate;        // Hz
    int channels;    // 1 or 2
    int kbps;        // bit rate of that frame
    int frame_bytes; // its length with padding
};

enum {
    MP3_MAX_FILE_BYTES = 256 << 20,  // larger files are not taken for soundtracks
};

// ---- public functions ----

// Finds the first layer III frame after any ID3v2 tag whose successor also starts a frame (so a
// stray sync pattern in the tag is not taken); returns its offset, or -1.
long mp3_find_header(const uint8_t* bytes, long size, Mp3Header* header);

// 1 when the file was read and decoded; 0 with pcm emptied when it cannot be opened, holds no
// MP3 frames, or the system has no decoder for it. Runs at start-up: it reads and decodes all.
int mp3_decode_file(const char* name, Mp3Pcm* pcm);
void mp3_free(Mp3Pcm* pcm);

// The sound as stereo frames at `rate` (linear interpolation; mono plays on both sides), malloc'ed,
// frames set; null when there is nothing or memory runs out.
int16_t* mp3_to_stereo(const Mp3Pcm* pcm, int rate, int64_t* frames);
