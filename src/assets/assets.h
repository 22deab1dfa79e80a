// assets.h -- the asset table: every picture and mesh of the show, filled at start-up, read by the scenes
#pragma once

#include "gfx3d/gfx3d.h"

// ---- state other subsystems may read ----

// Filled by load_assets, emptied by free_assets.
enum { OVERLAY_IMAGES = 10, LOGO_LETTERS = 5, EVENT_LETTERS = 6 };
enum { OVERLAY_END_LOGO = 2 };                   // overlay_images[2] is also the end sequence's logo
extern Image blob_background;                    // "data/raybg.tga"
extern Image blob_probe;                         // "data/probe.tga"
extern Mesh water_mesh;                          // "data/plane64.bof|data/probe_blk.tga"
extern Image overlay_images[OVERLAY_IMAGES];     // credits, logos, greetings, info pages
extern Mesh logo_letters[LOGO_LETTERS];          // g o p h y, textured
extern Mesh logo_letters_env[LOGO_LETTERS];      // the same, environment-mapped
extern Mesh event_letters[EVENT_LETTERS];        // k e r v 1 6, textured
extern Mesh event_letters_env[EVENT_LETTERS];    // the same, environment-mapped
extern Mesh sky_mesh;                            // "data/sky.bof|data/underwater.tga"

// ---- start-up, shut-down ----

void load_assets(void);             // every row in table order; a file that fails is reported by its loader
void setup_letter_materials(void);  // after load_assets: scales, textures and smooths the letters
void free_assets(void);             // every row in table order, then the texture table

// The live mode: the picture of the row named `name` ("data/credz1.tga") loaded anew from `path`.
// The row keeps its picture when the new one does not load (its loader says why). 1 when replaced.
int assets_reload_picture(const char* name, const char* path);
