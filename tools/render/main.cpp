// main.cpp -- kerv16-render: picks the mode from the command line
#include "render.h"

#include <cstdio>
#include <cstring>

static void usage(FILE* out)
{
    fprintf(out,
            "usage: kerv16-render MODE [options]   (run from a folder holding data/)\n"
            "  --picture FILE --cells OUT.bin --png OUT.png   convert one 240 x 150 picture\n"
            "  --times T1,T2,... --out DIR [--step MS] [--until MS]  write frames of the show\n"
            "  --log FILE [--until MS] [--step MS]            one line per frame of the show, with its\n"
            "                                                 mean grey and in-cell detail\n"
            "  --sheet OUT.png [--step MS] [--until MS]       a frame every 6 s as one contact sheet\n"
            "  --bench [--step MS] [--until MS]               time every scene of the show\n"
            "  --gml FILE --times T1,... --out DIR            frames of a GML replay\n"
            "  --gml FILE --bench [--step MS]                 time every frame of a GML replay\n"
            "  --video FILE [--fps N] [--exact | --min-psnr DB --min-within PERCENT]\n"
            "                                                 a capture decoded against the show's drawing:\n"
            "                                                 PSNR and the share of pixels within 8 levels\n");
}

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help")) {
            usage(stdout);
            return 0;
        }
        if (!strcmp(argv[i], "--picture"))
            return render_picture(argc, argv);
        if (!strcmp(argv[i], "--gml"))
            return render_gml(argc, argv);
        if (!strcmp(argv[i], "--video"))
            return render_video(argc, argv);
    }
    for (int i = 1; i < argc; i++)
        if (!strcmp(argv[i], "--times") || !strcmp(argv[i], "--log") || !strcmp(argv[i], "--sheet") ||
            !strcmp(argv[i], "--bench"))
            return render_show(argc, argv);
    usage(stderr);
    return 2;
}
