// letters.cpp -- solid letters: glyph outlines from FreeType, caps tessellated by GLU, side walls between them
#include "meshes.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>

// ---- types ----

struct P2 {
    double x, y;  // font units
};

typedef std::vector<P2> Contour;

struct Glyph {
    std::vector<Contour> contours;
    double pen_x;              // where the word places the glyph (font units)
    double min_x, max_x;       // ink extent, glyph's own coordinates
    double min_y, max_y;
};

// Outline walker state for FT_Outline_Decompose.
struct Walk {
    std::vector<Contour>* contours;
    P2 at;
    double step;  // longest segment, font units
};

// Tessellator output: triangles over the indices of a shared point list (contour points, then combined ones).
struct Tess {
    std::deque<std::array<double, 3>> coords;  // x, y, z per point; a deque keeps addresses for GLU
    std::vector<int> corners;    // three per triangle
    int failed;
};

// ---- internal functions ----

static void add_point(Walk* w, P2 p)
{
    Contour& c = w->contours->back();
    if (c.empty() || std::hypot(p.x - c.back().x, p.y - c.back().y) > 1e-6)
        c.push_back(p);
    w->at = p;
}

static int segments_for(const Walk* w, double length)
{
    return std::clamp((int)std::ceil(length / w->step), 1, 24);
}

static int on_move(const FT_Vector* to, void* user)
{
    Walk* w = (Walk*)user;
    w->contours->emplace_back();
    add_point(w, {(double)to->x, (double)to->y});
    return 0;
}

static int on_line(const FT_Vector* to, void* user)
{
    add_point((Walk*)user, {(double)to->x, (double)to->y});
    return 0;
}

static int on_conic(const FT_Vector* control, const FT_Vector* to, void* user)
{
    Walk* w = (Walk*)user;
    P2 a = w->at, c = {(double)control->x, (double)control->y}, b = {(double)to->x, (double)to->y};
    int n = segments_for(w, std::hypot(c.x - a.x, c.y - a.y) + std::hypot(b.x - c.x, b.y - c.y));
    for (int i = 1; i <= n; i++) {
        double t = (double)i / n, s = 1 - t;
        add_point(w, {s * s * a.x + 2 * s * t * c.x + t * t * b.x, s * s * a.y + 2 * s * t * c.y + t * t * b.y});
    }
    return 0;
}

static int on_cubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    Walk* w = (Walk*)user;
    P2 a = w->at, p = {(double)c1->x, (double)c1->y}, q = {(double)c2->x, (double)c2->y};
    P2 b = {(double)to->x, (double)to->y};
    double length = std::hypot(p.x - a.x, p.y - a.y) + std::hypot(q.x - p.x, q.y - p.y) + std::hypot(b.x - q.x, b.y - q.y);
    int n = segments_for(w, length);
    for (int i = 1; i <= n; i++) {
        double t = (double)i / n, s = 1 - t;
        double k0 = s * s * s, k1 = 3 * s * s * t, k2 = 3 * s * t * t, k3 = t * t * t;
        add_point(w, {k0 * a.x + k1 * p.x + k2 * q.x + k3 * b.x, k0 * a.y + k1 * p.y + k2 * q.y + k3 * b.y});
    }
    return 0;
}

// Drops the closing point that repeats the first, and contours too small to enclose anything.
static void tidy(std::vector<Contour>* contours)
{
    std::vector<Contour> kept;
    for (Contour& c : *contours) {
        if (c.size() > 1 && std::hypot(c.front().x - c.back().x, c.front().y - c.back().y) < 1e-6)
            c.pop_back();
        // Points in the middle of a straight run would leave slivers of zero area in the caps,
        // which cannot be wound either way; the side walls do not need them either.
        for (size_t i = 0; c.size() >= 3 && i < c.size();) {
            const P2& a = c[(i + c.size() - 1) % c.size()];
            const P2& b = c[i];
            const P2& d = c[(i + 1) % c.size()];
            double cross = (b.x - a.x) * (d.y - b.y) - (b.y - a.y) * (d.x - b.x);
            double dot = (b.x - a.x) * (d.x - b.x) + (b.y - a.y) * (d.y - b.y);
            if (std::fabs(cross) < 1e-6 * (1 + std::fabs(dot)) && dot > 0)
                c.erase(c.begin() + i);
            else
                i++;
        }
        if (c.size() >= 3)
            kept.push_back(c);
    }
    contours->swap(kept);
}

