// live.cpp -- the live mode (--live): the timeline and the pages taken up as they are saved, and the transport keys
//
// Each frame the watched files are looked at. A timeline that was saved and has been quiet for
// LIVE_SETTLE_MS is compiled here, in the show's process, by the same reader as the build's, and
// its six tracks take the place of the playing ones between two frames; the demo time stays. A
// timeline with an error leaves the tracks that played, and the compiler's message stands on the
// bottom line until a good save. A saved page or greetings file runs the build's pictures tool in
// the background; once it is done, the new pictures take their rows of the asset table. The keys
// pause, seek by seconds and bars and loop a stretch; the music follows the demo time throughout.
#include "demo/demo.h"
#include "assets/assets.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/file.h"
#include "platform/system.h"
#include "platform/watch.h"
#include "timeline/timeline.h"
#include "timeline/timeline_text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

// ---- types ----

enum {
    LIVE_SETTLE_MS = 20,            // a saved file is read once it has been quiet this long
    LIVE_TEXT_MAX = 1 << 20,        // bytes of timeline text read; a larger file is refused
    LIVE_PATH_MAX = 1024,
    LIVE_NOTE_MS = 3000,            // how long a note stays on the bottom line
    LIVE_LINE = DISPLAY_TEXT_MAX + 1,  // one line of text with its terminator
    LIVE_BAR_BACK_MS = 250,         // down within this of a bar line goes to the bar before it
    LIVE_TOOL_MS = 30000,           // a pictures tool that runs longer than this is stopped
};

static const uint8_t ATTR_FIGURES = 0x1F;  // white on blue
static const uint8_t ATTR_ERROR = 0x4F;    // white on red
static const uint8_t ATTR_NOTE = 0x30;     // black on cyan
static const float ROWS_PER_MS = 0.004f;   // as frame composition reads the tracks
static const char* PICTURES_OUT = "live/pictures";     // below the folder holding data/
static const char* PICTURES_LOG = "live/pictures.log";

// The sources the pictures tool letters, and the rows their pictures fill ("data/<picture>.tga").
struct LivePage {
    const char* source;    // below the content folder
    const char* picture;
};
static const LivePage PAGES[] = {
    {"greetings.txt", "greets"},       {"pages/credz1.txt", "credz1"}, {"pages/credz2.txt", "credz2"},
    {"pages/logoEnd.txt", "logoEnd"},  {"pages/ovr_kerv__.txt", "ovr_kerv__"},
    {"pages/ovr_kerv16.txt", "ovr_kerv16"}, {"pages/info1.txt", "info1"}, {"pages/info2.txt", "info2"},
    {"pages/info3.txt", "info3"},      {"pages/info4.txt", "info4"},
};
enum { LIVE_PAGES = sizeof PAGES / sizeof PAGES[0] };

// ---- state ----

static struct {
    int on;                          // 1 between live_start and live_stop
    char content[LIVE_PATH_MAX];     // the content folder
    char timeline[LIVE_PATH_MAX];    // its timeline.txt
    char shown[LIVE_PATH_MAX];       // the timeline's name for messages, from the folder as it was given
    char tool[LIVE_PATH_MAX];        // the pictures tool, or empty when this build has none
    int timeline_watch;              // watch index of the timeline, -1 when not watched
    int page_watch[LIVE_PAGES];      // watch index of each page source, -1 when not watched
    int timeline_dirty;              // 1: saved, read once quiet until timeline_due
    uint32_t timeline_due;
    unsigned pages_dirty;            // bit per PAGES row saved and not yet lettered
    uint32_t pages_due;
    unsigned pages_running;          // the rows the running tool letters
    uint32_t tool_started;           // clock when it started
    int paused;                      // 1: the demo time stands at pause_ms
    int held_at_end;                 // 1: paused by the end of the timeline, so a seek plays on
    int pause_ms;
    int loop_start, loop_end;        // ms; a loop plays while 0 <= start < end
    int figures;                     // 1: the line of figures shows (Tab)
    double bpm, offset;              // the timeline's tempo and where bar 1 falls (s), for bars and beats
    int beats;
    char error[LIVE_LINE];           // the timeline's problem, until a good save
    char pages_error[LIVE_LINE];     // the pictures tool's problem, until it letters again
    char note[LIVE_LINE];            // a passing note
    uint32_t note_until;
    int bank;                        // the bank the next good timeline goes into
    long swaps;                      // timelines taken up
    long refused;                    // timelines left standing for a fault
    uint32_t seen_ms;                // clock when the change being read was first seen
    int awaiting_frame;              // 1: a timeline taken up has not been drawn yet
    long timed;                      // swaps timed to their first frame, and those times (ms)
    double timed_sum;
    uint32_t timed_worst;
} live;

