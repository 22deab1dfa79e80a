// gml.cpp -- fuzz target: any bytes as a GML drawing, parsed into the fixed record
#include "fuzz_input.h"
#include "gml/gml.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static GmlGraph graph;
    gml_load(fuzz_input_file(data, size, ".gml").c_str(), &graph);
    if (graph.stroke_count < 0 || graph.stroke_count > GML_STROKES)
        fuzz_fail("stroke count outside the record");
    for (int s = 0; s < GML_STROKES; s++)
        if (graph.strokes[s].point_count < 0 || graph.strokes[s].point_count > GML_POINTS)
            fuzz_fail("point count outside the record");
    if (!memchr(graph.spec, 0, sizeof graph.spec))
        fuzz_fail("spec text without its terminator");
    if (gml_target)
        fuzz_fail("the parser's target outlives the load");
    return 0;
}
