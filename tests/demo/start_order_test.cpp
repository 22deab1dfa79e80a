// start_order_test.cpp -- the program's start-up and shut-down order, recorded through wrapped calls
// The test binary is linked with the linker's --wrap for the calls below (tests/CMakeLists.txt). While a
// test records, the loaders and the sound are written down instead of run (the display is the null one
// and runs), so the whole order can be compared with one written out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/demo.h"
#include "platform/display.h"

namespace {

int recording;
std::vector<std::string> calls;

void note(const std::string& what)
{
    calls.push_back(what);
}

}  // namespace

// A call written down instead of run while recording; the ones that report success report it.
#define RECORDED_VOID(mangled, text)                                                                   \
    void __real_##mangled(void);                                                                       \
    void __wrap_##mangled(void)                                                                        \
    {                                                                                                  \
        if (!recording)                                                                                \
            return __real_##mangled();                                                                 \
        note(text);                                                                                    \
    }
#define RECORDED_SUCCESS(mangled, text)                                                                \
    int __real_##mangled(void);                                                                        \
    int __wrap_##mangled(void)                                                                         \
    {                                                                                                  \
        if (!recording)                                                                                \
            return __real_##mangled();                                                                 \
        note(text);                                                                                    \
        return 1;                                                                                      \
    }

extern "C" {
RECORDED_VOID(_Z13screen_createv, "screen")
RECORDED_SUCCESS(_Z21console_output_handlev, "output handle")
RECORDED_SUCCESS(_Z10sync_setupv, "tracks")
RECORDED_SUCCESS(_Z16load_cell_tablesv, "cell tables")
RECORDED_VOID(_Z13emitters_initv, "emitters")
RECORDED_VOID(_Z13emitters_freev, "emitters free")
RECORDED_VOID(_Z11load_assetsv, "assets")
RECORDED_VOID(_Z11free_assetsv, "assets free")
RECORDED_VOID(_Z22setup_letter_materialsv, "letter materials")
RECORDED_VOID(_Z10music_stopv, "music stop")

// The display is the null one and runs; the rest are written down with their arguments.
int __real__Z12display_openPKc(const char* title);
int __real__Z13display_closev(void);
void __real__Z13console_setupiii(int w, int h, int full);
void __real__Z10gml_replayPKc(const char* name);
void __real__Z11music_startPKc(const char* name);

int __wrap__Z12display_openPKc(const char* title)
{
    if (recording)
        note(std::string("display open: ") + title);
    return __real__Z12display_openPKc(title);
}
int __wrap__Z13display_closev(void)
{
    if (recording)
        note("display close");
    return __real__Z13display_closev();
}
void __wrap__Z13console_setupiii(int w, int h, int full)
{
    if (!recording)
        return __real__Z13console_setupiii(w, h, full);
    note("console " + std::to_string(w) + " x " + std::to_string(h) + (full ? " full screen" : ""));
}
void __wrap__Z10gml_replayPKc(const char* name)
{
    if (!recording)
        return __real__Z10gml_replayPKc(name);
    note(std::string("drawing ") + name);
}
void __wrap__Z11music_startPKc(const char* name)
{
    if (!recording)
        return __real__Z11music_startPKc(name);
    note(std::string("music ") + name);
}
}

namespace {

TEST(StartOrder, StartUpThenShutDownInTheirOrder)
{
    DemoOptions opts;
    demo_default_options(&opts);
    opts.display = "null";
    opts.viewer_file = "drawing.Gml";
    display_null_reset();
    calls.clear();
    recording = 1;
    int started = demo_start(&opts);
    calls.push_back("--");
    int stopped = demo_stop();
    recording = 0;
    EXPECT_EQ(started, 1);
    EXPECT_EQ(stopped, 1);
    const std::vector<std::string> expected = {
        "screen", "display open: KERV16 - alt+enter=fullscreen", "console 80 x 50 full screen", "output handle",
        "tracks", "cell tables", "drawing drawing.Gml", "emitters", "assets", "letter materials",
        "music data/Dremovant - Embers-mastered.mp3", "--", "emitters free", "assets free", "music stop", "display close"};
    EXPECT_EQ(calls, expected);
}

TEST(StartOrder, WithoutViewerTheEmittersFollowTheTablesAndSilentStartsNoMusic)
{
    DemoOptions opts;
    demo_default_options(&opts);
    opts.display = "null";
    opts.silent = 1;
    display_null_reset();
    calls.clear();
    recording = 1;
    demo_start(&opts);
    demo_stop();
    recording = 0;
    ASSERT_GE(calls.size(), 7u);
    EXPECT_EQ(calls[6], "emitters");  // no viewer: the emitters follow the tables
    for (const std::string& c : calls)
        EXPECT_NE(c.rfind("music data/", 0), 0u) << "a silent run starts no music";
}

}  // namespace
