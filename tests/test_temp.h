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
        // A new folder named by the process and a counter: create_directory fails on one that exists,
        // so no two processes share one (mkdtemp is not on every platform the tests run on).
        std::string made;
        for (unsigned n = 0; made.empty(); n++) {
            std::string name = base + "/kerv16_test_" + std::to_string((long)getpid()) + "_" + std::to_string(n);
            std::error_code err;
            if (std::filesystem::create_directory(name, err))
                made = name;
            else if (err || n > 1000) {
                fprintf(stderr, "%s: cannot be made: %s\n", name.c_str(), err ? err.message().c_str() : "exists");
                abort();
            }
        }
        test_temp_made = made;
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
