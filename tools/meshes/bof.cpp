// bof.cpp -- mesh helpers shared by the shapes, and the BOF writer
#include "meshes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

// ---- public functions ----

void mesh_add_facing(MeshOut* m, int a, int b, int c, double nx, double ny, double nz)
{
    const MeshVtx& p0 = m->vertices[a];
    const MeshVtx& p1 = m->vertices[b];
    const MeshVtx& p2 = m->vertices[c];
    double ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z;
    double bx = p2.x - p0.x, by = p2.y - p0.y, bz = p2.z - p0.z;
    double cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
    if (cx * nx + cy * ny + cz * nz < 0)
        m->faces.push_back({a, c, b});
    else
        m->faces.push_back({a, b, c});
}

void mesh_drop_unused(MeshOut* m)
{
    std::vector<int> remap(m->vertices.size(), -1);
    for (const MeshTri& t : m->faces)
        remap[t.a] = remap[t.b] = remap[t.c] = 0;
    std::vector<MeshVtx> kept;
    for (size_t i = 0; i < m->vertices.size(); i++)
        if (remap[i] == 0) {
            remap[i] = (int)kept.size();
            kept.push_back(m->vertices[i]);
        }
    for (MeshTri& t : m->faces)
        t = {remap[t.a], remap[t.b], remap[t.c]};
    m->vertices.swap(kept);
}

// Fixed decimals keep the files byte-identical from build to build; -0.00000 is written as 0.00000.
static void put_number(FILE* f, double value)
{
    char text[48];
    snprintf(text, sizeof text, "%.5f", value);
    if (!strcmp(text, "-0.00000"))
        strcpy(text, "0.00000");
    fputs(text, f);
}

int bof_write(const char* path, const char* word, const MeshOut* m)
{
    FILE* f = fopen(path, "wb");
    if (!f) {
        fprintf(stderr, "kerv16-meshes: cannot write %s: %s\n", path, strerror(errno));
        return 0;
    }
    fprintf(f, "%s\n%d %d\n0 0 0\n", word, (int)m->vertices.size(), (int)m->faces.size());
    for (size_t i = 0; i < m->vertices.size(); i++) {
        const MeshVtx& v = m->vertices[i];
        fprintf(f, "%d", (int)i);
        for (double value : {v.x, v.y, v.z, v.u, v.v}) {
            fputc(' ', f);
            put_number(f, value);
        }
        fputc('\n', f);
    }
    for (size_t i = 0; i < m->faces.size(); i++)
        fprintf(f, "%d %d %d %d\n", (int)i, m->faces[i].a, m->faces[i].b, m->faces[i].c);
    if (fclose(f) != 0) {
        fprintf(stderr, "kerv16-meshes: cannot write %s: %s\n", path, strerror(errno));
        return 0;
    }
    return 1;
}
