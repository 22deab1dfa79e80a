// raster.cpp -- depth buffer, textured triangle scan conversion with shared edges, span fillers, discs
#include "gfx3d/gfx3d_local.h"

// ---- state ----

int32_t zbuffer[SCREEN_PIXELS];       // row-major like the Screen; smaller is nearer
void (*span_fill)(Span* s);           // null until chosen; mesh_draw picks span_opaque then
int current_texture;                  // slot of the mesh being drawn
static const float additive_gain = 1.0f;  // span_additive scales each texel byte by this
static uint8_t gain_table[256];       // trunc(additive_gain x byte), clamped; built at the first draw
static int gain_table_ready;
static int gain_is_one;               // the table changes no byte: texels add as they are
static uint32_t* pixels;              // the Screen, fetched at each draw
// The edges set up in the current draw: they are unmarked when it ends, so that no draw has to visit
// every edge of a large mesh to clear its marks (outside mesh_draw no edge is marked).
static MeshEdge* marked[EDGE_SCRATCH];
static int marked_count;

// ---- internal functions ----

// The Screen's pixels, asked for at every draw (one call per mesh) so a Screen made again later, as the
// tests and tools do, is never missed; null before screen_create.
static void build_gain_table(void)
{
    for (int i = 0; i < 256; i++) {
        int g = (int)(additive_gain * (float)i);
        gain_table[i] = (uint8_t)(g < 0 ? 0 : g > 255 ? 255 : g);
    }
    gain_is_one = 1;
    for (int i = 0; i < 256; i++)
        gain_is_one &= gain_table[i] == i;
    gain_table_ready = 1;
}

// Bytes 0..2 of p and t added, each limited to 255; byte 3 of p kept. Red and blue add in one word,
// green in another, each sum with a bit to spare above it that says it overflowed.
static inline uint32_t add_bytes_saturate(uint32_t p, uint32_t t)
{
    uint32_t rb = (p & 0xFF00FFu) + (t & 0xFF00FFu);
    uint32_t g = (p & 0xFF00u) + (t & 0xFF00u);
    rb |= ((rb & 0x1000100u) >> 8) * 0xFFu;
    g |= ((g & 0x10000u) >> 8) * 0xFFu;
    return (p & 0xFF000000u) | (rb & 0xFF00FFu) | (g & 0xFF00u);
}

static uint32_t* target(void)
{
    pixels = screen_pixels();
    return pixels;
}

// The current frame's records, or null when the mesh has none to draw.
static MeshVertex* drawn_frame(Mesh* mesh)
{
    if (!mesh->vertices || mesh->vertex_count <= 0) return nullptr;
    if (mesh->frame != 0 && (mesh->frame < 0 || mesh->frame >= mesh->frame_count)) return nullptr;
    return mesh->vertices + mesh->frame * mesh->vertex_count;
}

// One side of the triangle while rows are walked.
struct Side {
    fixed x, u, v, depth;
};

static void side_load(Side* s, const MeshEdge* e) { s->x = e->x, s->u = e->u, s->v = e->v, s->depth = e->depth; }

static void side_step(Side* s, const MeshEdge* e)
{
    s->x = fixed_add(s->x, e->dx);
    s->u = fixed_add(s->u, e->du);
    s->v = fixed_add(s->v, e->dv);
    s->depth = fixed_add(s->depth, e->ddepth);
}

// Equal depth overwrites; depths at or below the camera's near value (points far too close) are refused.
static inline void fill_opaque(Span* s)
{
    fixed u = s->u, v = s->v, depth = s->depth, near = camera.near;
    uint32_t* dst = s->dst;
    int32_t* z = s->zdst;
    for (int i = 0; i < s->count; i++) {
        if (depth <= z[i] && depth > near) {
            uint32_t texel = s->texels[(((v >> 12) & s->v_mask) << s->width_shift) + ((u >> 12) & s->u_mask)];
            if (texel != TEXEL_TRANSPARENT) {
                dst[i] = texel;
                z[i] = depth;
            }
        }
        depth = fixed_add(depth, s->ddepth);
        u = fixed_add(u, s->du);
        v = fixed_add(v, s->dv);
    }
}

