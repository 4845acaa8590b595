// Kernel selection: which row kernel converts a pair of pixel types, by the
// colour-managed route, the alpha-pair route or the plain route, and what the
// kernel needs (copy size, palette table or mapper, transform, chain row).
#include <array>
#include <cstdlib>
#include <initializer_list>
#include <span>

#include "imglib/convert/cms.h"
#include "imglib/convert/converter.h"
#include "imglib/convert/kernel_table.h"

namespace {

using Types = std::initializer_list<ILPixelType>;

// ---------------------------------------------------------------------------
// The pairs the plain route converts, and no others (the families may list
// more kernels): each group converts every source to every target.

constexpr ILPixelType kFromGrey1[] = {
    IL_GREY1,      IL_GREY8,     IL_BGR8, IL_GREY16, IL_BGR16,    IL_GREY_HALF, IL_BGR_HALF,
    IL_GREY_FLOAT, IL_BGR_FLOAT, IL_RGB8, IL_RGB16,  IL_RGB_HALF, IL_RGB_FLOAT};
constexpr ILPixelType kFromGrey2[] = {
    IL_GREY2,    IL_GREY4,      IL_GREY8,     IL_BGR8, IL_GREY16, IL_BGR16,    IL_GREY_HALF,
    IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_RGB8, IL_RGB16,  IL_RGB_HALF, IL_RGB_FLOAT};
constexpr ILPixelType kFromGrey4[] = {
    IL_GREY4,      IL_GREY8,     IL_BGR8, IL_GREY16, IL_BGR16,    IL_GREY_HALF, IL_BGR_HALF,
    IL_GREY_FLOAT, IL_BGR_FLOAT, IL_RGB8, IL_RGB16,  IL_RGB_HALF, IL_RGB_FLOAT};
constexpr ILPixelType kFromGrey8[] = {
    IL_GREY8,     IL_BGR8,    IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT,
    IL_BGR_FLOAT, IL_GREY_A8, IL_RGB8,   IL_RGB16, IL_RGB_HALF,  IL_RGB_FLOAT};
#define IL_INDEXED_SET                                                                           \
    IL_GREY8, IL_INDEX8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, \
        IL_BGR_FLOAT, IL_BGRX8, IL_GREY_A8, IL_INDEX_A8, IL_BGRA8, IL_GREY_A16, IL_BGRA16,       \
        IL_GREY_A_HALF, IL_BGRA_HALF, IL_GREY_A_FLOAT, IL_BGRA_FLOAT, IL_GREY_PA_HALF,           \
        IL_BGRPA_HALF, IL_RGB8, IL_RGBX8, IL_RGBA8
#define IL_ALPHA_SET                                                                             \
    IL_GREY_A8, IL_BGRA8, IL_GREY_A16, IL_BGRA16, IL_GREY_A_HALF, IL_BGRA_HALF, IL_GREY_A_FLOAT, \
        IL_BGRA_FLOAT, IL_GREY_PA8, IL_BGRPA8, IL_GREY_PA16, IL_BGRPA16, IL_GREY_PA_HALF,        \
        IL_BGRPA_HALF, IL_GREY_PA_FLOAT, IL_BGRPA_FLOAT
#define IL_RGBA_ORDER_ALPHA                                                                 \
    IL_RGBA8, IL_RGBA16, IL_RGBA_HALF, IL_RGBA_FLOAT, IL_RGBPA8, IL_RGBPA16, IL_RGBPA_HALF, \
        IL_RGBPA_FLOAT
constexpr ILPixelType kFromIndex1[] = {IL_INDEX1, IL_INDEX_A1, IL_INDEXED_SET};
constexpr ILPixelType kFromIndex2[] = {IL_INDEX2, IL_INDEX4, IL_INDEX_A2, IL_INDEX_A4,
                                       IL_INDEXED_SET};
constexpr ILPixelType kFromIndex4[] = {IL_INDEX4, IL_INDEX_A4, IL_INDEXED_SET};
constexpr ILPixelType kFromIndex8[] = {IL_INDEX1, IL_INDEX2, IL_INDEX4, IL_INDEXED_SET};
constexpr ILPixelType kFromBGR8[] = {IL_GREY8,     IL_INDEX8,    IL_BGR8,     IL_GREY16,
                                     IL_BGR16,     IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT,
                                     IL_BGR_FLOAT, IL_BGRX8,     IL_BGRA8,    IL_BGRPA8,
                                     IL_RGB8,      IL_RGB16,     IL_RGB_HALF, IL_RGB_FLOAT};
constexpr ILPixelType kFromGrey16[] = {
    IL_GREY8,     IL_BGR8,     IL_GREY16,    IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT,
    IL_BGR_FLOAT, IL_GREY_A16, IL_GREY_PA16, IL_RGB8,  IL_RGB16,     IL_RGB_HALF, IL_RGB_FLOAT};
constexpr ILPixelType kFromBGR16[] = {IL_GREY8,     IL_INDEX8,    IL_BGR8,     IL_GREY16,
                                      IL_BGR16,     IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT,
                                      IL_BGR_FLOAT, IL_BGRA16,    IL_RGB8,     IL_RGB16};
constexpr ILPixelType kFromGreyHalf[] = {
    IL_GREY1,        IL_GREY2,     IL_GREY4,    IL_GREY8,      IL_BGR8,      IL_GREY16,
    IL_BGR16,        IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_GREY_A_HALF,
    IL_GREY_PA_HALF, IL_RGB8,      IL_RGB16,    IL_RGB_HALF,   IL_RGB_FLOAT};
constexpr ILPixelType kFromGreyFloat[] = {
    IL_GREY1,         IL_GREY2,     IL_GREY4,    IL_GREY8,      IL_BGR8,      IL_GREY16,
    IL_BGR16,         IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_GREY_A_FLOAT,
    IL_GREY_PA_FLOAT, IL_RGB8,      IL_RGB16,    IL_RGB_HALF,   IL_RGB_FLOAT};
constexpr ILPixelType kFromBGRHalf[] = {
    IL_GREY8,      IL_INDEX8,    IL_BGR8,      IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF,
    IL_GREY_FLOAT, IL_BGR_FLOAT, IL_BGRA_HALF, IL_RGB8,   IL_RGB16, IL_RGB_HALF,  IL_RGB_FLOAT};
constexpr ILPixelType kFromBGRFloat[] = {IL_GREY8,     IL_INDEX8,     IL_BGR8,     IL_GREY16,
                                         IL_BGR16,     IL_GREY_HALF,  IL_BGR_HALF, IL_GREY_FLOAT,
                                         IL_BGR_FLOAT, IL_BGRA_FLOAT, IL_RGB8,     IL_RGB_FLOAT};
constexpr ILPixelType kFromRGB8[] = {IL_BGR8,  IL_BGR16, IL_BGR_HALF, IL_BGR_FLOAT,
                                     IL_RGB8,  IL_RGB16, IL_RGB_HALF, IL_RGB_FLOAT,
                                     IL_RGBX8, IL_RGBA8, IL_RGBPA8};
constexpr ILPixelType kFromRGB16[] = {IL_BGR8, IL_BGR16, IL_RGB8, IL_RGB16};
constexpr ILPixelType kFromRGBHalf[] = {IL_BGR8, IL_BGR16,    IL_BGR_HALF, IL_BGR_FLOAT,
                                        IL_RGB8, IL_RGB_HALF, IL_RGB_FLOAT};
constexpr ILPixelType kFromBGRA8[] = {IL_BGR8, IL_BGR_FLOAT, IL_BGRX8, IL_ALPHA_SET,
                                      IL_RGB8, IL_RGBX8,     IL_RGBA8, IL_RGBPA8};
constexpr ILPixelType kFromGreyA8[] = {IL_GREY1,  IL_GREY2,     IL_GREY4,      IL_GREY8,
                                       IL_BGR8,   IL_BGR_FLOAT, IL_ALPHA_SET,  IL_RGB8,
                                       IL_RGBA8,  IL_RGBA16,    IL_RGBA_HALF,  IL_RGBA_FLOAT,
                                       IL_RGBPA8, IL_RGBPA16,   IL_RGBPA_HALF, IL_RGBPA_FLOAT};
constexpr ILPixelType kFromGreyA16[] = {IL_GREY8,     IL_BGR8, IL_GREY16,          IL_BGR_FLOAT,
                                        IL_ALPHA_SET, IL_RGB8, IL_RGBA_ORDER_ALPHA};
constexpr ILPixelType kFromGreyAHalf[] = {IL_GREY8,     IL_BGR8, IL_GREY_HALF,       IL_BGR_FLOAT,
                                          IL_ALPHA_SET, IL_RGB8, IL_RGBA_ORDER_ALPHA};
constexpr ILPixelType kFromGreyAFloat[] = {IL_GREY8,     IL_BGR8, IL_GREY_FLOAT,      IL_BGR_FLOAT,
                                           IL_ALPHA_SET, IL_RGB8, IL_RGBA_ORDER_ALPHA};
constexpr ILPixelType kFromBGRA16[] = {IL_BGR8, IL_BGR16,  IL_BGR_FLOAT, IL_ALPHA_SET,
                                       IL_RGB8, IL_RGBA16, IL_RGBPA16};
constexpr ILPixelType kFromBGRAHalf[] = {IL_BGR8, IL_BGR_HALF,  IL_BGR_FLOAT, IL_ALPHA_SET,
                                         IL_RGB8, IL_RGBA_HALF, IL_RGBPA_HALF};
constexpr ILPixelType kFromBGRAFloat[] = {IL_BGR8, IL_BGR_FLOAT,  IL_ALPHA_SET,
                                          IL_RGB8, IL_RGBA_FLOAT, IL_RGBPA_FLOAT};
constexpr ILPixelType kFromRGBX8[] = {IL_BGR8, IL_BGRX8, IL_BGRA8, IL_BGRA16, IL_BGRPA8, IL_RGB8};
constexpr ILPixelType kToBGR8Both[] = {IL_BGR8, IL_RGB8};
constexpr ILPixelType kToBGR8[] = {IL_BGR8};
constexpr ILPixelType kFromGrey12[] = {IL_BGR8, IL_GREY16, IL_RGB8};
constexpr ILPixelType kToBGR8Or16[] = {IL_BGR8, IL_BGR16, IL_RGB8};
constexpr ILPixelType kToBGR8OrGreyFloat[] = {IL_BGR8, IL_GREY_FLOAT, IL_RGB8};
constexpr ILPixelType kToBGR8OrGreyHalf[] = {IL_BGR8, IL_GREY_HALF, IL_RGB8};
constexpr ILPixelType kToBGR8OrHalf[] = {IL_BGR8, IL_BGR_HALF, IL_RGB8};
constexpr ILPixelType kToBGR8OrFloat[] = {IL_BGR8, IL_BGR_FLOAT, IL_RGB8};
constexpr ILPixelType kFromRGBE[] = {IL_BGR8, IL_BGR_HALF, IL_BGR_FLOAT, IL_RGB8};
constexpr ILPixelType kFromRGBDouble[] = {IL_BGR8, IL_BGR_FLOAT};
constexpr ILPixelType kFromCMYKA8[] = {IL_BGR8, IL_BGRA8, IL_RGB8};
constexpr ILPixelType kFromYCbCrA8[] = {IL_BGR8, IL_BGRA8, IL_BGRPA8};
constexpr ILPixelType kFromGreyA12[] = {IL_BGR8, IL_GREY_A16, IL_GREY_PA16, IL_RGB8};
constexpr ILPixelType kToBGRA16[] = {IL_BGR8, IL_BGRA16, IL_BGRPA16, IL_RGB8};
constexpr ILPixelType kFromCMYKA16[] = {IL_BGR8, IL_BGRA16, IL_RGB8};
constexpr ILPixelType kToGreyAlphaFloat[] = {IL_BGR8, IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT, IL_RGB8};
constexpr ILPixelType kToBGRAHalf[] = {IL_BGR8, IL_BGRA_HALF, IL_BGRPA_HALF, IL_RGB8};
constexpr ILPixelType kToBGRAFloat[] = {IL_BGR8, IL_BGRA_FLOAT, IL_BGRPA_FLOAT, IL_RGB8};
constexpr ILPixelType kToBGRA8[] = {IL_BGR8, IL_BGRA8, IL_BGRPA8, IL_RGB8};
constexpr ILPixelType kToBGRAFloatOnly[] = {IL_BGR8, IL_BGRA_FLOAT, IL_BGRPA_FLOAT};

struct PairGroup {
    Types sources;
    std::span<const ILPixelType> targets;
};

const PairGroup kPairs[] = {
    {{IL_GREY1}, kFromGrey1},
    {{IL_GREY2}, kFromGrey2},
    {{IL_GREY4}, kFromGrey4},
    {{IL_GREY8}, kFromGrey8},
    {{IL_INDEX1, IL_INDEX_A1}, kFromIndex1},
    {{IL_INDEX2, IL_INDEX_A2}, kFromIndex2},
    {{IL_INDEX4, IL_INDEX_A4}, kFromIndex4},
    {{IL_INDEX8, IL_INDEX_A8}, kFromIndex8},
    {{IL_BGR8}, kFromBGR8},
    {{IL_GREY16}, kFromGrey16},
    {{IL_BGR16}, kFromBGR16},
    {{IL_GREY_HALF}, kFromGreyHalf},
    {{IL_GREY_FLOAT}, kFromGreyFloat},
    {{IL_BGR_HALF}, kFromBGRHalf},
    {{IL_BGR_FLOAT}, kFromBGRFloat},
    {{IL_RGB8}, kFromRGB8},
    {{IL_RGB16}, kFromRGB16},
    {{IL_RGB_HALF}, kFromRGBHalf},
    {{IL_BGRX8, IL_BGRA8, IL_BGRPA8}, kFromBGRA8},
    {{IL_GREY_A8, IL_GREY_PA8}, kFromGreyA8},
    {{IL_GREY_A16, IL_GREY_PA16}, kFromGreyA16},
    {{IL_GREY_A_HALF, IL_GREY_PA_HALF}, kFromGreyAHalf},
    {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT}, kFromGreyAFloat},
    {{IL_BGRA16, IL_BGRPA16}, kFromBGRA16},
    {{IL_BGRA_HALF, IL_BGRPA_HALF}, kFromBGRAHalf},
    {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT}, kFromBGRAFloat},
    {{IL_RGBX8, IL_RGBA8, IL_RGBPA8}, kFromRGBX8},
    {{IL_CMYK8, IL_BGR_555, IL_BGR_565, IL_BGRX4, IL_RGB4}, kToBGR8Both},
    {{IL_YCBCR8}, kToBGR8},
    {{IL_GREY12}, kFromGrey12},
    {{IL_BGR12, IL_CMYK16, IL_BGR_101010, IL_RGB12}, kToBGR8Or16},
    {{IL_GREY32, IL_GREY_FLOAT24, IL_GREY_DOUBLE, IL_GREY_FIXED32}, kToBGR8OrGreyFloat},
    {{IL_GREY_FIXED16}, kToBGR8OrGreyHalf},
    {{IL_BGR_FIXED16, IL_RGB_FIXED16}, kToBGR8OrHalf},
    {{IL_BGR_FIXED32, IL_RGB_FLOAT24, IL_RGB_FLOAT, IL_RGB_FIXED32}, kToBGR8OrFloat},
    {{IL_BGR_RGBE}, kFromRGBE},
    {{IL_RGB_DOUBLE}, kFromRGBDouble},
    {{IL_CMYK_A8}, kFromCMYKA8},
    {{IL_YCBCR_A8, IL_YCBCR_PA8}, kFromYCbCrA8},
    {{IL_GREY_A12, IL_GREY_PA12}, kFromGreyA12},
    {{IL_BGRA12, IL_BGRPA12, IL_RGBA12, IL_RGBA16, IL_RGBPA12, IL_RGBPA16}, kToBGRA16},
    {{IL_CMYK_A16}, kFromCMYKA16},
    {{IL_GREY_A32, IL_GREY_A_FLOAT24, IL_GREY_A_DOUBLE, IL_GREY_PA32, IL_GREY_PA_FLOAT24,
      IL_GREY_PA_DOUBLE},
     kToGreyAlphaFloat},
    {{IL_BGRA_FIXED16, IL_BGRPA_FIXED16, IL_RGBA_HALF, IL_RGBA_FIXED16, IL_RGBPA_HALF,
      IL_RGBPA_FIXED16},
     kToBGRAHalf},
    {{IL_BGRA_FIXED32, IL_BGRPA_FIXED32, IL_RGBA_FLOAT, IL_RGBA_FIXED32, IL_RGBPA_FLOAT,
      IL_RGBPA_FIXED32},
     kToBGRAFloat},
    {{IL_RGBA4, IL_RGBPA4}, kToBGRA8},
    {{IL_RGBA_FLOAT24, IL_RGBA_DOUBLE, IL_RGBPA_FLOAT24, IL_RGBPA_DOUBLE}, kToBGRAFloatOnly},
};

