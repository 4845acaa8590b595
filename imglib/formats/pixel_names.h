// Names of the pixel types these codecs use, until the library's own
// pixel-type header replaces this file.
#pragma once

#include "imglib/image.h"

inline constexpr ILPixelType IL_GREY1 = IL_MODEL_GRAY | IL_KIND_1;
inline constexpr ILPixelType IL_GREY8 = IL_MODEL_GRAY | IL_KIND_8;
inline constexpr ILPixelType IL_GREY16 = IL_MODEL_GRAY | IL_KIND_16;
inline constexpr ILPixelType IL_GREY_HALF = IL_MODEL_GRAY | IL_KIND_HALF;
inline constexpr ILPixelType IL_GREY_FLOAT = IL_MODEL_GRAY | IL_KIND_FLOAT;
inline constexpr ILPixelType IL_GREY_A8 = IL_GREY8 | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_GREY_A16 = IL_GREY16 | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_GREY_A_HALF = IL_GREY_HALF | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_GREY_PA_HALF = IL_GREY_HALF | IL_EXTRA_PREMULTIPLIED;
inline constexpr ILPixelType IL_INDEX4 = IL_MODEL_INDEXED | IL_KIND_4;
inline constexpr ILPixelType IL_INDEX8 = IL_MODEL_INDEXED | IL_KIND_8;
inline constexpr ILPixelType IL_BGR8 = IL_MODEL_RGB | IL_KIND_8;
inline constexpr ILPixelType IL_BGRA8 = IL_BGR8 | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_BGRX8 = IL_BGR8 | IL_EXTRA_FILLER;
inline constexpr ILPixelType IL_BGR16 = IL_MODEL_RGB | IL_KIND_16;
inline constexpr ILPixelType IL_BGRA16 = IL_BGR16 | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_RGB16 = IL_BGR16 | IL_ORDER_RGB;
inline constexpr ILPixelType IL_RGBA16 = IL_RGB16 | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_BGR_HALF = IL_MODEL_RGB | IL_KIND_HALF;
inline constexpr ILPixelType IL_BGRA_HALF = IL_BGR_HALF | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_BGRPA_HALF = IL_BGR_HALF | IL_EXTRA_PREMULTIPLIED;
inline constexpr ILPixelType IL_RGB_HALF = IL_BGR_HALF | IL_ORDER_RGB;
inline constexpr ILPixelType IL_RGBA_HALF = IL_RGB_HALF | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_BGR_FLOAT = IL_MODEL_RGB | IL_KIND_FLOAT;
inline constexpr ILPixelType IL_RGB_FLOAT = IL_BGR_FLOAT | IL_ORDER_RGB;
inline constexpr ILPixelType IL_RGBA_FLOAT = IL_RGB_FLOAT | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_CMYK8 = IL_MODEL_CMYK | IL_KIND_8;
inline constexpr ILPixelType IL_CMYK16 = IL_MODEL_CMYK | IL_KIND_16;
inline constexpr ILPixelType IL_LAB8 = IL_MODEL_LAB | IL_KIND_8;
inline constexpr ILPixelType IL_LAB16 = IL_MODEL_LAB | IL_KIND_16;
inline constexpr ILPixelType IL_LAB_A8 = IL_LAB8 | IL_EXTRA_ALPHA;
inline constexpr ILPixelType IL_LAB_A16 = IL_LAB16 | IL_EXTRA_ALPHA;
