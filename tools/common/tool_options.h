// tool_options.h -- the "--content X --fonts DIR --out DIR" command line shared by the content tools
#pragma once
#include <cstdio>
#include <cstring>

// Fills the three paths from the command line. Returns -1 when all three were given, otherwise the exit
// status to leave with: 0 after --help (usage on standard output), 2 on anything else (usage on standard error).
inline int tool_read_options(int argc, char** argv, void (*usage)(FILE* out), const char** content,
                             const char** fonts, const char** out)
{
    *content = *fonts = *out = nullptr;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help")) {
            usage(stdout);
            return 0;
        }
        if (i + 1 < argc && !strcmp(argv[i], "--content"))
            *content = argv[++i];
        else if (i + 1 < argc && !strcmp(argv[i], "--fonts"))
            *fonts = argv[++i];
        else if (i + 1 < argc && !strcmp(argv[i], "--out"))
            *out = argv[++i];
        else {
            usage(stderr);
            return 2;
        }
    }
    if (!*content || !*fonts || !*out) {
        usage(stderr);
        return 2;
    }
    return -1;
}
