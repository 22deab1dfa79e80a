// compose.cpp -- frame composition: the six show tracks, scene dispatch, overlay and greetings flicker
#include "assets/assets.h"
#include "assets/random.h"
#include "demo/demo.h"
#include "gfx2d/gfx2d.h"
#include "platform/msg.h"
#include "scenes/scenes.h"
#include "timeline/timeline.h"

#include <climits>
#include <cstdio>

// ---- types ----

enum {
    GREETINGS_IMAGE = 5,    // overlay_images[5] is also the column of greetings pages
    OVERLAY_ADD_FIRST = 3,  // overlays 3 and 4 (the K E R V 1 6 glows) are added, the others blended
    OVERLAY_ADD_LAST = 4,
    GREETINGS_PAGE_H = 150, // rows per page
};

// Flicker divisor: the single-precision 36043.7 (36043.69921875), used in double arithmetic.
static const double FLICKER_DIVISOR = (double)36043.7f;
static const float ROWS_PER_MS = 0.004f;

// ---- state ----

static SyncDevice* device;
SyncTrack* show_tracks[SHOW_TRACKS];
ComposeInfo compose_info;

// ---- internal functions ----

// A track value drawn in this frame: its integer part, or -1 when the random draw pushes the
// fraction over the next whole number. Draws one number from the shared generator.
static int flicker(float value)
{
    int whole = demo_trunc_int(value);
    int r = demo_rand();
    if (demo_trunc_int(r / FLICKER_DIVISOR + (double)value) != whole)
        return -1;
    return whole;
}

static void dispatch_scene(int t, int scene, int part, float time, float var)
{
    switch (scene) {
    case SCENE_WATER:
        scene_water(t, part, demo_trunc_int(var), time);
        break;
    case SCENE_FLASH:
        scene_flash();
        break;
    case SCENE_RAIN:
        scene_rain(t);
        break;
    case SCENE_BLOBS:
        scene_blobs(t, part);
        break;
    case SCENE_UNDERWATER:
        scene_underwater(t, time, part, var);
        break;
    case SCENE_END:
        if (part == PART_END)
            end_flag = 1;
        scene_water(t, part, demo_trunc_int(var), time);
        end_sequence(var);
        break;
    default:
        // Scene 0 and unknown values draw nothing: the Screen keeps the previous frame.
        break;
    }
}

// ---- public functions ----

int demo_trunc_int(double v)
{
    if (v >= 2147483647.0)
        return INT_MAX;
    if (v > -2147483649.0)
        return (int)v;
    return v <= -2147483649.0 ? INT_MIN : 0;
}

int sync_setup(void)
{
    device = sync_create("data/sync");
    if (!device) {
        msg_print(stdout, "sync failed!\n");
        return 0;
    }
    for (int i = 0; i < SHOW_TRACKS; i++)
        show_tracks[i] = sync_get_track(device, SHOW_TRACK_NAMES[i]);
    return 1;
}

void compose_frame(int t)
{
    float row = (float)t * ROWS_PER_MS;
    ComposeInfo* info = &compose_info;
    info->t = t;
    info->row = row;
    info->scene = demo_trunc_int(sync_get_value(show_tracks[TRACK_SCENE], row));
    info->part = demo_trunc_int(sync_get_value(show_tracks[TRACK_PART], row));
    info->time = sync_get_value(show_tracks[TRACK_TIME], row);
    info->var = sync_get_value(show_tracks[TRACK_VAR], row);
    // Both flicker draws come before the scene draws from the same sequence.
    info->overlay = flicker(sync_get_value(show_tracks[TRACK_OVERLAY], row));
    info->greet = flicker(sync_get_value(show_tracks[TRACK_GREET], row));

    dispatch_scene(t, info->scene, info->part, info->time, info->var);

    int ov = info->overlay;
    if (ov >= 0 && ov < OVERLAY_IMAGES) {
        if (ov >= OVERLAY_ADD_FIRST && ov <= OVERLAY_ADD_LAST)
            image_blit_add(&overlay_images[ov], 0, 0);
        else
            image_blit_alpha(&overlay_images[ov], 0, 0);
    }
    // Pages below the picture's end would draw nothing; skipping them also keeps -150 x g in range.
    const Image* greets = &overlay_images[GREETINGS_IMAGE];
    if (info->greet >= 0 && (long long)info->greet * GREETINGS_PAGE_H < greets->height)
        image_blit_alpha(greets, 0, -GREETINGS_PAGE_H * info->greet);
    screen_present();
}
