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
// The plain route's pairs: each group converts every source to every target.

constexpr ILPixelType kFromOneBit[] = {0x11,  0x41,  0x43,    0x61,    0x63,    0x101,  0x103,
                                       0x121, 0x123, 0x10043, 0x10063, 0x10103, 0x10123};
constexpr ILPixelType kFromTwoBit[] = {0x21,  0x31,  0x41,  0x43,    0x61,    0x63,    0x101,
                                       0x103, 0x121, 0x123, 0x10043, 0x10063, 0x10103, 0x10123};
constexpr ILPixelType kFromFourBit[] = {0x31,  0x41,  0x43,    0x61,    0x63,    0x101,  0x103,
                                        0x121, 0x123, 0x10043, 0x10063, 0x10103, 0x10123};
constexpr ILPixelType kFromGrey8[] = {0x41,  0x43,   0x61,    0x63,    0x101,   0x103,  0x121,
                                      0x123, 0x2041, 0x10043, 0x10063, 0x10103, 0x10123};
#define IL_INDEXED_SET                                                                        \
    0x41, 0x42, 0x43, 0x61, 0x63, 0x101, 0x103, 0x121, 0x123, 0x1043, 0x2041, 0x2042, 0x2043, \
        0x2061, 0x2063, 0x2101, 0x2103, 0x2121, 0x2123, 0x4101, 0x4103, 0x10043, 0x11043, 0x12043
#define IL_ALPHA_SET                                                                        \
    0x2041, 0x2043, 0x2061, 0x2063, 0x2101, 0x2103, 0x2121, 0x2123, 0x4041, 0x4043, 0x4061, \
        0x4063, 0x4101, 0x4103, 0x4121, 0x4123
#define IL_RGBA_ORDER_ALPHA 0x12043, 0x12063, 0x12103, 0x12123, 0x14043, 0x14063, 0x14103, 0x14123
constexpr ILPixelType kFromIndex1[] = {0x12, 0x2012, IL_INDEXED_SET};
constexpr ILPixelType kFromIndex2[] = {0x22, 0x32, 0x2022, 0x2032, IL_INDEXED_SET};
constexpr ILPixelType kFromIndex4[] = {0x32, 0x2032, IL_INDEXED_SET};
constexpr ILPixelType kFromIndex8[] = {0x12, 0x22, 0x32, IL_INDEXED_SET};
constexpr ILPixelType kFromBGR8[] = {0x41,    0x42,    0x43,    0x61,   0x63,   0x101,
                                     0x103,   0x121,   0x123,   0x1043, 0x2043, 0x4043,
                                     0x10043, 0x10063, 0x10103, 0x10123};
constexpr ILPixelType kFromGrey16[] = {0x41,  0x43,   0x61,   0x63,    0x101,   0x103,   0x121,
                                       0x123, 0x2061, 0x4061, 0x10043, 0x10063, 0x10103, 0x10123};
constexpr ILPixelType kFromBGR16[] = {0x41,  0x42,  0x43,  0x61,   0x63,    0x101,
                                      0x103, 0x121, 0x123, 0x2063, 0x10043, 0x10063};
constexpr ILPixelType kFromGreyHalf[] = {0x11,   0x21,    0x31,    0x41,    0x43,   0x61,
                                         0x63,   0x101,   0x103,   0x121,   0x123,  0x2101,
                                         0x4101, 0x10043, 0x10063, 0x10103, 0x10123};
constexpr ILPixelType kFromGreyFloat[] = {0x11,   0x21,    0x31,    0x41,    0x43,   0x61,
                                          0x63,   0x101,   0x103,   0x121,   0x123,  0x2121,
                                          0x4121, 0x10043, 0x10063, 0x10103, 0x10123};
constexpr ILPixelType kFromBGRHalf[] = {0x41,  0x42,  0x43,   0x61,    0x63,    0x101,   0x103,
                                        0x121, 0x123, 0x2103, 0x10043, 0x10063, 0x10103, 0x10123};
constexpr ILPixelType kFromBGRFloat[] = {0x41,  0x42,  0x43,  0x61,   0x63,    0x101,
                                         0x103, 0x121, 0x123, 0x2123, 0x10043, 0x10123};
constexpr ILPixelType kFromRGB8[] = {0x43,    0x63,    0x103,   0x123,   0x10043, 0x10063,
                                     0x10103, 0x10123, 0x11043, 0x12043, 0x14043};
