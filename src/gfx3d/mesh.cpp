// mesh.cpp -- meshes: the BOF loaders, shared edges, normals, scaling, and the texture table
#include "gfx3d/gfx3d_local.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/msg.h"
#include "platform/file.h"

// ---- types ----

// Limits a BOF file must keep; anything larger is refused at load as absurd rather than allocated.
enum {
    MESH_MAX_VERTICES = 65536,    // per frame
    MESH_MAX_FACES = 65536,
    MESH_MAX_FRAMES = 4096,
    MESH_MAX_RECORDS = 1 << 20,   // vertex records over all frames (68 bytes each)
    BOF_MIN_VERTEX_TEXT = 11,     // "0 0 0 0 0 0": the shortest vertex entry
    BOF_MIN_FACE_TEXT = 7,        // "0 0 0 0"
    PROBLEM_TEXT = 160,           // bytes of a refusal's text
    EDGE_SLOTS = 2 * EDGE_SCRATCH,  // the index of the scratch edges by vertex pair, at most half full
};

// One slot of the edge index: the scratch edge of a vertex pair, valid in the build it was made in.
struct EdgeSlot {
    uint32_t build;
    int32_t edge;
};

// The counts a BOF file declares, and the vertex records and entries they make.
struct BofCounts {
    unsigned vertices, faces, frames;
    uint64_t records;  // allocated: frames (plus one for the animated variant) x vertices
    uint64_t entries;  // in the file: frames x vertices
};

// ---- state ----

TextureTable texture_table;
MeshEdge edge_scratch[EDGE_SCRATCH];
int edge_scratch_count;
static int texture_table_emptied;  // the first texture_load empties the table once
static EdgeSlot edge_index[EDGE_SLOTS];  // open addressing by the pair's hash
static uint32_t edge_build;              // advanced whenever the scratch starts empty

// ---- internal functions ----

// The loaders' own texts, then the file, so the message says which mesh is missing.
static const char BOF_NOT_FOUND[] = "EEEEEEEEEEEK!!!     file not found!!";
static const char BOF_NO_MEMORY[] = "EEEEEEEEEEEK!!!     not nuff mem!!";

static void report_fixed(const char* text, const char* name) { msg_print(stdout, "%s (%s)\n", text, name); }

static void report(const char* name, const char* problem)
{
    msg_print(stdout, "EEEEEEEEEEEK!!!     %s: %s\n", name, problem);
}

static void make_empty(Mesh* mesh)
{
    *mesh = Mesh{};
    mesh->texture = -1;
}

static void release_arrays(Mesh* mesh)
{
    free(mesh->vertices);
    free(mesh->faces);
    free(mesh->edges);
    mesh->vertices = nullptr;
    mesh->faces = nullptr;
    mesh->edges = nullptr;
}

static long file_size(FILE* f)
{
    if (fseek(f, 0, SEEK_END) != 0) return -1;
    long size = ftell(f);
    rewind(f);
    return size;
}

// A value whose truncation towards zero fits a signed 32-bit word.
static int fits_int32(double value) { return value > -2147483649.0 && value < 2147483648.0; }

// Why the file was refused, formatted into problem (PROBLEM_TEXT bytes). Always returns 0.
static int refuse(char* problem, const char* format, ...) __attribute__((format(printf, 2, 3)));
static int refuse(char* problem, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(problem, PROBLEM_TEXT, format, args);
    va_end(args);
    return 0;
}

// The word, the counts and the position that is not kept; the counts are checked against the limits
// and against what a file of `size` bytes can hold before anything is allocated.
static int read_counts(FILE* f, long size, int animated, BofCounts* c, char* problem)
{
    float skip[3];
    int got = -1;
    c->frames = 1;
    fscanf(f, " %*s%n", &got);  // the word: read and not used (any length)
    if (got < 0) return refuse(problem, "no mesh in the file");
    if (fscanf(f, "%u %u", &c->vertices, &c->faces) != 2 || (animated && fscanf(f, "%u", &c->frames) != 1))
        return refuse(problem, "counts missing or not numbers");
    if (fscanf(f, "%f %f %f", &skip[0], &skip[1], &skip[2]) != 3)
        return refuse(problem, "position missing or not numbers");
    // The animated variant holds one frame's worth more than the file fills.
    c->records = (uint64_t)(c->frames + (animated ? 1u : 0u)) * c->vertices;
    c->entries = (uint64_t)c->frames * c->vertices;
    if (c->vertices > MESH_MAX_VERTICES || c->faces > MESH_MAX_FACES || c->frames < 1 ||
        c->frames > MESH_MAX_FRAMES || c->records > MESH_MAX_RECORDS)
        return refuse(problem, "absurd counts (%u vertices, %u faces, %u frames)", c->vertices, c->faces, c->frames);
    if (size >= 0 && c->entries * BOF_MIN_VERTEX_TEXT + (uint64_t)c->faces * BOF_MIN_FACE_TEXT > (uint64_t)size)
        return refuse(problem, "file too short for %u vertices and %u faces", c->vertices, c->faces);
    return 1;
}

