#include "viewer/actions/action_apply.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "imglib/format.h"
#include "imglib/ops/alpha.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/gauss.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/projection.h"
#include "imglib/ops/resample.h"
#include "viewer/actions/le_bytes.h"

namespace {

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();

bool FitsInt32(int64_t v) {
    return v >= kInt32Min && v <= kInt32Max;
}

// Lowers `first` (when above 0), then `second`, until size - first - second
// is 1.
void GiveWay(int64_t size, int64_t& first, int64_t& second) {
    const int64_t missing = 1 - (size - first - second);
    if (missing <= 0) return;
    const int64_t fromFirst = std::min(std::max<int64_t>(first, 0), missing);
    first -= fromFirst;
    second -= missing - fromFirst;
}

bool ApplyProjection(const ILProjectionParams& p, ILHandle* h, ILImage* image) {
    int32_t width, height;
    if (!ProjectionOutputSize(p, image->width, image->height, &width, &height)) return false;
    ILImage target;
    bool ok = ILReallocImage(&target, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                             image->type, nullptr) == 1 &&
              ILProjectImage(h, image, &target, &p) == 1;
    if (ok) ILMoveImage(image, &target, true, true);
    ILFreeImage(&target);
    return ok;
}

bool ApplyAlpha(const AlphaBlock& b, ILHandle* h, ILImage* image, ActionHost& host) {
    switch (b.kind) {
        case ALPHA_ADD_MASK:
            return ILAddAlpha(h, image, b.opacity, b.border, b.shape) == 1;
        case ALPHA_REMOVE: {
            // The block's choice, not the user's current one, for this removal.
            uint8_t kept = 0;
            ILGetAlphaMode(h, &kept);
            ILSetAlphaMode(h, b.removeAlphaMode);
            const bool done = ILRemoveAlpha(h, image) == 1;
            ILSetAlphaMode(h, kept);
            return done;
        }
        case ALPHA_INVERT:
            return ILInvertAlpha(h, image) == 1;
        case ALPHA_LOAD_FILE: {
            const std::u16string path = host.LibraryPath(b.path);
            if (path.empty()) return false;
            ILImage mask;
            ILInitImage(&mask);
            const bool done = ILLoadImage(h, path.c_str(), &mask, nullptr) >= 1 &&
                              ILLoadAlpha(h, image, &mask) == 1;
            ILClearImage(&mask);
            return done;
        }
        case ALPHA_SAVE_FILE:
            return true;
        default:
            return false;
    }
}

bool ApplyToneMap(const ToneMapBlock& b, ILHandle* h, ILImage* image) {
    ILToneMap t;
    ILToneMapInit(&t);
    ILToneMapSetExposure(&t, b.exposure, false);
    ILToneMapSetBlack(&t, b.black, false);
    if (!ILToneMapSetExponent(&t, b.exponent, false)) return false;
    ILToneMapSetChroma(&t, b.chroma, false);
    ILToneMapSetHue(&t, b.hue, false);
    ILToneMapSetWhitePoint(&t, b.whitePoint, false);
    ILToneMapUpdate(&t);
    return ILToneMapApplyInPlace(&t, h, image) == 1;
}

template <typename Block>
bool Decode(const Action& a, Block* b) {
    return DecodeBlock(a.block, b);
}

} // namespace

WriteTextParams WriteTextParamsOf(const WriteTextBlock& b) {
    WriteTextParams p = {};
    p.font = LogFontAs<decltype(p.font)>(b.font);
    p.color = b.color;
    p.lineAlign = b.alignment;
    p.offsetX = b.anchorX;
    p.offsetY = b.anchorY;
    p.anchor = b.anchor;
    p.orientation = b.orientation;
    p.alphaWrite = b.dialogSetting;
    p.effect = b.effect;
    p.blur = b.effectBlur;
    p.effectX = b.effectX;
    p.effectY = b.effectY;
    return p;
}

bool ApplyWriteText(const WriteTextBlock& b, const char16_t* text, ILHandle* h, ILImage* image) {
    if (!text || !*text) return false;
    const WriteTextParams p = WriteTextParamsOf(b);
    return ILWriteText(h, image, &p, text) == 1;
}

bool CropRectOf(const MarginsBlock& m, uint32_t width, uint32_t height, CropRect* rect) {
    int64_t left = m.left, right = m.right, top = m.top, bottom = m.bottom;
    GiveWay(width, right, left);
    GiveWay(height, bottom, top);
    const int64_t w = int64_t(width) - left - right;
    const int64_t hgt = int64_t(height) - top - bottom;
    if (!FitsInt32(left) || !FitsInt32(top) || !FitsInt32(w) || !FitsInt32(hgt)) return false;
    *rect = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(w),
             static_cast<int32_t>(hgt)};
    return true;
}

