// bof.h -- the BOF fuzz targets' shared body: load, check the mesh is whole, prepare and transform it
#pragma once
#include "fuzz_input.h"
#include "gfx3d/gfx3d.h"

inline void fuzz_bof(const uint8_t* data, size_t size, int animated)
{
    std::string path = fuzz_input_file(data, size, ".bof");
    Mesh m{};
    if (animated)
        mesh_load_animated(path.c_str(), &m);
    else
        mesh_load_static(path.c_str(), &m);
    if (m.vertex_count == 0 && (m.vertices || m.faces || m.edges))
        fuzz_fail("an empty mesh still holds arrays");
    for (int i = 0; i < m.face_count; i++) {
        const MeshFace& f = m.faces[i];
        for (int v : {f.va, f.vb, f.vc})
            if (v < 0 || v >= m.vertex_count)
                fuzz_fail("a face points outside the mesh");
        for (int e : {f.eab, f.ebc, f.eca})
            if (e < 0 || e >= m.edge_count)
                fuzz_fail("a face names an edge outside the mesh");
    }
    // The start-up preparation; smoothing is quadratic, so only small meshes take it here.
    mesh_scale(&m, 0.5f);
    mesh_compute_normals(&m);
    if (m.vertex_count <= 512)
        mesh_smooth_normals(&m, 0.05f);
    if (m.frame_count > 1)
        m.frame = m.frame_count - 1;
    mesh_transform(&m);
    mesh_free(&m);
}