constexpr ILPixelType kFromRGB16[] = {0x43, 0x63, 0x10043, 0x10063};
constexpr ILPixelType kFromRGBHalf[] = {0x43, 0x63, 0x103, 0x123, 0x10043, 0x10103, 0x10123};
constexpr ILPixelType kFromBGRA8[] = {0x43,    0x123,   0x1043,  IL_ALPHA_SET,
                                      0x10043, 0x11043, 0x12043, 0x14043};
constexpr ILPixelType kFromGreyAlpha8[] = {
    0x11,    0x21,    0x31,    0x41,    0x43,    0x123,   IL_ALPHA_SET, 0x10043,
    0x12043, 0x12063, 0x12103, 0x12123, 0x14043, 0x14063, 0x14103,      0x14123};
constexpr ILPixelType kFromGreyAlpha16[] = {
    0x41, 0x43, 0x61, 0x123, IL_ALPHA_SET, 0x10043, IL_RGBA_ORDER_ALPHA};
constexpr ILPixelType kFromGreyAlphaHalf[] = {
    0x41, 0x43, 0x101, 0x123, IL_ALPHA_SET, 0x10043, IL_RGBA_ORDER_ALPHA};
constexpr ILPixelType kFromGreyAlphaFloat[] = {
    0x41, 0x43, 0x121, 0x123, IL_ALPHA_SET, 0x10043, IL_RGBA_ORDER_ALPHA};
constexpr ILPixelType kFromBGRA16[] = {0x43, 0x63, 0x123, IL_ALPHA_SET, 0x10043, 0x12063, 0x14063};
constexpr ILPixelType kFromBGRAHalf[] = {0x43,    0x103,   0x123,  IL_ALPHA_SET,
                                         0x10043, 0x12103, 0x14103};
constexpr ILPixelType kFromBGRAFloat[] = {0x43, 0x123, IL_ALPHA_SET, 0x10043, 0x12123, 0x14123};
constexpr ILPixelType kFromRGBX8[] = {0x43, 0x1043, 0x2043, 0x2063, 0x4043, 0x10043};
constexpr ILPixelType kToBGR8Both[] = {0x43, 0x10043};
constexpr ILPixelType kToBGR8[] = {0x43};
constexpr ILPixelType kFrom12BitGrey[] = {0x43, 0x61, 0x10043};
constexpr ILPixelType kToBGR8Or16[] = {0x43, 0x63, 0x10043};
constexpr ILPixelType kToBGR8OrGreyFloat[] = {0x43, 0x121, 0x10043};
constexpr ILPixelType kToBGR8OrGreyHalf[] = {0x43, 0x101, 0x10043};
constexpr ILPixelType kToBGR8OrHalf[] = {0x43, 0x103, 0x10043};
constexpr ILPixelType kToBGR8OrFloat[] = {0x43, 0x123, 0x10043};
constexpr ILPixelType kFromRGBE[] = {0x43, 0x103, 0x123, 0x10043};
constexpr ILPixelType kFromRGBDouble[] = {0x43, 0x123};
constexpr ILPixelType kFromCMYKA8[] = {0x43, 0x2043, 0x10043};
constexpr ILPixelType kFromYCbCrA8[] = {0x43, 0x2043, 0x4043};
constexpr ILPixelType kFrom12BitGreyAlpha[] = {0x43, 0x2061, 0x4061, 0x10043};
constexpr ILPixelType kToBGRA16[] = {0x43, 0x2063, 0x4063, 0x10043};
constexpr ILPixelType kFromCMYKA16[] = {0x43, 0x2063, 0x10043};
constexpr ILPixelType kToGreyAlphaFloat[] = {0x43, 0x2121, 0x4121, 0x10043};
constexpr ILPixelType kToBGRAHalf[] = {0x43, 0x2103, 0x4103, 0x10043};
constexpr ILPixelType kToBGRAFloat[] = {0x43, 0x2123, 0x4123, 0x10043};
constexpr ILPixelType kToBGRA8[] = {0x43, 0x2043, 0x4043, 0x10043};
constexpr ILPixelType kToBGRAFloatOnly[] = {0x43, 0x2123, 0x4123};

struct PairGroup {
    Types sources;
    std::span<const ILPixelType> targets;
};

