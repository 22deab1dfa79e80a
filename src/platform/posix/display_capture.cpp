// display_capture.cpp -- video capture: frames drawn like the console window, enlarged, piped to ffmpeg on a stepped clock
#include "platform/display.h"

#include "platform/vga.h"

#include "platform/clock.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// ---- types ----

// Encoder settings, chosen by measurement (README, "A window, and a video of the show").
static const char CAPTURE_PRESET[] = "ultrafast";
static const char CAPTURE_CRF[] = "12";
static const char CAPTURE_LOSSLESS_PRESET[] = "fast";

constexpr int CAPTURE_SCALE_DEFAULT = 4;  // 2560 x 1600: whole colour blocks per drawn pixel, a size sites serve large
constexpr int CAPTURE_W_MAX = (int)VGA_PIXELS_W * (int)DISPLAY_CAPTURE_SCALE_MAX;
constexpr int CAPTURE_H_MAX = (int)VGA_PIXELS_H * (int)DISPLAY_CAPTURE_SCALE_MAX;
constexpr int CAPTURE_PATH_MAX = 4096;

// ---- state ----

static struct {
    const char* file;        // the video as asked for; written only once ffmpeg has finished it
    char part[CAPTURE_PATH_MAX];  // what ffmpeg writes meanwhile: the name with ".part" before its extension
    const char* soundtrack;  // muxed in when it exists
    int fps;                 // frames per second of demo time
    int scale;               // video pixels per drawn pixel, each way
    int lossless;            // 1: RGB kept exactly; 0: 4:2:0 for video sites
    int width, height;       // of the video
    int expected_ms;         // the show's length, for the progress bar (0: unknown)
    pid_t encoder;           // the ffmpeg process
    int pipe_fd;             // its standard input
    long frames;             // frames written
    int failed;              // the pipe broke
    int quit_sent;           // Escape was handed to the key queue
    double started;          // wall-clock seconds at open
    double last_report;      // wall-clock seconds of the last progress line
} cap;

// Outside cap, which open clears: pages of the frame are touched only as far as the scale needs.
static uint8_t capture_drawn[VGA_PIXELS_W * VGA_PIXELS_H * 3];   // the cells drawn: red, green, blue, or Y, Cb, Cr
static uint8_t capture_frame[CAPTURE_W_MAX * CAPTURE_H_MAX * 3];  // one video frame as piped: RGB, or 4:2:0's planes

// The signal that asked the show to end (SIGINT, SIGTERM, SIGHUP), from the handler to capture_poll.
static volatile sig_atomic_t capture_signal;
static const int CAPTURE_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
static struct sigaction capture_old_actions[3];

// The console colours in BT.709 limited range (what video sites and players assume of HD video):
// each drawn pixel is converted once, exactly, and never filtered across its neighbours.
static uint8_t ycbcr_palette[16][3];

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