bool Contains(std::span<const ILPixelType> set, ILPixelType t) {
    for (ILPixelType x : set)
        if (x == t) return true;
    return false;
}
bool Contains(Types set, ILPixelType t) {
    for (ILPixelType x : set)
        if (x == t) return true;
    return false;
}

bool IsPlainPair(ILPixelType s, ILPixelType t) {
    for (const PairGroup& g : kPairs)
        if (Contains(g.sources, s)) return Contains(g.targets, t);
    return false;
}

// ---------------------------------------------------------------------------
// Colour-managed route: pairs whose alpha survives the transform, keyed by
// the types without their extra bits.

struct AlphaPair {
    Types sources;
    Types targets;
};
const AlphaPair kAlphaPairs[] = {
    {{IL_GREY8}, {IL_GREY8}},
    {{IL_GREY16}, {IL_GREY16}},
    {{IL_GREY_HALF}, {IL_GREY_HALF}},
    {{IL_GREY_FLOAT24}, {IL_GREY_FLOAT}},
    {{IL_GREY_FLOAT}, {IL_GREY_FLOAT}},
    {{IL_BGR8, IL_RGB8, IL_YCBCR8, IL_LAB8}, {IL_BGR8}},
    {{IL_BGR16, IL_RGB16, IL_YCBCR16, IL_LAB16}, {IL_BGR16}},
    {{IL_BGR_HALF, IL_RGB_HALF}, {IL_BGR_HALF}},
    {{IL_BGR_FLOAT24, IL_RGB_FLOAT24}, {IL_BGR_FLOAT}},
    {{IL_BGR_FLOAT, IL_RGB_FLOAT}, {IL_BGR_FLOAT}},
    {{IL_CMYK8}, {IL_BGR8, IL_RGB8}},
    {{IL_CMYK16}, {IL_BGR16, IL_RGB16}},
    {{IL_CMYK_HALF}, {IL_BGR_HALF, IL_RGB_HALF}},
    {{IL_CMYK_FLOAT24}, {IL_BGR_FLOAT, IL_RGB_FLOAT}},
    {{IL_CMYK_FLOAT}, {IL_BGR_FLOAT, IL_RGB_FLOAT}},
};

