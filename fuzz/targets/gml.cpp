// gml.cpp -- fuzz target: any bytes as a GML drawing, parsed into the fixed record and replayed at a few times
#include "fuzz_input.h"
#include "gfx2d/gfx2d.h"
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
    // Far-off points, huge times and odd pen widths go through the drawing as the replay meets them.
    if (!screen)
        screen_create();
    gml_width_state = 0;
    for (uint32_t t : {0u, 400u, 3000u, 9000u, 15999u})
        gml_replay_frame(&graph, t);
    return 0;
}
