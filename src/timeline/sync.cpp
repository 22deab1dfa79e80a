// sync.cpp -- PLACEHOLDER until sync tracks land: one device, tracks without keys
#include "timeline/timeline.h"

#include <cstdlib>

SyncDevice* sync_create(const char*) { return (SyncDevice*)calloc(1, sizeof(SyncDevice)); }
SyncTrack* sync_get_track(SyncDevice*, const char*) { return (SyncTrack*)calloc(1, sizeof(SyncTrack)); }
float sync_get_value(const SyncTrack*, double) { return 0.0f; }
