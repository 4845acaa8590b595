#include "viewer/tool_settings/crop_settings.h"

#include <algorithm>
#include <cmath>

#include "viewer/logic/control_values.h"

namespace {

// The two margins across a side, `first` giving way before `second`, so
// that at least one pixel is left; `alternate` takes turns instead.
void GiveWay(int32_t side, int32_t& first, int32_t& second, bool alternate) {
    first = ClampToRange(first, 0, side - 1);
    second = ClampToRange(second, 0, side - 1);
    const int32_t missing = 1 - (side - first - second);
    if (missing <= 0) return;
    int32_t fromFirst = std::min(first, missing);
    if (alternate) fromFirst = std::min(first, std::max((missing + 1) / 2, missing - second));
    first -= fromFirst;
    second -= missing - fromFirst;
}

void Follow(CropState* s) {
    s->cropWidth = s->imageWidth - s->margins.left - s->margins.right;
    s->cropHeight = s->imageHeight - s->margins.top - s->margins.bottom;
}

// A margin typed beside the `other` one across a side of `side` pixels.
void MarginTyped(int32_t side, int32_t value, int32_t& margin, int32_t& other, int32_t& size) {
    margin = ClampToRange(value, 0, side - 1);
    size = side - margin - other;
    if (size < 1) {
        size = 1;
        other = side - margin - 1;
    }
}

// A size typed: `first` stays, `second` follows, and gives way to `first`
// when it would turn negative.
void SizeTyped(int32_t side, int32_t value, int32_t& first, int32_t& second, int32_t& size) {
    size = ClampToRange(value, 1, side);
    second = side - first - size;
    if (second < 0) {
        second = 0;
        first = side - size;
    }
}

int32_t Rounded(double v) {
    return SaturatingTruncate(std::floor(v + 0.5));
}

int32_t Side(uint32_t side) {
    return ClampToRange(side, 1, INT32_MAX);
}

} // namespace

CropState CropOpened(const MarginsBlock& stored, uint32_t imageWidth, uint32_t imageHeight) {
    CropState s;
    s.imageWidth = Side(imageWidth);
    s.imageHeight = Side(imageHeight);
    s.margins = stored;
    GiveWay(s.imageWidth, s.margins.left, s.margins.right, true);
    GiveWay(s.imageHeight, s.margins.top, s.margins.bottom, true);
    Follow(&s);
    return s;
}

void CropApplyMargins(CropState* s, const MarginsBlock& margins) {
    s->margins = margins;
    GiveWay(s->imageWidth, s->margins.right, s->margins.left, false);
    GiveWay(s->imageHeight, s->margins.bottom, s->margins.top, false);
    Follow(s);
}

void CropLeftTyped(CropState* s, int32_t value) {
    MarginTyped(s->imageWidth, value, s->margins.left, s->margins.right, s->cropWidth);
}

void CropRightTyped(CropState* s, int32_t value) {
    MarginTyped(s->imageWidth, value, s->margins.right, s->margins.left, s->cropWidth);
}

void CropTopTyped(CropState* s, int32_t value) {
    MarginTyped(s->imageHeight, value, s->margins.top, s->margins.bottom, s->cropHeight);
}

void CropBottomTyped(CropState* s, int32_t value) {
    MarginTyped(s->imageHeight, value, s->margins.bottom, s->margins.top, s->cropHeight);
}

void CropWidthTyped(CropState* s, int32_t value) {
    SizeTyped(s->imageWidth, value, s->margins.left, s->margins.right, s->cropWidth);
}

void CropHeightTyped(CropState* s, int32_t value) {
    SizeTyped(s->imageHeight, value, s->margins.top, s->margins.bottom, s->cropHeight);
}

ILRect CropSelectionRect(const CropState& s, const PreviewPlacement& p) {
    const double sx = static_cast<double>(p.width) / s.imageWidth;
    const double sy = static_cast<double>(p.height) / s.imageHeight;
    const MarginsBlock& m = s.margins;
    return {p.x + Rounded(m.left * sx), p.y + Rounded(m.top * sy),
            p.x + p.width - Rounded(m.right * sx), p.y + p.height - Rounded(m.bottom * sy)};
}

void CropSelectionToMargins(CropState* s, const ILRect& r, const PreviewPlacement& p) {
    const double sx = static_cast<double>(p.width) / s->imageWidth;
    const double sy = static_cast<double>(p.height) / s->imageHeight;
    const auto margin = [](double v) { return std::max(0, Rounded(v)); };
    CropApplyMargins(s, {margin((r.left - p.x) / sx), margin((p.x + p.width - r.right) / sx),
                         margin((r.top - p.y) / sy), margin((p.y + p.height - r.bottom) / sy)});
}

int32_t CropHitCode(const CropState& s, const ILRect& r, const PreviewPlacement& p, int32_t x,
                    int32_t y) {
    if (x < p.x - 1 || y < p.y - 1 || x >= p.x + p.width + 1 || y >= p.y + p.height + 1) return 0;
    int32_t code = 0;
    if (x <= r.left)
        code += 1;
    else if (x >= r.right)
        code += 2;
    if (y <= r.top)
        code += 4;
    else if (y >= r.bottom)
        code += 8;
    if (code != 0) return code;
    const bool whole = s.cropWidth >= s.imageWidth && s.cropHeight >= s.imageHeight;
    return whole ? 0 : kCropMove;
}

void CropDragSelection(int32_t mode, int32_t dx, int32_t dy, const PreviewPlacement& p, ILRect* r) {
    const int32_t right = p.x + p.width, bottom = p.y + p.height;
    if (mode == kCropMove) {
        dx = std::clamp(dx, p.x - r->left, std::max(p.x - r->left, right - r->right));
        dy = std::clamp(dy, p.y - r->top, std::max(p.y - r->top, bottom - r->bottom));
        *r = {r->left + dx, r->top + dy, r->right + dx, r->bottom + dy};
        return;
    }
    if (mode & 1) r->left = std::clamp(r->left + dx, p.x, std::max(p.x, r->right - 1));
    if (mode & 2) r->right = std::clamp(r->right + dx, std::min(r->left + 1, right), right);
    if (mode & 4) r->top = std::clamp(r->top + dy, p.y, std::max(p.y, r->bottom - 1));
    if (mode & 8) r->bottom = std::clamp(r->bottom + dy, std::min(r->top + 1, bottom), bottom);
}

ILRect CropBandRect(int32_t fromX, int32_t fromY, int32_t x, int32_t y, const PreviewPlacement& p) {
    const auto inX = [&](int32_t v) { return std::clamp(v, p.x, p.x + p.width - 1); };
    const auto inY = [&](int32_t v) { return std::clamp(v, p.y, p.y + p.height - 1); };
    fromX = inX(fromX), x = inX(x), fromY = inY(fromY), y = inY(y);
    return {std::min(fromX, x), std::min(fromY, y), std::max(fromX, x) + 1, std::max(fromY, y) + 1};
}

uint8_t CropMaskSample(uint8_t v, int32_t mode) {
    switch (mode) {
        case 2:
            return static_cast<uint8_t>((v + 255) >> 1);
        case 3:
            return static_cast<uint8_t>(255 - v);
        default:
            return static_cast<uint8_t>(v >> 1);
    }
}