bool IsAlphaPair(ILPixelType s, ILPixelType t) {
    s &= ~IL_EXTRA_MASK;
    t &= ~IL_EXTRA_MASK;
    for (const AlphaPair& p : kAlphaPairs)
        if (Contains(p.sources, s)) return Contains(p.targets, t);
    return false;
}

// Key of the alpha-carrying kernels: straight alpha, B, G, R order, YCbCr and
// Lab counted as RGB.
ILPixelType TransformKey(ILPixelType t) {
    uint32_t model = t & IL_MODEL_MASK;
    if (model == IL_MODEL_YCBCR || model == IL_MODEL_LAB) model = IL_MODEL_RGB;
    return (t & IL_KIND_MASK) | model | IL_EXTRA_ALPHA;
}

// ---------------------------------------------------------------------------
// Looking kernels up in the families' tables.

struct Found {
    ILRowKernel kernel = nullptr;
    ILPaletteTableBuilder builder = nullptr;
};

Found Find(ILPixelType s, ILPixelType t, ILKernelVariant v) {
    using Table = std::span<const ILKernelEntry> (*)();
    static constexpr Table kTables[] = {
        ILKernels8Bit,       ILKernelsIndexed,         ILKernelsFloatTarget,
        ILKernelsWideSource, ILKernelsHalfFloatTarget, ILKernelsAlphaForm};
    Found f;
    for (Table table : kTables)
        for (const ILKernelEntry& e : table())
            if (e.source == s && e.target == t && e.variant == v) {
                if (!f.kernel) f.kernel = e.kernel;
                if (!f.builder) f.builder = e.paletteBuilder;
            }
    return f;
}

