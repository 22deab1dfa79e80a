// raw.cpp -- fuzz target: a raw picture; the first line of the input is the size part of its name
#include "fuzz_input.h"
#include "gfx2d/gfx2d.h"

#include <cstring>
#include <string>

static const size_t NAME_TEXT_MAX = 24;  // bytes looked at for the size part

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!screen)
        screen_create();
    // "12x34\n<pixels>" is loaded as pic_12x34.raw; a name without a line break gives no size at all.
    const uint8_t* nl = (const uint8_t*)memchr(data, '\n', size < NAME_TEXT_MAX ? size : NAME_TEXT_MAX);
    std::string part = nl ? std::string((const char*)data, nl - data) : std::string();
    size_t skip = nl ? (size_t)(nl - data) + 1 : 0;
    for (char& c : part)
        if (c == '/' || c == 0)
            c = '_';
    std::string suffix = "_" + part + ".raw";
    std::string path = fuzz_input_file(data + skip, size - skip, suffix.c_str());
    int w = -1, h = -1;
    image_size_from_name(path.c_str(), &w, &h);
    Image image;
    image_load(path.c_str(), &image);
    // A name holding ".tga" anywhere is read as a TGA picture instead; only raw loads are checked.
    int raw = !strstr(path.c_str(), ".tga") && !strstr(path.c_str(), ".TGA");
    if (raw && image.pixels && (image.width != w || image.height != h))
        fuzz_fail("raw picture loaded at a size other than its name says");
    if (raw && image.pixels && (size_t)w * h * 4 > size - skip)
        fuzz_fail("raw picture loaded from fewer bytes than it holds");
    image_blit_alpha(&image, 0, 0);
    image_free(&image);
    return 0;
}
