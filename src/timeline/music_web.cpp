// music_web.cpp -- the soundtrack in the web page: the browser decodes and plays it, seeks restart it there
//
// Tracker modules are not played in the page (no module player is built for it); the show goes on silently.
#include "timeline/timeline.h"
#include "platform/audio.h"
#include "platform/msg.h"

// ---- types ----

enum { SEEK_MS = 1000 };  // one seek step

// ---- public functions ----

int music_start(const char* name)
{
    if (!name)
        return 0;
    if (!music_is_mp3(name)) {
        msg_print(stderr, "kerv16: %s: tracker modules cannot be played in the page; the show goes on silently\n", name);
        return 0;
    }
    if (!audio_track_open(name))
        return 0;
    audio_track_play(0);
    return 1;
}

int music_stop(void)
{
    audio_track_stop();
    return 1;
}

// Before the start plays from 0; past the end the music ends quietly.
void music_seek_back(void)
{
    int position = audio_track_position();
    if (position >= 0)
        audio_track_play(position > SEEK_MS ? position - SEEK_MS : 0);
}

void music_seek_forward(void)
{
    int position = audio_track_position();
    if (position >= 0)
        audio_track_play(position + SEEK_MS);
}

int music_get_position(void) { return audio_track_position(); }

// The live mode does not run in the page.
void music_follow(int, uint32_t, int) {}

void music_use_audio(const AudioDriver*) {}
