// emitters_test.cpp -- particle pool: taking emitters, emission counts, the update step, drawing skips
#include <gtest/gtest.h>

#include "scenes/scenes.h"

namespace {

const fixed ORIGIN[3] = {0, 0, 0};

struct EmitterTest : ::testing::Test {
    void SetUp() override
    {
        emitters_init();
        emitter_set_gravity(0.5f);
    }
    void TearDown() override
    {
        emitters_free();
        emitter_set_gravity(0.5f);
    }
    static int alive(int index)
    {
        int n = 0;
        for (const Particle& p : emitters[index].particles)
            n += p.life != 0;
        return n;
    }
};

TEST_F(EmitterTest, CreateTakesTheLowestFreeEmitterAndRefusesWhenNoneIsLeft)
{
    for (int i = 0; i < EMITTERS; i++) {
        EXPECT_EQ(emitter_create(DISC_ADD, 0x112233), i);
        EXPECT_EQ(emitters[i].allocated, -1);
        EXPECT_EQ(emitters[i].colour, 0x112233u);
    }
    EXPECT_EQ(emitter_create(DISC_ADD, 0), -1);

    // Shut-down frees them all again.
    emitters_free();
    emitters_init();
    EXPECT_EQ(emitter_create(DISC_AVERAGE, 0), 0);
    EXPECT_EQ(emitters[0].mode, 2);
}

TEST_F(EmitterTest, EmitPlacesCountPlusOneParticlesAtTheLowestDeadSlots)
{
    int e = emitter_create(DISC_ADD, 0x3F3F3F);
    const fixed pos[3] = {4096, -8192, 12};
    const fixed vel[3] = {1, 2, 3};

    emitter_emit(e, 500, -1, pos, vel);
    EXPECT_EQ(alive(e), 0);
    EXPECT_EQ(emitters[e].last_life, 500);  // set even when nothing was placed

    emitter_emit(e, 1000, 0, pos, vel);
    EXPECT_EQ(alive(e), 1);
    emitter_emit(e, 2000, 1, pos, vel);
    EXPECT_EQ(alive(e), 3);
    EXPECT_EQ(emitters[e].particles[1].life, 2000);
    EXPECT_EQ(emitters[e].particles[2].life, 2000);
    const MeshVertex& v = emitters[e].body.vertices[2];
    EXPECT_EQ(v.x, 4096);
    EXPECT_EQ(v.y, -8192);
    EXPECT_EQ(v.z, 12);
    EXPECT_EQ(v.u, 12);
    EXPECT_EQ((uint32_t)v.v, 0x3F3F3Fu);
    EXPECT_EQ(emitters[e].particles[2].vz, 3);

    // A dead slot in the middle is reused first.
    emitters[e].particles[1].life = 0;
    emitter_emit(e, 3000, 0, pos, vel);
    EXPECT_EQ(emitters[e].particles[1].life, 3000);
    EXPECT_EQ(emitters[e].particles[3].life, 0);
}

TEST_F(EmitterTest, FullEmitterPlacesNothingButStillSetsLastLife)
{
    int e = emitter_create(DISC_ADD, 0);
    emitter_emit(e, 100, EMITTER_PARTICLES - 1, ORIGIN, ORIGIN);
    EXPECT_EQ(alive(e), EMITTER_PARTICLES);
    emitters[e].body.vertices[5].x = 77;
    emitter_emit(e, 9999, 5, ORIGIN, ORIGIN);
    EXPECT_EQ(emitters[e].particles[5].life, 100);
    EXPECT_EQ(emitters[e].body.vertices[5].x, 77);
    EXPECT_EQ(emitters[e].last_life, 9999);
}

TEST_F(EmitterTest, UpdateMovesDampsAndGrowsAndKeepsGravityOffTheDamping)
{
    emitter_set_gravity(-0.03125f);
    int e = emitter_create(DISC_ADD, 0);
    const fixed vel[3] = {4096, 4096, -4096};
    emitter_emit(e, 4000, 0, ORIGIN, vel);
    emitter_update(e, 16);

    const Particle& p = emitters[e].particles[0];
    const MeshVertex& v = emitters[e].body.vertices[0];
    EXPECT_EQ(p.life, 3984);
    EXPECT_EQ(v.u, 9);                 // 16 - trunc(3984 * 12 / 6000)
    EXPECT_EQ(v.x, 655);               // 0.16 as 20.12, times a velocity of 1.0
    EXPECT_EQ(v.y, 655);               // moved with the velocity before the gravity step
    EXPECT_EQ(v.z, -655);
    EXPECT_EQ(p.vx, 4063);             // 0.9995^16 as 20.12
    EXPECT_EQ(p.vz, -4063);
    EXPECT_EQ(p.vy, 4096 + 20);        // -(16 * -0.03125 * 0.01) * 4096 truncated, not damped
}

TEST_F(EmitterTest, ZeroDtChangesOnlyTheSizes)
{
    int e = emitter_create(DISC_ADD, 0);
    const fixed pos[3] = {100, 200, 300};
    const fixed vel[3] = {-5000, 7000, 123};
    emitter_emit(e, 3000, 0, pos, vel);
    emitter_update(e, 0);
    const Particle& p = emitters[e].particles[0];
    const MeshVertex& v = emitters[e].body.vertices[0];
    EXPECT_EQ(p.life, 3000);
    EXPECT_EQ(p.vx, -5000);
    EXPECT_EQ(p.vy, 7000);
    EXPECT_EQ(p.vz, 123);
    EXPECT_EQ(v.x, 100);
    EXPECT_EQ(v.y, 200);
    EXPECT_EQ(v.z, 300);
    EXPECT_EQ(v.u, 10);  // 16 - 6
}

TEST_F(EmitterTest, ParticleReachingZeroIsMovedOnceMoreThenTheEmitterGoesIdle)
{
    int e = emitter_create(DISC_ADD, 0);
    const fixed vel[3] = {4096, 0, 0};
    emitter_emit(e, 100, 0, ORIGIN, vel);

    emitter_update(e, 100);
    EXPECT_EQ(emitters[e].particles[0].life, 0);
    EXPECT_EQ(emitters[e].body.vertices[0].x, 4096);  // moved by 1.0 in 100 ms
    EXPECT_EQ(emitters[e].body.vertices[0].u, 16);
    EXPECT_EQ(emitters[e].last_life, 100);            // it got past the life test

    emitter_update(e, 100);
    EXPECT_EQ(emitters[e].body.vertices[0].x, 4096);  // dead: untouched
    EXPECT_EQ(emitters[e].last_life, 0);
    EXPECT_EQ(emitters[e].allocated, -1);             // idle, still taken

    // A particle overshooting zero dies without moving.
    emitter_emit(e, 50, 0, ORIGIN, vel);
    emitter_update(e, 60);
    EXPECT_EQ(emitters[e].particles[0].life, 0);
    EXPECT_EQ(emitters[e].body.vertices[0].x, 0);
    EXPECT_EQ(emitters[e].last_life, 0);
}

TEST_F(EmitterTest, UpdateDrawSkipsIdleEmittersUntilTheNextEmission)
{
    int e = emitter_create(DISC_ADD, 0);
    emitter_emit(e, 1000, 0, ORIGIN, ORIGIN);
    emitters[e].last_life = 0;  // as if every particle had died
    emitters_update_draw(100);
    EXPECT_EQ(emitters[e].particles[0].life, 1000);
    EXPECT_EQ(emitter_create(DISC_ADD, 0), 1);  // the idle one is still taken

    emitter_emit(e, 1000, -1, ORIGIN, ORIGIN);  // places nothing but wakes the emitter
    emitters_update_draw(100);
    EXPECT_EQ(emitters[e].particles[0].life, 900);
}

TEST_F(EmitterTest, BadIndicesAndAFreedPoolAreIgnored)
{
    emitter_emit(-1, 100, 0, ORIGIN, ORIGIN);
    emitter_emit(EMITTERS, 100, 0, ORIGIN, ORIGIN);
    emitter_update(-1, 16);
    emitter_update(EMITTERS, 16);
    int e = emitter_create(DISC_ADD, 0);
    emitters_free();
    EXPECT_EQ(emitters[e].body.vertices, nullptr);
    emitter_emit(e, 100, 0, ORIGIN, ORIGIN);
    emitter_update(e, 16);
    emitters_update_draw(16);
    EXPECT_EQ(emitters[e].particles[0].life, 0);
}

}  // namespace