// Bytes 0..2 add with saturation; byte 3 of the Screen pixel is kept.
static inline void fill_additive(Span* s)
{
    // Built on first use, so the filler works on its own too (not only through mesh_draw).
    if (!gain_table_ready)
        build_gain_table();
    fixed u = s->u, v = s->v, depth = s->depth, near = camera.near;
    uint32_t* dst = s->dst;
    int32_t* z = s->zdst;
    for (int i = 0; i < s->count; i++) {
        if (depth <= z[i] && depth > near) {
            uint32_t texel = s->texels[(((v >> 12) & s->v_mask) << s->width_shift) + ((u >> 12) & s->u_mask)];
            if (texel != TEXEL_TRANSPARENT) {
                uint32_t p = dst[i];
                if (gain_is_one) {
                    dst[i] = add_bytes_saturate(p, texel);
                } else {
                    uint32_t out = p & 0xFF000000u;
                    for (int shift = 0; shift < 24; shift += 8) {
                        uint32_t c = gain_table[(texel >> shift) & 0xFF] + ((p >> shift) & 0xFF);
                        out |= (c > 255 ? 255 : c) << shift;
                    }
                    dst[i] = out;
                }
                z[i] = depth;
            }
        }
        depth = fixed_add(depth, s->ddepth);
        u = fixed_add(u, s->du);
        v = fixed_add(v, s->dv);
    }
}

// ---- public functions ----

void zbuffer_clear(void)
{
    for (int i = 0; i < SCREEN_PIXELS; i++) zbuffer[i] = 0x7FFFFFFF;
}

void raster_set_additive(int additive) { span_fill = additive ? span_additive : span_opaque; }

void span_opaque(Span* s) { fill_opaque(s); }

void span_additive(Span* s) { fill_additive(s); }

// Sets up an edge once per draw; the first face to reach a shared edge decides its top and bottom.
// Texel coordinates: a 1.15 texture word times the texel count has 15 fraction bits; >> 3 makes 20.12.
void edge_prepare(MeshVertex* a, MeshVertex* b, MeshEdge* e)
{
    if (e->prepared) return;
    const Image* tex = &texture_table.slots[current_texture];
    uint32_t w = tex->width, h = tex->height;
    e->prepared = 1;
    if (marked_count < EDGE_SCRATCH)
        marked[marked_count++] = e;
    e->top = a;
    e->bottom = b;
    fixed height = fixed_sub(b->ty, a->ty);
    e->is_short = height < 512;
    e->u = (fixed)((uint32_t)a->u * w) >> 3;
    e->v = (fixed)((uint32_t)a->v * h) >> 3;
    e->x = a->tx;
    e->depth = a->tz;
    e->y = a->ty;
    if (e->is_short) {  // less than 1/8 row tall: no slopes, nothing steps along it
        e->dx = e->du = e->dv = e->ddepth = 0;
        return;
    }
    fixed r = fixed_div(4096, height);
    e->du = fixed_mul(fixed_sub((fixed)((uint32_t)b->u * w) >> 3, e->u), r);
    e->dv = fixed_mul(fixed_sub((fixed)((uint32_t)b->v * h) >> 3, e->v), r);
    e->dx = fixed_mul(fixed_sub(b->tx, a->tx), r);
    e->ddepth = fixed_mul(fixed_sub(b->tz, a->tz), r);
    if (e->y < 0) {  // starts above the Screen: step the start values down to row 0
        fixed s = fixed_neg(e->y);
        e->y = 0;
        e->u = fixed_add(e->u, fixed_mul(e->du, s));
        e->v = fixed_add(e->v, fixed_mul(e->dv, s));
        e->x = fixed_add(e->x, fixed_mul(e->dx, s));
        e->depth = fixed_add(e->depth, fixed_mul(e->ddepth, s));
    }
}

