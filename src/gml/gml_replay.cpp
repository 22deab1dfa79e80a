// gml_replay.cpp -- PLACEHOLDER until GML replay lands
#include "gml/gml.h"

void gml_replay(const char*) {}
