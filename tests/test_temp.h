// test_temp.h -- one temporary folder per test process, made on first use and removed when the process ends
#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

inline std::string test_temp_made;  // the folder, once made
inline pid_t test_temp_owner;       // the process that made it; forked children leave it alone

// Memory-backed under /dev/shm when the machine has it: some tests rewrite a file thousands of times,
// which takes a millisecond or more each time on a disk that discards freed blocks.
inline const std::string& test_temp_dir(void)
{
    if (test_temp_made.empty()) {
        std::string base = access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm")
                                                         : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/kerv16_test_XXXXXX";
        if (!mkdtemp(pattern.data())) {
            perror(pattern.c_str());
            abort();
        }
        test_temp_made = pattern;
        test_temp_owner = getpid();
        atexit([] {
            std::error_code ignored;
            if (getpid() == test_temp_owner)
                std::filesystem::remove_all(test_temp_made, ignored);
        });
    }
    return test_temp_made;
}

inline std::string test_temp_path(const std::string& leaf) { return test_temp_dir() + "/" + leaf; }
