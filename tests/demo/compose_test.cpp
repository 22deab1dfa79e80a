// compose_test.cpp -- frame composition: rows, truncation, the end flag, overlay and greetings flicker
#include <gtest/gtest.h>

#include <vector>

#include "assets/assets.h"
#include "assets/random.h"
#include "demo/demo.h"
#include "scenes/scenes.h"
#include "../scenes/rand_helpers.h"
#include "gfx2d/gfx2d.h"
#include "timeline/timeline.h"

namespace {

// One constant-valued track per show track, so each test sets the values it needs.
struct ComposeTest : ::testing::Test {
    SyncKey keys[SHOW_TRACKS][1] = {};
    SyncTrack tracks[SHOW_TRACKS] = {};
    SyncTrack* saved[SHOW_TRACKS];
    Image saved_images[OVERLAY_IMAGES];
    std::vector<uint32_t> pixels[OVERLAY_IMAGES];

    void SetUp() override
    {
        if (!screen)
            screen_create();
        screen_fill(0);
        for (int i = 0; i < SHOW_TRACKS; i++) {
            saved[i] = show_tracks[i];
            tracks[i].keys = keys[i];
            tracks[i].key_count = 1;
            show_tracks[i] = &tracks[i];
        }
        set(TRACK_OVERLAY, -1);
        set(TRACK_GREET, -1);
        // Picture i is one pixel of red i + 1, half transparent (the additive ones at alpha 1, which
        // adds the source unscaled); the greetings picture has three pages.
        for (int i = 0; i < OVERLAY_IMAGES; i++) {
            saved_images[i] = overlay_images[i];
            uint32_t alpha = i == 3 || i == 4 ? 0x01000000u : 0x80000000u;
            pixels[i].assign(i == 5 ? 450 : 1, alpha | (uint32_t)(i + 1));
            overlay_images[i] = {pixels[i].data(), (uint16_t)pixels[i].size(), 1, 0};
        }
        for (int page = 0; page < 3; page++)
            pixels[5][page * 150] = 0xFF000000u | (uint32_t)(page + 1) * 50 << 8;
        end_flag = 0;
    }
    void TearDown() override
    {
        for (int i = 0; i < SHOW_TRACKS; i++)
            show_tracks[i] = saved[i];
        for (int i = 0; i < OVERLAY_IMAGES; i++)
            overlay_images[i] = saved_images[i];
        end_flag = 0;
    }
    void set(int track, float value) { keys[track][0] = {0, value, 0}; }

    // Until pictures can be drawn there is nothing to look at on the Screen.
    static bool blits_draw()
    {
        uint32_t opaque = 0xFFFFFFFFu;
        Image one = {&opaque, 1, 1, 0};
        image_blit_alpha(&one, 0, 0);
        bool drawn = screen[0] != 0;
        screen_fill(0);
        return drawn;
    }

