// underwater_test.cpp -- underwater scene: letters by part, the fall, the spawning account, odd inputs
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "assets/assets.h"
#include "assets/random.h"
#include "scenes/scenes.h"

namespace {

// Each letter is three loose vertices in memory, without a texture, so nothing is drawn.
MeshVertex letter_vertices[EVENT_LETTERS][3];

struct UnderwaterTest : ::testing::Test {
    Mesh saved[EVENT_LETTERS]{}, saved_env[EVENT_LETTERS]{};

    void SetUp() override
    {
        if (!screen)
            screen_create();
        for (int i = 0; i < EVENT_LETTERS; i++) {
            saved[i] = event_letters[i];
            saved_env[i] = event_letters_env[i];
            for (int k = 0; k < 3; k++) {
                letter_vertices[i][k] = MeshVertex{};
                letter_vertices[i][k].x = (k + 1) * 100;
                letter_vertices[i][k].y = (k + 1) * 1000;
                letter_vertices[i][k].z = -(k + 1);
            }
            event_letters[i] = Mesh{};
            event_letters[i].vertex_count = 3;
            event_letters[i].frame_count = 1;
            event_letters[i].vertices = letter_vertices[i];
            event_letters[i].texture = -1;
            event_letters[i].pos_x = 999.0f;
            event_letters_env[i] = Mesh{};
            event_letters_env[i].texture = -1;
        }
        emitters_init();
        scene_underwater_reset();
        demo_srand(1);
    }
    void TearDown() override
    {
        for (int i = 0; i < EVENT_LETTERS; i++) {
            event_letters[i] = saved[i];
            event_letters_env[i] = saved_env[i];
        }
        emitters_free();
        scene_underwater_reset();
        emitter_set_gravity(0.5f);
    }
    // Draws of the shared generator between two of its states.
    static int draws_between(uint32_t from, uint32_t to)
    {
        for (int n = 0; n < 100000; n++) {
            if (from == to)
                return n;
            from = from * 214013u + 2531011u;
        }
        return -1;
    }
    static int alive()
    {
        int n = 0;
        for (const Particle& p : emitters[0].particles)
            n += p.life != 0;
        return n;
    }
};

TEST_F(UnderwaterTest, PartShowsTheLettersUpToItAndTheyFallThenBob)
{
    scene_underwater(1000, 3.0f, 2, 0.0f);
    for (int i = 0; i < EVENT_LETTERS; i++)
        EXPECT_EQ(event_letters[i].pos_x != 999.0f, i <= 2) << i;
    EXPECT_EQ(event_letters[0].pos_x, -15.0f);
    EXPECT_EQ(event_letters[2].pos_x, -2.0f);
    EXPECT_EQ(event_letters_env[2].pos_x, -2.0f);

    // Letter r's part began at t = 3: it starts 15 units up and has landed one unit of t later.
    EXPECT_EQ(event_letters[2].pos_y, (float)(15.0f + sin(1000 * 0.001)));
    scene_underwater(2000, 4.0f, 2, 0.0f);
    EXPECT_EQ(event_letters[2].pos_y, (float)(0.0f + sin(1.0 + 2000 * 0.001)));
    EXPECT_EQ(event_letters[2].roll, (float)(cos(2000 * 0.0015 + 1.0) * 0.07));
    EXPECT_EQ(event_letters_env[2].pos_y, event_letters[2].pos_y);
}

TEST_F(UnderwaterTest, EndPartResetsAppearTimesSoSkippedLettersShowAtOnce)
{
    scene_underwater(0, 0.0f, -1, 0.0f);
    for (int i = 0; i < EVENT_LETTERS; i++) {
        EXPECT_EQ(underwater.letter_appear[i], -1.0f);
        EXPECT_EQ(event_letters[i].pos_x, 999.0f);  // no letter drawn
    }
    scene_underwater(16, 5.0f, 3, 0.0f);
    EXPECT_EQ(underwater.letter_appear[3], 5.0f);
    EXPECT_EQ(event_letters[0].pos_y, (float)sin(6.0 + 16 * 0.001));  // a = 6: no fall
}

TEST_F(UnderwaterTest, CameraWalksAlongVarAndIsHeldAtTheEnds)
{
    scene_underwater(0, 0.0f, 0, 5.0f);
    EXPECT_EQ(camera.pos_y, -38.0f);
    scene_underwater(0, 0.0f, 0, 2.0f);
    EXPECT_EQ(camera.pos_x, -16.0f);
    scene_underwater(0, 0.0f, 0, 2.5f);
    EXPECT_FLOAT_EQ(camera.pos_x, -1.5f);
    for (float v : {9.0f, 1e9f, INFINITY}) {
        scene_underwater(0, 0.0f, 0, v);
        EXPECT_EQ(camera.pos_y, -38.0f) << v;
    }
    for (float v : {-3.0f, -0.5f, NAN, -INFINITY}) {
        scene_underwater(0, 0.0f, 0, v);
        EXPECT_EQ(camera.pos_x, -15.0f) << v;
        EXPECT_EQ(camera.pitch, 30.0f * 3.1416f * 2.0f / 360.0f) << v;
    }
    scene_underwater(0, 1.0f, -1, 3.0f);  // the end part ignores var
    EXPECT_EQ(camera.pitch, -60.0f * 3.1416f * 2.0f / 360.0f);
}

TEST_F(UnderwaterTest, FramesSixteenMsApartReleaseNothing)
{
    scene_underwater(0, 0.0f, 0, 0.0f);
    uint32_t state = rand_state;
    for (int now = 16; now <= 1600; now += 16)
        scene_underwater(now, 0.0f, 0, 0.0f);
    EXPECT_EQ(rand_state, state);
    EXPECT_EQ(alive(), 0);
}

TEST_F(UnderwaterTest, FramesThirtyThreeMsApartMakeTwoOrFourAttempts)
{
    scene_underwater(0, 0.0f, 0, 0.0f);  // dt 0: the account drops to -16
    int total = 0;
    for (int frame = 1; frame <= 17; frame++) {
        uint32_t before = rand_state;
        scene_underwater(33 * frame, 0.0f, 0, 0.0f);
        // the letter is still falling, so every attempt qualifies: three draws and two particles each
        int draws = draws_between(before, rand_state);
        ASSERT_EQ(draws % 3, 0);
        int attempts = draws / 3;
        EXPECT_EQ(attempts, frame < 17 ? 2 : 4) << frame;
        total += attempts;
        ASSERT_EQ(alive(), 2 * total);
    }

    // Every particle started at the letter's place plus one of its vertices, and has not moved in x.
    const fixed base = (fixed)(-15.0f * 4096.0f);
    for (int k = 0; k < 2 * total; k++) {
        fixed x = emitters[0].body.vertices[k].x;
        EXPECT_TRUE(x == base + 100 || x == base + 200 || x == base + 300) << k;
        EXPECT_EQ((uint32_t)emitters[0].body.vertices[k].v, 0x3F3F3Fu);
        EXPECT_GE(emitters[0].particles[k].life, 4000 - 33 * 17);
    }
    EXPECT_EQ(emitter_gravity, -0.03125f);
}

TEST_F(UnderwaterTest, LandedLettersBelowTheThresholdDrawOnlyTwiceAnAttempt)
{
    // Landed (a = 1), and sin(1 + now / 1000) is negative around now = 4.7 s: the letter sits low.
    scene_underwater(4600, 1000.0f, 0, 0.0f);
    scene_underwater(4680, 1001.0f, 0, 0.0f);
    uint32_t before = rand_state;
    scene_underwater(4812, 1001.0f, 0, 0.0f);
    ASSERT_LT(event_letters[0].pos_y, 0.99f);
    int draws = draws_between(before, rand_state);
    EXPECT_GT(draws, 0);
    EXPECT_EQ(draws % 2, 0);
    EXPECT_EQ(alive(), 0);
}

TEST_F(UnderwaterTest, ASeekGivesZeroDt)
{
    scene_underwater(0, 0.0f, 0, 0.0f);
    scene_underwater(100, 0.0f, 0, 0.0f);
    ASSERT_GT(alive(), 0);
    std::vector<Particle> before(emitters[0].particles, emitters[0].particles + EMITTER_PARTICLES);
    uint32_t state = rand_state;
    scene_underwater(100 + 2001, 0.0f, 0, 0.0f);
    EXPECT_EQ(rand_state, state);  // nothing released
    for (int k = 0; k < EMITTER_PARTICLES; k++)
        ASSERT_EQ(emitters[0].particles[k].life, before[k].life) << k;

    scene_underwater(50, 0.0f, 0, 0.0f);  // backwards
    for (int k = 0; k < EMITTER_PARTICLES; k++)
        ASSERT_EQ(emitters[0].particles[k].life, before[k].life) << k;
}

TEST_F(UnderwaterTest, StateRecordFollowsTheFramesAndResetsToTheStart)
{
    scene_underwater(1000, 3.0f, 2, 1.0f);  // dt 1000: budget 984, 62 attempts' worth spent, -8 left
    scene_underwater(1033, 3.5f, 2, 1.0f);  // dt 33: -8 + 17 = 9, one more step of 16 spent
    EXPECT_EQ(underwater.last_part, 2);
    EXPECT_EQ(underwater.last_now, 1033);
    EXPECT_EQ(underwater.spawn_budget, -7);
    EXPECT_EQ(underwater.emitter, 0);  // the first free emitter
    EXPECT_EQ(underwater.letter_appear[2], 3.0f);

    scene_underwater_reset();
    for (int i = 0; i < UNDERWATER_LETTERS; i++)
        EXPECT_EQ(underwater.letter_appear[i], 0.0f) << i;
    EXPECT_EQ(underwater.last_part, -2);
    EXPECT_EQ(underwater.last_now, 0);
    EXPECT_EQ(underwater.spawn_budget, 0);
    EXPECT_EQ(underwater.emitter, -1);
}

TEST_F(UnderwaterTest, PartsOutsideTheLettersAreSafe)
{
    for (int part : {6, 7, 100, INT_MAX, -2, -5, INT_MIN}) {
        scene_underwater(0, 2.0f, part, 1.0f);
        scene_underwater(500, 2.5f, part, 1.0f);
    }
    for (int i = 0; i < EVENT_LETTERS; i++)
        EXPECT_EQ(underwater.letter_appear[i], 0.0f);
    EXPECT_EQ(event_letters[5].pos_x, 15.0f);  // parts above 5 show all six letters

    // Letters whose meshes did not load shed nothing.
    for (int i = 0; i < EVENT_LETTERS; i++)
        event_letters[i].vertex_count = 0;
    scene_underwater(1000, 2.5f, 3, 1.0f);
    scene_underwater(1500, 2.5f, 3, 1.0f);
}

TEST_F(UnderwaterTest, WithoutAFreeEmitterOtherEmittersStillMoveAndDraw)
{
    for (int i = 0; i < EMITTERS; i++)
        ASSERT_EQ(emitter_create(DISC_ADD, 0), i);
    const fixed zero[3] = {0, 0, 0};
    emitter_emit(3, 1000, 0, zero, zero);

    scene_underwater(0, 0.0f, 0, 0.0f);
    uint32_t before = rand_state;
    scene_underwater(500, 0.0f, 0, 0.0f);
    EXPECT_GT(draws_between(before, rand_state), 0);  // the attempts still draw
    EXPECT_EQ(emitters[3].particles[0].life, 500);    // emitter 3 moved on by the frame's 500 ms
    EXPECT_EQ(emitters[3].particles[1].life, 0);      // count 0 placed one particle
    for (int i = 0; i < EMITTERS; i++)
        EXPECT_EQ(emitters[i].last_life, i == 3 ? 1000 : 0) << i;
    scene_underwater(1600, 0.0f, 0, 0.0f);  // its last particle dies: the emitter goes idle
    EXPECT_EQ(emitters[3].particles[0].life, 0);
    EXPECT_EQ(emitters[3].last_life, 0);
}

TEST_F(UnderwaterTest, ALetterAtExactlyPoint99FloatIsAbove99AndSheds)
{
    // Landed (a >= 1) at now = 0, so y = sin(a). These two a were found apart from the scene: the first
    // gives y = 0.99f (0.99000001, above 0.99), the second the float just below it (0.98999995).
    const float at_099f = 0x1.6de3c6p+0f, below = 0x1.6de3c0p+0f;
    for (float a : {at_099f, below}) {
        scene_underwater_reset();
        emitters_init();
        scene_underwater(-1000, 0.0f, 0, 0.0f);  // part 0 begins at t = 0; dt 0
        uint32_t state = rand_state;
        scene_underwater(0, a, 0, 0.0f);         // dt 1000: the account (-16 + 984) gives 61 rounds, 122 attempts
        bool qualifies = a == at_099f;
        EXPECT_EQ(event_letters[0].pos_y, qualifies ? 0.99f : nextafterf(0.99f, 0.0f));
        EXPECT_EQ(draws_between(state, rand_state), qualifies ? 3 * 122 : 2 * 122) << a;
        EXPECT_EQ(alive(), qualifies ? 2 * 122 : 0) << a;
    }
}

}  // namespace