uint32_t Extra(ILPixelType t) {
    return t & IL_EXTRA_MASK;
}
ILPixelType WithExtra(ILPixelType t, uint32_t extra) {
    return (t & ~IL_EXTRA_MASK) | extra;
}
ILPixelType Layout(ILPixelType t) {
    return t & ~IL_EXTRA_MASK;
}
bool IsIndexed(ILPixelType t) {
    return (t & IL_MODEL_MASK) == IL_MODEL_INDEXED;
}

// Alpha form of a type: 0 none, 0x2000 straight, 0x4000 premultiplied. A
// filler and an indexed palette's alpha count as straight.
uint32_t Form(ILPixelType t) {
    if (IsIndexed(t)) return IL_EXTRA_ALPHA;
    if (t & IL_EXTRA_PREMULTIPLIED) return IL_EXTRA_PREMULTIPLIED;
    if (t & (IL_EXTRA_ALPHA | IL_EXTRA_FILLER)) return IL_EXTRA_ALPHA;
    return 0;
}

// A kernel that converts kind, model and order but keeps whatever alpha form
// it is given: any listing of the pair with the same layouts serves.
Found FindKeeping(ILPixelType s, ILPixelType t, ILKernelVariant v = IL_KV_ANY) {
    if (Found f = Find(s, t, v); f.kernel) return f;
    const uint32_t se = Extra(s), te = Extra(t);
    const uint32_t forms[] = {se, te, IL_EXTRA_ALPHA, IL_EXTRA_PREMULTIPLIED, IL_EXTRA_FILLER};
    // Grey replicated into colour comes out the same in either order.
    const bool anyOrder =
        (s & IL_MODEL_MASK) == IL_MODEL_GRAY && (t & IL_MODEL_MASK) == IL_MODEL_RGB;
    for (int order = 0; order < (anyOrder ? 2 : 1); ++order) {
        const ILPixelType tt = order ? (t ^ IL_ORDER_RGB) : t;
        for (uint32_t sx : forms) {
            if ((se == 0) != (sx == 0) || (IsIndexed(s) && sx != se)) continue;
            for (uint32_t tx : forms) {
                if ((te == 0) != (tx == 0) || (IsIndexed(tt) && tx != te)) continue;
                if (Found f = Find(WithExtra(s, sx), WithExtra(tt, tx), v); f.kernel) return f;
            }
        }
    }
    return {};
}

