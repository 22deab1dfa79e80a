// fuzz_input.h -- what every fuzz target shares: its input written to a file the loaders can open
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Writes the bytes to a file of this process ending in `suffix` (the loaders choose by name) and
// returns its path; the file is removed when the process ends.
std::string fuzz_input_file(const uint8_t* data, size_t size, const char* suffix);

// A folder of this process (made once, removed at exit), for targets that need fixed names in it.
const std::string& fuzz_scratch_dir(void);

// Stops the run as a finding: libFuzzer and the replay driver both treat an abort as a crash.
void fuzz_fail(const char* what);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