    // How many of n frames draw the overlay.
    int overlay_frames(float value, int n)
    {
        set(TRACK_OVERLAY, value);
        demo_srand(12345);
        int drawn = 0;
        for (int i = 0; i < n; i++) {
            compose_frame(i * 20);
            drawn += compose_info.overlay >= 0;
        }
        return drawn;
    }
};

// The generator state whose next draw leaves `state` behind, and the seed whose next draw is r.
uint32_t state_before(uint32_t state)
{
    uint32_t inv = 214013u;  // inverse of the multiplier modulo 2^32 by Newton steps
    for (int i = 0; i < 5; i++)
        inv *= 2u - 214013u * inv;
    return (state - 2531011u) * inv;
}
uint32_t seed_for(int r) { return state_before((uint32_t)r << 16); }

TEST_F(ComposeTest, RowsTruncationAndInfo)
{
    set(TRACK_SCENE, 2.9f);
    set(TRACK_PART, -1.7f);
    set(TRACK_TIME, 0.25f);
    set(TRACK_VAR, 3.5f);
    compose_frame(0);
    EXPECT_EQ(compose_info.row, 0.0f);
    compose_frame(1000);
    EXPECT_EQ(compose_info.row, 4.0f);
    EXPECT_EQ(compose_info.t, 1000);
    EXPECT_EQ(compose_info.scene, 2);
    EXPECT_EQ(compose_info.part, -1);
    EXPECT_EQ(compose_info.time, 0.25f);
    EXPECT_EQ(compose_info.var, 3.5f);
    EXPECT_EQ(end_flag, 0);
}

TEST_F(ComposeTest, EndFlagOnlyForClosingSceneWithPartMinusOne)
{
    set(TRACK_SCENE, -1);
    set(TRACK_PART, 3);
    compose_frame(100);
    EXPECT_EQ(end_flag, 0);
    set(TRACK_PART, -1);
    compose_frame(100);
    EXPECT_EQ(end_flag, 1);
    end_flag = 0;
    set(TRACK_SCENE, 1);
    compose_frame(100);
    EXPECT_EQ(end_flag, 0);
}

TEST_F(ComposeTest, FlickerRates)
{
    const int n = 2000;
    EXPECT_EQ(overlay_frames(3.0f, n), n);
    EXPECT_EQ(overlay_frames(-1.0f, n), 0);
    EXPECT_EQ(overlay_frames(-0.5f, n), n);  // truncates to picture 0, always drawn
    int half = overlay_frames(2.5f, n);      // drawn when r <= 18021: 55.0 %
    EXPECT_GT(half, n * 52 / 100);
    EXPECT_LT(half, n * 58 / 100);
    EXPECT_EQ(overlay_frames(2.05f, n), n);  // fractions below 1 - 32767 / 36043.7 always show
    int rare = overlay_frames(2.95f, n);     // drawn when r <= 1802: 5.5 %
    EXPECT_GT(rare, n * 3 / 100);
    EXPECT_LT(rare, n * 8 / 100);
}

TEST_F(ComposeTest, FlickerBoundaryAndDrawOrder)
{
    set(TRACK_OVERLAY, 2.5f);
    set(TRACK_GREET, 1.5f);
    demo_srand(seed_for(18021));  // 18021 / 36043.7 + 2.5 stays below 3
    compose_frame(0);
    EXPECT_EQ(compose_info.overlay, 2);
    demo_srand(seed_for(18022));
    compose_frame(0);
    EXPECT_EQ(compose_info.overlay, -1);
    // The greetings draw is the second of the frame.
    set(TRACK_OVERLAY, 3.0f);
    demo_srand(state_before(seed_for(18021)));
    compose_frame(0);
    EXPECT_EQ(compose_info.overlay, 3);
    EXPECT_EQ(compose_info.greet, 1);
    demo_srand(state_before(seed_for(18022)));
    compose_frame(0);
    EXPECT_EQ(compose_info.greet, -1);
}

TEST_F(ComposeTest, OverlayBlitRules)
{
    if (!blits_draw())
        GTEST_SKIP() << "picture blits not built yet";
    set(TRACK_OVERLAY, 2);  // alpha: (s*a + d*(255-a)) >> 8 onto black
    compose_frame(0);
    EXPECT_EQ(screen[0] & 0xFF, (3u * 128) >> 8);
    screen_fill(0);
    set(TRACK_OVERLAY, 3);  // additive, and scene 0 keeps the Screen so it adds up frame by frame
    compose_frame(0);
    uint32_t once = screen[0] & 0xFF;
    compose_frame(20);
    EXPECT_EQ(once, 4u);
    EXPECT_EQ(screen[0] & 0xFF, 8u);
    screen_fill(0);
    set(TRACK_OVERLAY, 12);  // no picture above 9: nothing drawn
    compose_frame(0);
    EXPECT_EQ(compose_info.overlay, 12);
    EXPECT_EQ(screen[0], 0u);
}

TEST_F(ComposeTest, GreetingsPageIsShiftedUp)
{
    if (!blits_draw())
        GTEST_SKIP() << "picture blits not built yet";
    for (int page = 0; page < 3; page++) {
        set(TRACK_GREET, (float)page);
        compose_frame(0);
        EXPECT_EQ((screen[0] >> 8) & 0xFF, (uint32_t)(page + 1) * 50 * 255 >> 8) << page;
    }
    screen_fill(0);
    set(TRACK_GREET, 3);  // past the picture: nothing
    compose_frame(0);
    EXPECT_EQ(screen[0], 0u);
    set(TRACK_GREET, 3e9f);  // far past: clamped, no overflow
    compose_frame(0);
    EXPECT_EQ(screen[0], 0u);
}

TEST_F(ComposeTest, EachSceneGetsItsArguments)
{
    const int t = 5000;
    // Scene 1: part 0 glides the camera by "time" (0.75 x 65 + 0.25 x 39 = 58.5); the seed is
    // trunc("var") = 7, and the two steps due reseed with it before their two draws.
    set(TRACK_SCENE, 1), set(TRACK_PART, 0), set(TRACK_TIME, 0.25f), set(TRACK_VAR, 7.9f);
    pool_initialised = 0;
    pool_field.last_step = t - 100;
    compose_frame(t);
    EXPECT_EQ(camera.pos_x, 58.5f);
    EXPECT_EQ(rand_state, state_after(7, 2));

    // Scene 5: the letter of part 2 appears at "time"; "var" 2.5 walks the camera halfway from row 2
    // to row 3: x (-16 + 13) / 2, y (-5 - 1) / 2.
    emitters_init();
    scene_underwater_reset();
    set(TRACK_SCENE, 5), set(TRACK_PART, 2), set(TRACK_TIME, 3.5f), set(TRACK_VAR, 2.5f);
    compose_frame(t);
    EXPECT_EQ(underwater.letter_appear[2], 3.5f);
    EXPECT_EQ(camera.pos_x, -1.5f);
    EXPECT_EQ(camera.pos_y, -3.0f);
    scene_underwater_reset();
    emitters_free();

    // Scene 3 takes the demo time: one 33 ms step from 50 ms back.
    set(TRACK_SCENE, 3);
    rain_field.last_step = t - 50;
    compose_frame(t);
    EXPECT_EQ(rain_field.last_step, t - 17);

    // Scene 2 fills the Screen with the third draw of the frame, after the two flicker draws.
    set(TRACK_SCENE, 2);
    demo_srand(4321);
    uint32_t st = 4321, r = 0;
    for (int k = 0; k < 3; k++) st = st * 214013u + 2531011u, r = (st >> 16) & 0x7FFF;
    compose_frame(t);
    for (int i = 0; i < SCREEN_PIXELS; i += 997) ASSERT_EQ(screen[i], r) << i;

    // Scene 4 takes the demo time and the part.
    set(TRACK_SCENE, 4), set(TRACK_PART, 3), set(TRACK_TIME, 9.0f), set(TRACK_VAR, 1.0f);
    screen_fill(0);
    compose_frame(1234);
    std::vector<uint32_t> composed(screen, screen + SCREEN_PIXELS);
    screen_fill(0);
    scene_blobs(1234, 3);
    EXPECT_TRUE(composed == std::vector<uint32_t>(screen, screen + SCREEN_PIXELS));

    // Scene -1: the water as for scene 1, then the end chain with "var" itself (0.3, not its truncation).
    set(TRACK_SCENE, -1), set(TRACK_PART, 2), set(TRACK_TIME, 0.0f), set(TRACK_VAR, 0.3f);
    pool_initialised = 0, pool_field.last_step = t;
    screen_fill(0);
    demo_srand(77);
    compose_frame(t);
    std::vector<uint32_t> closing(screen, screen + SCREEN_PIXELS);
    uint32_t closing_state = rand_state;
    EXPECT_EQ(camera.pos_x, -15.0f);  // part 2: camera row 4
    set(TRACK_SCENE, 1);
    pool_initialised = 0, pool_field.last_step = t;
    screen_fill(0);
    demo_srand(77);
    compose_frame(t);
    end_sequence(0.3f);
    EXPECT_EQ(rand_state, closing_state);
    EXPECT_TRUE(closing == std::vector<uint32_t>(screen, screen + SCREEN_PIXELS));
}

TEST_F(ComposeTest, OnlyOverlaysThreeAndFourAreAdded)
{
    // Red 200 at alpha 128 over red 100: the alpha rule gives (200 x 128 + 100 x 127) >> 8 = 149,
    // the additive one min(255, 100 + 200 x 128) = 255.
    uint32_t px[OVERLAY_IMAGES];
    for (int i = 0; i < OVERLAY_IMAGES; i++) {
        px[i] = 0x80000000u | 200;
        overlay_images[i] = {&px[i], 1, 1, 0};
    }
    for (int i = 0; i < OVERLAY_IMAGES; i++) {
        screen_fill(100);
        set(TRACK_OVERLAY, (float)i);
        compose_frame(0);
        EXPECT_EQ(screen[0] & 0xFF, i == 3 || i == 4 ? 255u : 149u) << "overlay " << i;
        EXPECT_EQ(screen[1], 100u);
    }
}

}  // namespace
