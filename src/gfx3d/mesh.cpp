// mesh.cpp -- meshes: the BOF loaders, shared edges, normals, scaling, and the texture table
#include "gfx3d/gfx3d_local.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/display.h"

// ---- types ----

// Limits a BOF file must keep; anything larger is refused at load as absurd rather than allocated.
enum {
    MESH_MAX_VERTICES = 65536,    // per frame
    MESH_MAX_FACES = 65536,
    MESH_MAX_FRAMES = 4096,
    MESH_MAX_RECORDS = 1 << 20,   // vertex records over all frames (68 bytes each)
    BOF_MIN_VERTEX_TEXT = 11,     // "0 0 0 0 0 0": the shortest vertex entry
    BOF_MIN_FACE_TEXT = 7,        // "0 0 0 0"
};

// ---- state ----

TextureTable texture_table;
MeshEdge edge_scratch[EDGE_SCRATCH];
int edge_scratch_count;
static int texture_table_emptied;  // the first texture_load empties the table once

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

// Reads the whole file into a local record; *mesh is replaced only by a complete, checked mesh.
// On any failure the file is named once and *mesh becomes empty (counts 0, texture -1).
static void load_bof(const char* name, Mesh* mesh, int animated)
{
    char problem[160];
    Mesh m{};
    m.texture = -1;
    make_empty(mesh);

    FILE* f = fopen(name, "rb");
    if (!f) {
        report_fixed(BOF_NOT_FOUND, name);
        if (!animated)
            screen_present();  // the static loader shows the Screen as it stands
        return;
    }
    long size = file_size(f);
    unsigned vertex_count = 0, face_count = 0, frame_count = 1, entry = 0;
    float skip[3];
    int got = -1;
    fscanf(f, " %*s%n", &got);  // the word: read and not used (any length)
    if (got < 0) {
        snprintf(problem, sizeof problem, "no mesh in the file");
        goto malformed;
    }
    if (fscanf(f, "%u %u", &vertex_count, &face_count) != 2 || (animated && fscanf(f, "%u", &frame_count) != 1)) {
        snprintf(problem, sizeof problem, "counts missing or not numbers");
        goto malformed;
    }
    if (fscanf(f, "%f %f %f", &skip[0], &skip[1], &skip[2]) != 3) {  // a position, not kept
        snprintf(problem, sizeof problem, "position missing or not numbers");
        goto malformed;
    }
    {
        uint64_t records = (uint64_t)(frame_count + (animated ? 1u : 0u)) * vertex_count;
        uint64_t entries = (uint64_t)frame_count * vertex_count;
        if (vertex_count > MESH_MAX_VERTICES || face_count > MESH_MAX_FACES || frame_count < 1 ||
            frame_count > MESH_MAX_FRAMES || records > MESH_MAX_RECORDS) {
            snprintf(problem, sizeof problem, "absurd counts (%u vertices, %u faces, %u frames)",
                     vertex_count, face_count, frame_count);
            goto malformed;
        }
        if (size >= 0 && entries * BOF_MIN_VERTEX_TEXT + (uint64_t)face_count * BOF_MIN_FACE_TEXT > (uint64_t)size) {
            snprintf(problem, sizeof problem, "file too short for %u vertices and %u faces", vertex_count, face_count);
            goto malformed;
        }
        m.vertex_count = (int32_t)vertex_count;
        m.face_count = (int32_t)face_count;
        m.frame_count = (int32_t)frame_count;
        // The animated variant holds one frame's worth more than the file fills; calloc leaves it zero.
        m.vertices = records ? (MeshVertex*)calloc(records, sizeof(MeshVertex)) : nullptr;
        m.faces = face_count ? (MeshFace*)calloc(face_count, sizeof(MeshFace)) : nullptr;
        if ((records && !m.vertices) || (face_count && !m.faces)) {
            fclose(f);
            release_arrays(&m);
            report_fixed(BOF_NO_MEMORY, name);
            return;
        }
        for (entry = 0; entry < entries; entry++) {
            float x, y, z, u, v;
            unsigned number;  // entries are numbered in the file, but their order is what counts
            if (fscanf(f, "%u %f %f %f %f %f", &number, &x, &y, &z, &u, &v) != 6) {
                snprintf(problem, sizeof problem, "vertex entry %u missing or malformed", entry);
                goto malformed;
            }
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || !std::isfinite(u) || !std::isfinite(v)) {
                snprintf(problem, sizeof problem, "vertex entry %u holds a number that is not finite", entry);
                goto malformed;
            }
            MeshVertex* p = &m.vertices[entry];
            p->x = fixed_from_float(x);
            p->y = fixed_from_float(y);
            p->z = fixed_from_float(z);
            p->u = int_times_float(32768, u);
            p->v = int_times_float(32768, v);
        }
        for (entry = 0; entry < face_count; entry++) {
            unsigned number, a, b, c;
            if (fscanf(f, "%u %u %u %u", &number, &a, &b, &c) != 4) {
                snprintf(problem, sizeof problem, "face entry %u missing or malformed", entry);
                goto malformed;
            }
            if (a >= vertex_count || b >= vertex_count || c >= vertex_count) {
                snprintf(problem, sizeof problem, "face %u refers to a vertex beyond the %u there are", entry,
                         vertex_count);
                goto malformed;
            }
            m.faces[entry].va = (int32_t)a;
            m.faces[entry].vb = (int32_t)b;
            m.faces[entry].vc = (int32_t)c;
        }
    }
    fclose(f);
    f = nullptr;
    {
        const char* why = nullptr;
        if (!mesh_build_edges_checked(&m, &why)) {
            snprintf(problem, sizeof problem, "%s", why);
            goto malformed;
        }
    }
    // A loaded mesh starts at the origin with zero angles, whatever the file's position said.
    m.pos_x = m.pos_y = m.pos_z = 0.0f;
    m.yaw = m.pitch = m.roll = 0.0f;
    m.texture = -1;
    m.frame = 0;
    m.transformed = 0;
    *mesh = m;
    return;

malformed:
    if (f) fclose(f);
    release_arrays(&m);
    report(name, problem);
}

// ---- public functions ----

void mesh_load_static(const char* name, Mesh* mesh) { load_bof(name, mesh, 0); }

void mesh_load_animated(const char* name, Mesh* mesh) { load_bof(name, mesh, 1); }

int edge_find_or_add(int a, int b)
{
    for (int i = 0; i < edge_scratch_count; i++) {
        const MeshEdge* e = &edge_scratch[i];
        if ((e->a == a && e->b == b) || (e->a == b && e->b == a)) return i;
    }
    if (edge_scratch_count >= EDGE_SCRATCH) return -1;  // full: the caller refuses the mesh
    MeshEdge* e = &edge_scratch[edge_scratch_count];
    *e = MeshEdge{};
    e->a = a;
    e->b = b;
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
