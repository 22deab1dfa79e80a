// tga.cpp -- fuzz target: any bytes as a TGA picture, loaded and then drawn both ways over the Screen
#include "fuzz_input.h"
#include "gfx2d/gfx2d.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!screen)
        screen_create();
    Image image;
    image_load(fuzz_input_file(data, size, ".tga").c_str(), &image);
    if (image.pixels && (!image.width || !image.height))
        fuzz_fail("a picture with pixels but no size");
    image_blit_alpha(&image, -3, -2);
    image_blit_add(&image, 200, 100);
    image_free(&image);
    return 0;
}