// Scan-converts one face top to bottom. The sides advance after a row is drawn, but not after the
// first: rows y0 and y0 + 1 both use the edges' start values.
void triangle_draw(const MeshFace* face, Mesh* mesh)
{
    MeshVertex* frame = mesh->vertices + mesh->frame * mesh->vertex_count;
    MeshVertex *p0 = &frame[face->va], *p1 = &frame[face->vb], *p2 = &frame[face->vc], *pt;
    MeshEdge *e01 = &mesh->edges[face->eab], *e12 = &mesh->edges[face->ebc], *e20 = &mesh->edges[face->eca], *et;
    if (p2->ty <= p1->ty) pt = p1, p1 = p2, p2 = pt, et = e01, e01 = e20, e20 = et;
    if (p1->ty <= p0->ty) pt = p0, p0 = p1, p1 = pt, et = e12, e12 = e20, e20 = et;
    if (p2->ty <= p1->ty) pt = p1, p1 = p2, p2 = pt, et = e01, e01 = e20, e20 = et;
    MeshVertex *top = p0, *mid = p1, *bot = p2;
    MeshEdge *tm = e01, *mb = e12, *tb = e20;

    edge_prepare(top, mid, tm);
    edge_prepare(top, bot, tb);
    edge_prepare(mid, bot, mb);
    if (tb->is_short) return;

    int y0 = fixed_to_int(top->ty), y_end = fixed_to_int(bot->ty), y1 = fixed_to_int(mid->ty);
    if (y0 < 0) y0 = 0;
    if (y_end > SCREEN_H - 1) y_end = SCREEN_H - 1;
    if (y_end - y0 <= 0) return;  // top and bottom in the same pixel row
    if (y1 < 0) y1 = 0;

    Side lng, shrt;
    const MeshEdge* current;
    if (y0 < y1) current = tm;
    else current = mb;
    side_load(&shrt, current);
    side_load(&lng, tb);
    if (mb->is_short) mb->x = mid->tx;

    int k = y1 - y0;
    fixed w = fixed_sub(mb->x, fixed_add(tb->x, fixed_mul_int(tb->dx, k)));
    if (w >= 0 && w <= 255) return;  // too thin at the middle row
    fixed du = fixed_div(fixed_sub(mb->u, fixed_add(tb->u, fixed_mul_int(tb->du, k))), w);
    fixed dv = fixed_div(fixed_sub(mb->v, fixed_add(tb->v, fixed_mul_int(tb->dv, k))), w);
    fixed ddepth = fixed_div(fixed_sub(mb->depth, fixed_add(tb->depth, fixed_mul_int(tb->ddepth, k))), w);
    Side* left = w > 0 ? &lng : &shrt;
    Side* right = w > 0 ? &shrt : &lng;

    const Image* tex = &texture_table.slots[current_texture];
    Span s;
    s.du = du, s.dv = dv, s.ddepth = ddepth;
    s.u_mask = tex->width - 1, s.v_mask = tex->height - 1, s.width_shift = tex->width_shift;
    s.texels = tex->pixels;
    for (int y = y0; y <= y_end; y++) {
        int xl = fixed_to_int(left->x), xr = fixed_to_int(right->x);
        if (xr >= 0 && xl < SCREEN_W) {
            int skip = 0;
            if (xl < 0) skip = -xl, xl = 0;
            if (xr > SCREEN_W) xr = SCREEN_W;
            s.count = xr - xl;  // columns xl .. xr - 1
            s.u = fixed_add(left->u, fixed_mul_int(du, skip));
            s.v = fixed_add(left->v, fixed_mul_int(dv, skip));
            s.depth = fixed_add(left->depth, fixed_mul_int(ddepth, skip));
            s.dst = pixels + y * SCREEN_W + xl;
            s.zdst = zbuffer + y * SCREEN_W + xl;
            // The two fillers of the engine called directly, so that they are inlined: spans are short.
            if (s.count > 0) {
                if (span_fill == span_opaque) fill_opaque(&s);
                else if (span_fill == span_additive) fill_additive(&s);
                else span_fill(&s);
            }
        }
        if (y != y0) side_step(&lng, tb);
        if (y == y1) {
            side_load(&shrt, mb);
            current = mb;
        } else if (y != y0) {
            side_step(&shrt, current);
        }
    }
}

