// display_capture.cpp -- video capture: frames drawn like the console window, piped to ffmpeg on a stepped clock
#include "platform/display.h"

#include "platform/vga.h"

#include "platform/clock.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

// ---- state ----

static struct {
    const char* file;        // the video to write
    const char* soundtrack;  // muxed in when it exists
    int fps;                 // frames per second of demo time
    int expected_ms;         // the show's length, for the progress bar (0: unknown)
    pid_t encoder;           // the ffmpeg process
    int pipe_fd;             // its standard input
    long frames;             // frames written
    int failed;              // the pipe broke
    int quit_sent;           // Escape was handed to the key queue
    double started;          // wall-clock seconds at open
    double last_report;      // wall-clock seconds of the last progress line
    uint8_t rgb[VGA_PIXELS_W * VGA_PIXELS_H * 3];
} cap;

// ---- internal functions ----

static double wall_seconds(void)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

static int write_all(int fd, const uint8_t* data, size_t size)
{
    while (size) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return 0;
        }
        data += n, size -= (size_t)n;
    }
    return 1;
}

static void report(int final)
{
    double now = wall_seconds();
    // A terminal gets a bar redrawn in place; a log or pipe gets a line every 10 seconds.
    int tty = isatty(2);
    if (!final && now - cap.last_report < (tty ? 0.25 : 10.0))
        return;
    cap.last_report = now;
    long t = (long)(cap.frames * 1000 / cap.fps);
    double elapsed = now - cap.started;
    double share = cap.expected_ms > 0 ? (double)t / cap.expected_ms : 0;
    if (share > 1)
        share = 1;
    double remaining = share > 0.001 ? elapsed * (1 - share) / share : 0;
    int filled = (int)(share * 30);
    char bar[31];
    for (int i = 0; i < 30; i++)
        bar[i] = i < filled ? '#' : '.';
    bar[30] = 0;
    fprintf(stderr, "%s[%s] %5.1f%%  %ld frames  %02d:%02d elapsed  %02d:%02d left  (%.1fx real time)  ", tty ? "\r" : "", bar,
            share * 100, cap.frames, (int)elapsed / 60, (int)elapsed % 60, (int)remaining / 60, (int)remaining % 60,
            elapsed > 0 ? t / 1000.0 / elapsed : 0.0);
    if (final || !tty)
        fputc('\n', stderr);
}

static int capture_open(const DisplaySettings* settings)
{
    memset(&cap, 0, sizeof cap);
    cap.file = settings->video;
    cap.fps = settings->fps > 0 ? settings->fps : 60;
    cap.soundtrack = settings->soundtrack;
    cap.expected_ms = settings->length_ms;
    cap.pipe_fd = -1;
    if (!cap.file) {
        msg_print(stderr, "kerv16: a capture needs a file to write\n");
        return 0;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        msg_print(stderr, "kerv16: cannot start ffmpeg: %s\n", strerror(errno));
        return 0;
    }
    char size[32], rate[16];
    snprintf(size, sizeof size, "%dx%d", VGA_PIXELS_W, VGA_PIXELS_H);
    snprintf(rate, sizeof rate, "%d", cap.fps);
    int with_sound = cap.soundtrack && access(cap.soundtrack, R_OK) == 0;
    const char* args[40];
    int n = 0;
    const char* video[] = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24",
                           "-s", size, "-r", rate, "-i", "-"};
    for (const char* a : video)
        args[n++] = a;
    if (with_sound) {
        const char* audio[] = {"-i", cap.soundtrack, "-map", "0:v", "-map", "1:a", "-c:a", "aac", "-b:a", "192k"};
        for (const char* a : audio)
            args[n++] = a;
    }
    const char* out[] = {"-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-pix_fmt", "yuv420p",
                         "-shortest", "-movflags", "+faststart", cap.file};
    for (const char* a : out)
        args[n++] = a;
    args[n] = nullptr;
    cap.encoder = fork();
    if (cap.encoder == 0) {
        dup2(fds[0], 0);
        close(fds[0]);
        close(fds[1]);
        execvp("ffmpeg", (char* const*)args);
        _exit(127);
    }
    close(fds[0]);
    if (cap.encoder < 0) {
        close(fds[1]);
        msg_print(stderr, "kerv16: cannot start ffmpeg: %s\n", strerror(errno));
        return 0;
    }
    cap.pipe_fd = fds[1];
    signal(SIGPIPE, SIG_IGN);  // a dead encoder shows as a failed write, not a killed show
    clock_use_manual(1);
    clock_set(0);
    cap.started = wall_seconds();
    return 1;
}

static void capture_write(const DisplayCell* cells)
{
    if (cap.failed)
        return;
    vga_draw_cells_rgb(cells, vga_palette, cap.rgb);
    if (!write_all(cap.pipe_fd, cap.rgb, sizeof cap.rgb)) {
        cap.failed = 1;
        return;
    }
    cap.frames++;
    clock_set((uint32_t)((uint64_t)cap.frames * 1000 / (uint64_t)cap.fps));
    report(0);
}

// A broken encoder ends the show the way Escape would.
static void capture_poll(void)
{
    if (cap.failed && !cap.quit_sent)
        cap.quit_sent = display_push_key(KEY_ESCAPE);
}

// Closes the video; 1 when ffmpeg reported success.
static int capture_close(void)
{
    if (cap.pipe_fd < 0)
        return 0;
    report(1);
    close(cap.pipe_fd);
    cap.pipe_fd = -1;
    int status = 0;
    while (waitpid(cap.encoder, &status, 0) < 0 && errno == EINTR) {
    }
    int ok = !cap.failed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        msg_print(stderr, "kerv16: ffmpeg was not found; install it to capture video\n");
    else if (!ok)
        msg_print(stderr, "kerv16: ffmpeg could not write %s\n", cap.file);
    else
        msg_print(stderr, "kerv16: wrote %s (%ld frames at %d fps)\n", cap.file, cap.frames, cap.fps);
    return ok;
}

// ---- public functions ----

// Every frame written is drawn like the console window and piped to ffmpeg, and the manual clock
// steps one frame; the soundtrack is muxed in at the end.
extern const DisplayDriver display_capture_driver;  // a row of the display table
const DisplayDriver display_capture_driver = {
    .name = "capture",
    .live = 0,
    .open = capture_open,
    .set_grid = nullptr,
    .write_cells = capture_write,
    .poll = capture_poll,
    .wait = nullptr,
    .stats = nullptr,
    .close = capture_close,
    .own_text = 0,
};
