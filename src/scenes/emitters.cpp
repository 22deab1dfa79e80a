// emitters.cpp -- the particle pool: eight emitters of 1024 particles, moved and drawn as discs
#include <cmath>

#include "scenes/scenes.h"

// ---- state ----

Emitter emitters[EMITTERS];
float emitter_gravity = 0.5f;  // shared by every emitter; added to vy per ms, scaled by 0.01

// The bodies' vertex arrays: fixed storage handed out by emitters_init, so nothing allocates.
static MeshVertex emitter_vertices[EMITTERS][EMITTER_PARTICLES];

// ---- internal functions ----

static Emitter* emitter_at(int index)
{
    if (index < 0 || index >= EMITTERS)
        return nullptr;
    return &emitters[index];
}

// ---- public functions ----

void emitters_init(void)
{
    for (int i = 0; i < EMITTERS; i++) {
        Emitter* e = &emitters[i];
        Mesh* body = &e->body;
        *body = Mesh{};
        body->vertex_count = EMITTER_PARTICLES;
        body->frame_count = 1;
        body->texture = -1;  // discs ignore it
        body->vertices = emitter_vertices[i];
        for (int k = 0; k < EMITTER_PARTICLES; k++)
            body->vertices[k] = MeshVertex{};
        e->last_life = 0;
        e->allocated = 0;
    }
}

void emitters_free(void)
{
    for (int i = 0; i < EMITTERS; i++) {
        emitters[i].body.vertices = nullptr;
        emitters[i].last_life = 0;
        emitters[i].allocated = 0;
    }
}

int emitter_create(int mode, uint32_t colour)
{
    for (int i = 0; i < EMITTERS; i++) {
        Emitter* e = &emitters[i];
        if (e->allocated != 0 || e->last_life != 0)
            continue;
        for (int k = 0; k < EMITTER_PARTICLES; k++)
            e->particles[k].life = 0;
        e->colour = colour;
        e->last_life = 0;
        e->allocated = -1;
        e->mode = mode;
        return i;
    }
    return -1;
}

// Dead slots are filled from slot 0 up; the count test comes before each placement, so count + 1
// particles are placed (the duplicates overlap exactly).
void emitter_emit(int index, int life, int count, const fixed position[3], const fixed velocity[3])
{
    Emitter* e = emitter_at(index);
    if (!e || !e->body.vertices)
        return;
    for (int i = 0; i < EMITTER_PARTICLES; i++) {
        Particle* p = &e->particles[i];
        if (p->life > 0)
            continue;
        if (count < 0)
            break;
        p->life = life;
        p->vx = velocity[0];
        p->vy = velocity[1];
        p->vz = velocity[2];
        MeshVertex* v = &e->body.vertices[i];
        v->x = position[0];
        v->y = position[1];
        v->z = position[2];
        v->u = 12;
        v->v = (int32_t)e->colour;
        count--;
    }
    e->last_life = life;
}

void emitter_update(int index, int dt)
{
    Emitter* e = emitter_at(index);
    if (!e || !e->body.vertices)
        return;
    float gf = (float)((double)dt * (double)emitter_gravity * 0.01);
    fixed g = fixed_from_float(gf);  // trunc(gf x 4096), total for any float
    fixed s = fixed_from_float((float)(dt * 0.01));
    fixed k = fixed_from_float((float)maths_pow_int(0.9995, dt));
    int alive = 0;
    for (int i = 0; i < EMITTER_PARTICLES; i++) {
        Particle* p = &e->particles[i];
        if (p->life == 0)
            continue;
        // the gravity step goes to vy after the damping, which it therefore skips
        fixed vy = fixed_sub(p->vy, g);
        int64_t life = (int64_t)p->life - dt;
        if (life < 0) {
            p->life = 0;  // dead from now on; a life of exactly 0 is still moved below
            continue;
        }
        p->life = life > INT32_MAX ? INT32_MAX : (int32_t)life;
        alive = 1;
        MeshVertex* v = &e->body.vertices[i];
        v->x = fixed_add(v->x, fixed_mul(p->vx, s));
        v->y = fixed_add(v->y, fixed_mul(p->vy, s));
        v->z = fixed_add(v->z, fixed_mul(p->vz, s));
        p->vx = fixed_mul(p->vx, k);
        p->vz = fixed_mul(p->vz, k);
        v->u = 16 - (int32_t)((int64_t)p->life * 12 / 6000);  // grows from 12 to 16 as life runs out
        p->vy = vy;
    }
    if (!alive)
        e->last_life = 0;
}

void emitters_update_draw(int dt)
{
    for (int i = 0; i < EMITTERS; i++) {
        Emitter* e = &emitters[i];
        if (e->last_life == 0 || !e->body.vertices)
            continue;
        emitter_update(i, dt);
        mesh_transform(&e->body);
        // the particles double as the enable list: word 3 of each record is its life
        mesh_draw_discs(&e->body, e->mode, &e->particles[0].vx);
    }
}

void emitter_set_gravity(float g) { emitter_gravity = g; }
