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

// ---- state other subsystems may read ----

extern GmlGraph* gml_target;      // the record being filled, only during gml_load
// Where the next value goes: a point's x, y, z (its column in GmlStroke.points), its time, or nowhere.
enum GmlValue {
    GML_VALUE_X = 0,
    GML_VALUE_Y = 1,
    GML_VALUE_Z = 2,
    GML_VALUE_TIME = 3,
    GML_VALUE_NONE = 5,  // outside any value element
};
extern int gml_value_state;       // GmlValue
extern int32_t gml_width_state;   // running pen width of the replay, kept across segments and frames

// ---- parser ----

void gml_load(const char* name, GmlGraph* graph);  // prints and waits for a key when it cannot load
void gml_parse(FILE* file);

// ---- replay ----

void gml_replay(const char* name);  // returns after 16000 ms of the tick count
// One frame of the replay into the Screen, t ms after it began (not presented).
void gml_replay_frame(const GmlGraph* graph, uint32_t t);