static Timeline compiled;                          // the timeline read last
static char timeline_text[LIVE_TEXT_MAX + 1];
// Two banks of the six tracks: the one playing and the one the next good timeline fills.
static SyncKey bank_keys[2][TIMELINE_KEYS_MAX];
static SyncTrack bank_tracks[2][SHOW_TRACKS];
static char track_names[SHOW_TRACKS][TIMELINE_NAME_MAX];

// ---- internal functions ----

// A line of the status or a note: whatever is too long for the screen is cut.
static void say(char* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
static void say(char* out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(out, LIVE_LINE, format, args);
    va_end(args);
}

static void format_time(char* out, size_t size, int ms)
{
    if (ms < 0)
        ms = 0;
    snprintf(out, size, "%d:%02d.%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
}

static void set_note(const char* text)
{
    say(live.note, "%s", text);
    live.note_until = clock_ticks() + LIVE_NOTE_MS;
}

static double beat_ms(void) { return 60000.0 / (live.bpm > 0 ? live.bpm : 120.0); }

// The nearest beat of the timeline's tempo.
static int snap_to_beat(int t)
{
    double origin = live.offset * 1000.0, beat = beat_ms();
    long long snapped = llround(origin + (double)llround((t - origin) / beat) * beat);
    return snapped < 0 ? 0 : (int)snapped;
}

static int demo_now(void) { return live.paused ? live.pause_ms : (int)(clock_ticks() - start_tick); }

static void seek_to(int t)
{
    if (t < 0)
        t = 0;
    if (live.paused)
        live.pause_ms = t;
    start_tick = clock_ticks() - (uint32_t)t;
}

// Reads the timeline file whole; null with the reason in live.error when it cannot be.
static const char* read_timeline(size_t* size)
{
    FILE* f = file_open_data(live.timeline);
    if (!f) {
        say(live.error, "%s: %s; the tracks that played go on", live.shown, file_problem());
        return nullptr;
    }
    size_t n = fread(timeline_text, 1, LIVE_TEXT_MAX + 1, f);
    int failed = ferror(f);
    fclose(f);
    if (failed || n > LIVE_TEXT_MAX) {
        say(live.error, "%s: %s; the tracks that played go on", live.shown,
                 failed ? "read failed" : "larger than 1 MB");
        return nullptr;
    }
    *size = n;
    return timeline_text;
}

static void reload_timeline(void)
{
    size_t size = 0;
    const char* text = read_timeline(&size);
    if (text && live_apply_timeline(text, size, live.shown))
        live.awaiting_frame = 1;
    else
        live.refused++;
}

// The pictures tool letters every page into PICTURES_OUT; the rows of the saved ones are reloaded
// from there when it is done.
static void start_pictures_tool(void)
{
    if (!live.tool[0]) {
        say(live.pages_error, "pages: this build has no pictures tool to letter them");
        live.pages_dirty = 0;
        return;
    }
#ifdef KERV_FONT_DIR
    const char* fonts = KERV_FONT_DIR;
#else
    const char* fonts = "";
#endif
    const char* argv[] = {live.tool, "--content", live.content, "--fonts", fonts, "--out", PICTURES_OUT, nullptr};
    if (!sys_spawn(argv, PICTURES_LOG)) {
        say(live.pages_error, "pages: %s could not be started", live.tool);
        live.pages_dirty = 0;
        return;
    }
    live.pages_running = live.pages_dirty;
    live.pages_dirty = 0;
    live.tool_started = clock_ticks();
}

// The tool's last line of output, which names the file and line of a fault.
static void last_log_line(char* out)
{
    out[0] = 0;
    FILE* f = file_open_data(PICTURES_LOG);
    if (!f)
        return;
    char line[512];
    while (fgets(line, sizeof line, f))
        if (line[0] != '\n')
            say(out, "%s", line);
    fclose(f);
    out[strcspn(out, "\r\n")] = 0;
}

static void finish_pictures_tool(int status)
{
    unsigned rows = live.pages_running;
    live.pages_running = 0;
    if (status != 0) {
        char line[LIVE_LINE];
        last_log_line(line);
        say(live.pages_error, "pages: %s", line[0] ? line : "the pictures tool failed");
        return;
    }
    live.pages_error[0] = 0;
    int reloaded = 0;
    for (int i = 0; i < LIVE_PAGES; i++) {
        if (!(rows & 1u << i))
            continue;
        char name[64], path[LIVE_PATH_MAX];
        snprintf(name, sizeof name, "data/%s.tga", PAGES[i].picture);
        snprintf(path, sizeof path, "%s/%s.tga", PICTURES_OUT, PAGES[i].picture);
        reloaded += assets_reload_picture(name, path);
    }
    char note[LIVE_LINE];
    snprintf(note, sizeof note, "pages: %d picture%s lettered again in %u ms", reloaded, reloaded == 1 ? "" : "s",
             (unsigned)(clock_ticks() - live.tool_started));
    set_note(note);
}

static void poll_files(uint32_t now)
{
    for (int i; (i = watch_changed()) >= 0;) {
        if (i == live.timeline_watch) {
            if (!live.timeline_dirty)
                live.seen_ms = now;
            live.timeline_dirty = 1;
            live.timeline_due = now + LIVE_SETTLE_MS;
        }
        for (int p = 0; p < LIVE_PAGES; p++)
            if (i == live.page_watch[p]) {
                live.pages_dirty |= 1u << p;
                live.pages_due = now + LIVE_SETTLE_MS;
            }
    }
    if (live.timeline_dirty && (int32_t)(now - live.timeline_due) >= 0) {
        live.timeline_dirty = 0;
        reload_timeline();
    }
    int status;
    if (live.pages_running && sys_spawn_done(&status)) {
        finish_pictures_tool(status);
    } else if (live.pages_running && now - live.tool_started > (uint32_t)LIVE_TOOL_MS) {
        sys_spawn_stop();
        live.pages_running = 0;
        say(live.pages_error, "pages: the pictures tool ran over %d s and was stopped", LIVE_TOOL_MS / 1000);
    }
    if (live.pages_dirty && !live.pages_running && (int32_t)(now - live.pages_due) >= 0)
        start_pictures_tool();
}

// The line of figures: time, bar:beat, row, and what the six tracks read at t.
static void figures_line(int t, char* out, size_t size)
{
    char time[16], beat[48] = "-";
    format_time(time, sizeof time, t);
    double beats = (t - live.offset * 1000.0) / beat_ms();
    if (beats >= 0 && beats < 1e15) {   // an offset far off leaves no bar to name
        long long whole = (long long)beats;
        snprintf(beat, sizeof beat, "%lld:%lld", whole / live.beats + 1, whole % live.beats + 1);
    }
    float row = (float)t * ROWS_PER_MS;
    snprintf(out, size, "%s %s row %d | scene %d part %d | time %.3g var %.3g overlay %.3g greet %.3g", time, beat,
             (int)row, demo_trunc_int(sync_get_value(show_tracks[TRACK_SCENE], row)),
             demo_trunc_int(sync_get_value(show_tracks[TRACK_PART], row)), sync_get_value(show_tracks[TRACK_TIME], row),
             sync_get_value(show_tracks[TRACK_VAR], row), sync_get_value(show_tracks[TRACK_OVERLAY], row),
             sync_get_value(show_tracks[TRACK_GREET], row));
}

static void set_lines(int t, uint32_t now)
{
    char line[LIVE_LINE * 2];
    if (live.figures) {
        figures_line(t, line, sizeof line);
        display_set_text(DISPLAY_TEXT_TOP, line, ATTR_FIGURES);
    } else {
        display_set_text(DISPLAY_TEXT_TOP, nullptr, 0);
    }
    if (live.error[0]) {
        display_set_text(DISPLAY_TEXT_BOTTOM, live.error, ATTR_ERROR);
    } else if (live.pages_error[0]) {
        display_set_text(DISPLAY_TEXT_BOTTOM, live.pages_error, ATTR_ERROR);
    } else if (live.note[0] && (int32_t)(live.note_until - now) > 0) {
        display_set_text(DISPLAY_TEXT_BOTTOM, live.note, ATTR_NOTE);
    } else if (live.figures && (live.paused || live.loop_end > live.loop_start)) {
        char from[16], to[16];
        format_time(from, sizeof from, live.loop_start);
        format_time(to, sizeof to, live.loop_end);
        if (live.loop_end > live.loop_start)
            snprintf(line, sizeof line, "%sloop %s - %s", live.paused ? "paused | " : "", from, to);
        else
            snprintf(line, sizeof line, "paused");
        display_set_text(DISPLAY_TEXT_BOTTOM, line, ATTR_FIGURES);
    } else {
        display_set_text(DISPLAY_TEXT_BOTTOM, nullptr, 0);
    }
}

// ---- public functions ----

int live_loop_time(int t, int start, int end)
{
    if (start < 0 || end <= start || t < end)
        return t;
    return start + (int)(((long long)t - end) % (end - start));
}

int live_bar_step(int t, int direction, double bpm, int beats, double offset_s)
{
    double bar = beats * 60000.0 / (bpm > 0 ? bpm : 120.0), origin = offset_s * 1000.0;
    // A line falls between milliseconds: a time half a millisecond before it stands on it.
    double k = direction > 0 ? std::floor((t - origin + 0.5) / bar) + 1.0
                             : std::ceil((t - origin - (double)LIVE_BAR_BACK_MS) / bar) - 1.0;
    long long to = llround(origin + k * bar);
    return to < 0 ? 0 : to > 0x7fffffff ? 0x7fffffff : (int)to;
}

int live_apply_timeline(const char* text, size_t size, const char* file)
{
    if (!timeline_parse(text, size, file, &compiled)) {
        if (compiled.error_count > 1)
            say(live.error, "%s (and %d more)", compiled.errors[0], compiled.error_count - 1);
        else
            say(live.error, "%s", compiled.errors[0]);
        return 0;
    }
    // The bank not playing takes the keys; then the show's tracks point at it, between two frames.
    int b = live.bank;
    int used = 0;
    for (int i = 0; i < SHOW_TRACKS; i++) {
        const TimelineTrack* t = &compiled.tracks[i];
        const TimelineKey* keys = timeline_track_keys(&compiled, i);
        SyncTrack* track = &bank_tracks[b][i];
        snprintf(track_names[i], sizeof track_names[i], "%s", SHOW_TRACK_NAMES[i]);
        track->name = track_names[i];
        track->keys = &bank_keys[b][used];
        track->key_count = t->count;
        for (int k = 0; k < t->count; k++)
            track->keys[k] = SyncKey{keys[k].row, keys[k].value, keys[k].type};
        used += t->count;
        show_tracks[i] = track;
    }
    live.bank = 1 - b;
    live.bpm = compiled.bpm;
    live.beats = compiled.beats_per_bar;
    live.offset = compiled.offset;
    live.error[0] = 0;
    live.swaps++;
    return 1;
}

const char* live_status(void) { return live.error; }

int live_start(const char* content_dir, const char* shown_dir, const char* exe_dir)
{
    live = decltype(live){};
    live.on = 1;
    live.loop_start = live.loop_end = -1;
    live.beats = 4;
    live.timeline_watch = -1;
    for (int& w : live.page_watch)
        w = -1;
    snprintf(live.content, sizeof live.content, "%s", content_dir);
    snprintf(live.timeline, sizeof live.timeline, "%s/timeline.txt", content_dir);
    snprintf(live.shown, sizeof live.shown, "%s/timeline.txt", shown_dir);
#ifdef KERV_FONT_DIR
    if (exe_dir)
        snprintf(live.tool, sizeof live.tool, "%s/tools/pictures/kerv16-pictures", exe_dir);
    std::error_code err;
    std::filesystem::create_directories(PICTURES_OUT, err);
#else
    (void)exe_dir;
#endif
    live.timeline_watch = watch_file(live.timeline);
    for (int i = 0; i < LIVE_PAGES; i++) {
        char path[LIVE_PATH_MAX];
        snprintf(path, sizeof path, "%s/%s", content_dir, PAGES[i].source);
        live.page_watch[i] = watch_file(path);
    }
    if (live.timeline_watch < 0)
        say(live.pages_error, "%s cannot be watched: saves will not show", live.shown);
    // What the text says plays from the start, even where the build's tracks are older.
    reload_timeline();
    live.awaiting_frame = 0;
    return 1;
}

int live_active(void) { return live.on; }

int live_frame_time(uint32_t now)
{
    poll_files(now);
    if (live.paused)
        start_tick = now - (uint32_t)live.pause_ms;
    int t = (int)(now - start_tick);
    int looped = live_loop_time(t, live.loop_start, live.loop_end);
    if (looped != t) {
        start_tick = now - (uint32_t)looped;
        t = looped;
        if (live.paused)
            live.pause_ms = looped;   // the keys work from the time shown
    }
    music_follow(t, now, live.paused);
    set_lines(t, now);
    return t;
}

void live_frame_drawn(uint32_t now)
{
    if (!live.awaiting_frame)
        return;
    live.awaiting_frame = 0;
    uint32_t ms = now - live.seen_ms;
    live.timed++;
    live.timed_sum += ms;
    if (ms > live.timed_worst)
        live.timed_worst = ms;
}

void live_print_stats(void)
{
    fprintf(stderr, "kerv16: live: %ld timelines taken up, %ld left standing for a fault", live.swaps, live.refused);
    if (live.timed)
        fprintf(stderr, "; from a save seen to its first frame: mean %.1f ms, worst %u ms", live.timed_sum / live.timed,
                live.timed_worst);
    fprintf(stderr, "\n");
}

void live_hold_end(void)
{
    end_flag = 0;
    if (!live.paused) {
        live.paused = 1;
        live.held_at_end = 1;
        live.pause_ms = (int)(clock_ticks() - start_tick);
        set_note("the end of the timeline: Home or a seek plays on");
    }
}

int live_handle_key(int k, int k2)
{
    int t = demo_now();
    char note[LIVE_LINE], a[16], b[16];
    if (k == KEY_PREFIX) {
        switch (k2) {
        case KEY_LEFT: seek_to(t - 1000); break;
        case KEY_RIGHT: seek_to(t + 1000); break;
        case KEY_UP: seek_to(live_bar_step(t, 1, live.bpm, live.beats, live.offset)); break;
        case KEY_DOWN: seek_to(live_bar_step(t, -1, live.bpm, live.beats, live.offset)); break;
        case KEY_HOME: seek_to(0); break;
        default: return 0;
        }
        if (live.held_at_end)
            live.paused = live.held_at_end = 0;   // seek_to has set the clock to the new time
        return 1;
    }
    switch (k) {
    case KEY_SPACE:
        live.held_at_end = 0;
        if (live.paused) {
            live.paused = 0;
            start_tick = clock_ticks() - (uint32_t)live.pause_ms;
        } else {
            live.paused = 1;
            live.pause_ms = t;
        }
        return 1;
    case '[':
        live.loop_start = snap_to_beat(t);
        if (live.loop_end <= live.loop_start)
            live.loop_end = -1;
        format_time(a, sizeof a, live.loop_start);
        snprintf(note, sizeof note, "loop from %s: ] sets its end", a);
        set_note(note);
        return 1;
    case ']':
        if (live.loop_start < 0 || snap_to_beat(t) <= live.loop_start) {
            set_note("a loop ends after its start: [ sets the start");
            return 1;
        }
        live.loop_end = snap_to_beat(t);
        format_time(a, sizeof a, live.loop_start);
        format_time(b, sizeof b, live.loop_end);
        snprintf(note, sizeof note, "loop %s - %s", a, b);
        set_note(note);
        return 1;
    case KEY_BACKSPACE:
        live.loop_start = live.loop_end = -1;
        set_note("loop cleared");
        return 1;
    case KEY_TAB:
        live.figures = !live.figures;
        return 1;
    default:
        return 0;
    }
}

void live_stop(void)
{
    if (!live.on)
        return;
    sys_spawn_stop();
    watch_close();
    display_set_text(DISPLAY_TEXT_TOP, nullptr, 0);
    display_set_text(DISPLAY_TEXT_BOTTOM, nullptr, 0);
    live.on = 0;
}
