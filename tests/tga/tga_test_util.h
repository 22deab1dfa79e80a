// tga_test_util.h -- small helpers for the picture tests: TGA headers, scratch files, reference files
#pragma once
#include <gtest/gtest.h>

#include "test_temp.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

using Bytes = std::vector<uint8_t>;

// An 18-byte header; descriptor holds alpha bits (0-3), right-to-left (0x10) and top-to-bottom (0x20).
inline Bytes tga_header_bytes(int type, int width, int height, int depth, int descriptor = 0, int id_len = 0,
                              int map_type = 0, int map_first = 0, int map_len = 0, int map_entry = 0)
{
    return {(uint8_t)id_len, (uint8_t)map_type, (uint8_t)type,
            (uint8_t)map_first, (uint8_t)(map_first >> 8), (uint8_t)map_len, (uint8_t)(map_len >> 8),
            (uint8_t)map_entry, 0, 0, 0, 0,
            (uint8_t)width, (uint8_t)(width >> 8), (uint8_t)height, (uint8_t)(height >> 8),
            (uint8_t)depth, (uint8_t)descriptor};
}

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A scratch file named after the running test, in the test process's own temporary folder.
inline std::string scratch_path(const std::string& tag)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return test_temp_path(std::string(info->test_suite_name()) + "_" + info->name() + "_" + tag);
}

inline void write_bytes(const std::string& path, const Bytes& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!bytes.empty())
        fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

inline Bytes read_bytes(const std::string& path)
{
    Bytes bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    uint8_t buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

inline int count_of(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

inline std::string fixture_path(const std::string& name) { return std::string(KERV_TGA_FIXTURES) + "/" + name; }
