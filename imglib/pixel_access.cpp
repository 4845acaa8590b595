// Raw pixel access chosen once per image by its bits per pixel, filling an
// image with one pixel value, and the palette size a saver must write.
#include <algorithm>
#include <cstring>

#include "imglib/image.h"

namespace {

uint8_t* Row(const ILImage* image, int32_t y) {
    return image->data + int64_t{y} * image->stride;
}

// Sub-byte pixels are packed from the most significant end of each byte.
template <unsigned Bits>
void GetSmall(const ILImage* image, int32_t x, int32_t y, void* value) {
    constexpr unsigned perByte = 8 / Bits, mask = (1u << Bits) - 1;
    const uint8_t byte = Row(image, y)[x / perByte];
    const unsigned shift = 8 - Bits * (x % perByte + 1);
    *static_cast<uint8_t*>(value) = static_cast<uint8_t>((byte >> shift) & mask);
}

template <unsigned Bits>
void SetSmall(ILImage* image, int32_t x, int32_t y, const void* value) {
    constexpr unsigned perByte = 8 / Bits, mask = (1u << Bits) - 1;
    uint8_t& byte = Row(image, y)[x / perByte];
    const unsigned shift = 8 - Bits * (x % perByte + 1);
    const unsigned v = *static_cast<const uint8_t*>(value) & mask;
    byte = static_cast<uint8_t>((byte & ~(mask << shift)) | v << shift);
}

template <unsigned Bytes>
void GetWide(const ILImage* image, int32_t x, int32_t y, void* value) {
    std::memcpy(value, Row(image, y) + int64_t{x} * Bytes, Bytes);
}

template <unsigned Bytes>
void SetWide(ILImage* image, int32_t x, int32_t y, const void* value) {
    std::memcpy(Row(image, y) + int64_t{x} * Bytes, value, Bytes);
}

uint32_t NextPaletteSize(uint32_t largestIndex) {
    uint32_t size = 2;
    while (size <= largestIndex)
        size *= 2;
    return size;
}

} // namespace

// The named accessors, for callers that know the depth.
void ILGetPixel1(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetSmall<1>(i, x, y, v);
}
void ILSetPixel1(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetSmall<1>(i, x, y, v);
}
void ILGetPixel2(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetSmall<2>(i, x, y, v);
}
void ILSetPixel2(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetSmall<2>(i, x, y, v);
}
void ILGetPixel4(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetSmall<4>(i, x, y, v);
}
void ILSetPixel4(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetSmall<4>(i, x, y, v);
}
void ILGetPixel8(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetWide<1>(i, x, y, v);
}
void ILSetPixel8(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetWide<1>(i, x, y, v);
}
void ILGetPixel16(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetWide<2>(i, x, y, v);
}
void ILSetPixel16(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetWide<2>(i, x, y, v);
}
void ILGetPixel24(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetWide<3>(i, x, y, v);
}
void ILSetPixel24(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetWide<3>(i, x, y, v);
}
void ILGetPixel32(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetWide<4>(i, x, y, v);
}
void ILSetPixel32(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetWide<4>(i, x, y, v);
}
void ILGetPixel48(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetWide<6>(i, x, y, v);
}
void ILSetPixel48(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetWide<6>(i, x, y, v);
}
void ILGetPixel64(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetWide<8>(i, x, y, v);
}
void ILSetPixel64(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetWide<8>(i, x, y, v);
}
void ILGetPixel96(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetWide<12>(i, x, y, v);
}
void ILSetPixel96(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetWide<12>(i, x, y, v);
}
void ILGetPixel128(const ILImage* i, int32_t x, int32_t y, void* v) {
    GetWide<16>(i, x, y, v);
}
void ILSetPixel128(ILImage* i, int32_t x, int32_t y, const void* v) {
    SetWide<16>(i, x, y, v);
}

