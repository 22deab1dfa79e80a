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

extern "C" {
void __real__Z13screen_createv(void);
int __real__Z12display_openPKc(const char* title);
void __real__Z13display_closev(void);
void __real__Z13console_setupiii(int w, int h, int full);
int __real__Z21console_output_handlev(void);
int __real__Z10sync_setupv(void);
int __real__Z16load_cell_tablesv(void);
void __real__Z10gml_replayPKc(const char* name);
void __real__Z13emitters_initv(void);
void __real__Z13emitters_freev(void);
void __real__Z11load_assetsv(void);
void __real__Z11free_assetsv(void);
void __real__Z22setup_letter_materialsv(void);
void __real__Z11music_startPKc(const char* name);
void __real__Z10music_stopv(void);

void __wrap__Z13screen_createv(void)
{
    if (!recording)
        return __real__Z13screen_createv();
    note("screen");
}
int __wrap__Z12display_openPKc(const char* title)
{
    if (recording)
        note(std::string("display open: ") + title);
    return __real__Z12display_openPKc(title);
}
void __wrap__Z13display_closev(void)
{
    if (recording)
        note("display close");
    __real__Z13display_closev();
}
void __wrap__Z13console_setupiii(int w, int h, int full)
{
    if (!recording)
        return __real__Z13console_setupiii(w, h, full);
    note("console " + std::to_string(w) + " x " + std::to_string(h) + (full ? " full screen" : ""));
}
int __wrap__Z21console_output_handlev(void)
{
    if (!recording)
        return __real__Z21console_output_handlev();
    note("output handle");
    return 1;
}
int __wrap__Z10sync_setupv(void)
{
    if (!recording)
        return __real__Z10sync_setupv();
    note("tracks");
    return 1;
}
int __wrap__Z16load_cell_tablesv(void)
{
    if (!recording)
        return __real__Z16load_cell_tablesv();
    note("cell tables");
    return 1;
}
void __wrap__Z10gml_replayPKc(const char* name)
{
    if (!recording)
        return __real__Z10gml_replayPKc(name);
    note(std::string("drawing ") + name);
}
void __wrap__Z13emitters_initv(void)
{
    if (!recording)
        return __real__Z13emitters_initv();
    note("emitters");
}
void __wrap__Z13emitters_freev(void)
{
    if (!recording)
        return __real__Z13emitters_freev();
    note("emitters free");
}
void __wrap__Z11load_assetsv(void)
{
    if (!recording)
        return __real__Z11load_assetsv();
    note("assets");
}
void __wrap__Z11free_assetsv(void)
{
    if (!recording)
        return __real__Z11free_assetsv();
    note("assets free");
}
void __wrap__Z22setup_letter_materialsv(void)
{
    if (!recording)
        return __real__Z22setup_letter_materialsv();
    note("letter materials");
}
void __wrap__Z11music_startPKc(const char* name)
{
    if (!recording)
        return __real__Z11music_startPKc(name);
    note(std::string("music ") + name);
}
void __wrap__Z10music_stopv(void)
{
    if (!recording)
        return __real__Z10music_stopv();
    note("music stop");
}
}

namespace {

TEST(StartOrder, StartUpThenShutDownInTheirOrder)
{
    DemoOptions opts;
    demo_default_options(&opts);
    opts.headless = 1;
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
    opts.headless = 1;
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
