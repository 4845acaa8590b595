// Row kernels for indexed data: palette lookups (one table copy per pixel,
// the table made by a builder of palette_tables.cpp), repacking codes between
// index widths, and mapping colours to the nearest palette index.
//
// The table holds exactly one entry per palette colour. A code at or beyond
// the palette's count (a damaged file, or a 1-bit image with a one-colour
// palette) has no entry: it gives an all-zero pixel (black, transparent)
// rather than a read past the table.
#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "imglib/convert/kernel_table.h"
#include "imglib/convert/palette_tables.h"
#include "imglib/convert/rows_8bit.h"

namespace {

template <int Bits>
inline uint32_t CodeAt(const uint8_t* s, uint64_t x) {
    if constexpr (Bits == 8) {
        return s[x];
    } else {
        constexpr uint32_t perByte = 8 / Bits;
        const uint32_t shift = 8 - Bits * (static_cast<uint32_t>(x % perByte) + 1);
        return (s[x / perByte] >> shift) & ((1u << Bits) - 1);
    }
}

// Copies table entries of Size bytes, Bits-bit codes.
template <int Bits, int Size>
void PaletteLookup(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint8_t* table = static_cast<const uint8_t*>(c->paletteTable);
    const uint64_t n = c->width;
    const uint32_t count = table && c->palette ? c->palette->count : 0;
    constexpr uint32_t kCodes = 1u << Bits;
    // A row long enough to pay for it copies from a local table of every
    // code, zeros past the palette (also the fastest loop: the target cannot
    // alias it); a short row of 8-bit codes checks each code instead.
    if (Bits < 8 || n >= kCodes) {
        uint8_t local[kCodes][Size] = {};
        std::memcpy(local, table, size_t{std::min(count, kCodes)} * Size);
        for (uint64_t x = 0; x < n; ++x, t += Size)
            std::memcpy(t, local[CodeAt<Bits>(s, x)], Size);
        return;
    }
    static constexpr uint8_t kZero[Size] = {};
    for (uint64_t x = 0; x < n; ++x, t += Size) {
        const uint32_t code = s[x];
        std::memcpy(t, code < count ? table + code * Size : kZero, Size);
    }
}

// Codes of Bits bits to one byte each.
template <int Bits>
void UnpackToIndex8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x)
        t[x] = static_cast<uint8_t>(CodeAt<Bits>(s, x));
}

// 2-bit codes to 4-bit codes; an odd width leaves the last low nibble clear.
void Index2ToIndex4(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x) {
        const uint32_t code = CodeAt<2>(s, x);
        if ((x & 1) == 0)
            t[x >> 1] = static_cast<uint8_t>(code << 4);
        else
            t[x >> 1] = static_cast<uint8_t>(t[x >> 1] + code);
    }
}

// Colour to the nearest palette index, through the converter's mapper (made
// by ILConverterPrepare); no dithering.
template <typename S, void (ILColor::*Decode)(const S*)>
void MapToIndex(ILConverter* c, const void* source, void* target) {
    const S* s = static_cast<const S*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    ILPaletteMapper* mapper = c->paletteMapper;
    if (!mapper) {
        std::memset(t, 0, n);
        return;
    }
    for (uint64_t x = 0; x < n; ++x, s += 3) {
        ILColor color;
        (color.*Decode)(s);
        mapper->Map(&color);
        t[x] = static_cast<uint8_t>(color.index & 0xFF);
    }
}

// --- The table ---------------------------------------------------------------

template <int Bits>
constexpr ILRowKernel LookupFor(uint32_t size) {
    switch (size) {
        case 1:
            return PaletteLookup<Bits, 1>;
        case 2:
            return PaletteLookup<Bits, 2>;
        case 3:
            return PaletteLookup<Bits, 3>;
        case 4:
            return PaletteLookup<Bits, 4>;
        case 6:
            return PaletteLookup<Bits, 6>;
        case 8:
            return PaletteLookup<Bits, 8>;
        case 12:
            return PaletteLookup<Bits, 12>;
        default:
            return PaletteLookup<Bits, 16>;
    }
}

constexpr ILRowKernel LookupFor(uint32_t bits, uint32_t size) {
    switch (bits) {
        case 1:
            return LookupFor<1>(size);
        case 2:
            return LookupFor<2>(size);
        case 4:
            return LookupFor<4>(size);
        default:
            return LookupFor<8>(size);
    }
}

struct LookupTarget {
    ILPixelType type;
    uint32_t entryBytes;
    ILPaletteTableBuilder
        builder; // null: the half and BGRA float tables come with their kernels' family
};

constexpr LookupTarget kLookupTargets[] = {
    {IL_GREY8, 1, ILBuildPaletteGrey8},
    {IL_GREY_A8, 2, ILBuildPaletteGreyA8},
    {IL_GREY16, 2, ILBuildPaletteGrey16},
    {IL_GREY_A16, 4, ILBuildPaletteGreyA16},
    {IL_GREY_FLOAT, 4, ILBuildPaletteGreyFloat},
    {IL_GREY_A_FLOAT, 8, ILBuildPaletteGreyAFloat},
    {IL_BGR8, 3, ILBuildPaletteColor8},
    {IL_RGB8, 3, ILBuildPaletteColor8},
    {IL_BGRX8, 4, ILBuildPaletteColor8},
    {IL_BGRA8, 4, ILBuildPaletteColor8},
    {IL_RGBX8, 4, ILBuildPaletteColor8},
    {IL_RGBA8, 4, ILBuildPaletteColor8},
    {IL_BGR16, 6, ILBuildPaletteBGR16},
    {IL_BGRA16, 8, ILBuildPaletteBGRA16},
    {IL_BGR_FLOAT, 12, ILBuildPaletteBGRFloat},
    {IL_GREY_A_HALF, 4, nullptr},
    {IL_GREY_PA_HALF, 4, nullptr},
    {IL_BGR_HALF, 6, nullptr},
    {IL_BGRA_HALF, 8, nullptr},
    {IL_BGRPA_HALF, 8, nullptr},
    {IL_BGRA_FLOAT, 16, nullptr},
};