// The straight <-> premultiplied kernel for one layout; colour order does
// not matter to it.
ILRowKernel FindAlphaForm(ILPixelType layout, uint32_t from, uint32_t to) {
    const ILPixelType base = Layout(layout) & ~IL_ORDER_RGB;
    return Find(base | from, base | to, IL_KV_ANY).kernel;
}

uint64_t PixelBytes(ILPixelType t) {
    return ILBitsPerSample(t) * ILChannelCount(t) / 8;
}

// What the plain route decided.
struct Plan {
    ILRowKernel first = nullptr;
    ILRowKernel second = nullptr;    // runs on the temporary row's output
    uint64_t chainBytesPerPixel = 0; // size of the temporary row per pixel
    bool copy = false;
};

// A straight/premultiplied change that needs its own stage: the kind
// conversion keeps the form, the alpha-form kernel runs on the wider side
// (or on the side that has one).
Plan PlanAlphaFormChain(ILPixelType s, ILPixelType t) {
    const uint32_t fs = Form(s), ft = Form(t);
    const bool sourceWider = (s & IL_KIND_MASK) > (t & IL_KIND_MASK);
    ILRowKernel onSource = FindAlphaForm(s, fs, ft);
    ILRowKernel onTarget = FindAlphaForm(t, fs, ft);
    Plan p;
    if (onSource && (sourceWider || !onTarget)) {
        const ILPixelType middle = WithExtra(s, ft);
        p.first = onSource;
        p.second = FindKeeping(middle, t).kernel;
        p.chainBytesPerPixel = PixelBytes(s);
    } else if (onTarget) {
        const ILPixelType middle = WithExtra(t, fs);
        p.first = FindKeeping(s, middle).kernel;
        p.second = onTarget;
        p.chainBytesPerPixel = PixelBytes(t);
    }
    if (!p.first || !p.second) return {};
    return p;
}

