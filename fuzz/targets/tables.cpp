// tables.cpp -- fuzz target: the two conversion tables, of any size or content, then one Screen converted
#include "console/console.h"
#include "console/console_local.h"
#include "fuzz_input.h"
#include "gfx2d/gfx2d.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

// The input's first byte chooses: even writes the rest as data/charmap.lut as it is (sizes are
// checked), odd tiles it into both tables at their exact sizes, so that their content is what varies.
static void write_tables(const uint8_t* data, size_t size)
{
    std::string dir = fuzz_scratch_dir() + "/data";
    mkdir(dir.c_str(), 0700);
    std::vector<uint8_t> charmap, colmap;
    if (size == 0 || data[0] % 2 == 0) {
        charmap.assign(data + (size ? 1 : 0), data + size);
        colmap.assign(COLMAP_BYTES, 0);
    } else {
        charmap.resize(CHAR_TABLE_BYTES);
        colmap.resize(COLMAP_BYTES);
        for (size_t i = 0; i < charmap.size(); i++)
            charmap[i] = size > 1 ? data[1 + i % (size - 1)] : 0;
        for (size_t i = 0; i < colmap.size(); i++)
            colmap[i] = size > 1 ? data[1 + (i * 7) % (size - 1)] : 0;
    }
    for (auto [name, bytes] : {std::pair{"/charmap.lut", &charmap}, std::pair{"/colmap.lut", &colmap}}) {
        FILE* f = fopen((dir + name).c_str(), "wb");
        if (!f || fwrite(bytes->data(), 1, bytes->size(), f) != bytes->size() || fclose(f) != 0)
            fuzz_fail("cannot write the scratch tables");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static DisplayCell cells[4000];
    if (!screen)
        screen_create();
    write_tables(data, size);
    char here[PATH_MAX];
    if (!getcwd(here, sizeof here) || chdir(fuzz_scratch_dir().c_str()) != 0)
        fuzz_fail("cannot enter the scratch folder");
    int loaded = load_cell_tables();
    if (chdir(here) != 0)
        fuzz_fail("cannot leave the scratch folder");
    if (!loaded)
        return 0;
    // Every colour, coverage and pattern path: a Screen painted from the input bytes.
    for (int i = 0; i < SCREEN_W * SCREEN_H; i++) {
        uint32_t p = 0;
        for (int k = 0; k < 4; k++)
            p = p << 8 | data[(i * 4 + k) % size];
        screen[i] = p;
    }
    convert_screen(screen, cells);
    return 0;
}