bool ExpandRectOf(const MarginsBlock& m, uint32_t width, uint32_t height, CropRect* rect) {
    if (m.left < 0 || m.right < 0 || m.top < 0 || m.bottom < 0) return false;
    const int64_t w = int64_t(m.left) + width + m.right;
    const int64_t hgt = int64_t(m.top) + height + m.bottom;
    if (w > kInt32Max || hgt > kInt32Max) return false;
    *rect = {-m.left, -m.top, static_cast<int32_t>(w), static_cast<int32_t>(hgt)};
    return true;
}

bool ApplyAction(const Action& action, ILHandle* h, ILImage* image, ActionHost& host) {
    if (!image->data || !BlockIsValid(action.type, action.block) || action.type == ACTION_NONE)
        return false;
    switch (action.type) {
        case ACTION_OPEN:
        case ACTION_SAVE:
            return true;
        case ACTION_MODE: {
            ModeBlock b;
            return Decode(action, &b) && host.ChangeMode(b);
        }
        case ACTION_ALPHA_CHANNEL: {
            AlphaBlock b;
            return Decode(action, &b) && ApplyAlpha(b, h, image, host);
        }
        case ACTION_TONEMAPPING: {
            ToneMapBlock b;
            return Decode(action, &b) && ApplyToneMap(b, h, image);
        }
        case ACTION_COLOR_FILTER: {
            ColorFilterBlock b;
            if (!Decode(action, &b)) return false;
            ILColorFilterParams p;
            ILColorFilterInit(&p, b.lightHue, b.lightStrength, b.shadowHue, b.shadowStrength);
            return ILColorFilterInPlace(&p, h, image) == 1;
        }
        case ACTION_GAUSS_FILTER: {
            GaussBlock b;
            if (!Decode(action, &b)) return false;
            ILGaussParams p;
            ILGaussParamsInit(&p, b.operation, b.amount, b.radius, b.gain);
            ILGaussParamsSetChannels(&p, b.channels[0] != 0, b.channels[1] != 0, b.channels[2] != 0,
                                     b.channels[3] != 0);
            return ILGaussFilterInPlace(&p, h, image) == 1;
        }
        case ACTION_CROP: {
            MarginsBlock b;
            CropRect r;
            return Decode(action, &b) && CropRectOf(b, image->width, image->height, &r) &&
                   ILCropImage(image, nullptr, r.x, r.y, r.width, r.height, nullptr) == 1;
        }
        case ACTION_EXPAND: {
            ExpandBlock b;
            CropRect r;
            if (!Decode(action, &b) || !ExpandRectOf(b.margins, image->width, image->height, &r))
                return false;
            if (ILPixelModel(image->type) == IL_MODEL_INDEXED && image->palette)
                image->palette->FindNearest(&b.color);
            return ILCropImage(image, nullptr, r.x, r.y, r.width, r.height, &b.color) == 1;
        }
        case ACTION_SHIFT: {
            ShiftBlock b;
            return Decode(action, &b) && ILShiftImage(image, nullptr, b.dx, b.dy) == 1;
        }
        case ACTION_ROTATE:
            return ILRotateImage(h, image, GetI32(action.block)) == 1;
        case ACTION_MIRROR:
            return ILMirrorImage(h, image, GetI32(action.block)) == 1;
        case ACTION_RESAMPLE: {
            ResampleBlock b;
            return Decode(action, &b) &&
                   ILResampleImage(h, image, b.width, b.height, b.filter) == 1;
        }
        case ACTION_INVERT:
            return ILInvertImage(image) == 1;
        case ACTION_SWAP_RED_BLUE:
            return ILSwapRedBlue(image) == 1;
        case ACTION_WRITE_TEXT: {
            WriteTextBlock b;
            return Decode(action, &b) && host.WriteText(b, ActionText(action));
        }
        case ACTION_AFFINE: {
            ILAffineParams b;
            return Decode(action, &b) && ILAffineTransform(h, image, nullptr, &b) == 1;
        }
        case ACTION_PERSPECTIVE: {
            ILPerspectiveParams b;
            return Decode(action, &b) && ILPerspectiveTransform(h, image, nullptr, &b) == 1;
        }
        case ACTION_PROJECTION_3D: {
            ILProjectionParams b;
            return Decode(action, &b) && ApplyProjection(b, h, image);
        }
        default:
            return false;
    }
}
