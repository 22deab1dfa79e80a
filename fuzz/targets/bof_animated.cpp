// bof_animated.cpp -- fuzz target: any bytes as an animated BOF mesh
#include "bof.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_bof(data, size, 1);
    return 0;
}