// The first signal ends the show as Escape would, so that ffmpeg finishes what was drawn; a second
// one ends the process at once.
static void on_signal(int sig)
{
    if (capture_signal) {
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    capture_signal = sig;
}

static void fill_ycbcr_palette(void)
{
    for (int i = 0; i < 16; i++) {
        double r = vga_palette[i][0] / 255.0, g = vga_palette[i][1] / 255.0, b = vga_palette[i][2] / 255.0;
        double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
        ycbcr_palette[i][0] = (uint8_t)(16.5 + 219.0 * y);
        ycbcr_palette[i][1] = (uint8_t)(128.5 + 224.0 * (b - y) / 1.8556);
        ycbcr_palette[i][2] = (uint8_t)(128.5 + 224.0 * (r - y) / 1.5748);
    }
}

// The drawn pixels enlarged by cap.scale each way, nearest neighbour, into capture_frame.
static void enlarge_rgb(void)
{
    int s = cap.scale, w = cap.width;
    for (int y = 0; y < VGA_PIXELS_H; y++) {
        uint8_t* row = &capture_frame[(size_t)y * s * w * 3];
        const uint8_t* src = &capture_drawn[y * VGA_PIXELS_W * 3];
        for (int x = 0, o = 0; x < VGA_PIXELS_W; x++)
            for (int k = 0; k < s; k++, o += 3)
                row[o] = src[3 * x], row[o + 1] = src[3 * x + 1], row[o + 2] = src[3 * x + 2];
        for (int k = 1; k < s; k++)
            memcpy(row + (size_t)k * w * 3, row, (size_t)w * 3);
    }
}

// The drawn Y, Cb, Cr enlarged into the planes of 4:2:0: luma nearest neighbour; each colour sample
// the mean of the drawn pixels under its 2 x 2 block, which at an even scale are one pixel.
static void enlarge_ycbcr(void)
{
    int s = cap.scale, w = cap.width, h = cap.height;
    uint8_t* luma = capture_frame;
    for (int y = 0; y < VGA_PIXELS_H; y++) {
        uint8_t* row = &luma[(size_t)y * s * w];
        const uint8_t* src = &capture_drawn[y * VGA_PIXELS_W * 3];
        for (int x = 0, o = 0; x < VGA_PIXELS_W; x++)
            for (int k = 0; k < s; k++)
                row[o++] = src[3 * x];
        for (int k = 1; k < s; k++)
            memcpy(row + (size_t)k * w, row, (size_t)w);
    }
    int cw = w / 2, ch = h / 2;
    uint8_t* planes[2] = {luma + (size_t)w * h, luma + (size_t)w * h + (size_t)cw * ch};  // Cb, Cr
    if (s % 2 == 0) {
        int half = s / 2;  // colour samples per drawn pixel, each way
        for (int p = 0; p < 2; p++)
            for (int y = 0; y < VGA_PIXELS_H; y++) {
                uint8_t* row = planes[p] + (size_t)y * half * cw;
                const uint8_t* src = &capture_drawn[y * VGA_PIXELS_W * 3 + 1 + p];
                for (int x = 0, o = 0; x < VGA_PIXELS_W; x++)
                    for (int k = 0; k < half; k++)
                        row[o++] = src[3 * x];
                for (int k = 1; k < half; k++)
                    memcpy(row + (size_t)k * cw, row, (size_t)cw);
            }
        return;
    }
    for (int y = 0; y < ch; y++) {
        const uint8_t* top = &capture_drawn[(2 * y / s) * VGA_PIXELS_W * 3];
        const uint8_t* bottom = &capture_drawn[((2 * y + 1) / s) * VGA_PIXELS_W * 3];
        for (int x = 0; x < cw; x++) {
            int a = 3 * (2 * x / s), b = 3 * ((2 * x + 1) / s);
            for (int p = 0; p < 2; p++) {
                int sum = top[a + 1 + p] + top[b + 1 + p] + bottom[a + 1 + p] + bottom[b + 1 + p];
                planes[p][(size_t)y * cw + x] = (uint8_t)((sum + 2) / 4);
            }
        }
    }
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

// "dir/show.mp4" -> "dir/show.part.mp4": ffmpeg takes the container from the extension, so it stays last.
static int part_name(const char* file, char* out, size_t size)
{
    const char* slash = strrchr(file, '/');
    const char* dot = strrchr(file, '.');
    if (!dot || (slash && dot < slash) || dot == (slash ? slash + 1 : file))
        dot = file + strlen(file);
    return snprintf(out, size, "%.*s.part%s", (int)(dot - file), file, dot) < (int)size;
}

// ffmpeg on the PATH, as execvp will look for it.
static int ffmpeg_found(void)
{
    const char* path = getenv("PATH");
    if (!path)
        path = "/usr/bin:/bin";
    char candidate[CAPTURE_PATH_MAX];
    for (const char* at = path; *at;) {
        const char* end = strchr(at, ':');
        size_t len = end ? (size_t)(end - at) : strlen(at);
        snprintf(candidate, sizeof candidate, "%.*s/ffmpeg", (int)len, len ? at : ".");
        if (access(candidate, X_OK) == 0)
            return 1;
        at += len + (end ? 1 : 0);
    }
    return 0;
}

static int start_encoder(void)
{
    int fds[2];
    if (pipe(fds) != 0) {
        msg_print(stderr, "kerv16: cannot start ffmpeg for %s: %s\n", cap.file, strerror(errno));
        return 0;
    }
    char size[32], rate[16], length[32];
    snprintf(size, sizeof size, "%dx%d", cap.width, cap.height);
    snprintf(rate, sizeof rate, "%d", cap.fps);
    int with_sound = cap.soundtrack && access(cap.soundtrack, R_OK) == 0;
    const char* args[64];
    int n = 0;
    const char* video[] = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo",
                           "-pix_fmt", cap.lossless ? "rgb24" : "yuv420p", "-s", size, "-r", rate, "-i", "-"};
    for (const char* a : video)
        args[n++] = a;
    if (with_sound) {
        // Lossless keeps the soundtrack's own mp3 frames; for sites, AAC, which every player takes.
        // -shortest alone lets the audio run on by some of its packets: where the length is known,
        // the soundtrack is cut to the frames the show will give.
        if (cap.expected_ms > 0) {
            long frames = ((long)cap.expected_ms * cap.fps + 999) / 1000;
            snprintf(length, sizeof length, "%.6f", (double)frames / cap.fps);
            args[n++] = "-t", args[n++] = length;
        }
        const char* audio[] = {"-i", cap.soundtrack, "-map", "0:v", "-map", "1:a", "-c:a"};
        for (const char* a : audio)
            args[n++] = a;
        if (cap.lossless)
            args[n++] = "copy";
        else
            args[n++] = "aac", args[n++] = "-b:a", args[n++] = "192k";
    }
    if (cap.lossless) {
        const char* out[] = {"-c:v", "libx264rgb", "-preset", CAPTURE_LOSSLESS_PRESET, "-crf", "0"};
        for (const char* a : out)
            args[n++] = a;
    } else {
        const char* out[] = {"-c:v", "libx264", "-preset", CAPTURE_PRESET, "-crf", CAPTURE_CRF, "-pix_fmt", "yuv420p",
                             "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
                             "-color_range", "tv"};
        for (const char* a : out)
            args[n++] = a;
    }
    const char* end[] = {"-shortest", "-movflags", "+faststart", cap.part};
    for (const char* a : end)
        args[n++] = a;
    args[n] = nullptr;
    cap.encoder = fork();
    if (cap.encoder == 0) {
        setpgid(0, 0);  // Ctrl+C reaches the show, which ends the video; not ffmpeg, which would cut it off
        dup2(fds[0], 0);
        close(fds[0]);
        close(fds[1]);
        execvp("ffmpeg", (char* const*)args);
        _exit(127);
    }
    close(fds[0]);
    if (cap.encoder < 0) {
        close(fds[1]);
        msg_print(stderr, "kerv16: cannot start ffmpeg for %s: %s\n", cap.file, strerror(errno));
        return 0;
    }
    cap.pipe_fd = fds[1];
    fcntl(cap.pipe_fd, F_SETPIPE_SZ, 1 << 20);  // frames of megabytes: fewer, larger hand-overs (best effort)
    return 1;
}

static int capture_open(const DisplaySettings* settings)
{
    memset(&cap, 0, sizeof cap);
    cap.file = settings->video;
    cap.fps = settings->fps > 0 ? settings->fps : 60;
    cap.soundtrack = settings->soundtrack;
    cap.expected_ms = settings->length_ms;
    cap.lossless = settings->lossless;
    cap.scale = settings->scale > 0 ? settings->scale : cap.lossless ? 1 : CAPTURE_SCALE_DEFAULT;
    cap.pipe_fd = -1;
    cap.encoder = -1;
    if (!cap.file) {
        msg_print(stderr, "kerv16: a capture needs a file to write\n");
        return 0;
    }
    if (cap.scale > DISPLAY_CAPTURE_SCALE_MAX) {
        msg_print(stderr, "kerv16: %s: a capture's scale goes from 1 to %d, not %d\n", cap.file,
                  DISPLAY_CAPTURE_SCALE_MAX, cap.scale);
        return 0;
    }
    cap.width = VGA_PIXELS_W * cap.scale;
    cap.height = VGA_PIXELS_H * cap.scale;
    if (!part_name(cap.file, cap.part, sizeof cap.part)) {
        msg_print(stderr, "kerv16: cannot write %s: the name is too long\n", cap.file);
        return 0;
    }
    // Whether the folder takes the file is known before the show is drawn, not at its end.
    struct stat st;
    if (stat(cap.file, &st) == 0 && S_ISDIR(st.st_mode)) {
        msg_print(stderr, "kerv16: cannot write %s: it is a folder\n", cap.file);
        return 0;
    }
    int fd = open(cap.part, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) {
        msg_print(stderr, "kerv16: cannot write %s: %s\n", cap.file, strerror(errno));
        return 0;
    }
    close(fd);
    if (!ffmpeg_found()) {
        unlink(cap.part);
        msg_print(stderr, "kerv16: cannot write %s: ffmpeg was not found; install it to capture video\n", cap.file);
        return 0;
    }
    fill_ycbcr_palette();
    if (!start_encoder()) {
        unlink(cap.part);
        return 0;
    }
    signal(SIGPIPE, SIG_IGN);  // a dead encoder shows as a failed write, not a killed show
    capture_signal = 0;
    for (int i = 0; i < 3; i++) {
        struct sigaction sa;
        memset(&sa, 0, sizeof sa);
        sa.sa_handler = on_signal;
        sigemptyset(&sa.sa_mask);
        sigaction(CAPTURE_SIGNALS[i], &sa, &capture_old_actions[i]);
    }
    clock_use_manual(1);
    clock_set(0);
    cap.started = wall_seconds();
    return 1;
}

static void capture_write(const DisplayCell* cells)
{
    if (cap.failed)
        return;
    size_t bytes;
    if (cap.lossless) {
        vga_draw_cells_rgb(cells, vga_palette, capture_drawn);
        enlarge_rgb();
        bytes = (size_t)cap.width * cap.height * 3;
    } else {
        vga_draw_cells_rgb(cells, ycbcr_palette, capture_drawn);
        enlarge_ycbcr();
        bytes = (size_t)cap.width * cap.height * 3 / 2;
    }
    if (!write_all(cap.pipe_fd, capture_frame, bytes)) {
        cap.failed = 1;
        return;
    }
    cap.frames++;
    clock_set((uint32_t)((uint64_t)cap.frames * 1000 / (uint64_t)cap.fps));
    report(0);
}

// A broken encoder ends the show the way Escape would; a signal as the signal's quit key.
static void capture_poll(void)
{
    if (cap.quit_sent)
        return;
    if (cap.failed)
        cap.quit_sent = display_push_key(KEY_ESCAPE);
    else if (capture_signal)
        cap.quit_sent = display_push_key(KEY_QUIT + capture_signal);
}

// Finishes the video; 1 when ffmpeg reported success and the file has its name. A capture stopped
// before the show's end keeps what it drew under the ".part" name.
static int capture_close(void)
{
    if (cap.pipe_fd < 0)
        return 0;
    for (int i = 0; i < 3; i++)
        sigaction(CAPTURE_SIGNALS[i], &capture_old_actions[i], nullptr);
    report(1);
    close(cap.pipe_fd);
    cap.pipe_fd = -1;
    int status = 0;
    while (waitpid(cap.encoder, &status, 0) < 0 && errno == EINTR) {
    }
    int ok = !cap.failed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    long reached = (long)(cap.frames * 1000 / cap.fps);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
        msg_print(stderr, "kerv16: cannot write %s: ffmpeg could not be started\n", cap.file);
    } else if (WIFSIGNALED(status)) {
        msg_print(stderr, "kerv16: cannot write %s: ffmpeg was ended by signal %d after %ld frames\n", cap.file,
                  WTERMSIG(status), cap.frames);
    } else if (!ok) {
        msg_print(stderr, "kerv16: cannot write %s: ffmpeg failed (status %d) after %ld frames\n", cap.file,
                  WIFEXITED(status) ? WEXITSTATUS(status) : -1, cap.frames);
    } else if (cap.expected_ms > 0 && reached + 1000 / cap.fps < cap.expected_ms) {
        msg_print(stderr, "kerv16: the capture stopped at %ld of %d ms: what was drawn is in %s, not %s\n", reached,
                  cap.expected_ms, cap.part, cap.file);
        return 0;
    } else if (rename(cap.part, cap.file) != 0) {
        msg_print(stderr, "kerv16: cannot write %s: %s; the video is in %s\n", cap.file, strerror(errno), cap.part);
        return 0;
    } else {
        struct stat st;
        double mb = stat(cap.file, &st) == 0 ? st.st_size / 1e6 : 0;
        msg_print(stderr, "kerv16: wrote %s (%ld frames at %d fps, %d x %d%s, %.1f MB)\n", cap.file, cap.frames,
                  cap.fps, cap.width, cap.height, cap.lossless ? ", lossless" : "", mb);
        return 1;
    }
    if (!ok)
        unlink(cap.part);
    return 0;
}

// ---- public functions ----

// Every frame written is drawn like the console window, enlarged and piped to ffmpeg, and the manual
// clock steps one frame; the soundtrack is muxed in at the end.
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