// Non-zero winding number of the point over all contours: TrueType and PostScript fonts fill by it.
static int winding(const std::vector<Contour>& contours, double x, double y)
{
    int w = 0;
    for (const Contour& c : contours)
        for (size_t i = 0; i < c.size(); i++) {
            const P2& a = c[i];
            const P2& b = c[(i + 1) % c.size()];
            double cross = (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y);
            if (a.y <= y && b.y > y && cross > 0)
                w++;
            else if (a.y > y && b.y <= y && cross < 0)
                w--;
        }
    return w;
}

static void tess_vertex(void* data, void* user)
{
    ((Tess*)user)->corners.push_back((int)(intptr_t)data);
}

static void tess_combine(GLdouble coords[3], void* [4], GLfloat [4], void** out, void* user)
{
    Tess* t = (Tess*)user;
    int index = (int)t->coords.size();
    t->coords.push_back({coords[0], coords[1], 0.0});
    *out = (void*)(intptr_t)index;
}

static void tess_error(GLenum code, void* user)
{
    fprintf(stderr, "kerv16-meshes: tessellator: %s\n", (const char*)gluErrorString(code));
    ((Tess*)user)->failed = 1;
}

static void tess_edge_flag(GLboolean, void*) {}  // its presence makes GLU hand out plain triangles
static void tess_begin(GLenum, void*) {}

// GLU can hand out slivers: three points on one line, the middle one touching the long side. Drawn,
// they come out as stray lines. Each is removed by splitting the triangle across its long side at the
// middle point, (A, C, D) becoming (A, B, D) and (B, C, D), which keeps the cap closed.
static double twice_area(const Tess* t, int a, int b, int c)
{
    const double *pa = t->coords[a].data(), *pb = t->coords[b].data(), *pc = t->coords[c].data();
    return (pb[0] - pa[0]) * (pc[1] - pa[1]) - (pc[0] - pa[0]) * (pb[1] - pa[1]);
}

static int sliver_middle(const Tess* t, const int* tri)
{
    double longest = 0;
    int middle = -1;
    for (int k = 0; k < 3; k++) {
        const double *p = t->coords[tri[k]].data(), *q = t->coords[tri[(k + 1) % 3]].data();
        double d = (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]);
        if (d > longest)
            longest = d, middle = (k + 2) % 3;
    }
    return std::fabs(twice_area(t, tri[0], tri[1], tri[2])) <= 1e-9 * longest ? middle : -1;
}

static void remove_slivers(Tess* t)
{
    std::vector<int>& v = t->corners;
    for (int pass = 0, changed = 1; changed && pass < 64; pass++) {
        changed = 0;
        for (size_t s = 0; s + 2 < v.size(); s += 3) {
            int m = sliver_middle(t, &v[s]);
            if (m < 0)
                continue;
            int b = v[s + m], a = v[s + (m + 1) % 3], c = v[s + (m + 2) % 3];
            for (size_t n = 0; n + 2 < v.size(); n += 3) {
                if (n == s || sliver_middle(t, &v[n]) >= 0)
                    continue;
                int k = 0;
                while (k < 3 && !((v[n + k] == a && v[n + (k + 1) % 3] == c) || (v[n + k] == c && v[n + (k + 1) % 3] == a)))
                    k++;
                if (k == 3)
                    continue;
                int d = v[n + (k + 2) % 3];
                double sign = twice_area(t, v[n], v[n + 1], v[n + 2]);
                int first[3] = {a, b, d}, second[3] = {b, c, d};
                if ((twice_area(t, a, b, d) > 0) != (sign > 0))
                    std::swap(first[0], first[1]), std::swap(second[0], second[1]);
                std::copy(first, first + 3, &v[s]);
                std::copy(second, second + 3, &v[n]);
                changed = 1;
                break;
            }
        }
    }
}