namespace {

struct Accessors {
    uint32_t bitsPerPixel;
    ILSetPixelProc set;
    ILGetPixelProc get;
};

constexpr Accessors kAccessors[] = {
    {1, ILSetPixel1, ILGetPixel1},       {2, ILSetPixel2, ILGetPixel2},
    {4, ILSetPixel4, ILGetPixel4},       {8, ILSetPixel8, ILGetPixel8},
    {16, ILSetPixel16, ILGetPixel16},    {24, ILSetPixel24, ILGetPixel24},
    {32, ILSetPixel32, ILGetPixel32},    {48, ILSetPixel48, ILGetPixel48},
    {64, ILSetPixel64, ILGetPixel64},    {96, ILSetPixel96, ILGetPixel96},
    {128, ILSetPixel128, ILGetPixel128},
};

} // namespace

bool ILGetPixelAccessors(const ILImage* image, ILSetPixelProc* set, ILGetPixelProc* get) {
    const uint32_t bitsPerPixel = image->channels * image->bits;
    for (const Accessors& a : kAccessors) {
        if (a.bitsPerPixel != bitsPerPixel) continue;
        if (set) *set = a.set;
        if (get) *get = a.get;
        return true;
    }
    return false;
}

bool ILTestBit(const uint8_t* bytes, uint32_t n) {
    return (bytes[n / 8] & (0x80 >> (n % 8))) != 0;
}

ILResult ILFillImagePixel(ILImage* image, const void* value) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const uint8_t* v = static_cast<const uint8_t*>(value);
    const uint32_t bitsPerPixel = image->channels * image->bits;
    const uint64_t width = image->width;
    uint8_t* first = image->data;

    // Sub-byte values are repeated across the byte: 2 bits times 85 fills
    // four pixels, 4 bits times 17 two.
    uint64_t rowBytes = 0;
    switch (bitsPerPixel) {
        case 1:
            rowBytes = (width + 7) / 8;
            std::memset(first, v[0] ? 0xFF : 0, rowBytes);
            break;
        case 2:
            rowBytes = (width + 3) / 4;
            std::memset(first, (v[0] & 3) * 85, rowBytes);
            break;
        case 4:
            rowBytes = (width + 1) / 2;
            std::memset(first, (v[0] & 15) * 17, rowBytes);
            break;
        case 8:
            rowBytes = width;
            std::memset(first, v[0], rowBytes);
            break;
        default: {
            const uint32_t bytes = bitsPerPixel / 8;
            rowBytes = width * bytes;
            for (uint64_t x = 0; x < width; ++x)
                std::memcpy(first + x * bytes, v, bytes);
        }
    }

    // Only the pixel bytes are copied down: a view's padding belongs to the
    // image around it.
    for (uint32_t y = 1; y < image->height; ++y)
        std::memcpy(image->data + y * image->stride, first, rowBytes);
    return IL_OK;
}

ILResult ILFillImage(ILImage* image, const ILColor& color) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    alignas(16) uint8_t pixel[16] = {};
    if (!color.ToPixel(image->type, pixel)) return IL_BAD_ARGUMENT;
    return ILFillImagePixel(image, pixel);
}

uint32_t ILImage::UsedPaletteSize() const {
    const uint32_t bitsPerPixel = channels * bits;
    if ((type & IL_MODEL_MASK) == IL_MODEL_GRAY)
        return bitsPerPixel < 32 ? 1u << bitsPerPixel : UINT32_MAX;
    if (!palette) return 0;
    if (bitsPerPixel == 1 || bitsPerPixel == 2 || bitsPerPixel == 4) return 1u << bitsPerPixel;
    if (bitsPerPixel != 8) return 0;
    uint32_t largest = 0;
    for (uint32_t y = 0; data && width > 0 && y < height && largest < 128; ++y) {
        const uint8_t* row = data + y * stride;
        largest = std::max<uint32_t>(largest, *std::max_element(row, row + width));
    }
    return NextPaletteSize(largest);
}
