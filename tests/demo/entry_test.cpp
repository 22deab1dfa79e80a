// entry_test.cpp -- the main loop's keys on the null display, and the program's way through a viewer
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "demo/demo.h"
#include "platform/terminal.h"
#include "gfx2d/gfx2d.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/display.h"

namespace {

struct MainLoopKeys : ::testing::Test {
    void SetUp() override
    {
        display_use(&display_null_driver);
        display_null_reset();
        start_tick = 50000;
    }
    void TearDown() override { display_null_reset(); }
};

TEST_F(MainLoopKeys, EveryKeyReadWritesTheEndFlag)
{
    end_flag = 1;   // as frame composition sets it at the end of the timeline
    display_push_key('x');
    demo_handle_key();
    EXPECT_EQ(end_flag, 0);
    display_push_key(KEY_ESCAPE);
    demo_handle_key();
    EXPECT_EQ(end_flag, 1);
    display_push_key(KEY_PREFIX);
    display_push_key(KEY_RIGHT);
    demo_handle_key();
    EXPECT_EQ(end_flag, 0);   // arrows write 0 too
    EXPECT_FALSE(display_key_waiting());
}

// A signal's quit event ends the show as Escape does, and its number is kept to be raised again.
TEST_F(MainLoopKeys, QuitEventReadsAsEscapeAndKeepsItsSignal)
{
    end_flag = 0;
    display_push_key(KEY_QUIT + 15);
    demo_handle_key();
    EXPECT_EQ(end_flag, 1);
    EXPECT_EQ(demo_quit_signal(), 15);
    EXPECT_EQ(start_tick, 50000u);
}

TEST_F(MainLoopKeys, PrefixAloneOrWithAnotherKeyDoesNothing)
{
    end_flag = 1;
    display_push_key(KEY_PREFIX);
    demo_handle_key();
    EXPECT_EQ(end_flag, 0);
    EXPECT_EQ(start_tick, 50000u);

    // 224 then a key other than an arrow: both are consumed.
    display_push_key(KEY_PREFIX);
    display_push_key(72);
    display_push_key('q');
    demo_handle_key();
    EXPECT_EQ(start_tick, 50000u);
    EXPECT_EQ(display_read_key(), 'q');

    // A second key that arrives after the pass is a key of its own.
    display_push_key(KEY_PREFIX);
    demo_handle_key();
    display_push_key(KEY_LEFT);
    demo_handle_key();
    EXPECT_EQ(start_tick, 50000u);
}

TEST_F(MainLoopKeys, ArrowsMoveTheStartTickBySeconds)
{
    display_push_key(KEY_PREFIX);
    display_push_key(KEY_LEFT);
    demo_handle_key();
    EXPECT_EQ(start_tick, 51000u);
    for (int i = 0; i < 3; i++) {
        display_push_key(KEY_PREFIX);
        display_push_key(KEY_RIGHT);
        demo_handle_key();
    }
    EXPECT_EQ(start_tick, 48000u);

    // Seeking back within the first second gives a negative demo time, forward wraps the tick.
    clock_use_manual(1);
    clock_set(500);
    start_tick = 0;
    display_push_key(KEY_PREFIX);
    display_push_key(KEY_LEFT);
    demo_handle_key();
    EXPECT_EQ((int)(clock_ticks() - start_tick), -500);
    start_tick = 0;
    display_push_key(KEY_PREFIX);
    display_push_key(KEY_RIGHT);
    demo_handle_key();
    EXPECT_EQ((int)(clock_ticks() - start_tick), 1500);
    clock_use_manual(0);
}

// The whole program, headless: a picture viewer ended by Escape leaves the key for the main loop,
// which draws one frame, reads it and shuts down. Returns one bit per failed check.
int run_viewer_then_escape(void)
{
    display_null_reset();
    end_flag = 0;
    display_push_key(KEY_ESCAPE);
    char prog[] = "kerv16", opt[] = "--headless", pic[] = "no-such-picture.tga";
    char* argv[] = {prog, opt, pic, nullptr};
    int status = demo_main(3, argv);
    return (status != 0) | (display_null_frames() != 1) << 1 | display_key_waiting() << 2 | (end_flag != 1) << 3;
}

// In a child process, since a run replaces the Screen and loaded state that other tests keep using;
// _exit leaves the replaced Screen to the operating system.
TEST(ProgramEntry, EscapeAfterTheViewerEndsTheShowAfterOneFrame)
{
    EXPECT_EXIT(_exit(run_viewer_then_escape()), ::testing::ExitedWithCode(0), "");
}

// Headless, no key can end the viewer: the picture stays for its while and the show follows.
int run_headless_viewer_without_keys(void)
{
    display_null_reset();
    char prog[] = "kerv16", opt[] = "--headless", until[] = "--until", ms[] = "1", pic[] = "no-such-picture.tga";
    char* argv[] = {prog, opt, until, ms, pic, nullptr};
    uint32_t started = clock_ticks();
    int status = demo_main(5, argv);
    uint32_t took = clock_ticks() - started;
    return (status != 0) | (took < 2000) << 1 | (took > 60000) << 2;
}

TEST(ProgramEntry, HeadlessViewerEndsWithoutAKey)
{
    EXPECT_EXIT(_exit(run_headless_viewer_without_keys()), ::testing::ExitedWithCode(0), "no-such-picture.tga");
}

TEST(ProgramEntry, OptionsOfOurOwn)
{
    char prog[] = "kerv16", bad[] = "--no-such-option", help[] = "--help";
    char* argv_bad[] = {prog, bad, nullptr};
    char* argv_help[] = {prog, help, nullptr};
    testing::internal::CaptureStderr();
    EXPECT_EQ(demo_main(2, argv_bad), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("unknown option --no-such-option"), std::string::npos);
    testing::internal::CaptureStdout();
    EXPECT_EQ(demo_main(2, argv_help), 0);
    std::string help_text = testing::internal::GetCapturedStdout();
    for (const char* name : {"--stats", "--headless", "--capture FILE", "--fps N", "--until MS", "--window", "--layout NAME",
                             "--live [DIR]", "--scale N", "--lossless"})
        EXPECT_NE(help_text.find(name), std::string::npos) << name;
}

// Parses a command line given as one string of words; returns demo_parse_options' result.
int parse(std::string line, DemoOptions* opts, std::string* err = nullptr)
{
    static std::vector<std::string> words;
    words = {"kerv16"};
    for (size_t at = 0; at < line.size();) {
        size_t space = line.find(' ', at);
        if (space == std::string::npos)
            space = line.size();
        words.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStderr();
    int status = demo_parse_options((int)words.size(), argv.data(), opts);
    std::string text = testing::internal::GetCapturedStderr();
    if (err)
        *err = text;
    return status;
}

TEST(ProgramOptions, ValuesAndTheFirstOtherArgument)
{
    DemoOptions o;
    ASSERT_EQ(parse("", &o), DEMO_RUN);
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.until_ms, 0);
    EXPECT_FALSE(o.display || o.stats || o.silent || o.viewer_file || o.settings.video);

    ASSERT_EQ(parse("a.tga --stats --capture out.mp4 --fps 240 b.gml --until 1500 --headless --window", &o), DEMO_RUN);
    EXPECT_STREQ(o.viewer_file, "a.tga");
    EXPECT_STREQ(o.settings.video, "out.mp4");
    EXPECT_EQ(o.fps, 240);
    EXPECT_EQ(o.until_ms, 1500);
    EXPECT_TRUE(o.stats);
    EXPECT_STREQ(o.display, "capture");   // a capture goes before memory only, and that before the window
    ASSERT_EQ(parse("--window --headless --window", &o), DEMO_RUN);
    EXPECT_STREQ(o.display, "null");
}

// --live takes the folder that follows it when one does, content otherwise; it needs a keyboard.
TEST(ProgramOptions, LiveTakesAFolderWhenOneFollows)
{
    DemoOptions o;
    std::string err;
    ASSERT_EQ(parse("", &o), DEMO_RUN);
    EXPECT_EQ(o.live, nullptr);
    ASSERT_EQ(parse("--live", &o), DEMO_RUN);
    EXPECT_STREQ(o.live, "content");
    ASSERT_EQ(parse("--live mine --stats", &o), DEMO_RUN);
    EXPECT_STREQ(o.live, "mine");
    EXPECT_TRUE(o.stats);
    ASSERT_EQ(parse("pic.tga --live --window", &o), DEMO_RUN);
    EXPECT_STREQ(o.live, "content");
    EXPECT_STREQ(o.viewer_file, "pic.tga");
    EXPECT_STREQ(o.display, "window");
    EXPECT_EQ(parse("--live --headless", &o, &err), 2);
    EXPECT_NE(err.find("not with --headless"), std::string::npos);
    EXPECT_EQ(parse("--capture v.mp4 --live", &o, &err), 2);
    EXPECT_NE(err.find("not with --capture"), std::string::npos);
}

TEST(ProgramOptions, BadValuesAreRefusedWithTheReason)
{
    DemoOptions o;
    std::string err;
    EXPECT_EQ(parse("--fps 1", &o), DEMO_RUN);
    EXPECT_EQ(o.fps, 1);
    EXPECT_EQ(parse("--fps 0", &o), DEMO_RUN);   // unpaced
    EXPECT_EQ(o.fps, 0);
    for (const char* line : {"--fps 241", "--fps 60x", "--fps -5"}) {
        EXPECT_EQ(parse(line, &o, &err), 2) << line;
        EXPECT_NE(err.find("--fps takes a whole number from 0 to 240"), std::string::npos) << line;
    }
    EXPECT_EQ(parse("--capture x.mp4 --fps 0", &o, &err), 2);
    EXPECT_NE(err.find("a capture needs --fps from 1 to 240"), std::string::npos);
    ASSERT_EQ(parse("--capture x.mp4", &o), DEMO_RUN);
    EXPECT_EQ(o.settings.scale, 0);   // the capture's own default
    EXPECT_EQ(o.settings.lossless, 0);
    ASSERT_EQ(parse("--capture x.mkv --scale 6 --lossless", &o), DEMO_RUN);
    EXPECT_EQ(o.settings.scale, 6);
    EXPECT_EQ(o.settings.lossless, 1);
    ASSERT_EQ(parse("--scale 1 --capture x.mp4", &o), DEMO_RUN);
    EXPECT_EQ(o.settings.scale, 1);
    for (const char* line : {"--capture x.mp4 --scale 0", "--capture x.mp4 --scale 7", "--capture x.mp4 --scale 2x"}) {
        EXPECT_EQ(parse(line, &o, &err), 2) << line;
        EXPECT_NE(err.find("--scale takes a whole number from 1 to 6, not "), std::string::npos) << line;
    }
    for (const char* line : {"--scale 2", "--lossless", "--headless --lossless"}) {
        EXPECT_EQ(parse(line, &o, &err), 2) << line;
        EXPECT_NE(err.find("they need --capture FILE"), std::string::npos) << line;
    }
    EXPECT_EQ(o.settings.layout, TERMINAL_LAYOUT_AUTO);
    for (auto name : {std::pair<const char*, int>{"wide", TERMINAL_LAYOUT_WIDE}, {"grid", TERMINAL_LAYOUT_GRID},
                      {"compact", TERMINAL_LAYOUT_COMPACT}, {"auto", TERMINAL_LAYOUT_AUTO}}) {
        EXPECT_EQ(parse(std::string("--layout ") + name.first, &o), DEMO_RUN);
        EXPECT_EQ(o.settings.layout, name.second);
    }
    EXPECT_EQ(parse("--layout square", &o, &err), 2);
    EXPECT_NE(err.find("--layout takes auto, wide, grid, compact or pixels, not square"), std::string::npos);
    EXPECT_EQ(parse("--until soon", &o, &err), 2);
    EXPECT_NE(err.find("--until takes whole milliseconds"), std::string::npos);
    EXPECT_EQ(parse("--until -1", &o), 2);

    // A value missing at the end is named, not taken for an unknown option.
    EXPECT_EQ(parse("--capture", &o, &err), 2);
    EXPECT_NE(err.find("--capture needs a value (FILE)"), std::string::npos);
    EXPECT_EQ(parse("--until", &o, &err), 2);
    EXPECT_NE(err.find("--until needs a value"), std::string::npos);
}

// --headless opens the null audio device, not the sound card: its sample clock runs when driven.
int start_headless_then_stop(void)
{
    display_null_reset();
    DemoOptions opts;
    demo_default_options(&opts);
    opts.display = "null";
    if (!demo_start(&opts))
        return 1;
    static int16_t samples[2 * 441];
    audio_null_run(samples, 441);
    int failed = (audio_null_frames() != 441) << 1 | (display_current() != &display_null_driver) << 2;
    demo_frame(0);
    failed |= (display_null_frames() != 1) << 3;
    return failed | !demo_stop() << 4;
}

TEST(ProgramEntry, HeadlessUsesTheNullAudioDevice)
{
    putenv((char*)"SDL_AUDIODRIVER=no_such_driver");  // were SDL asked, it would fail
    EXPECT_EXIT(_exit(start_headless_then_stop()), ::testing::ExitedWithCode(0), "");
}

// The renderer's start: demo time 0 on a clock that moves only when it is set, the null display.
int start_stepped_then_stop(void)
{
    display_null_reset();
    clock_use_manual(1);
    clock_set(777);  // wherever the clock stood, the show starts at 0
    if (!demo_start_stepped())
        return 1;
    int failed = (clock_ticks() != 0) << 1 | (start_tick != 0) << 2 | (display_current() != &display_null_driver) << 3;
    clock_set(1234);
    failed |= (clock_ticks() != 1234) << 4;
    demo_frame(1234);
    failed |= (display_null_frames() != 1) << 5 | (compose_info.t != 1234) << 6;
    return failed | !demo_stop() << 7;
}

TEST(ProgramEntry, SteppedStartIsHeadlessAtTimeZero)
{
    putenv((char*)"SDL_AUDIODRIVER=no_such_driver");
    EXPECT_EXIT(_exit(start_stepped_then_stop()), ::testing::ExitedWithCode(0), "");
}

TEST(ProgramEntry, ViewerModeFromTheLastFourCharactersInAnyCase)
{
    for (const char* gml : {"d.GML", "d.gml", "d.Gml", "d.gMl", ".gml", "data/tag.gml", "a b.GmL"})
        EXPECT_EQ(demo_viewer_is_gml(gml), 1) << gml;
    // Too short, other endings, the dot elsewhere, or an ending only a wider case folding would match.
    for (const char* picture : {"", "g", "gml", ".gm", "xgml", "d.gmlx", "d.gm l", "d.tga", "d.GML ", "d_gml",
                                "gml.tga", "d.\xc7ml"})
        EXPECT_EQ(demo_viewer_is_gml(picture), 0) << picture;
    EXPECT_EQ(demo_viewer_is_gml(nullptr), 0);
}

}  // namespace