static int tessellate(const std::vector<Contour>& contours, Tess* t)
{
    for (const Contour& c : contours)
        for (const P2& p : c)
            t->coords.push_back({p.x, p.y, 0.0});
    GLUtesselator* tess = gluNewTess();
    if (!tess) {
        fprintf(stderr, "kerv16-meshes: no tessellator\n");
        return 0;
    }
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, (_GLUfuncptr)tess_begin);
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, (_GLUfuncptr)tess_vertex);
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, (_GLUfuncptr)tess_combine);
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, (_GLUfuncptr)tess_error);
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, (_GLUfuncptr)tess_edge_flag);
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, 1);
    gluTessBeginPolygon(tess, t);
    size_t index = 0;
    for (const Contour& c : contours) {
        gluTessBeginContour(tess);
        for (size_t i = 0; i < c.size(); i++, index++)
            gluTessVertex(tess, t->coords[index].data(), (void*)(intptr_t)index);
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    remove_slivers(t);
    return !t->failed && t->corners.size() % 3 == 0 && !t->corners.empty();
}

// One glyph's mesh. `place` maps font units to model units for x (glyph-local) and y; `uv` gives the
// face texture coordinates from word-level font units.
static void build_glyph(const LetterSet* set, const Glyph& g, double scale, double x_shift, double y_shift,
                        double word_x0, double word_w, double word_y1, double word_h, const Tess& tess,
                        MeshOut* m)
{
    const double z_front = -set->depth / 2, z_back = set->depth / 2;
    // The faces use the upper 3/4 of the picture; the side walls the band below it, so that the
    // picture can give the sides a darker colour and the letters read as solid.
    const double face_v = 0.75, side_v0 = 0.80, side_v1 = 0.95;
    auto model_x = [&](double x) { return (x - x_shift) * scale; };
    auto model_y = [&](double y) { return (y - y_shift) * scale + set->lift; };
    auto tex_u = [&](double x) { return (x + g.pen_x - word_x0) / word_w; };
    auto tex_v = [&](double y) { return (word_y1 - y) / word_h * face_v; };

    int points = (int)tess.coords.size();
    for (int side = 0; side < 2; side++)
        for (int i = 0; i < points; i++) {
            double x = tess.coords[i][0], y = tess.coords[i][1];
            m->vertices.push_back({model_x(x), model_y(y), side ? z_back : z_front, tex_u(x), tex_v(y)});
        }
    // GLU winds every triangle the same way round, slivers of zero area included; keeping the slivers
    // keeps the caps joined to the walls, so the whole cap is turned by the sign of its total area.
    double total = 0;
    for (size_t i = 0; i + 2 < tess.corners.size(); i += 3) {
        const double* pa = tess.coords[tess.corners[i]].data();
        const double* pb = tess.coords[tess.corners[i + 1]].data();
        const double* pc = tess.coords[tess.corners[i + 2]].data();
        total += (pb[0] - pa[0]) * (pc[1] - pa[1]) - (pc[0] - pa[0]) * (pb[1] - pa[1]);
    }
    for (size_t i = 0; i + 2 < tess.corners.size(); i += 3) {
        int a = tess.corners[i], b = tess.corners[i + 1], c = tess.corners[i + 2];
        if (total > 0)  // anticlockwise seen from -z's opposite side: turn it for the front
            std::swap(b, c);
        m->faces.push_back({a, b, c});                                 // front, towards the viewer (-z)
        m->faces.push_back({a + points, c + points, b + points});      // back
    }
    // Side walls: one front and one back vertex per outline point, a quad per outline segment
    // facing away from the filled side.
    for (const Contour& c : g.contours) {
        int base = (int)m->vertices.size();
        for (const P2& p : c) {
            m->vertices.push_back({model_x(p.x), model_y(p.y), z_front, tex_u(p.x), side_v0});
            m->vertices.push_back({model_x(p.x), model_y(p.y), z_back, tex_u(p.x), side_v1});
        }
        int n = (int)c.size();
        for (int i = 0; i < n; i++) {
            const P2& a = c[i];
            const P2& b = c[(i + 1) % n];
            double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
            if (len < 1e-9)
                continue;
            double lx = -dy / len, ly = dx / len;  // left of the direction of travel
            double probe = 0.5;                    // font units
            int left_filled = winding(g.contours, (a.x + b.x) / 2 + lx * probe, (a.y + b.y) / 2 + ly * probe) != 0;
            double nx = left_filled ? -lx : lx, ny = left_filled ? -ly : ly;
            int fa = base + 2 * i, ba = fa + 1, fb = base + 2 * ((i + 1) % n), bb = fb + 1;
            mesh_add_facing(m, fa, fb, bb, nx, ny, 0);
            mesh_add_facing(m, fa, bb, ba, nx, ny, 0);
        }
    }
    mesh_drop_unused(m);
}

