// demo.h -- demo control: the program entry and main loop, pacing, frame composition
#pragma once
#include <cstdint>

#include "platform/display.h"
#include "timeline/track_format.h"

// ---- state other subsystems may read ----

extern int end_flag;          // 1 stops the main loop
extern uint32_t start_tick;   // ms; moved by the seek keys

// ---- program entry: options, start, one frame, stop ----

// What the command line asks for; demo_default_options gives the plain show on the platform's own screen.
struct DemoOptions {
    const char* viewer_file;   // picture or drawing shown before the show, or null
    const char* display;       // the display by name: "window", "capture" or "null" (--headless); null: the platform's own
    DisplaySettings settings;  // what the display is given as it is: the terminal's layout, a capture's file
    int stats;                 // 1: frames, rate and bytes per frame on standard error at exit
    int fps;                   // frames per second of a capture; at most this many a second otherwise (0: unpaced)
    int until_ms;              // stop at this demo time; 0 runs to the end of the timeline
    int silent;                // 1: no soundtrack at all (the renderer and the benches)
};
enum { DEMO_RUN = -1 };

void demo_default_options(DemoOptions* opts);
// DEMO_RUN when the show should run; otherwise the exit status (0 after --help or --version, 2 when refused).
int demo_parse_options(int argc, char** argv, DemoOptions* opts);
// When data/ is not in the working directory, moves there from beside the executable (exe_dir) or from
// its ../share/kerv16, making the file arguments absolute first. 0 after a reported failure.
int demo_find_data(const char* exe_dir, DemoOptions* opts);
// Display and sound chosen, Screen, display, tracks, tables, the viewer, emitters, assets, music, start
// tick, in that order.
// 0 when the show cannot run (reported; the display is closed again).
int demo_start(const DemoOptions* opts);
// The show headless and without sound on the manual clock, set to 0: the caller steps the clock and
// draws the frames (the renderer and the benches). No viewer.
int demo_start_stepped(void);
void demo_frame(int t);                // post-effect time, then the frame of demo time t (ms) drawn and presented
int demo_stop(void);                   // shut-down in order; 0 when a capture failed
int demo_main(int argc, char** argv);  // the whole program; returns the exit status
void demo_handle_key(void);            // the main loop's key step: reads one waiting key, may seek
int demo_quit_signal(void);            // the signal whose quit event ended the show (KEY_QUIT + n read), 0 if none
void show_picture(const char* name);   // viewer mode: the picture until a key is waiting
int demo_viewer_is_gml(const char* arg);  // 1: the argument is replayed as a drawing, else shown as a picture

// ---- pacing: at most N frames a second, sleeping between them ----

enum {
    PACING_SLOW_SCENE = 5,  // the underwater scene: its particle account gains what frames exceed 16 ms
    PACING_SLOW_MS = 20,    // so frames there are at least this far apart
};
struct DemoPacing {
    int fps;                // 0: unpaced, frames as fast as they can be drawn
    uint32_t due_ms;        // clock when the next frame is due
    int carry;              // remainder of 1000 / fps carried to the next step (1/fps ms)
    long frames;            // frames drawn while paced
    long paced;             // frames after which the loop had time to sleep
    long skipped;           // frame slots missed because a frame took too long
};
extern DemoPacing demo_pacing;

void pacing_start(int fps, uint32_t now);        // the first frame is due at once
int pacing_wait_ms(uint32_t now);                // ms until the next frame is due, 0 when it is
void pacing_frame_done(uint32_t now, int scene); // schedules the next frame after one of this scene

// ---- frame composition (start-up, then once per frame) ----

// Values of the "scene" track; 0 and unknown values draw nothing. Scene -1 with part -1 is the end.
enum ShowScene {
    SCENE_END = -1,        // the water under the closing sequence
    SCENE_NONE = 0,
    SCENE_WATER = 1,
    SCENE_FLASH = 2,
    SCENE_RAIN = 3,
    SCENE_BLOBS = 4,
    SCENE_UNDERWATER = 5,
};
enum { PART_END = -1 };

// The six tracks of the show (TRACK_SCENE ... SHOW_TRACKS), in the order sync_setup requests them.
struct SyncTrack;
extern SyncTrack* show_tracks[SHOW_TRACKS];  // set by sync_setup; tests may point them elsewhere

// What the last compose_frame chose, for logs and tools.
struct ComposeInfo {
    int t;          // demo time, ms
    float row;      // t x 0.004f
    int scene, part;
    float time, var;
    int overlay;    // overlay index chosen after the flicker, -1 when none (above 9 draws nothing)
    int greet;      // greetings page chosen after the flicker, -1 when none
};
extern ComposeInfo compose_info;

int sync_setup(void);         // 0 when the sync device cannot be created ("sync failed!")
void compose_frame(int t);    // draws and presents the frame of demo time t (ms)
