// Alpha channel operations.
#pragma once

#include "imglib/handle.h"
#include "imglib/image.h"

// Drops the extra channel (alpha or filler): the handle's alpha mode says
// whether alpha is dropped (0, 1) or composited onto its background (2).
// 1 (also without an extra channel), -2 invalid image, -100 out of memory,
// -4 when no conversion leads there; on failure the image is unchanged.
ILResult ILRemoveAlpha(ILHandle* h, ILImage* image);
// ILEnsureAlpha into a new image: target becomes image in its type with
// alpha (ILTypeWithAlpha), the alpha samples unwritten; image is not written.
ILResult ILCopyWithAlpha(ILHandle* h, const ILImage* image, ILImage* target);
// ILRemoveAlpha into a new image: target becomes image without its extra
// channel (a copy when it has none); image is not written.
ILResult ILCopyWithoutAlpha(ILHandle* h, const ILImage* image, ILImage* target);

// The type an image gets when alpha is added: 1, 2 and 4-bit kinds become
// 8-bit. Indexed images become B, G, R, A 8-bit: an index has no sample a
// mask could be written to (their alpha bit marks a palette with alpha).
// The type is expected to have no extra channel.
constexpr ILPixelType ILTypeWithAlpha(ILPixelType type) {
    if ((type & IL_MODEL_MASK) == IL_MODEL_INDEXED) return IL_BGRA8;
    const uint32_t kind = ILSampleKind(type);
    if (kind == IL_KIND_1 || kind == IL_KIND_2 || kind == IL_KIND_4)
        type = (type & ~ILPixelType{IL_KIND_MASK}) | IL_KIND_8;
    return type | IL_EXTRA_ALPHA;
}

// Whether the image has a per-pixel alpha sample to write a mask into.
constexpr bool ILHasAlphaSample(ILPixelType type) {
    return ILHasAlpha(type) && (type & IL_MODEL_MASK) != IL_MODEL_INDEXED;
}

// The last sample of every pixel, bit for bit, into target: grey of the
// image's sample kind. -2 for an image of other than 2 or 4 channels.
ILResult ILExtractAlpha(ILHandle* h, const ILImage* image, ILImage* target);
// Complements the last sample of every pixel (8, 16-bit, half, float).
ILResult ILInvertAlpha(ILHandle* h, ILImage* image);
// Gives the image an alpha channel (ILTypeWithAlpha) whose samples the
// caller writes next; 1 when it has one already. Indexed images, also those
// whose palette has alpha, become B, G, R, A.
ILResult ILEnsureAlpha(ILHandle* h, ILImage* image);
// The mask's grey, resampled to the image's size, becomes the image's alpha;
// the mask is converted and resampled in place.
ILResult ILLoadAlpha(ILHandle* h, ILImage* image, ILImage* mask);
// Fills the alpha with a mask of the given opacity (0..1) feathered over
// `border` pixels: shape 2 an ellipse, otherwise a rectangle; the image first
// gets its type with alpha (ILEnsureAlpha).
ILResult ILAddAlpha(ILHandle* h, ILImage* image, float opacity, int32_t border, int32_t shape);
// The preview of ILAddAlpha: preview becomes a copy of base (with alpha
// added where it has none) carrying the mask; base is never written.
ILResult ILAddAlphaPreview(ILHandle* h, const ILImage* base, ILImage* preview, float opacity,
                           int32_t border, int32_t shape);
float ILAlphaMaskRect(int32_t x, int32_t y, int32_t width, int32_t height, float opacity,
                      int32_t border);
float ILAlphaMaskEllipse(int32_t x, int32_t y, int32_t width, int32_t height, float opacity,
                         int32_t border);
