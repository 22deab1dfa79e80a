// assets.cpp -- PLACEHOLDER until the asset table lands: the asset objects, nothing loaded
#include "demo/demo.h"

Image blob_background, blob_probe;
Mesh water_mesh;
Image overlay_images[OVERLAY_IMAGES];
Mesh logo_letters[LOGO_LETTERS], logo_letters_env[LOGO_LETTERS];
Mesh event_letters[EVENT_LETTERS], event_letters_env[EVENT_LETTERS];
Mesh sky_mesh;

void load_assets(void) {}
void setup_letter_materials(void) {}
void free_assets(void) {}
