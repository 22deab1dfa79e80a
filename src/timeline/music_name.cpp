// music_name.cpp -- which soundtrack files are streams: the extension test every music backend shares
#include "timeline/timeline.h"

#include <cstring>

int music_is_mp3(const char* name)
{
    if (!name)
        return 0;
    const char* tail = strrchr(name, '.');
    if (!tail)
        tail = name;
    return strcmp(tail, ".mp3") == 0 || strcmp(tail, ".MP3") == 0;
}
