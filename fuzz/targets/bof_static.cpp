// bof_static.cpp -- fuzz target: any bytes as a static BOF mesh
#include "bof.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_bof(data, size, 0);
    return 0;
}
