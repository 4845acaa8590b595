// The panorama projection: every target pixel becomes a direction through
// the target projection, the direction is turned, and the source projection
// turns it back into a source position, read with wrap-around.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <new>

#include "imglib/byte_order.h"
#include "imglib/ops/projection.h"
#include "imglib/ops/projection_rows.h"
#include "imglib/ops/transformer.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct Direction {
    double x, y, z;
};

// acos of a cosine that rounding may have pushed past +-1.
double SafeAcos(double c) {
    return std::acos(std::clamp(c, -1.0, 1.0));
}

class ILProjection {
public:
    virtual ~ILProjection() = default;
    // u and v run from 0 to 1 across the image, v downwards.
    virtual Direction ToDirection(double u, double v) const = 0;
    virtual void ToImage(const Direction& d, double* u, double* v) const = 0;
};

// The u rule of latitude/longitude and cylindrical images, with the axes
// A = (0, 1, 0), B = (0, 0, -1), C = (1, 0, 0).
void SphereU(const Direction& d, double* u, double* v) {
    if (*v < 1e-7 || std::fabs(1 - *v) < 1e-7) { // a pole
        *u = 0;
        return;
    }
    // sin(theta) of theta = acos(d.y), without the sine.
    const double sine = std::sqrt(std::max(0.0, 1 - d.y * d.y));
    const double f = std::clamp(-d.z / sine, -1.0, 1.0);
    const double g = std::acos(f) / (2 * kPi);
    *u = d.x < 0 ? g : 1 - g;
    if (*u == 1) *u = 0;
    if (*v == 1) *v = 0;
}

Direction FromSphere(double phi, double theta) {
    return {std::cos(phi) * std::sin(theta), std::cos(theta), std::sin(phi) * std::sin(theta)};
}

class ILLatLongProjection final : public ILProjection {
public:
    Direction ToDirection(double u, double v) const override {
        return FromSphere(2 * kPi * (0.75 - u), kPi * v);
    }
    void ToImage(const Direction& d, double* u, double* v) const override {
        *v = SafeAcos(d.y) / kPi;
        SphereU(d, u, v);
    }
};

class ILCylindricalProjection final : public ILProjection {
public:
    Direction ToDirection(double u, double v) const override {
        return FromSphere(2 * kPi * (0.75 - u), SafeAcos(1 - 2 * v));
    }
    void ToImage(const Direction& d, double* u, double* v) const override {
        *v = (1 - d.y) / 2;
        SphereU(d, u, v);
    }
};

// The direction at disc point (a, b), rho = |(a, b)| from the centre, r the
// angle from the view axis. The cosine and sine of the point's bearing are
// a / rho and b / rho, without the angle itself (at the centre: bearing 0).
Direction FromDisc(double a, double b, double rho, double r) {
    const double c = rho > 0 ? a / rho : 1, s = rho > 0 ? b / rho : 0;
    const double sr = std::sin(r), cr = std::cos(r);
    return {c * sr, -s * sr, cr};
}

class ILAngularProjection final : public ILProjection {
public:
    double fieldOfView = 360;

    Direction ToDirection(double u, double v) const override {
        const double a = (2 * u - 1) * fieldOfView / 360, b = (2 * v - 1) * fieldOfView / 360;
        const double rho = std::sqrt(a * a + b * b);
        return FromDisc(a, b, rho, kPi * rho);
    }
    void ToImage(const Direction& d, double* u, double* v) const override {
        *u = *v = 0.5;
        if (d.x == 0 && d.y == 0) return;
        const double k = SafeAcos(d.z) / (2 * kPi) / std::sqrt(d.x * d.x + d.y * d.y);
        *u = d.x * k + 0.5;
        *v = -d.y * k + 0.5;
    }
};

class ILMirrorBallProjection final : public ILProjection {
public:
    Direction ToDirection(double u, double v) const override {
        const double a = 2 * u - 1, b = 2 * v - 1;
        const double rho = std::sqrt(a * a + b * b);
        // Past the rim (corners of the square) the ball has no direction:
        // clamped to the rim, straight behind.
        return FromDisc(a, b, rho, 2 * std::asin(std::min(1.0, rho)));
    }
    void ToImage(const Direction& d, double* u, double* v) const override {
        *u = *v = 0.5;
        if (d.x == 0 && d.y == 0) return;
        const double k = 0.5 * std::sin(SafeAcos(d.z) / 2) / std::sqrt(d.x * d.x + d.y * d.y);
        *u = d.x * k + 0.5;
        *v = -d.y * k + 0.5;
    }
};

std::unique_ptr<ILProjection> MakeProjection(uint8_t code) {
    switch (code) {
        case 0:
            return std::make_unique<ILLatLongProjection>();
        case 1:
            return std::make_unique<ILCylindricalProjection>();
        case 2:
            return std::make_unique<ILAngularProjection>();
        case 3:
            return std::make_unique<ILMirrorBallProjection>();
        default:
            return nullptr;
    }
}