// Vertex entries into x, y, z, u, v. Positions must fit 20.12 and texture coordinates 1.15 words:
// anything larger would wrap silently into a different shape.
static int read_vertices(FILE* f, Mesh* m, uint64_t entries, char* problem)
{
    for (unsigned entry = 0; entry < entries; entry++) {
        float x, y, z, u, v;
        unsigned number;  // entries are numbered in the file, but their order is what counts
        if (fscanf(f, "%u %f %f %f %f %f", &number, &x, &y, &z, &u, &v) != 6)
            return refuse(problem, "vertex entry %u missing or malformed", entry);
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || !std::isfinite(u) || !std::isfinite(v))
            return refuse(problem, "vertex entry %u holds a number that is not finite", entry);
        if (!fits_int32(x * 4096.0) || !fits_int32(y * 4096.0) || !fits_int32(z * 4096.0))
            return refuse(problem, "vertex entry %u lies beyond +-524288, which 20.12 cannot hold", entry);
        if (!fits_int32((double)(32768.0f * u)) || !fits_int32((double)(32768.0f * v)))
            return refuse(problem, "vertex entry %u has a texture coordinate beyond +-65536", entry);
        MeshVertex* p = &m->vertices[entry];
        p->x = fixed_from_float(x);
        p->y = fixed_from_float(y);
        p->z = fixed_from_float(z);
        p->u = int_times_float(32768, u);
        p->v = int_times_float(32768, v);
    }
    return 1;
}

static int read_faces(FILE* f, Mesh* m, char* problem)
{
    unsigned vertex_count = (unsigned)m->vertex_count;
    for (unsigned entry = 0; entry < (unsigned)m->face_count; entry++) {
        unsigned number, a, b, c;
        if (fscanf(f, "%u %u %u %u", &number, &a, &b, &c) != 4)
            return refuse(problem, "face entry %u missing or malformed", entry);
        if (a >= vertex_count || b >= vertex_count || c >= vertex_count)
            return refuse(problem, "face %u refers to a vertex beyond the %u there are", entry, vertex_count);
        m->faces[entry].va = (int32_t)a;
        m->faces[entry].vb = (int32_t)b;
        m->faces[entry].vc = (int32_t)c;
    }
    return 1;
}

// Everything after opening: counts, arrays, entries and edges into m. 0 with problem set on failure.
static int read_bof(FILE* f, Mesh* m, int animated, char* problem)
{
    BofCounts c{};
    if (!read_counts(f, file_size(f), animated, &c, problem)) return 0;
    m->vertex_count = (int32_t)c.vertices;
    m->face_count = (int32_t)c.faces;
    m->frame_count = (int32_t)c.frames;
    // calloc leaves the animated variant's spare frame zero.
    m->vertices = c.records ? (MeshVertex*)calloc(c.records, sizeof(MeshVertex)) : nullptr;
    m->faces = c.faces ? (MeshFace*)calloc(c.faces, sizeof(MeshFace)) : nullptr;
    if ((c.records && !m->vertices) || (c.faces && !m->faces)) return refuse(problem, "not nuff mem!!");
    if (!read_vertices(f, m, c.entries, problem) || !read_faces(f, m, problem)) return 0;
    const char* why = nullptr;
    if (!mesh_build_edges_checked(m, &why)) return refuse(problem, "%s", why);
    return 1;
}

