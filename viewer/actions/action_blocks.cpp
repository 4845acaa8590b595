#include "viewer/actions/action_blocks.h"

#include <algorithm>
#include <cstring>

#include "viewer/actions/action_types.h"
#include "viewer/actions/le_bytes.h"

namespace {

// The path fields of Open and Alpha Channel blocks: 960 bytes after the
// leading 32-bit field, UTF-16 with a terminating zero.
constexpr size_t kPathOffset = 4;
constexpr size_t kPathUnits = 480;

// The text up to its zero; false when the field holds none.
bool GetPath(const uint8_t* in, std::u16string* path) {
    path->clear();
    for (size_t i = 0; i < kPathUnits; ++i) {
        const auto unit = static_cast<char16_t>(in[2 * i] | in[2 * i + 1] << 8);
        if (unit == 0) return true;
        path->push_back(unit);
    }
    path->clear();
    return false;
}

void PutMargins(const MarginsBlock& b, uint8_t* out) {
    PutI32(out, b.left);
    PutI32(out + 4, b.right);
    PutI32(out + 8, b.top);
    PutI32(out + 12, b.bottom);
}

MarginsBlock GetMargins(const uint8_t* in) {
    return {GetI32(in), GetI32(in + 4), GetI32(in + 8), GetI32(in + 12)};
}

} // namespace

void EncodePathField(std::u16string_view path, uint8_t* field) {
    const size_t n = std::min(path.size(), kPathUnits - 1);
    for (size_t i = 0; i < n; ++i) {
        field[2 * i] = static_cast<uint8_t>(path[i]);
        field[2 * i + 1] = static_cast<uint8_t>(path[i] >> 8);
    }
}

void EncodeColor(const ILColor& c, uint8_t* out) {
    PutF32(out, c.r);
    PutF32(out + 4, c.g);
    PutF32(out + 8, c.b);
    PutF32(out + 12, c.a);
    PutI32(out + 16, c.index);
}

ILColor DecodeColor(const uint8_t* in) {
    ILColor c;
    c.r = GetF32(in);
    c.g = GetF32(in + 4);
    c.b = GetF32(in + 8);
    c.a = GetF32(in + 12);
    c.index = GetI32(in + 16);
    return c;
}

void EncodeInt(int32_t v, uint8_t* out) {
    PutI32(out, v);
}

void EncodeBlock(const ModeBlock& b, uint8_t* out) {
    std::memset(out, 0, kModeBytes);
    PutI32(out, b.command);
    out[8] = b.dither;
    out[9] = b.alphaMode;
}

bool DecodeBlock(const uint8_t* in, ModeBlock* b) {
    b->command = GetI32(in);
    b->dither = in[8];
    b->alphaMode = in[9];
    return b->command >= kFirstModeCommand && b->command <= kLastModeCommand && b->dither <= 3 &&
           b->alphaMode <= 2;
}

void EncodeBlock(const AlphaBlock& b, uint8_t* out) {
    std::memset(out, 0, kAlphaBytes);
    PutI32(out, b.kind);
    switch (b.kind) {
        case ALPHA_ADD_MASK:
            PutI32(out + 4, b.border);
            PutF32(out + 8, b.opacity);
            PutI32(out + 12, b.shape);
            break;
        case ALPHA_REMOVE:
            out[4] = b.removeAlphaMode;
            break;
        case ALPHA_LOAD_FILE:
            EncodePathField(b.path, out + kPathOffset);
            break;
        default:
            break;
    }
}

bool DecodeBlock(const uint8_t* in, AlphaBlock* b) {
    *b = AlphaBlock{};
    b->kind = GetI32(in);
    switch (b->kind) {
        case ALPHA_ADD_MASK:
            b->border = GetI32(in + 4);
            b->opacity = GetF32(in + 8);
            b->shape = GetI32(in + 12);
            return b->border >= 0 && b->opacity >= 0 && b->opacity <= 1 &&
                   (b->shape == 1 || b->shape == 2);
        case ALPHA_REMOVE:
            b->removeAlphaMode = in[4];
            return b->removeAlphaMode == 0 || b->removeAlphaMode == 2;
        case ALPHA_LOAD_FILE:
            return GetPath(in + kPathOffset, &b->path) && !b->path.empty();
        case ALPHA_INVERT:
        case ALPHA_SAVE_FILE:
            return true;
        default:
            return false;
    }
}

void EncodeBlock(const ToneMapBlock& b, uint8_t* out) {
    PutF32(out, b.exposure);
    PutF32(out + 4, b.black);
    PutF32(out + 8, b.exponent);
    PutF32(out + 12, b.hue);
    PutF32(out + 16, b.chroma);
    PutI32(out + 20, b.whitePoint);
}

bool DecodeBlock(const uint8_t* in, ToneMapBlock* b) {
    b->exposure = GetF32(in);
    b->black = GetF32(in + 4);
    b->exponent = GetF32(in + 8);
    b->hue = GetF32(in + 12);
    b->chroma = GetF32(in + 16);
    b->whitePoint = GetI32(in + 20);
    return true;
}