class ILProjectionTransformer final : public ILTransformer {
public:
    std::unique_ptr<ILProjection> from, to;
    ILSphereTurn rotation{};

    void Map(double x, double y, double* sx, double* sy) const override {
        Direction d = to->ToDirection(x / target->width, y / target->height);
        rotation.Apply(&d.x, &d.y, &d.z);
        double u, v;
        from->ToImage(d, &u, &v);
        *sx = u * source->width;
        *sy = v * source->height;
    }
};

// Little-endian fields at fixed offsets.
void PutDouble(uint8_t* b, size_t at, double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    ILPutLe32(b + at, static_cast<uint32_t>(bits));
    ILPutLe32(b + at + 4, static_cast<uint32_t>(bits >> 32));
}
void PutFloat(uint8_t* b, size_t at, float v) {
    ILPutLe32(b + at, std::bit_cast<uint32_t>(v));
}
void PutInt(uint8_t* b, size_t at, int32_t v) {
    ILPutLe32(b + at, static_cast<uint32_t>(v));
}
double GetDouble(const uint8_t* b, size_t at) {
    return std::bit_cast<double>(ILGetLe32(b + at) | uint64_t{ILGetLe32(b + at + 4)} << 32);
}
float GetFloat(const uint8_t* b, size_t at) {
    return std::bit_cast<float>(ILGetLe32(b + at));
}
int32_t GetInt(const uint8_t* b, size_t at) {
    return static_cast<int32_t>(ILGetLe32(b + at));
}

} // namespace

const char* const ILProjectionNames[IL_PROJECTION_COUNT] = {"Latitude/Longitude", "Cylindrical",
                                                            "Angular", "Mirror Ball"};

void ILProjectionParamsToBytes(const ILProjectionParams* p, uint8_t bytes[60]) {
    std::memset(bytes, 0, IL_PROJECTION_PARAMS_BYTES);
    PutDouble(bytes, 0, p->angleX);
    PutDouble(bytes, 8, p->angleY);
    PutDouble(bytes, 16, p->angleZ);
    PutFloat(bytes, 24, p->background.r);
    PutFloat(bytes, 28, p->background.g);
    PutFloat(bytes, 32, p->background.b);
    PutFloat(bytes, 36, p->background.a);
    PutInt(bytes, 40, p->background.index);
    bytes[44] = p->oversampling;
    bytes[45] = p->sourceProjection;
    bytes[46] = p->targetProjection;
    PutInt(bytes, 48, p->width);
    PutInt(bytes, 52, p->height);
    PutInt(bytes, 56, p->sizeMode);
}

void ILProjectionParamsFromBytes(const uint8_t bytes[60], ILProjectionParams* p) {
    p->angleX = GetDouble(bytes, 0);
    p->angleY = GetDouble(bytes, 8);
    p->angleZ = GetDouble(bytes, 16);
    p->background.r = GetFloat(bytes, 24);
    p->background.g = GetFloat(bytes, 28);
    p->background.b = GetFloat(bytes, 32);
    p->background.a = GetFloat(bytes, 36);
    p->background.index = GetInt(bytes, 40);
    p->oversampling = bytes[44];
    p->sourceProjection = bytes[45];
    p->targetProjection = bytes[46];
    p->width = GetInt(bytes, 48);
    p->height = GetInt(bytes, 52);
    p->sizeMode = GetInt(bytes, 56);
}

ILResult ILProjectImage(ILHandle* h, ILImage* source, ILImage* target,
                        const ILProjectionParams* params) {
    return ILProjectImageBy(h, source, target, params, ILProjectionPath::kFastest);
}

ILResult ILProjectImageBy(ILHandle* h, ILImage* source, ILImage* target,
                          const ILProjectionParams* params, ILProjectionPath path) {
    if (!params || !ILIsValidImage(source) || !target || !target->data || target->width == 0 ||
        target->height == 0 || target->type != source->type)
        return IL_BAD_ARGUMENT;
    try {
        ILProjectionTransformer t;
        t.from = MakeProjection(params->sourceProjection);
        t.to = MakeProjection(params->targetProjection);
        if (!t.from || !t.to || !t.rotation.Init(params->angleX, params->angleY, params->angleZ))
            return IL_BAD_ARGUMENT;
        if (!target->palette && source->palette) target->palette = new ILPalette(*source->palette);
        if (ILTransformerInit(&t, h, source, target, true, params->oversampling,
                              &params->background) != IL_OK)
            return IL_BAD_ARGUMENT;
        t.discMask = params->targetProjection >= 2;
        const ILSpanAtProc span =
            path == ILProjectionPath::kFastest ? ILSpanAt8For(&t, true) : nullptr;
        if (!span) return ILTransformerRun(&t);
        ILProjectionRows rows;
        ILProjectionRowsInit(&rows, params->sourceProjection, params->targetProjection, t.rotation,
                             source->width, source->height, target->width, target->height);
        return ILProjectRows(&t, rows, span);
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(h, 0);
    }
}