// Reads the whole file into a local record; *mesh is replaced only by a complete, checked mesh.
// On any failure the file is named once and *mesh becomes empty (counts 0, texture -1).
static void load_bof(const char* name, Mesh* mesh, int animated)
{
    char problem[PROBLEM_TEXT];
    make_empty(mesh);
    FILE* f = file_open_data(name);
    if (!f) {
        if (errno == ENOENT)
            report_fixed(BOF_NOT_FOUND, name);
        else
            report(name, file_problem());
        if (!animated)
            screen_present();  // the static loader shows the Screen as it stands
        return;
    }
    Mesh m{};
    int ok = read_bof(f, &m, animated, problem);
    fclose(f);
    if (!ok) {
        release_arrays(&m);
        if (strcmp(problem, "not nuff mem!!") == 0)
            report_fixed(BOF_NO_MEMORY, name);
        else
            report(name, problem);
        return;
    }
    // A loaded mesh starts at the origin with zero angles, whatever the file's position said.
    m.texture = -1;
    *mesh = m;
}

// ---- public functions ----

void mesh_load_static(const char* name, Mesh* mesh) { load_bof(name, mesh, 0); }

void mesh_load_animated(const char* name, Mesh* mesh) { load_bof(name, mesh, 1); }

// Each pair is in the scratch once, so the index finds the same edge a search from the start would.
int edge_find_or_add(int a, int b)
{
    if (edge_scratch_count == 0 && ++edge_build == 0) {  // a new build; on wrapping, forget every slot
        for (EdgeSlot& slot : edge_index) slot = EdgeSlot{};
        edge_build = 1;
    }
    uint32_t lo = (uint32_t)(a < b ? a : b), hi = (uint32_t)(a < b ? b : a);
    uint32_t at = (lo * 0x9E3779B1u ^ hi * 0x85EBCA77u) % EDGE_SLOTS;
    for (;; at = (at + 1) % EDGE_SLOTS) {
        EdgeSlot* slot = &edge_index[at];
        if (slot->build != edge_build) break;  // an empty slot: the pair is not there
        const MeshEdge* e = &edge_scratch[slot->edge];
        if (slot->edge < edge_scratch_count && ((e->a == a && e->b == b) || (e->a == b && e->b == a)))
            return slot->edge;
    }
    if (edge_scratch_count >= EDGE_SCRATCH) return -1;  // full: the caller refuses the mesh
    MeshEdge* e = &edge_scratch[edge_scratch_count];
    *e = MeshEdge{};
    e->a = a;
    e->b = b;
    edge_index[at] = EdgeSlot{edge_build, edge_scratch_count};
    return edge_scratch_count++;
}

int mesh_build_edges_checked(Mesh* mesh, const char** problem)
{
    edge_scratch_count = 0;
    for (int i = 0; i < mesh->face_count; i++) {
        MeshFace* face = &mesh->faces[i];
        if ((unsigned)face->va >= (unsigned)mesh->vertex_count || (unsigned)face->vb >= (unsigned)mesh->vertex_count ||
            (unsigned)face->vc >= (unsigned)mesh->vertex_count) {
            *problem = "a face refers to a vertex outside the mesh";
            return 0;
        }
        face->eab = edge_find_or_add(face->va, face->vb);
        face->ebc = edge_find_or_add(face->vb, face->vc);
        face->eca = edge_find_or_add(face->vc, face->va);
        if (face->eab < 0 || face->ebc < 0 || face->eca < 0) {
            *problem = "more than 16384 distinct edges";
            return 0;
        }
    }
    MeshEdge* edges = nullptr;
    if (edge_scratch_count) {
        edges = (MeshEdge*)malloc(sizeof(MeshEdge) * edge_scratch_count);
        if (!edges) {
            *problem = "not nuff mem!!";
            return 0;
        }
        memcpy(edges, edge_scratch, sizeof(MeshEdge) * edge_scratch_count);
    }
    free(mesh->edges);
    mesh->edges = edges;
    mesh->edge_count = edge_scratch_count;
    return 1;
}

void mesh_build_edges(Mesh* mesh)
{
    const char* problem = nullptr;
    if (!mesh_build_edges_checked(mesh, &problem)) {
        report("mesh", problem);
        mesh_free(mesh);
    }
}

