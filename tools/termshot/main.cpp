// main.cpp -- kerv16-termshot: scores a screenshot of a drawn picture against the 240 x 150 picture
//
// The drawn area is the bounding box of the pixels that differ from the background (the screenshot's
// top-left pixel, or --background), or the rectangle given with --box, or the whole image (--whole).
// It is area-averaged to 240 x 150 in linear light and scored as kerv16-quality scores cells: SSIM on
// luma, PSNR and mean CIEDE2000 after a blur. The aspect is the box's width over its height in pixels.
// The frame is the largest mean difference (sRGB levels) between picture and drawing along one of the
// four outer 3-pixel bands: a picture given a frame of its own shows there whether all of it is drawn.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "metrics.h"
#include "stb_image.h"

// ---- types ----

struct Image {
    int w, h;
    std::vector<uint8_t> rgb;  // w x h x 3, sRGB
};

struct Box {
    int x, y, w, h;
};

// ---- internal functions ----

static int usage(void)
{
    fprintf(stderr, "usage: kerv16-termshot PICTURE.png SHOT.png [--box X,Y,W,H | --whole] [--background R,G,B]\n"
                    "  PICTURE is the 240 x 150 picture shown; prints SSIM, PSNR, dE00, aspect, frame and the box\n");
    return 2;
}

static int load(const char* path, Image* img)
{
    int n;
    uint8_t* data = stbi_load(path, &img->w, &img->h, &n, 3);
    if (!data) {
        fprintf(stderr, "kerv16-termshot: cannot read %s: %s\n", path, stbi_failure_reason());
        return 0;
    }
    img->rgb.assign(data, data + (size_t)img->w * img->h * 3);
    stbi_image_free(data);
    return 1;
}

// Bounding box of the pixels that differ from the background colour; w = 0 when there is none.
static Box find_box(const Image& img, const uint8_t bg[3])
{
    int x0 = img.w, y0 = img.h, x1 = -1, y1 = -1;
    for (int y = 0; y < img.h; y++)
        for (int x = 0; x < img.w; x++) {
            const uint8_t* p = &img.rgb[((size_t)y * img.w + x) * 3];
            if (p[0] == bg[0] && p[1] == bg[1] && p[2] == bg[2])
                continue;
            x0 = x < x0 ? x : x0, x1 = x > x1 ? x : x1;
            y0 = y < y0 ? y : y0, y1 = y > y1 ? y : y1;
        }
    if (x1 < 0)
        return Box{0, 0, 0, 0};
    return Box{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

// The largest of the four mean absolute differences along the outer bands, in sRGB levels.
static double frame_difference(const Picture& a, const Picture& b)
{
    double side[4] = {0, 0, 0, 0};
    int count[4] = {0, 0, 0, 0};
    for (int y = 0; y < 150; y++)
        for (int x = 0; x < 240; x++) {
            int bands[4] = {y < 3, y >= 147, x < 3, x >= 237};
            double d = 0;
            for (int k = 0; k < 3; k++) {
                size_t i = ((size_t)y * 240 + x) * 3 + k;
                d += fabs(metrics_to_srgb(a.lin[i]) - metrics_to_srgb(b.lin[i])) / 3;
            }
            for (int s = 0; s < 4; s++)
                if (bands[s])
                    side[s] += d, count[s]++;
        }
    double worst = 0;
    for (int s = 0; s < 4; s++)
        worst = side[s] / count[s] > worst ? side[s] / count[s] : worst;
    return worst;
}

// ---- public functions ----

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    Box box = {0, 0, 0, 0};
    int whole = 0, given_box = 0, given_bg = 0;
    uint8_t bg[3] = {0, 0, 0};
    for (int i = 3; i < argc; i++) {
        int r, g, b;
        if (!strcmp(argv[i], "--whole")) {
            whole = 1;
        } else if (i + 1 < argc && !strcmp(argv[i], "--box") &&
                   sscanf(argv[i + 1], "%d,%d,%d,%d", &box.x, &box.y, &box.w, &box.h) == 4) {
            given_box = 1, i++;
        } else if (i + 1 < argc && !strcmp(argv[i], "--background") &&
                   sscanf(argv[i + 1], "%d,%d,%d", &r, &g, &b) == 3) {
            bg[0] = (uint8_t)r, bg[1] = (uint8_t)g, bg[2] = (uint8_t)b, given_bg = 1, i++;
        } else {
            return usage();
        }
    }
    Image ref, shot;
    if (!load(argv[1], &ref) || !load(argv[2], &shot))
        return 1;
    if (ref.w != 240 || ref.h != 150) {
        fprintf(stderr, "kerv16-termshot: %s is %d x %d, not a 240 x 150 picture\n", argv[1], ref.w, ref.h);
        return 1;
    }
    if (whole) {
        box = Box{0, 0, shot.w, shot.h};
    } else if (!given_box) {
        if (!given_bg)
            memcpy(bg, shot.rgb.data(), 3);
        box = find_box(shot, bg);
    }
    if (box.x < 0 || box.y < 0 || box.w < 240 || box.h < 150 || box.x + box.w > shot.w || box.y + box.h > shot.h) {
        fprintf(stderr, "kerv16-termshot: %s: the drawn area %d x %d at %d,%d is not inside the %d x %d image or is "
                        "smaller than 240 x 150\n", argv[2], box.w, box.h, box.x, box.y, shot.w, shot.h);
        return 1;
    }
    Picture source = metrics_area_average(ref.rgb.data(), 240, 150, 240 * 3);
    Picture drawn = metrics_area_average(&shot.rgb[((size_t)box.y * shot.w + box.x) * 3], box.w, box.h,
                                         (size_t)shot.w * 3);
    Score s = metrics_score(source, drawn);
    // Rounding in the linear-light round trip leaves an exact copy a vanishing error: 99 dB means none.
    if (s.psnr > 99)
        s.psnr = 99;
    printf("ssim %.3f psnr %.2f de00 %.2f aspect %.3f frame %.1f box %d,%d,%d,%d\n", s.ssim, s.psnr, s.de,
           (double)box.w / box.h, frame_difference(source, drawn), box.x, box.y, box.w, box.h);
    return 0;
}
