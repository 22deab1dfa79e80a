// video.cpp -- kerv16-render --video: a capture decoded by ffmpeg, frame by frame against the show's own drawing
//
// The show runs on the capture's clock (frame k at k x 1000 / fps ms, as the capture steps it), each
// frame drawn as the window draws it; every decoded pixel is compared with the drawn pixel it
// enlarges. The figures: PSNR over red, green and blue, and the share of pixels whose three channels
// all lie within 8 levels of the drawing.
#include "render.h"

#include "console/console.h"
#include "demo/demo.h"
#include "platform/clock.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// ---- types ----

struct VideoScore {
    double squared;  // sum of squared channel differences
    long long pixels, within;
};

// ---- internal functions ----

static int video_usage(void)
{
    fprintf(stderr, "usage: kerv16-render --video FILE [--fps N] [--exact | --min-psnr DB --min-within PERCENT]\n"
                    "  run from a folder holding data/; FILE is a capture of the show from its start\n");
    return 2;
}

static double psnr(const VideoScore& s)
{
    double mse = s.pixels ? s.squared / (3.0 * (double)s.pixels) : 0;
    return mse > 0 ? 10.0 * log10(255.0 * 255.0 / mse) : INFINITY;
}

// The path in single quotes for the shell.
static std::string quoted(const char* path)
{
    std::string q = "'";
    for (const char* c = path; *c; c++)
        q += *c == '\'' ? std::string("'\\''") : std::string(1, *c);
    return q + "'";
}

static int video_size(const char* path, int* width, int* height)
{
    std::string cmd = "ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " + quoted(path);
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return 0;
    int got = fscanf(p, "%d,%d", width, height);
    pclose(p);
    return got == 2;
}

static void score_frame(const uint8_t* drawn, const uint8_t* decoded, int scale, VideoScore* s)
{
    int width = VGA_PIXELS_W * scale, height = VGA_PIXELS_H * scale;
    for (int y = 0; y < height; y++) {
        const uint8_t* src = &drawn[(y / scale) * VGA_PIXELS_W * 3];
        const uint8_t* got = &decoded[(size_t)y * width * 3];
        for (int x = 0; x < width; x++, got += 3) {
            const uint8_t* want = &src[(x / scale) * 3];
            int worst = 0;
            for (int c = 0; c < 3; c++) {
                int d = abs(got[c] - want[c]);
                s->squared += d * d;
                worst = d > worst ? d : worst;
            }
            s->pixels++;
            s->within += worst <= 8;
        }
    }
}

// ---- public functions ----

int render_video(int argc, char** argv)
{
    const char* file = nullptr;
    int fps = 60, exact = 0;
    double min_psnr = 0, min_within = 0;
    for (int i = 1; i < argc; i++) {
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(argv[i], "--video") && next)
            file = next, i++;
        else if (!strcmp(argv[i], "--fps") && next && atoi(next) > 0 && atoi(next) <= 240)
            fps = atoi(next), i++;
        else if (!strcmp(argv[i], "--min-psnr") && next)
            min_psnr = atof(next), i++;
        else if (!strcmp(argv[i], "--min-within") && next)
            min_within = atof(next), i++;
        else if (!strcmp(argv[i], "--exact"))
            exact = 1;
        else {
            fprintf(stderr, "kerv16-render: unexpected or bad argument %s\n", argv[i]);
            return video_usage();
        }
    }
    if (!file)
        return video_usage();
    int width, height;
    if (!video_size(file, &width, &height)) {
        fprintf(stderr, "kerv16-render: %s: ffprobe finds no video in it\n", file);
        return 1;
    }
    int scale = width / VGA_PIXELS_W;
    if (scale < 1 || width != VGA_PIXELS_W * scale || height != VGA_PIXELS_H * scale) {
        fprintf(stderr, "kerv16-render: %s: %d x %d is no whole multiple of %d x %d\n", file, width, height,
                VGA_PIXELS_W, VGA_PIXELS_H);
        return 1;
    }
    std::string cmd = "ffmpeg -v error -i " + quoted(file) + " -map 0:v:0 -vsync passthrough -f rawvideo -pix_fmt rgb24 -";
    FILE* decoder = popen(cmd.c_str(), "r");
    if (!decoder || !demo_start_stepped()) {
        if (decoder)
            pclose(decoder);
        return 1;
    }
    std::vector<uint8_t> decoded((size_t)width * height * 3), drawn((size_t)VGA_PIXELS_W * VGA_PIXELS_H * 3);
    VideoScore total = {}, worst = {};
    long frames = 0, worst_frame = -1;
    while (fread(decoded.data(), 1, decoded.size(), decoder) == decoded.size()) {
        long t = frames * 1000 / fps;
        clock_set((uint32_t)t);
        demo_frame((int)t);
        vga_draw_cells_rgb(cell_buffer, vga_palette, drawn.data());
        VideoScore s = {};
        score_frame(drawn.data(), decoded.data(), scale, &s);
        total.squared += s.squared, total.pixels += s.pixels, total.within += s.within;
        if (worst_frame < 0 || psnr(s) < psnr(worst))
            worst = s, worst_frame = frames;
        frames++;
    }
    int decoded_ok = pclose(decoder) == 0;
    if (!frames || !decoded_ok) {
        fprintf(stderr, "kerv16-render: %s: ffmpeg could not decode it (%ld frames read)\n", file, frames);
        return 1;
    }
    double within = 100.0 * (double)total.within / (double)total.pixels;
    printf("%s: %ld frames at %d x %d (scale %d), %d fps: PSNR %.2f dB, %.2f %% of pixels within 8 levels; "
           "worst frame %ld (%ld ms): %.2f dB, %.2f %%\n",
           file, frames, width, height, scale, fps, psnr(total), within, worst_frame, worst_frame * 1000 / fps,
           psnr(worst), 100.0 * (double)worst.within / (double)worst.pixels);
    if (exact && total.squared > 0) {
        printf("not exact: the decoded frames differ from the drawing\n");
        return 1;
    }
    if (psnr(total) < min_psnr || within < min_within) {
        printf("below the floor: PSNR %.2f dB (at least %.2f), %.2f %% within 8 levels (at least %.2f)\n",
               psnr(total), min_psnr, within, min_within);
        return 1;
    }
    return 0;
}
