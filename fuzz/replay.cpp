// replay.cpp -- the plain driver: feeds every file given (or every file in a folder given) to one target
#include "fuzz_input.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

static int replay(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fprintf(stderr, "%s: cannot be read\n", file.c_str());
        return 0;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so that reading one byte past it is caught by the sanitizers.
    uint8_t* copy = new uint8_t[bytes.size() ? bytes.size() : 1];
    std::copy(bytes.begin(), bytes.end(), copy);
    LLVMFuzzerTestOneInput(copy, bytes.size());
    delete[] copy;
    return 1;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    int count = 0, failed = 0;
    for (int i = 1; i < argc; i++) {
        fs::path arg(argv[i]);
        std::vector<fs::path> files;
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(arg);
        }
        for (const fs::path& f : files) {
            if (replay(f))
                count++;
            else
                failed++;
        }
    }
    // A finding aborts inside the target, so reaching here means every input passed.
    fprintf(stderr, "replayed %d inputs\n", count);
    return failed || count == 0 ? 1 : 0;
}
