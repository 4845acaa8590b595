// The panorama projection's mapping from target pixels to source positions:
// the turn of the viewing sphere, which the per-point loop shares, and whole
// spans of a target row at once, in lanes of doubles with polynomial
// arc cosines and sines instead of a library call per point.
#pragma once

#include <cstdint>
#include <vector>

#include "imglib/ops/simd.h"

// The turn of the viewing sphere as the map applies it (the inverse of the
// sphere's): about x, then y (the polar axis), then z (the view axis); an
// axis whose angle is 0 is left out.
struct ILSphereTurn {
    bool enabled[3];
    double c[3], s[3];

    // false for an angle that is not a number.
    bool Init(double x, double y, double z);

    // For doubles and for lanes of them.
    template <class T>
    void Apply(T* x, T* y, T* z) const {
        if (enabled[0]) {
            const T nz = c[0] * *z + s[0] * *y, ny = c[0] * *y - s[0] * *z;
            *z = nz, *y = ny;
        }
        if (enabled[1]) {
            const T nz = c[1] * *z - s[1] * *x, nx = c[1] * *x + s[1] * *z;
            *z = nz, *x = nx;
        }
        if (enabled[2]) {
            const T nx = c[2] * *x - s[2] * *y, ny = s[2] * *x + c[2] * *y;
            *x = nx, *y = ny;
        }
    }
};

// What mapping the rows of one target takes, prepared once.
struct ILProjectionRows {
    uint8_t from = 0, to = 0;
    ILSphereTurn turn{};
    uint32_t width = 0, height = 0; // the target's
    double sourceWidth = 0, sourceHeight = 0;
    // Per column, four further entries for the last lanes: the disc's
    // horizontal coordinate (angular and mirror-ball targets), or the cosine
    // and sine of the longitude.
    std::vector<double> first, second;
    void (*map)(const ILProjectionRows&, uint32_t y, uint32_t x0, uint32_t x1, double* sx,
                double* sy) = nullptr;
};

// Codes 0 ... 3 of both projections; the target's size is not 0.
void ILProjectionRowsInit(ILProjectionRows* m, uint8_t from, uint8_t to, const ILSphereTurn& turn,
                          uint32_t sourceWidth, uint32_t sourceHeight, uint32_t width,
                          uint32_t height);

// The source positions of the pixel centres of columns [x0, x1) of target
// row y, into sx and sy from their first entry: the per-point map's values
// to within a few units of the last place. x1 - x0 rounded up to a
// multiple of 4 entries are written.
inline void ILMapProjectionRow(const ILProjectionRows& m, uint32_t y, uint32_t x0, uint32_t x1,
                               double* sx, double* sy) {
    m.map(m, y, x0, x1, sx, sy);
}