Plan PlanIndexedSource(ILConverter* c, ILPixelType s, ILPixelType t) {
    Plan p;
    if (IsIndexed(t)) {
        p.first = FindKeeping(s, t).kernel;
        return p;
    }
    // Palette colours are straight; a premultiplied target takes a second stage.
    ILPixelType tableTarget = t;
    if (Form(t) == IL_EXTRA_PREMULTIPLIED) {
        tableTarget = WithExtra(t, IL_EXTRA_ALPHA);
        p.second = FindAlphaForm(t, IL_EXTRA_ALPHA, IL_EXTRA_PREMULTIPLIED);
        p.chainBytesPerPixel = PixelBytes(t);
        if (!p.second) return {};
    }
    Found f = Find(s, tableTarget, IL_KV_ANY);
    if (!f.kernel || !f.builder) {
        // Palette alpha flag or not, the pixels are the same codes.
        const Found twin = Find(s ^ IL_EXTRA_ALPHA, tableTarget, IL_KV_ANY);
        if (!f.kernel) f.kernel = twin.kernel;
        if (!f.builder) f.builder = twin.builder;
    }
    p.first = f.kernel;
    c->needsPaletteTable = 1;
    if (f.builder) f.builder(c);
    return p;
}

Plan PlanPlain(ILConverter* c) {
    const ILPixelType s = c->sourceType, t = c->targetType;
    Plan p;
    if (c->greyMap && s == IL_GREY8) {
        if (t == IL_GREY8 || t == IL_BGR8 || t == IL_RGB8 || t == IL_GREY_A8)
            p.first = FindKeeping(s, t, IL_KV_GREY_MAP).kernel;
        return p;
    }
    if (!IsPlainPair(s, t)) return p;

    if (s == IL_GREY1) {
        if (t == IL_GREY1 && c->oneBitWhite) {
            p.copy = true;
            return p;
        }
        const ILKernelVariant v = c->oneBitWhite ? IL_KV_ONE_BIT_WHITE : IL_KV_ONE_BIT_BLACK;
        p.first = Find(s, t, v).kernel;
        if (!p.first) p.first = Find(s, t, IL_KV_ANY).kernel;
        return p;
    }
    if (s == t || (IsIndexed(s) && IsIndexed(t) && (s | IL_EXTRA_ALPHA) == (t | IL_EXTRA_ALPHA))) {
        p.copy = true;
        return p;
    }
    if (IsIndexed(s)) return PlanIndexedSource(c, s, t);
    if (t == IL_INDEX8) {
        p.first = Find(s, t, IL_KV_ANY).kernel;
        c->needsPaletteMapper = 1;
        c->needsPaletteTable = 1;
        return p;
    }

    // 8-bit R, G, B targets without a kernel of their own take the B, G, R
    // kernel and a swap.
    const ILRowKernel swap = Find(IL_BGR8, IL_RGB8, IL_KV_ANY).kernel;
    auto viaBGR8 = [&](ILRowKernel first) {
        p.first = first;
        p.second = swap;
        p.chainBytesPerPixel = 3;
        return p;
    };
    if (c->alphaHandling == 2 && ILHasAlpha(s)) {
        if (t == IL_RGB8) {
            if (ILRowKernel k = Find(s, IL_BGR8, IL_KV_COMPOSITE).kernel) return viaBGR8(k);
        } else if (ILRowKernel k = Find(s, t, IL_KV_COMPOSITE).kernel) {
            p.first = k;
            return p;
        }
    }
    if (t == IL_RGB8 && !FindKeeping(s, t).kernel) return viaBGR8(FindKeeping(s, IL_BGR8).kernel);

    const uint32_t fs = Form(s), ft = Form(t);
    if (fs && ft) {
        if (Layout(s) == Layout(t)) {
            if (fs == ft) {
                p.copy = true; // filler and straight alpha: the same bytes
            } else {
                p.first = FindAlphaForm(s, fs, ft);
            }
            return p;
        }
        if (fs != ft) return PlanAlphaFormChain(s, t);
    }
    p.first = FindKeeping(s, t).kernel;
    return p;
}