void mesh_draw(Mesh* mesh)
{
    if (!mesh->transformed) return;
    if (!target()) return;
    if (!span_fill) span_fill = span_opaque;
    if (mesh->texture < 0 || mesh->texture >= TEXTURE_SLOTS) return;
    const Image* tex = &texture_table.slots[mesh->texture];
    if (!tex->pixels || !tex->width || !tex->height) return;  // a picture that did not load
    MeshVertex* frame = drawn_frame(mesh);
    if (!frame || !mesh->faces || !mesh->edges) return;
    current_texture = mesh->texture;

    // A loaded mesh has at most EDGE_SCRATCH edges, each marked at most once in a draw; one built by
    // code with more is cleared in full.
    if (mesh->edge_count > EDGE_SCRATCH)
        for (int i = 0; i < mesh->edge_count; i++) mesh->edges[i].prepared = 0;
    marked_count = 0;
    unsigned vertices = (unsigned)mesh->vertex_count, edges = (unsigned)mesh->edge_count;
    for (int i = 0; i < mesh->face_count; i++) {
        const MeshFace* face = &mesh->faces[i];
        if ((unsigned)face->va >= vertices || (unsigned)face->vb >= vertices || (unsigned)face->vc >= vertices ||
            (unsigned)face->eab >= edges || (unsigned)face->ebc >= edges || (unsigned)face->eca >= edges)
            continue;  // a face built by code that points outside the mesh
        const MeshVertex *p0 = &frame[face->va], *p1 = &frame[face->vb], *p2 = &frame[face->vc];
        if (p0->outcode & p1->outcode & p2->outcode & 0xFF) continue;
        if (p0->behind || p1->behind || p2->behind) continue;
        const fixed right = fixed_from_int(SCREEN_W), bottom = fixed_from_int(SCREEN_H);
        if (p0->tx < 0 && p1->tx < 0 && p2->tx < 0) continue;
        if (p0->tx >= right && p1->tx >= right && p2->tx >= right) continue;
        if (p0->ty < 0 && p1->ty < 0 && p2->ty < 0) continue;
        if (p0->ty >= bottom && p1->ty >= bottom && p2->ty >= bottom) continue;
        // Shifted to keep the products in range; only clockwise faces (rows grow downwards) are drawn.
        fixed a = fixed_mul(fixed_sub(p0->tx, p1->tx) >> 6, fixed_sub(p1->ty, p2->ty) >> 3);
        fixed b = fixed_mul(fixed_sub(p0->ty, p1->ty) >> 6, fixed_sub(p1->tx, p2->tx) >> 3);
        if (a < b) continue;
        triangle_draw(face, mesh);
    }
    for (int i = 0; i < marked_count; i++) marked[i]->prepared = 0;
    marked_count = 0;
}

void mesh_draw_discs(Mesh* mesh, int mode, const int32_t* enable)
{
    if (mode != DISC_ADD && mode != DISC_AVERAGE) return;
    if (!mesh->transformed) return;
    uint32_t* screen_px = target();
    MeshVertex* frame = drawn_frame(mesh);
    if (!screen_px || !frame) return;
    for (int i = 0; i < mesh->vertex_count; i++) {
        const MeshVertex* p = &frame[i];
        if (p->behind || (p->outcode & 0xFF)) continue;  // only vertices fully inside the view volume
        int cx = fixed_to_int(p->tx), cy = fixed_to_int(p->ty);
        if (enable && enable[4 * i + 3] == 0) continue;
        fixed d = p->tz >> 17;
        if (d == 0) continue;
        int r = fixed_div((fixed)((uint32_t)p->u << 12), d) >> 12;  // the u word is the size
        if (r > 120 || cx < 0 || cx >= SCREEN_W || cy < 0 || cy >= SCREEN_H) continue;
        uint32_t colour = (uint32_t)p->v;
        int32_t depth = p->tz;
        // Only the rows and columns of the square -r .. r - 1 that lie on the Screen, in the same order.
        int dy0 = -r > -cy ? -r : -cy, dy1 = r < SCREEN_H - cy ? r : SCREEN_H - cy;
        int dx0 = -r > -cx ? -r : -cx, dx1 = r < SCREEN_W - cx ? r : SCREEN_W - cx;
        for (int dy = dy0; dy < dy1; dy++) {
            int y = cy + dy;
            for (int dx = dx0; dx < dx1; dx++) {
                int x = cx + dx;
                if (dx * dx + dy * dy > r * r) continue;
                int at = y * SCREEN_W + x;
                if (zbuffer[at] <= depth) continue;  // strict: equal depth hides the disc
                screen_px[at] = mode == DISC_ADD ? pixel_add_saturate(screen_px[at], colour) : pixel_average(screen_px[at], colour);
            }
        }
    }
}
