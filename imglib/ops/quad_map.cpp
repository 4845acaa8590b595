// Projective maps of the unit square onto quadrilaterals, their inverse and
// product: the building blocks of the perspective transform.
#include <cstring>

#include "imglib/ops/geometry.h"

namespace {

void Zero(ILQuadMap* m) {
    std::memset(m->m, 0, sizeof m->m);
}

} // namespace

bool ILQuadMapSquareToQuad(ILQuadMap* map, const double q[8]) {
    double* m = map->m;
    const double x0 = q[0], y0 = q[1], x1 = q[2], y1 = q[3], x2 = q[4], y2 = q[5], x3 = q[6],
                 y3 = q[7];
    const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
    if (sx == 0 && sy == 0) { // a parallelogram: affine
        m[0] = x1 - x0, m[3] = x2 - x1, m[6] = x0;
        m[1] = y1 - y0, m[4] = y2 - y1, m[7] = y0;
        m[2] = m[5] = 0, m[8] = 1;
        return true;
    }
    const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
    const double den = dx1 * dy2 - dx2 * dy1;
    if (den == 0) {
        Zero(map);
        return false;
    }
    const double g = (sx * dy2 - dx2 * sy) / den, h = (dx1 * sy - sx * dy1) / den;
    m[0] = x1 - x0 + g * x1, m[3] = x3 - x0 + h * x3, m[6] = x0;
    m[1] = y1 - y0 + g * y1, m[4] = y3 - y0 + h * y3, m[7] = y0;
    m[2] = g, m[5] = h, m[8] = 1;
    return true;
}

bool ILQuadMapInvert(ILQuadMap* map) {
    const double* a = map->m;
    // Cofactors of the transposed matrix: the adjugate.
    double adj[9] = {
        a[4] * a[8] - a[5] * a[7], a[2] * a[7] - a[1] * a[8], a[1] * a[5] - a[2] * a[4],
        a[5] * a[6] - a[3] * a[8], a[0] * a[8] - a[2] * a[6], a[2] * a[3] - a[0] * a[5],
        a[3] * a[7] - a[4] * a[6], a[1] * a[6] - a[0] * a[7], a[0] * a[4] - a[1] * a[3],
    };
    const double det = a[0] * adj[0] + a[1] * adj[3] + a[2] * adj[6];
    if (det == 0) {
        Zero(map);
        return false;
    }
    for (int i = 0; i < 9; ++i)
        map->m[i] = adj[i] / det;
    return true;
}

void ILQuadMapMultiply(ILQuadMap* map, const ILQuadMap* other) {
    const double* a = map->m;
    const double* b = other->m;
    double r[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i * 3 + j] = a[i * 3] * b[j] + a[i * 3 + 1] * b[3 + j] + a[i * 3 + 2] * b[6 + j];
    std::memcpy(map->m, r, sizeof r);
}

bool ILQuadMapQuadToRect(ILQuadMap* map, const double quad[8], double left, double top,
                         double right, double bottom) {
    const double rect[8] = {left, top, right, top, right, bottom, left, bottom};
    ILQuadMap toRect;
    if (!ILQuadMapSquareToQuad(map, quad) || !ILQuadMapInvert(map) ||
        !ILQuadMapSquareToQuad(&toRect, rect))
        return false;
    ILQuadMapMultiply(map, &toRect);
    return true;
}
