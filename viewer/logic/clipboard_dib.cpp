#include "viewer/logic/clipboard_dib.h"

#include <limits>

namespace {

constexpr size_t kInfoHeaderBytes = 40;
constexpr uint32_t kUncompressed = 0; // BI_RGB
constexpr uint32_t kBitFields = 3;    // BI_BITFIELDS

uint32_t U32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}
int32_t I32(const uint8_t* p) {
    return static_cast<int32_t>(U32(p));
}

ILPixelType TypeOfBitCount(uint32_t bits) {
    switch (bits) {
        case 1:
            return IL_INDEX1;
        case 4:
            return IL_INDEX4;
        case 8:
            return IL_INDEX8;
        case 24:
            return IL_BGR8;
        case 32:
            return IL_BGRX8;
        default:
            return 0;
    }
}

} // namespace

DibProblem ParseClipboardDib(std::span<const uint8_t> block, ClipboardDib& dib) {
    if (block.size() < kInfoHeaderBytes || U32(block.data()) != kInfoHeaderBytes)
        return DibProblem::NoInfoHeader;
    const uint8_t* header = block.data();
    const int32_t width = I32(header + 4);
    const int32_t height = I32(header + 8);
    const uint32_t bits = header[14] | header[15] << 8;
    const uint32_t compression = U32(header + 16);
    const uint32_t coloursUsed = U32(header + 32);

    if (width <= 0 || height == 0 || height == std::numeric_limits<int32_t>::min())
        return DibProblem::BadSize;
    const ILPixelType type = TypeOfBitCount(bits);
    if (!type) return DibProblem::BadBitCount;

    size_t offset = kInfoHeaderBytes;
    if (compression == kBitFields) {
        // Masks other than the plain B, G, R bytes of 32-bit pixels would need
        // their own reader.
        if (bits != 32) return DibProblem::BadCompression;
        if (block.size() < offset + 12) return DibProblem::Truncated;
        if (U32(header + offset) != 0xFF0000 || U32(header + offset + 4) != 0xFF00 ||
            U32(header + offset + 8) != 0xFF)
            return DibProblem::BadCompression;
        offset += 12;
    } else if (compression != kUncompressed) {
        return DibProblem::BadCompression;
    }

    // The table holds biClrUsed entries when that is set, else all that the
    // bit count can index; above 8 bits it is an optional list to skip.
    uint32_t tableLength = coloursUsed;
    if (bits <= 8) {
        const uint32_t indexable = 1u << bits;
        if (coloursUsed > indexable) return DibProblem::BadColourCount;
        if (tableLength == 0) tableLength = indexable;
    }
    if (uint64_t{tableLength} * 4 > block.size() - offset) return DibProblem::Truncated;
    dib.paletteOffset = offset;
    dib.paletteLength = bits <= 8 ? tableLength : 0;
    offset += size_t{tableLength} * 4;

    const uint64_t rows = height < 0 ? uint64_t(-int64_t{height}) : uint64_t(height);
    const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
    if (stride > std::numeric_limits<uint32_t>::max() / 2) return DibProblem::BadSize;
    if (rows > (block.size() - offset) / stride) return DibProblem::Truncated;

    dib.width = static_cast<uint32_t>(width);
    dib.height = static_cast<uint32_t>(rows);
    dib.bottomUp = height > 0;
    dib.bitCount = bits;
    dib.type = type;
    dib.pixelOffset = offset;
    dib.stride = static_cast<uint32_t>(stride);
    return DibProblem::None;
}
