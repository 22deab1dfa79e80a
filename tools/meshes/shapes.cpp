// shapes.cpp -- the water plane and the sky sphere
#include "meshes.h"

#include <algorithm>
#include <cmath>

// ---- public functions ----

void shape_plane64(MeshOut* m)
{
    const int n = 64;
    for (int j = 0; j < n; j++)
        for (int i = 0; i < n; i++)
            m->vertices.push_back({-50.0 + i * 100.0 / n, 0.0, -50.0 + j * 100.0 / n,
                                   i / (double)(n - 1), j / (double)(n - 1)});
    // Two triangles per cell, both facing +y so that a camera above sees them.
    for (int j = 0; j + 1 < n; j++)
        for (int i = 0; i + 1 < n; i++) {
            int a = j * n + i, b = a + 1, c = a + n, d = c + 1;
            mesh_add_facing(m, a, c, b, 0, 1, 0);
            mesh_add_facing(m, b, c, d, 0, 1, 0);
        }
}

void shape_sky(MeshOut* m, double radius, int rings, int segments, int u_repeat)
{
    const double pi = 3.14159265358979323846;
    // Half a texel's worth of margin keeps the poles from sampling the other end of the picture.
    const double v_lo = 0.004, v_hi = 0.996;
    // Ring j, column i; the column i = segments repeats i = 0 with u one repeat further (the seam).
    for (int j = 0; j <= rings; j++)
        for (int i = 0; i <= segments; i++) {
            double theta = pi * j / rings, phi = 2 * pi * i / segments;
            double u = (double)u_repeat * i / segments;
            if (j == 0 || j == rings)  // one pole vertex per column, u in the middle of its column
                u = u_repeat * (i + 0.5) / segments;
            double v = std::clamp((double)j / rings, v_lo, v_hi);
            m->vertices.push_back({radius * std::sin(theta) * std::cos(phi), radius * std::cos(theta),
                                   radius * std::sin(theta) * std::sin(phi), u, v});
        }
    auto at = [segments](int i, int j) { return j * (segments + 1) + i; };
    for (int j = 0; j < rings; j++)
        for (int i = 0; i < segments; i++) {
            int a = at(i, j), b = at(i + 1, j), c = at(i, j + 1), d = at(i + 1, j + 1);
            // Facing the centre: the inward direction at the cell's middle.
            double theta = pi * (j + 0.5) / rings, phi = 2 * pi * (i + 0.5) / segments;
            double nx = -std::sin(theta) * std::cos(phi), ny = -std::cos(theta), nz = -std::sin(theta) * std::sin(phi);
            if (j == 0) {
                mesh_add_facing(m, a, d, c, nx, ny, nz);  // a stands for the top pole
            } else if (j + 1 == rings) {
                mesh_add_facing(m, a, b, c, nx, ny, nz);  // c stands for the bottom pole
            } else {
                mesh_add_facing(m, a, b, d, nx, ny, nz);
                mesh_add_facing(m, a, d, c, nx, ny, nz);
            }
        }
    mesh_drop_unused(m);
}
