// main.cpp -- kerv16-pictures: writes every TGA picture of the show from the sources in content/
#include "pictures.h"
#include "tool_options.h"

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
    const char *content, *fonts, *out;
    int status = tool_read_options(argc, argv, usage, &content, &fonts, &out);
    if (status >= 0)
        return status;
    if (!text_init(fonts))
        return 1;
    int ok = make_spheres(out) && make_textures(out) && make_pages(content, out);
    text_done();
    return ok ? 0 : 1;
}
