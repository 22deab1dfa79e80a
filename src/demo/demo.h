// demo.h -- demo control: the program entry and main loop, pacing, frame composition
#pragma once
#include <cstddef>
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
    const char* live;          // --live: the content folder the show takes its edits from, or null
};
enum { DEMO_RUN = -1 };

void demo_default_options(DemoOptions* opts);
// DEMO_RUN when the show should run; otherwise the exit status (0 after --help or --version, 2 when refused).
int demo_parse_options(int argc, char** argv, DemoOptions* opts);
// When data/ is not in the working directory, moves there from beside the executable (exe_dir) or from
// its ../share/kerv16, making the file arguments absolute first. The live mode's folder is made
// absolute in any case. 0 after a reported failure.
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

// ---- the live mode (--live): edits taken up as they are saved, and the transport keys ----

// Watches the timeline and the pages below content_dir (shown_dir: the same as the user gave it, for
// messages) and compiles the timeline at once; the pictures tool is looked for below exe_dir.
int live_start(const char* content_dir, const char* shown_dir, const char* exe_dir);
int live_active(void);
// The demo time of the frame about to be drawn at clock now: saved files taken up, the pause and
// the loop applied (start_tick moved to match), the music told, the text lines set.
int live_frame_time(uint32_t now);
int live_handle_key(int k, int k2);   // k2 follows a KEY_PREFIX, else -1; 1 when it was a transport key
void live_hold_end(void);             // the timeline's end reached: paused there instead of ending
void live_frame_drawn(uint32_t now);  // a frame went out at clock now (times a timeline's way to the screen)
void live_print_stats(void);          // --stats: timelines taken up, and how long from a save to its frame
void live_stop(void);
// Compiles timeline text (named file in messages) and, when it is good, puts its six tracks in the
// place of the playing ones; otherwise they stay and the message goes on the status line. 1 when taken.
int live_apply_timeline(const char* text, size_t size, const char* file);
const char* live_status(void);        // the timeline's message on the status line, "" when none
// The demo time t after the loop from start to end (ms): from end on it wraps back to start, in
// steps of the loop's length. No loop unless 0 <= start < end.
int live_loop_time(int t, int start, int end);
// The next bar line after t (direction 1) or the last one before it (-1; from a line or just past
// it, the one before), by a tempo of bpm with beats to the bar from offset_s on; never below 0.
int live_bar_step(int t, int direction, double bpm, int beats, double offset_s);

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
// A track value's whole part, truncated towards zero; beyond the int range (or not a number) it
// clamps instead of overflowing.
int demo_trunc_int(double v);
