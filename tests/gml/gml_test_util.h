// gml_test_util.h -- temporary GML files for the parser and replay tests
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "test_temp.h"
#include "gml/gml.h"

inline std::string gml_temp_file(const std::string& text)
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string path = test_temp_path(std::string(info->test_suite_name()) + "-" + info->name() + ".gml");
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    return path;
}

// Parses text into a fresh graph (static: the record is half a megabyte).
inline GmlGraph* gml_parse_text(const std::string& text)
{
    static GmlGraph graph;
    std::string path = gml_temp_file(text);
    gml_load(path.c_str(), &graph);
    remove(path.c_str());
    return &graph;
}
