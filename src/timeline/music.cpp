// music.cpp -- PLACEHOLDER until music lands: silence
#include "timeline/timeline.h"

int music_start(const char*) { return 0; }
int music_stop(void) { return 1; }
void music_seek_back(void) {}
void music_seek_forward(void) {}