void EncodeBlock(const ColorFilterBlock& b, uint8_t* out) {
    PutF32(out, b.shadowHue);
    PutF32(out + 4, b.lightHue);
    PutF32(out + 8, b.shadowStrength);
    PutF32(out + 12, b.lightStrength);
}

bool DecodeBlock(const uint8_t* in, ColorFilterBlock* b) {
    b->shadowHue = GetF32(in);
    b->lightHue = GetF32(in + 4);
    b->shadowStrength = GetF32(in + 8);
    b->lightStrength = GetF32(in + 12);
    return true;
}

void EncodeBlock(const GaussBlock& b, uint8_t* out) {
    PutI32(out, b.operation);
    PutF32(out + 4, b.amount);
    PutI32(out + 8, b.radius);
    PutF32(out + 12, b.gain);
    std::memcpy(out + 16, b.channels, 4);
}

bool DecodeBlock(const uint8_t* in, GaussBlock* b) {
    b->operation = GetI32(in);
    b->amount = GetF32(in + 4);
    b->radius = GetI32(in + 8);
    b->gain = GetF32(in + 12);
    std::memcpy(b->channels, in + 16, 4);
    return b->operation >= 1 && b->operation <= 3 && b->radius >= 1;
}

void EncodeBlock(const MarginsBlock& b, uint8_t* out) {
    PutMargins(b, out);
}

bool DecodeBlock(const uint8_t* in, MarginsBlock* b) {
    *b = GetMargins(in);
    return true;
}

void EncodeBlock(const ExpandBlock& b, uint8_t* out) {
    PutMargins(b.margins, out);
    EncodeColor(b.color, out + 16);
}

bool DecodeBlock(const uint8_t* in, ExpandBlock* b) {
    b->margins = GetMargins(in);
    b->color = DecodeColor(in + 16);
    const MarginsBlock& m = b->margins;
    return m.left >= 0 && m.right >= 0 && m.top >= 0 && m.bottom >= 0;
}

void EncodeBlock(const ShiftBlock& b, uint8_t* out) {
    PutI32(out, b.dx);
    PutI32(out + 4, b.dy);
}

bool DecodeBlock(const uint8_t* in, ShiftBlock* b) {
    b->dx = GetI32(in);
    b->dy = GetI32(in + 4);
    return true;
}

void EncodeBlock(const ResampleBlock& b, uint8_t* out) {
    std::memset(out, 0, kResampleBytes);
    PutI32(out, b.width);
    PutI32(out + 4, b.height);
    out[8] = b.filter;
}

bool DecodeBlock(const uint8_t* in, ResampleBlock* b) {
    b->width = GetI32(in);
    b->height = GetI32(in + 4);
    b->filter = in[8];
    return b->width >= 1 && b->height >= 1 && b->filter < IL_RESAMPLE_FILTER_COUNT;
}

void EncodeBlock(const WriteTextBlock& b, uint8_t* out) {
    std::memset(out, 0, kWriteTextBytes);
    const ActionLogFont& f = b.font;
    PutI32(out, f.height);
    PutI32(out + 4, f.width);
    PutI32(out + 8, f.escapement);
    PutI32(out + 12, f.orientation);
    PutI32(out + 16, f.weight);
    const uint8_t flags[8] = {f.italic,       f.underline,     f.strikeOut, f.charSet,
                              f.outPrecision, f.clipPrecision, f.quality,   f.pitchAndFamily};
    std::memcpy(out + 20, flags, 8);
    std::memcpy(out + 28, f.faceName, 31);
    EncodeColor(b.color, out + 60);
    PutI32(out + 80, b.alignment);
    PutI32(out + 84, b.anchorX);
    PutI32(out + 88, b.anchorY);
    out[92] = b.anchor;
    out[93] = b.orientation;
    out[94] = b.dialogSetting;
    PutF32(out + 96, b.effect);
    out[100] = b.effectBlur;
    out[101] = static_cast<uint8_t>(b.effectX);
    out[102] = static_cast<uint8_t>(b.effectY);
}

bool DecodeBlock(const uint8_t* in, WriteTextBlock* b) {
    ActionLogFont& f = b->font;
    f.height = GetI32(in);
    f.width = GetI32(in + 4);
    f.escapement = GetI32(in + 8);
    f.orientation = GetI32(in + 12);
    f.weight = GetI32(in + 16);
    f.italic = in[20];
    f.underline = in[21];
    f.strikeOut = in[22];
    f.charSet = in[23];
    f.outPrecision = in[24];
    f.clipPrecision = in[25];
    f.quality = in[26];
    f.pitchAndFamily = in[27];
    std::memcpy(f.faceName, in + 28, 32);
    const bool faceTerminated = std::memchr(f.faceName, 0, 32) != nullptr;
    f.faceName[31] = 0;
    b->color = DecodeColor(in + 60);
    b->alignment = GetI32(in + 80);
    b->anchorX = GetI32(in + 84);
    b->anchorY = GetI32(in + 88);
    b->anchor = in[92];
    b->orientation = in[93];
    b->dialogSetting = in[94];
    b->effect = GetF32(in + 96);
    b->effectBlur = in[100];
    b->effectX = static_cast<int8_t>(in[101]);
    b->effectY = static_cast<int8_t>(in[102]);
    return faceTerminated && (b->alignment & 3) <= 2 &&
           (b->alignment & ~(3 | kRightToLeftReading)) == 0 && b->anchor <= 8 &&
           b->orientation <= 3;
}