struct IndexSource {
    ILPixelType type;
    uint32_t bits;
};

constexpr IndexSource kIndexSources[] = {
    {IL_INDEX1, 1}, {IL_INDEX_A1, 1}, {IL_INDEX2, 2}, {IL_INDEX_A2, 2},
    {IL_INDEX4, 4}, {IL_INDEX_A4, 4}, {IL_INDEX8, 8}, {IL_INDEX_A8, 8},
};

// Repacking, packing and mapping pairs.
constexpr ILKernelEntry kOtherKernels[] = {
    {IL_INDEX1, IL_INDEX8, IL_KV_ANY, UnpackToIndex8<1>, nullptr},
    {IL_INDEX1, IL_INDEX_A8, IL_KV_ANY, UnpackToIndex8<1>, nullptr},
    {IL_INDEX_A1, IL_INDEX8, IL_KV_ANY, UnpackToIndex8<1>, nullptr},
    {IL_INDEX_A1, IL_INDEX_A8, IL_KV_ANY, UnpackToIndex8<1>, nullptr},
    {IL_INDEX2, IL_INDEX8, IL_KV_ANY, UnpackToIndex8<2>, nullptr},
    {IL_INDEX2, IL_INDEX_A8, IL_KV_ANY, UnpackToIndex8<2>, nullptr},
    {IL_INDEX_A2, IL_INDEX8, IL_KV_ANY, UnpackToIndex8<2>, nullptr},
    {IL_INDEX_A2, IL_INDEX_A8, IL_KV_ANY, UnpackToIndex8<2>, nullptr},
    {IL_INDEX4, IL_INDEX8, IL_KV_ANY, UnpackToIndex8<4>, nullptr},
    {IL_INDEX4, IL_INDEX_A8, IL_KV_ANY, UnpackToIndex8<4>, nullptr},
    {IL_INDEX_A4, IL_INDEX8, IL_KV_ANY, UnpackToIndex8<4>, nullptr},
    {IL_INDEX_A4, IL_INDEX_A8, IL_KV_ANY, UnpackToIndex8<4>, nullptr},
    {IL_INDEX2, IL_INDEX4, IL_KV_ANY, Index2ToIndex4, nullptr},
    {IL_INDEX2, IL_INDEX_A4, IL_KV_ANY, Index2ToIndex4, nullptr},
    {IL_INDEX_A2, IL_INDEX4, IL_KV_ANY, Index2ToIndex4, nullptr},
    {IL_INDEX_A2, IL_INDEX_A4, IL_KV_ANY, Index2ToIndex4, nullptr},
    // Reducing an 8-bit index keeps the top bits of each code.
    {IL_INDEX8, IL_INDEX1, IL_KV_ANY, ILRowPackTo1, nullptr},
    {IL_INDEX8, IL_INDEX2, IL_KV_ANY, ILRowPackTo2, nullptr},
    {IL_INDEX8, IL_INDEX4, IL_KV_ANY, ILRowPackTo4, nullptr},
    {IL_INDEX_A8, IL_INDEX1, IL_KV_ANY, ILRowPackTo1, nullptr},
    {IL_INDEX_A8, IL_INDEX2, IL_KV_ANY, ILRowPackTo2, nullptr},
    {IL_INDEX_A8, IL_INDEX4, IL_KV_ANY, ILRowPackTo4, nullptr},
    {IL_BGR8, IL_INDEX8, IL_KV_ANY, MapToIndex<uint8_t, &ILColor::FromBGR8>, nullptr},
    {IL_BGR16, IL_INDEX8, IL_KV_ANY, MapToIndex<uint16_t, &ILColor::FromBGR16>, nullptr},
    {IL_BGR_HALF, IL_INDEX8, IL_KV_ANY, MapToIndex<uint16_t, &ILColor::FromBGRHalf>, nullptr},
    {IL_BGR_FLOAT, IL_INDEX8, IL_KV_ANY, MapToIndex<float, &ILColor::FromBGRFloat>, nullptr},
};

constexpr size_t kLookupCount = std::size(kIndexSources) * std::size(kLookupTargets);

constexpr auto kKernels = [] {
    std::array<ILKernelEntry, kLookupCount + std::size(kOtherKernels)> table{};
    size_t i = 0;
    for (const IndexSource& s : kIndexSources)
        for (const LookupTarget& t : kLookupTargets)
            table[i++] = {s.type, t.type, IL_KV_ANY, LookupFor(s.bits, t.entryBytes), t.builder};
    for (const ILKernelEntry& e : kOtherKernels)
        table[i++] = e;
    return table;
}();

} // namespace

std::span<const ILKernelEntry> ILKernelsIndexed() {
    return kKernels;
}
