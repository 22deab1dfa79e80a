// picture.cpp -- PLACEHOLDER until this mode of the renderer lands
#include "render.h"

#include <cstdio>

int render_picture(int, char**)
{
    fprintf(stderr, "kerv16-render: this mode is not built yet\n");
    return 1;
}
