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
    {0x41, 1, ILBuildPaletteGrey8},
    {0x2041, 2, ILBuildPaletteGreyAlpha8},
    {0x61, 2, ILBuildPaletteGrey16},
    {0x2061, 4, ILBuildPaletteGreyAlpha16},
    {0x121, 4, ILBuildPaletteGreyFloat},
    {0x2121, 8, ILBuildPaletteGreyAlphaFloat},
    {0x43, 3, ILBuildPaletteColor8},
    {0x10043, 3, ILBuildPaletteColor8},
    {0x1043, 4, ILBuildPaletteColor8},
    {0x2043, 4, ILBuildPaletteColor8},
    {0x11043, 4, ILBuildPaletteColor8},
    {0x12043, 4, ILBuildPaletteColor8},
    {0x63, 6, ILBuildPaletteBGR16},
    {0x2063, 8, ILBuildPaletteBGRA16},
    {0x123, 12, ILBuildPaletteBGRFloat},
    {0x2101, 4, nullptr},
    {0x4101, 4, nullptr},
    {0x103, 6, nullptr},
    {0x2103, 8, nullptr},
    {0x4103, 8, nullptr},
    {0x2123, 16, nullptr},
};

struct IndexSource {
    ILPixelType type;
    uint32_t bits;
};

constexpr IndexSource kIndexSources[] = {
    {0x12, 1}, {0x2012, 1}, {0x22, 2}, {0x2022, 2}, {0x32, 4}, {0x2032, 4}, {0x42, 8}, {0x2042, 8},
};

// Repacking, packing and mapping pairs.
constexpr ILKernelEntry kOtherKernels[] = {
    {0x12, 0x42, IL_KV_ANY, UnpackToIndex8<1>, nullptr},
    {0x12, 0x2042, IL_KV_ANY, UnpackToIndex8<1>, nullptr},
    {0x2012, 0x42, IL_KV_ANY, UnpackToIndex8<1>, nullptr},
    {0x2012, 0x2042, IL_KV_ANY, UnpackToIndex8<1>, nullptr},
    {0x22, 0x42, IL_KV_ANY, UnpackToIndex8<2>, nullptr},
    {0x22, 0x2042, IL_KV_ANY, UnpackToIndex8<2>, nullptr},
    {0x2022, 0x42, IL_KV_ANY, UnpackToIndex8<2>, nullptr},
    {0x2022, 0x2042, IL_KV_ANY, UnpackToIndex8<2>, nullptr},
    {0x32, 0x42, IL_KV_ANY, UnpackToIndex8<4>, nullptr},
    {0x32, 0x2042, IL_KV_ANY, UnpackToIndex8<4>, nullptr},
    {0x2032, 0x42, IL_KV_ANY, UnpackToIndex8<4>, nullptr},
    {0x2032, 0x2042, IL_KV_ANY, UnpackToIndex8<4>, nullptr},
    {0x22, 0x32, IL_KV_ANY, Index2ToIndex4, nullptr},
    {0x22, 0x2032, IL_KV_ANY, Index2ToIndex4, nullptr},
    {0x2022, 0x32, IL_KV_ANY, Index2ToIndex4, nullptr},
    {0x2022, 0x2032, IL_KV_ANY, Index2ToIndex4, nullptr},
    // Reducing an 8-bit index keeps the top bits of each code.
    {0x42, 0x12, IL_KV_ANY, ILRowPackTo1, nullptr},
    {0x42, 0x22, IL_KV_ANY, ILRowPackTo2, nullptr},
    {0x42, 0x32, IL_KV_ANY, ILRowPackTo4, nullptr},
    {0x2042, 0x12, IL_KV_ANY, ILRowPackTo1, nullptr},
    {0x2042, 0x22, IL_KV_ANY, ILRowPackTo2, nullptr},
    {0x2042, 0x32, IL_KV_ANY, ILRowPackTo4, nullptr},
    {0x43, 0x42, IL_KV_ANY, MapToIndex<uint8_t, &ILColor::FromBGR8>, nullptr},
    {0x63, 0x42, IL_KV_ANY, MapToIndex<uint16_t, &ILColor::FromBGR16>, nullptr},
    {0x103, 0x42, IL_KV_ANY, MapToIndex<uint16_t, &ILColor::FromBGRHalf>, nullptr},
    {0x123, 0x42, IL_KV_ANY, MapToIndex<float, &ILColor::FromBGRFloat>, nullptr},
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