// Colour-managed route; leaves rowKernel null when the plain route decides.
void SelectManaged(ILConverter* c) {
    const ILPixelType s = c->sourceType, t = c->targetType;
    const bool grey = (t & IL_MODEL_MASK) == IL_MODEL_GRAY;
    const bool scene = (t & IL_KIND_MASK) >= IL_KIND_HALF;
    if (!ILUseColorManagement()) return;
    cmsHPROFILE output = grey ? (scene ? ILProfileScGray : ILProfileSGray)
                              : (scene ? ILProfileScRGB : ILProfileSRGB);
    const uint32_t format = ILPixelTypeToLcmsFormat(t);
    if (!output || !format) return;
    c->transform =
        cmsCreateTransform(c->sourceProfile, c->sourceFormat, output, format, INTENT_PERCEPTUAL,
                           cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_HIGHRESPRECALC);
    if (!c->transform) return;

    const uint32_t kind = s & IL_KIND_MASK;
    if ((!(s & 0x7000) || c->alphaHandling == 0) && kind != IL_KIND_32 && kind != IL_KIND_RGBE) {
        c->rowKernel = ILConverterTransformRow;
        return;
    }
    if (ILHasAlpha(t) && IsAlphaPair(s, t))
        c->rowKernel = Find(TransformKey(s), TransformKey(t), IL_KV_TRANSFORM).kernel;
}