// ---- public functions ----

int letters_build(const char* font_path, const LetterSet* set, std::vector<MeshOut>* out)
{
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library)) {
        fprintf(stderr, "kerv16-meshes: FreeType does not start\n");
        return 0;
    }
    if (FT_New_Face(library, font_path, 0, &face)) {
        fprintf(stderr, "kerv16-meshes: cannot open the font %s\n", font_path);
        FT_Done_FreeType(library);
        return 0;
    }
    const double upem = face->units_per_EM;
    std::vector<Glyph> glyphs;
    double pen = 0;
    int ok = 1;
    for (size_t i = 0; ok && i < set->glyphs.size(); i++) {
        unsigned char ch = (unsigned char)set->glyphs[i];
        FT_UInt index = FT_Get_Char_Index(face, ch);
        if (!index || FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) ||
            face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
            fprintf(stderr, "kerv16-meshes: the font %s has no outline for '%c'\n", font_path, ch);
            ok = 0;
            break;
        }
        Glyph g{};
        Walk walk = {&g.contours, {0, 0}, set->step * upem};
        FT_Outline_Funcs funcs = {on_move, on_line, on_conic, on_cubic, 0, 0};
        FT_Outline_Decompose(&face->glyph->outline, &funcs, &walk);
        tidy(&g.contours);
        if (g.contours.empty()) {
            fprintf(stderr, "kerv16-meshes: the glyph '%c' has no outline to extrude\n", ch);
            ok = 0;
            break;
        }
        g.pen_x = pen;
        g.min_x = g.min_y = 1e30;
        g.max_x = g.max_y = -1e30;
        for (const Contour& c : g.contours)
            for (const P2& p : c) {
                g.min_x = std::min(g.min_x, p.x), g.max_x = std::max(g.max_x, p.x);
                g.min_y = std::min(g.min_y, p.y), g.max_y = std::max(g.max_y, p.y);
            }
        pen += face->glyph->advance.x;
        glyphs.push_back(g);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!ok)
        return 0;

    double word_x0 = 1e30, word_x1 = -1e30, word_y0 = 1e30, word_y1 = -1e30;
    for (const Glyph& g : glyphs) {
        word_x0 = std::min(word_x0, g.pen_x + g.min_x), word_x1 = std::max(word_x1, g.pen_x + g.max_x);
        word_y0 = std::min(word_y0, g.min_y), word_y1 = std::max(word_y1, g.max_y);
    }
    const double scale = set->em / upem;
    const double y_shift = set->pivot == PIVOT_MIDDLE ? (word_y0 + word_y1) / 2 : set->pivot == PIVOT_BOTTOM ? word_y0 : 0.0;
    out->clear();
    for (const Glyph& g : glyphs) {
        Tess tess{};
        if (!tessellate(g.contours, &tess)) {
            fprintf(stderr, "kerv16-meshes: cannot tessellate a glyph of \"%s\"\n", set->glyphs.c_str());
            return 0;
        }
        out->emplace_back();
        build_glyph(set, g, scale, (g.min_x + g.max_x) / 2, y_shift, word_x0, word_x1 - word_x0, word_y1,
                    word_y1 - word_y0, tess, &out->back());
    }
    return 1;
}
