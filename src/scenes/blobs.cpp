// blobs.cpp -- PLACEHOLDER until the blob scene lands
#include "scenes/scenes.h"

void scene_blobs(int, int) {}
