// Row spans of the panorama projection's map. Each lane does what the
// per-point map does; where that takes a library call (acos, sin, cos) a
// polynomial within a few units of the last place stands in, divisions by
// constants become products and the two by a radius one, and the angles of
// a row or a column (the latitude of a row, the longitude of a column) come
// from the library once.
#include <cmath>
#include <cstring>
#include <numbers>

#include "imglib/ops/projection_map.h"

namespace {

constexpr double kPi = std::numbers::pi;

ILDouble2 Load(const double* p) {
    ILDouble2 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void Store(double* p, ILDouble2 v) {
    std::memcpy(p, &v, sizeof v);
}

ILDouble2 Splat(double v) {
    return ILDouble2{v, v};
}

// Comparisons' lane masks pick between lanes.
ILDouble2 Select(ILLong2 mask, ILDouble2 yes, ILDouble2 no) {
    return mask ? yes : no;
}

ILDouble2 Clamp1(ILDouble2 x) {
    return Select(x < -1.0, Splat(-1), Select(x > 1.0, Splat(1), x));
}

// acos of x in [-1, 1]: pi / 2 - asin(x) for |x| <= 1/2, 2 asin(sqrt((1 - |x|) / 2))
// (or pi less it) beyond, with asin(s) = s + s z P(z), z = s^2 <= 1/4. P
// interpolates at Chebyshev points; the result is within 1.5e-15 of acos.
[[gnu::always_inline]] inline ILDouble2 Acos(ILDouble2 x) {
    static constexpr double kP[] = {
        0.1666666666666695,   0.07499999999726302,  0.044642857578717755, 0.030381917485400308,
        0.022373010066676288, 0.017337192543712077, 0.014140941807431192, 0.0102896411236249,
        0.015445133336819308, -0.006822043980671263, 0.027871289137110143};
    const ILLong2 negative = x < 0.0;
    const ILDouble2 a = Select(negative, -x, x);
    const ILLong2 big = a > 0.5;
    const ILDouble2 z = Select(big, (1.0 - a) * 0.5, a * a);
    const ILDouble2 s = Select(big, ILSqrt2(z), a);
    // Estrin's scheme: short chains of dependent operations.
    const ILDouble2 z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
    const ILDouble2 p = (kP[0] + kP[1] * z) + z2 * (kP[2] + kP[3] * z) +
                        z4 * ((kP[4] + kP[5] * z) + z2 * (kP[6] + kP[7] * z)) +
                        z8 * ((kP[8] + kP[9] * z) + z2 * kP[10]);
    const ILDouble2 asin = s + s * z * p;
    const ILDouble2 small = Select(negative, kPi / 2 + asin, kPi / 2 - asin);
    const ILDouble2 large = Select(negative, kPi - 2.0 * asin, 2.0 * asin);
    return Select(big, large, small);
}

// sin and cos of t in [-pi / 2, pi / 2]: t + t^3 S(t^2) and
// 1 - t^2 / 2 + t^4 C(t^2), within 1e-15.
[[gnu::always_inline]] inline void SinCos(ILDouble2 t, ILDouble2* sine, ILDouble2* cosine) {
    static constexpr double kS[] = {-0.1666666666666665,     0.008333333333325933,
                                    -0.00019841269836469024, 2.7557318055685783e-06,
                                    -2.505197292154555e-08,  1.6050972244135636e-10,
                                    -7.40805488954261e-13};
    static constexpr double kC[] = {0.04166666666666666,    -0.0013888888888884767,
                                    2.480158729891355e-05,  -2.7557318573366175e-07,
                                    2.0876681558867395e-09, -1.1466252259718479e-11,
                                    4.6464359591124806e-14};
    const ILDouble2 w = t * t;
    ILDouble2 s = Splat(kS[6]), c = Splat(kC[6]);
    for (int i = 5; i >= 0; --i) {
        s = s * w + kS[i];
        c = c * w + kC[i];
    }
    *sine = t + t * w * s;
    *cosine = 1.0 - w * 0.5 + w * w * c;
}

double SafeAcos(double c) {
    return std::acos(c < -1.0 ? -1.0 : c > 1.0 ? 1.0 : c);
}

// What a target row shares: the sine and cosine of its latitude, or the
// disc's vertical coordinate.
struct Row {
    double first, second;
};

template <uint8_t To>
Row RowOf(const ILProjectionRows& m, uint32_t y) {
    const double v = (y + 0.5) / m.height;
    if constexpr (To <= 1) {
        const double theta = To == 0 ? kPi * v : SafeAcos(1 - 2 * v);
        return {std::sin(theta), std::cos(theta)};
    } else if constexpr (To == 2) {
        return {(2 * v - 1) * 360.0 / 360, 0};
    } else {
        return {2 * v - 1, 0};
    }
}

// The directions of target columns x and x + 1 of a row.
template <uint8_t To>
[[gnu::always_inline]] inline void Directions(const ILProjectionRows& m, const Row& row, uint32_t x, ILDouble2* dx,
                ILDouble2* dy, ILDouble2* dz) {
    if constexpr (To <= 1) {
        *dx = Load(m.first.data() + x) * row.first;
        *dy = Splat(row.second);
        *dz = Load(m.second.data() + x) * row.first;
    } else {
        const ILDouble2 a = Load(m.first.data() + x), b = Splat(row.first);
        const ILDouble2 rho = ILSqrt2(a * a + b * b);
        // The bearing's cosine and sine (bearing 0 at the centre).
        const ILLong2 off = rho > 0.0;
        const ILDouble2 inverse = 1.0 / rho;
        const ILDouble2 c = Select(off, a * inverse, Splat(1)),
                        s = Select(off, b * inverse, Splat(0));
        ILDouble2 sr, cr;
        if constexpr (To == 2) {
            // r = pi rho, in [0, pi] inside the disc: sin r = cos(r - pi / 2).
            ILDouble2 sine, cosine;
            SinCos(kPi * rho - kPi / 2, &sine, &cosine);
            sr = cosine;
            cr = -sine;
        } else {
            // r = 2 asin(min(1, rho)): sin r = 2 m sqrt(1 - m^2), cos r = 1 - 2 m^2.
            const ILDouble2 q = Select(rho < 1.0, rho, Splat(1));
            sr = 2.0 * q * ILSqrt2((1.0 - q) * (1.0 + q));
            cr = 1.0 - 2.0 * q * q;
        }
        *dx = c * sr;
        *dy = -s * sr;
        *dz = cr;
    }
}

// u and v (0 to 1 across the source) of directions.
template <uint8_t From>
[[gnu::always_inline]] inline void Positions(ILDouble2 dx, ILDouble2 dy, ILDouble2 dz, ILDouble2* u, ILDouble2* v) {
    if constexpr (From <= 1) {
        *v = From == 0 ? Acos(Clamp1(dy)) * (1 / kPi) : (1.0 - dy) / 2;
        // At a pole u is 0; elsewhere the longitude's acos, its sine
        // sqrt(1 - y^2) as the per-point map has it.
        const ILLong2 pole = (*v < 1e-7) | ((1.0 - *v < 1e-7) & (1.0 - *v > -1e-7));
        const ILDouble2 q = 1.0 - dy * dy;
        const ILDouble2 sine = ILSqrt2(Select(q > 0.0, q, Splat(0)));
        const ILDouble2 g = Acos(Clamp1(-dz / sine)) * (0.5 / kPi);
        const ILDouble2 east = Select(dx < 0.0, g, 1.0 - g);
        *u = Select(pole | (east == 1.0), Splat(0), east);
    } else {
        // The angle from the view axis, scaled per unit of the direction's
        // distance from that axis; at the axis itself the centre.
        const ILDouble2 c = Clamp1(dz);
        const ILDouble2 k = (From == 2 ? Acos(c) * (0.5 / kPi) : 0.5 * ILSqrt2((1.0 - c) * 0.5)) /
                            ILSqrt2(dx * dx + dy * dy);
        const ILLong2 axis = (dx == 0.0) & (dy == 0.0);
        *u = Select(axis, Splat(0.5), dx * k + 0.5);
        *v = Select(axis, Splat(0.5), -dy * k + 0.5);
    }
}

template <uint8_t From, uint8_t To>
void MapRow(const ILProjectionRows& m, uint32_t y, uint32_t x0, uint32_t x1, double* sx,
            double* sy) {
    const Row row = RowOf<To>(m, y);
    // Two lane pairs a step: their long chains of roots, divisions and
    // polynomials overlap.
    for (uint32_t x = x0; x < x1; x += 4) {
        ILDouble2 dx[2], dy[2], dz[2], u[2], v[2];
        Directions<To>(m, row, x, &dx[0], &dy[0], &dz[0]);
        Directions<To>(m, row, x + 2, &dx[1], &dy[1], &dz[1]);
        m.turn.Apply(&dx[0], &dy[0], &dz[0]);
        m.turn.Apply(&dx[1], &dy[1], &dz[1]);
        Positions<From>(dx[0], dy[0], dz[0], &u[0], &v[0]);
        Positions<From>(dx[1], dy[1], dz[1], &u[1], &v[1]);
        Store(sx + (x - x0), u[0] * m.sourceWidth);
        Store(sy + (x - x0), v[0] * m.sourceHeight);
        Store(sx + (x - x0) + 2, u[1] * m.sourceWidth);
        Store(sy + (x - x0) + 2, v[1] * m.sourceHeight);
    }
}

template <uint8_t From>
auto MapFor(uint8_t to) {
    constexpr decltype(&MapRow<From, 0>) maps[] = {MapRow<From, 0>, MapRow<From, 1>,
                                                   MapRow<From, 2>, MapRow<From, 3>};
    return maps[to];
}

} // namespace

// cos and sin of an angle in degrees; no turn for an angle of exactly 0 or
// one that is not a number. fmod keeps huge angles exact enough and cheap.
bool ILSphereTurn::Init(double x, double y, double z) {
    const double angles[3] = {-x, -y, -z};
    bool valid = true;
    for (int i = 0; i < 3; ++i) {
        c[i] = 1, s[i] = 0;
        enabled[i] = false;
        if (!std::isfinite(angles[i])) {
            valid = false;
            continue;
        }
        if (angles[i] == 0) continue;
        const double a = std::fmod(angles[i], 360.0) * kPi / 180;
        c[i] = std::cos(a);
        s[i] = std::sin(a);
        enabled[i] = true;
    }
    return valid;
}

void ILProjectionRowsInit(ILProjectionRows* m, uint8_t from, uint8_t to, const ILSphereTurn& turn,
                          uint32_t sourceWidth, uint32_t sourceHeight, uint32_t width,
                          uint32_t height) {
    m->from = from, m->to = to;
    m->turn = turn;
    m->width = width, m->height = height;
    m->sourceWidth = sourceWidth, m->sourceHeight = sourceHeight;
    m->first.assign(size_t{width} + 4, 0);
    m->second.assign(size_t{width} + 4, 0);
    for (uint32_t x = 0; x < width; ++x) {
        const double u = (x + 0.5) / width;
        if (to <= 1) {
            const double phi = 2 * kPi * (0.75 - u);
            m->first[x] = std::cos(phi);
            m->second[x] = std::sin(phi);
        } else {
            m->first[x] = to == 2 ? (2 * u - 1) * 360.0 / 360 : 2 * u - 1;
        }
    }
    switch (from) {
        case 0:
            m->map = MapFor<0>(to);
            break;
        case 1:
            m->map = MapFor<1>(to);
            break;
        case 2:
            m->map = MapFor<2>(to);
            break;
        default:
            m->map = MapFor<3>(to);
            break;
    }
}