const PairGroup kPairs[] = {
    {{0x11}, kFromOneBit},
    {{0x21}, kFromTwoBit},
    {{0x31}, kFromFourBit},
    {{0x41}, kFromGrey8},
    {{0x12, 0x2012}, kFromIndex1},
    {{0x22, 0x2022}, kFromIndex2},
    {{0x32, 0x2032}, kFromIndex4},
    {{0x42, 0x2042}, kFromIndex8},
    {{0x43}, kFromBGR8},
    {{0x61}, kFromGrey16},
    {{0x63}, kFromBGR16},
    {{0x101}, kFromGreyHalf},
    {{0x121}, kFromGreyFloat},
    {{0x103}, kFromBGRHalf},
    {{0x123}, kFromBGRFloat},
    {{0x10043}, kFromRGB8},
    {{0x10063}, kFromRGB16},
    {{0x10103}, kFromRGBHalf},
    {{0x1043, 0x2043, 0x4043}, kFromBGRA8},
    {{0x2041, 0x4041}, kFromGreyAlpha8},
    {{0x2061, 0x4061}, kFromGreyAlpha16},
    {{0x2101, 0x4101}, kFromGreyAlphaHalf},
    {{0x2121, 0x4121}, kFromGreyAlphaFloat},
    {{0x2063, 0x4063}, kFromBGRA16},
    {{0x2103, 0x4103}, kFromBGRAHalf},
    {{0x2123, 0x4123}, kFromBGRAFloat},
    {{0x11043, 0x12043, 0x14043}, kFromRGBX8},
    {{0x44, 0x203, 0x213, 0x1033, 0x10033}, kToBGR8Both},
    {{0x45}, kToBGR8},
    {{0x51}, kFrom12BitGrey},
    {{0x53, 0x64, 0x223, 0x10053}, kToBGR8Or16},
    {{0x71, 0x111, 0x131, 0x151}, kToBGR8OrGreyFloat},
    {{0x141}, kToBGR8OrGreyHalf},
    {{0x143, 0x10143}, kToBGR8OrHalf},
    {{0x153, 0x10113, 0x10123, 0x10153}, kToBGR8OrFloat},
    {{0x163}, kFromRGBE},
    {{0x10133}, kFromRGBDouble},
    {{0x2044}, kFromCMYKA8},
    {{0x2045, 0x4045}, kFromYCbCrA8},
    {{0x2051, 0x4051}, kFrom12BitGreyAlpha},
    {{0x2053, 0x4053, 0x12053, 0x12063, 0x14053, 0x14063}, kToBGRA16},
    {{0x2064}, kFromCMYKA16},
    {{0x2071, 0x2111, 0x2131, 0x4071, 0x4111, 0x4131}, kToGreyAlphaFloat},
    {{0x2143, 0x4143, 0x12103, 0x12143, 0x14103, 0x14143}, kToBGRAHalf},
    {{0x2153, 0x4153, 0x12123, 0x12153, 0x14123, 0x14153}, kToBGRAFloat},
    {{0x12033, 0x14033}, kToBGRA8},
    {{0x12113, 0x12133, 0x14113, 0x14133}, kToBGRAFloatOnly},
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
// Kinds of plain-route kernel that the selection settles itself.

constexpr ILPixelType kCopyTypes[] = {
    0x12,   0x21,   0x22,   0x31,   0x32,   0x41,    0x42,    0x43,   0x61,   0x63,
    0x101,  0x103,  0x121,  0x123,  0x1043, 0x2012,  0x2022,  0x2032, 0x2041, 0x2042,
    0x2043, 0x2061, 0x2063, 0x2101, 0x2103, 0x2121,  0x2123,  0x4041, 0x4043, 0x4061,
    0x4063, 0x4101, 0x4103, 0x4121, 0x4123, 0x10043, 0x10063, 0x10103};

// Alpha handling 2 composites these sources into these targets. Filler
// sources are not among them: a filler byte is no coverage, and laying a
// picture with zero fillers over the background would lose it.
struct CompositeGroup {
    Types sources;
    Types targets;
};
const CompositeGroup kComposite[] = {
    {{0x2043, 0x4043, 0x2123, 0x4123}, {0x43, 0x123, 0x10043}},
    {{0x2041, 0x4041}, {0x41, 0x43, 0x123, 0x10043}},
    {{0x2061, 0x4061}, {0x41, 0x43, 0x61, 0x123, 0x10043}},
    {{0x2101, 0x4101}, {0x41, 0x43, 0x101, 0x123, 0x10043}},
    {{0x2121, 0x4121}, {0x41, 0x43, 0x121, 0x123, 0x10043}},
    {{0x2063, 0x4063}, {0x43, 0x63, 0x123, 0x10043}},
    {{0x2103, 0x4103}, {0x43, 0x103, 0x123, 0x10043}},
    {{0x12043, 0x12063, 0x12103, 0x14043, 0x14063, 0x14103}, {0x43, 0x10043}},
};

bool IsCompositePair(ILPixelType s, ILPixelType t) {
    for (const CompositeGroup& g : kComposite)
        if (Contains(g.sources, s)) return Contains(g.targets, t);
    return false;
}

// Sources whose R, G, B 8-bit target is their B, G, R kernel and a swap.
constexpr ILPixelType kSwapChainSources[] = {0x44,  0x64,   0x163,  0x203,   0x213,
                                             0x223, 0x2044, 0x2064, 0x12033, 0x14033};

// ---------------------------------------------------------------------------
// Colour-managed route: pairs whose alpha survives the transform, keyed by
// the types without their extra bits.

struct AlphaPair {
    Types sources;
    Types targets;
};
const AlphaPair kAlphaPairs[] = {
    {{0x41}, {0x41}},
    {{0x61}, {0x61}},
    {{0x101}, {0x101}},
    {{0x111}, {0x121}},
    {{0x121}, {0x121}},
    {{0x43, 0x10043, 0x45, 0x47}, {0x43}},
    {{0x63, 0x10063, 0x65, 0x67}, {0x63}},
    {{0x103, 0x10103}, {0x103}},
    {{0x113, 0x10113}, {0x123}},
    {{0x123, 0x10123}, {0x123}},
    {{0x44}, {0x43, 0x10043}},
    {{0x64}, {0x63, 0x10063}},
    {{0x104}, {0x103, 0x10103}},
    {{0x114}, {0x123, 0x10123}},
    {{0x124}, {0x123, 0x10123}},
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
    if (c->greyMap && s == 0x41) {
        if (t == 0x41 || t == 0x43 || t == 0x10043 || t == 0x2041)
            p.first = FindKeeping(s, t, IL_KV_GREY_MAP).kernel;
        return p;
    }
    if (!IsPlainPair(s, t)) return p;

    if (s == 0x11) {
        if (t == 0x11 && c->oneBitWhite) {
            p.copy = true;
            return p;
        }
        const ILKernelVariant v = c->oneBitWhite ? IL_KV_ONE_BIT_WHITE : IL_KV_ONE_BIT_BLACK;
        p.first = Find(s, t, v).kernel;
        if (!p.first) p.first = Find(s, t, IL_KV_ANY).kernel;
        return p;
    }
    if ((s == t && Contains(kCopyTypes, s)) ||
        (IsIndexed(s) && IsIndexed(t) && (s | IL_EXTRA_ALPHA) == (t | IL_EXTRA_ALPHA))) {
        p.copy = true;
        return p;
    }
    if (IsIndexed(s)) return PlanIndexedSource(c, s, t);
    if (t == 0x42) {
        p.first = Find(s, t, IL_KV_ANY).kernel;
        c->needsPaletteMapper = 1;
        c->needsPaletteTable = 1;
        return p;
    }

    const ILRowKernel swap = Find(0x43, 0x10043, IL_KV_ANY).kernel;
    if (c->alphaHandling == 2 && IsCompositePair(s, t)) {
        if (t == 0x10043) {
            p.first = Find(s, 0x43, IL_KV_COMPOSITE).kernel;
            p.second = swap;
            p.chainBytesPerPixel = 3;
        } else {
            p.first = Find(s, t, IL_KV_COMPOSITE).kernel;
        }
        return p;
    }
    if (t == 0x10043 && Contains(kSwapChainSources, s)) {
        p.first = FindKeeping(s, 0x43).kernel;
        p.second = swap;
        p.chainBytesPerPixel = 3;
        return p;
    }

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
    if ((t & (IL_EXTRA_ALPHA | IL_EXTRA_PREMULTIPLIED)) && IsAlphaPair(s, t))
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
