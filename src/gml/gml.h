// gml.h -- GML drawings: the token reader that fills a fixed record, and the 16-second replay
#pragma once
#include <cstdint>
#include <cstdio>

// ---- types ----

enum {
    GML_STROKES = 64,
    GML_POINTS = 512,
};

struct GmlStroke {
    int32_t point_count;            // completed points
    float points[GML_POINTS][3];    // x, y, z as written (0..1)
    float times[GML_POINTS];        // seconds
};

struct GmlGraph {
    char spec[32];                  // the gml element's spec attribute
    int32_t stroke_count;           // completed strokes
    GmlStroke strokes[GML_STROKES];
};

// ---- parser ----

void gml_load(const char* name, GmlGraph* graph);
void gml_parse(FILE* file);

// ---- replay ----

void gml_replay(const char* name);  // returns after 16000 ms