// Rows wider than this could not be sized without overflow.
constexpr uint64_t kMaxWidth = uint64_t{1} << 48;

} // namespace

void ILConverterSelectKernel(ILConverter* c) {
    c->needsPaletteTable = 0;
    c->needsPaletteMapper = 0;
    c->ditherRow = 0;
    c->rowKernel = nullptr;
    c->chainFirst = nullptr;
    c->chainSecond = nullptr;
    c->rowBytes = 0;
    c->premultipliedSource = (c->sourceType & IL_EXTRA_PREMULTIPLIED) != 0;
    std::free(c->chainRow);
    c->chainRow = nullptr;
    std::free(c->paletteTable);
    c->paletteTable = nullptr;
    if (c->transform) cmsDeleteTransform(c->transform);
    c->transform = nullptr;
    if (!c->sourceType || !c->targetType || !c->width || c->width > kMaxWidth) return;

    if (c->sourceProfile) SelectManaged(c);
    if (c->rowKernel) return;

    const Plan p = PlanPlain(c);
    if (p.copy) {
        const uint64_t bits =
            uint64_t{ILBitsPerSample(c->sourceType)} * ILChannelCount(c->sourceType);
        c->rowBytes = (c->width * bits + 7) / 8;
        c->rowKernel = ILConverterCopyRow;
        return;
    }
    if (!p.first) return;
    if (!p.second) {
        c->rowKernel = p.first;
        return;
    }
    c->rowBytes = c->width * p.chainBytesPerPixel;
    c->chainRow = std::malloc(c->rowBytes);
    if (!c->chainRow) {
        c->rowBytes = 0;
        return; // no row kernel: ILConverterPrepare fails
    }
    c->chainFirst = p.first;
    c->chainSecond = p.second;
    c->rowKernel = ILConverterChainRow;
}