void mesh_compute_normals(Mesh* mesh)
{
    int records = mesh->vertices ? mesh->frame_count * mesh->vertex_count : 0;
    for (int i = 0; i < records; i++) mesh->vertices[i].nx = mesh->vertices[i].ny = mesh->vertices[i].nz = 0;
    for (int f = 0; f < mesh->frame_count && mesh->vertices; f++) {
        MeshVertex* frame = mesh->vertices + f * mesh->vertex_count;
        for (int i = 0; i < mesh->face_count; i++) {
            const MeshFace* face = &mesh->faces[i];
            MeshVertex* p[3] = {&frame[face->va], &frame[face->vb], &frame[face->vc]};
            Vec3 q[3], a, b, n;
            for (int k = 0; k < 3; k++) q[k] = Vec3{p[k]->x, p[k]->y, p[k]->z};
            vec_sub(&a, &q[1], &q[0]);
            vec_sub(&b, &q[2], &q[0]);
            vec_cross(&n, &a, &b);  // not normalised: larger faces weigh more
            for (int k = 0; k < 3; k++) {
                Vec3 s = {p[k]->nx, p[k]->ny, p[k]->nz};
                vec_add(&s, &s, &n);
                p[k]->nx = s.x, p[k]->ny = s.y, p[k]->nz = s.z;
            }
        }
    }
    for (int i = 0; i < records; i++) {
        MeshVertex* p = &mesh->vertices[i];
        Vec3 n = {p->nx, p->ny, p->nz};
        vec_normalize(&n);
        p->nx = n.x, p->ny = n.y, p->nz = n.z;
    }
}

// Vertices at the same place (duplicated along a texture seam) end with one common normal. Pairs are
// visited in both orders, and the result depends on that order.
void mesh_smooth_normals(Mesh* mesh, float distance)
{
    fixed t = fixed_from_float(distance * distance);
    for (int f = 0; f < mesh->frame_count && mesh->vertices; f++) {
        MeshVertex* frame = mesh->vertices + f * mesh->vertex_count;
        for (int j = 0; j < mesh->vertex_count; j++)
            for (int k = 0; k < mesh->vertex_count; k++) {
                if (k == j) continue;
                MeshVertex *pj = &frame[j], *pk = &frame[k];
                Vec3 a = {pj->x, pj->y, pj->z}, b = {pk->x, pk->y, pk->z}, d;
                vec_sub(&d, &a, &b);
                if (vec_length_sq(&d) >= t) continue;
                Vec3 nj = {pj->nx, pj->ny, pj->nz}, nk = {pk->nx, pk->ny, pk->nz};
                vec_add(&nj, &nj, &nk);
                vec_normalize(&nj);
                pj->nx = pk->nx = nj.x;
                pj->ny = pk->ny = nj.y;
                pj->nz = pk->nz = nj.z;
            }
    }
}

// Positions only: normals are computed after scaling.
void mesh_scale(Mesh* mesh, float factor)
{
    fixed k = fixed_from_float(factor);
    int records = mesh->vertices ? mesh->frame_count * mesh->vertex_count : 0;
    for (int i = 0; i < records; i++) {
        MeshVertex* p = &mesh->vertices[i];
        Vec3 q = {p->x, p->y, p->z};
        vec_scale(&q, &q, k);
        p->x = q.x, p->y = q.y, p->z = q.z;
    }
}

void mesh_set_transform(Mesh* mesh, float x, float y, float z, float yaw, float pitch, float roll)
{
    mesh->pos_x = x, mesh->pos_y = y, mesh->pos_z = z;
    mesh->yaw = yaw, mesh->pitch = pitch, mesh->roll = roll;
}

void mesh_set_texture(Mesh* mesh, int slot) { mesh->texture = slot; }

// Harmless on a never-loaded (all zero) record.
void mesh_free(Mesh* mesh)
{
    release_arrays(mesh);
    mesh->vertex_count = mesh->face_count = mesh->edge_count = 0;
    mesh->texture = -1;
}

int texture_find_free(void)
{
    for (int i = 0; i < TEXTURE_SLOTS; i++)
        if (!texture_table.slots[i].pixels) return i;
    return -1;
}

void texture_free_all(void)
{
    for (int i = 0; i < TEXTURE_SLOTS; i++)
        if (texture_table.slots[i].pixels) image_free(&texture_table.slots[i]);
}

// A picture that fails to load gives -1: its slot stays free, and handing it out would let the next
// texture load into the same slot and show up on this mesh as well.
int texture_load(const char* name)
{
    if (!texture_table_emptied) {
        texture_free_all();
        texture_table_emptied = 1;
    }
    int slot = texture_find_free();
    if (slot < 0) return -1;
    Image* image = &texture_table.slots[slot];
    image_load(name, image);
    if (!image->pixels) {
        *image = Image{};
        return -1;
    }
    return slot;
}
