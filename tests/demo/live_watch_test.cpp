// live_watch_test.cpp -- the live mode on files as editors save them: in place, renamed over, deleted, replaced by a folder; pages lettered again
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <functional>
#include <string>

#include "test_temp.h"
#include "assets/assets.h"
#include "demo/demo.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "timeline/timeline.h"

namespace fs = std::filesystem;

namespace {

std::string timeline_with_scene(int scene) { return "track scene\n0 " + std::to_string(scene) + "\n"; }

void write(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

struct LiveWatchTest : ::testing::Test {
    std::string dir;
    SyncTrack* saved[SHOW_TRACKS];

    void SetUp() override
    {
        music_use_audio(&audio_null_driver);
        for (int i = 0; i < SHOW_TRACKS; i++)
            saved[i] = show_tracks[i];
        static int n;
        dir = test_temp_path("live" + std::to_string(n++));
        fs::create_directories(dir);
        fs::copy(KERV_SOURCE_DIR "/content", dir, fs::copy_options::recursive);
        write(dir + "/timeline.txt", timeline_with_scene(1));
        clock_use_manual(1);
        clock_set(50000);
        start_tick = 0;
        ASSERT_EQ(live_start(dir.c_str(), "c", KERV_DATA_ROOT), 1);
    }
    void TearDown() override
    {
        live_stop();
        for (int i = 0; i < SHOW_TRACKS; i++)
            show_tracks[i] = saved[i];
        clock_use_manual(0);
    }
    static int scene() { return (int)sync_get_value(show_tracks[TRACK_SCENE], 0.0); }
    // Frames of 5 ms of the clock, a little real time apart so that the kernel's news arrives,
    // until the condition holds (up to 10 s of real time).
    static bool frames_until(const std::function<bool()>& done)
    {
        for (int i = 0; i < 5000; i++) {
            live_frame_time(clock_ticks());
            if (done())
                return true;
            usleep(2000);
            clock_advance(5);
        }
        return false;
    }
};

TEST_F(LiveWatchTest, EverySaveOfTheTimelineIsTakenUpAndNoneStopsTheShow)
{
    ASSERT_EQ(scene(), 1);
    std::string path = dir + "/timeline.txt";

    // Written to a temporary file and renamed over it.
    write(path + ".tmp", timeline_with_scene(2));
    fs::rename(path + ".tmp", path);
    ASSERT_TRUE(frames_until([] { return scene() == 2; }));

    // Deleted: the tracks stay and the line says why; written again: taken up.
    fs::remove(path);
    ASSERT_TRUE(frames_until([] { return std::string(live_status()).find("no such file") != std::string::npos; }));
    EXPECT_EQ(std::string(live_status()), "c/timeline.txt: no such file; the tracks that played go on");
    EXPECT_EQ(scene(), 2);
    write(path, timeline_with_scene(3));
    ASSERT_TRUE(frames_until([] { return scene() == 3 && !live_status()[0]; }));

    // A folder in its place.
    fs::remove(path);
    fs::create_directory(path);
    ASSERT_TRUE(frames_until([] { return std::string(live_status()).find("a directory") != std::string::npos; }));
    EXPECT_EQ(scene(), 3);
    fs::remove(path);
    write(path, timeline_with_scene(4));
    ASSERT_TRUE(frames_until([] { return scene() == 4; }));

    // Written in place in two goes: the half may be read, and the whole is taken up once written.
    FILE* f = fopen(path.c_str(), "wb");
    fputs("track scene\n0 5\n4 ", f);
    fflush(f);
    frames_until([] { return live_status()[0] != 0; });
    fputs("6\n", f);
    fclose(f);
    ASSERT_TRUE(frames_until([] { return sync_get_value(show_tracks[TRACK_SCENE], 4.0) == 6.0f && !live_status()[0]; }));
    EXPECT_EQ(scene(), 5);
}

// A greeting more: the pictures tool letters the pages again, and the greetings picture gets a page
// taller in its row of the asset table.
TEST_F(LiveWatchTest, ASavedPageIsLetteredAgainIntoItsRow)
{
    if (access(KERV_DATA_ROOT "/tools/pictures/kerv16-pictures", X_OK) != 0)
        GTEST_SKIP() << "no pictures tool in " KERV_DATA_ROOT;
    Image saved_greets = overlay_images[5];
    overlay_images[5] = Image{};
    std::ifstream in(dir + "/greetings.txt");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int pages = 0;  // one a line, but for comments, blank lines and the directives
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        pages += !line.empty() && line[0] != '#' && line.rfind("header ", 0) != 0 && line.rfind("middle ", 0) != 0;
    write(dir + "/greetings.txt", text + "Live Coders\n");
    EXPECT_TRUE(frames_until([] { return overlay_images[5].pixels != nullptr; }));
    EXPECT_EQ(overlay_images[5].height, 150 * (pages + 1));
    image_free(&overlay_images[5]);
    overlay_images[5] = saved_greets;
}

}  // namespace