void EncodeBlock(const ILAffineParams& b, uint8_t* out) {
    PutF64(out, b.angle);
    PutF64(out + 8, b.scaleX);
    PutF64(out + 16, b.scaleY);
    PutF64(out + 24, b.shiftX);
    PutF64(out + 32, b.shiftY);
    EncodeColor(b.background, out + 40);
    out[60] = b.oversampling;
    out[61] = b.fitCanvas;
    out[62] = out[63] = 0;
}

bool DecodeBlock(const uint8_t* in, ILAffineParams* b) {
    b->angle = GetF64(in);
    b->scaleX = GetF64(in + 8);
    b->scaleY = GetF64(in + 16);
    b->shiftX = GetF64(in + 24);
    b->shiftY = GetF64(in + 32);
    b->background = DecodeColor(in + 40);
    b->oversampling = in[60];
    b->fitCanvas = in[61];
    b->alignment[0] = b->alignment[1] = 0;
    return b->fitCanvas <= 1;
}

void EncodeBlock(const ILPerspectiveParams& b, uint8_t* out) {
    for (int i = 0; i < 8; ++i)
        PutF64(out + 8 * i, b.corners[i]);
    PutF64(out + 64, b.scaleX);
    PutF64(out + 72, b.scaleY);
    EncodeColor(b.background, out + 80);
    out[100] = b.mapping;
    out[101] = b.oversampling;
    out[102] = out[103] = 0;
}

bool DecodeBlock(const uint8_t* in, ILPerspectiveParams* b) {
    for (int i = 0; i < 8; ++i)
        b->corners[i] = GetF64(in + 8 * i);
    b->scaleX = GetF64(in + 64);
    b->scaleY = GetF64(in + 72);
    b->background = DecodeColor(in + 80);
    b->mapping = in[100];
    b->oversampling = in[101];
    b->alignment[0] = b->alignment[1] = 0;
    return b->mapping <= 2;
}

void EncodeBlock(const ILProjectionParams& b, uint8_t* out) {
    ILProjectionParamsToBytes(&b, out);
}

bool DecodeBlock(const uint8_t* in, ILProjectionParams* b) {
    ILProjectionParamsFromBytes(in, b);
    return b->sourceProjection < IL_PROJECTION_COUNT && b->targetProjection < IL_PROJECTION_COUNT &&
           b->sizeMode >= 0 && b->sizeMode <= 2;
}

bool BlockIsValid(int32_t type, const uint8_t* block) {
    if (type == ACTION_NONE) return true;
    if (!block) return false;
    switch (type) {
        case ACTION_OPEN: {
            const int32_t source = GetI32(block);
            if (source == OPEN_FROM_FILE) {
                std::u16string path;
                return GetPath(block + kPathOffset, &path);
            }
            if (source == OPEN_ACQUIRED) return std::memchr(block + kPathOffset, 0, 960) != nullptr;
            return source == OPEN_FROM_CLIPBOARD;
        }
        case ACTION_SAVE:
        case ACTION_INVERT:
        case ACTION_SWAP_RED_BLUE:
        case ACTION_ROTATE:
        case ACTION_MIRROR:
        case ACTION_SHIFT:
        case ACTION_CROP:
        case ACTION_TONEMAPPING:
        case ACTION_COLOR_FILTER:
            return true;
        case ACTION_MODE: {
            ModeBlock b;
            return DecodeBlock(block, &b);
        }
        case ACTION_ALPHA_CHANNEL: {
            AlphaBlock b;
            return DecodeBlock(block, &b);
        }
        case ACTION_GAUSS_FILTER: {
            GaussBlock b;
            return DecodeBlock(block, &b);
        }
        case ACTION_EXPAND: {
            ExpandBlock b;
            return DecodeBlock(block, &b);
        }
        case ACTION_RESAMPLE: {
            ResampleBlock b;
            return DecodeBlock(block, &b);
        }
        case ACTION_WRITE_TEXT: {
            WriteTextBlock b;
            return DecodeBlock(block, &b);
        }
        case ACTION_AFFINE: {
            ILAffineParams b;
            return DecodeBlock(block, &b);
        }
        case ACTION_PERSPECTIVE: {
            ILPerspectiveParams b;
            return DecodeBlock(block, &b);
        }
        case ACTION_PROJECTION_3D: {
            ILProjectionParams b;
            return DecodeBlock(block, &b);
        }
        default:
            return false;
    }
}
