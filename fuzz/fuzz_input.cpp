// fuzz_input.cpp -- scratch files for the fuzz targets, in memory-backed /dev/shm where there is one
#include "fuzz_input.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

// ---- state ----

static std::string scratch;  // folder of this process

// ---- internal functions ----

static void remove_scratch(void)
{
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

// ---- public functions ----

const std::string& fuzz_scratch_dir(void)
{
    if (scratch.empty()) {
        struct stat st;
        const char* base = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
        scratch = std::string(base) + "/kerv16-fuzz-" + std::to_string(getpid());
        std::filesystem::create_directories(scratch);
        atexit(remove_scratch);
    }
    return scratch;
}

std::string fuzz_input_file(const uint8_t* data, size_t size, const char* suffix)
{
    std::string path = fuzz_scratch_dir() + "/input" + suffix;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(data, 1, size, f) != size || fclose(f) != 0)
        fuzz_fail("cannot write the scratch input");
    return path;
}

void fuzz_fail(const char* what)
{
    fprintf(stderr, "fuzz finding: %s\n", what);
    fflush(stderr);
    abort();
}
