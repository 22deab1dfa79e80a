// main.cpp -- kerv16-pictures: writes every TGA picture of the show from the sources in content/
#include "pictures.h"

#include <cstdio>
#include <cstring>

// ---- internal functions ----

static void usage(FILE* out)
{
    fprintf(out, "usage: kerv16-pictures --content DIR --fonts DIR --out DIR\n"
                 "  reads DIR/pages/*.txt and DIR/greetings.txt, writes the pictures into the output folder\n");
}

// ---- public functions ----

int main(int argc, char** argv)
{
    const char *content = nullptr, *fonts = nullptr, *out = nullptr;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help")) {
            usage(stdout);
            return 0;
        }
        if (i + 1 < argc && !strcmp(argv[i], "--content"))
            content = argv[++i];
        else if (i + 1 < argc && !strcmp(argv[i], "--fonts"))
            fonts = argv[++i];
        else if (i + 1 < argc && !strcmp(argv[i], "--out"))
            out = argv[++i];
        else {
            usage(stderr);
            return 2;
        }
    }
    if (!content || !fonts || !out) {
        usage(stderr);
        return 2;
    }
    if (!text_init(fonts))
        return 1;
    int ok = make_spheres(out) && make_textures(out) && make_pages(content, out);
    text_done();
    return ok ? 0 : 1;
}
