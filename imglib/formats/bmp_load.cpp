// BMP reading: Microsoft's device-independent bitmap files (the 14-byte file
// header "BM" with an OS/2 core header of 12 bytes or a Windows information
// header of 40 bytes and its longer versions 52, 56, 108 and 124).
// Read: 1, 4 and 8-bit palette images (as grey when the palette is an even
// grey ramp), 16-bit and 32-bit pixels with the default layouts or bit-field
// masks (alpha from the alpha mask of the longer headers), 24-bit pixels,
// RLE8 and RLE4 with end-of-line, end-of-bitmap and delta codes, bottom-up
// and top-down rows, the resolution.
// Not handled: JPEG or PNG inside BMP, OS/2 2.x headers of 16 to 39 bytes and
// their Huffman and RLE24 codings, 2 and 64-bit pixels, alpha bit fields
// (compression 6), colour profiles, OS/2 bitmap arrays.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <utility>

#include "imglib/byte_order.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/formats/bmp.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/metadata/info.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"

namespace {

// BITMAPFILEHEADER, little-endian like every field of the file.
//   0  u16  magic "BM"
//   2  u32  file size (not trusted: the file system's size is used)
//   6  u32  two reserved u16 fields (a cursor hotspot in OS/2 files)
//  10  u32  offset of the pixel data from the start of the file
constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kDataOffsetField = 10;

// The information header at offset 14 starts with its u32 size.
// OS/2 core (12 bytes), read as 8 bytes after the size:
//   u16 width, u16 height, u16 planes, u16 bits per pixel.
// OS/2 2.x headers of 16 to 39 bytes (32-bit fields, codings of their own)
// are refused; from 40 bytes on they share the Windows layout.
// Windows (40 bytes and more), read as 36 bytes after the size:
//   i32 width, i32 height (negative: top-down), u16 planes, u16 bits per
//   pixel, u32 compression, u32 image size, i32 and i32 pixels per metre,
//   u32 colours used, u32 important colours;
//   then, from header offset 40, u32 red, green and blue masks (inside the
//   header from 52 bytes on, else right after it) and from 56 bytes on a u32
//   alpha mask.
constexpr uint32_t kCoreHeaderMin = 12;
constexpr uint32_t kOs2v2HeaderMin = 16;
constexpr uint32_t kWindowsHeaderMin = 40;
constexpr uint32_t kMasksInHeaderMin = 52;
constexpr uint32_t kAlphaMaskInHeaderMin = 56;
constexpr uint32_t kV4HeaderMin = 108;
constexpr uint32_t kV5HeaderMin = 124;
constexpr uint64_t kMasksOffset = kFileHeaderBytes + 40;

// No dimension of a real bitmap comes near this; it also keeps every row and
// buffer size below 2^63 in the arithmetic that follows.
constexpr uint32_t kMaxDimension = 1u << 24;
// A file may claim more rows than it holds (it is then read as a partial
// image), but only for images up to this size: larger claims must be backed
// by the file, so that a few bytes cannot ask for gigabytes.
constexpr uint64_t kImageBytesAlwaysAllowed = uint64_t{64} << 20;
// A run-length pair of two bytes yields at most 255 pixels: at most 128 row
// bytes per file byte for RLE8, 64 for RLE4.
constexpr uint64_t kRleExpansion = 128;

constexpr double kInchesPerMetre = 39.37007874016;

bool IsRle(const ILBmpReader& r) {
    return r.compression == IL_BMP_RLE8 || r.compression == IL_BMP_RLE4;
}

bool HasAlpha(const ILBmpReader& r) {
    return (r.sourceType & IL_EXTRA_ALPHA) != 0;
}

// Reads the bit-field masks when the file has them: always for compression
// 3, and for 16-bit data also where a header of 52 or 56 bytes, or 12 bytes
// between a 40-byte header and the pixels, show that writers put them there.
// Masks that are all zero mean the default layout.
bool ReadMasks(ILBmpReader* r, bool* present) {
    const bool bitFields = r->compression == IL_BMP_BITFIELDS;
    *present = bitFields || (r->fileBits == 16 && (r->headerSize == kMasksInHeaderMin ||
                                                   r->headerSize == kAlphaMaskInHeaderMin ||
                                                   r->dataOffset == uint64_t{r->headerSize} + 26));
    if (!*present) return true;
    const size_t count = bitFields && r->headerSize >= kAlphaMaskInHeaderMin ? 4 : 3;
    uint8_t bytes[16];
    if (!r->Seek(kMasksOffset, 0) || r->Read(bytes, 4 * count) != 4 * count) return false;
    for (size_t i = 0; i < count; ++i)
        r->masks[i] = ILGetLe32(bytes + 4 * i);
    *present = r->masks[0] | r->masks[1] | r->masks[2];
    if (!*present) r->masks[3] = 0;
    return true;
}

bool MasksAre(const ILBmpReader& r, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    return r.masks[0] == red && r.masks[1] == green && r.masks[2] == blue && r.masks[3] == alpha;
}

// 16 and 32-bit layouts: the pixel types the converter knows, else rows that
// the loader unpacks by the masks into B, G, R (and A) bytes.
void LayOutMasked(ILBmpReader* r, bool masks) {
    r->colorType = IL_CT_RGB;
    if (r->fileBits == 16) {
        r->bitsPerPixel = 16;
        if (!masks || MasksAre(*r, 0x7C00, 0x3E0, 0x1F, 0)) {
            r->sourceType = IL_MODEL_RGB | IL_KIND_555;
            r->bitsPerPixel = 15;
        } else if (MasksAre(*r, 0xF800, 0x7E0, 0x1F, 0)) {
            r->sourceType = IL_MODEL_RGB | IL_KIND_565;
        } else if (MasksAre(*r, 0xF00, 0xF0, 0xF, 0)) {
            r->sourceType = IL_MODEL_RGB | IL_KIND_4 | IL_EXTRA_FILLER;
            r->bitsPerPixel = 12;
        } else {
            r->unpackMasks = true;
        }
    } else {
        r->bitsPerPixel = 32;
        if (!masks || MasksAre(*r, 0xFF0000, 0xFF00, 0xFF, 0))
            r->sourceType = IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_FILLER;
        else if (MasksAre(*r, 0xFF0000, 0xFF00, 0xFF, 0xFF000000))
            r->sourceType = IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_ALPHA;
        else
            r->unpackMasks = true;
    }
    if (r->unpackMasks)
        r->sourceType =
            r->masks[3] ? IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_ALPHA : IL_MODEL_RGB | IL_KIND_8;
}

// One channel of a bit-field pixel, scaled to 8 bits.
struct MaskField {
    uint32_t mask = 0;
    uint32_t shift = 0;
    uint32_t max = 0; // the mask shifted down; 0 for an absent channel

    explicit MaskField(uint32_t m) : mask(m) {
        if (m) {
            shift = static_cast<uint32_t>(__builtin_ctz(m));
            max = m >> shift;
        }
    }
    uint8_t Scale(uint32_t pixel) const {
        if (!max) return 0;
        const uint64_t v = (pixel & mask) >> shift;
        return static_cast<uint8_t>((v * 255 + max / 2) / max);
    }
};

void UnpackMasked(const ILBmpReader& r, const uint8_t* in, uint8_t* out) {
    const MaskField red(r.masks[0]), green(r.masks[1]), blue(r.masks[2]), alpha(r.masks[3]);
    const bool withAlpha = r.masks[3] != 0;
    const size_t step = r.fileBits / 8;
    for (uint32_t x = 0; x < r.width; ++x, in += step) {
        const uint32_t p = step == 2 ? ILGetLe16(in) : ILGetLe32(in);
        *out++ = blue.Scale(p);
        *out++ = green.Scale(p);
        *out++ = red.Scale(p);
        if (withAlpha) *out++ = alpha.Scale(p);
    }
}

// Image row that the y-th row of the file fills.
uint8_t* ImageRow(const ILImage* image, const ILBmpReader& r, uint32_t y) {
    const uint32_t row = r.bottomUp ? r.height - 1 - y : y;
    return image->data + static_cast<int64_t>(row) * image->stride;
}

// Rows the file did not deliver are black (index 0), not stale memory.
void ClearRowsFrom(ILImage* image, const ILBmpReader& r, uint32_t y) {
    for (; y < r.height; ++y)
        std::memset(ImageRow(image, r, y), 0, static_cast<size_t>(image->stride));
}

// Palette of 2, 16 or 256 entries, whatever the colours-used field says;
// entries past the end of the file stay black. An even grey ramp makes the
// data grey.
bool ReadPalette(ILHandle* h, ILBmpReader* r, ILConverter* c) {
    ILPalette* palette = ILConverterNewPalette(c, r->paletteEntries);
    if (!palette) {
        ILReportOutOfMemory(h, uint64_t{r->paletteEntries} * sizeof(ILPaletteEntry));
        return false;
    }
    const size_t entryBytes = r->kind == 1 ? 3 : 4;
    uint8_t bytes[256 * 4] = {};
    if (r->Seek(static_cast<int64_t>(r->paletteOffset), 0))
        r->Read(bytes, entryBytes * r->paletteEntries);
    if (entryBytes == 3)
        palette->LoadBGR8(r->paletteEntries, bytes);
    else
        palette->LoadBGRA8(r->paletteEntries, bytes);
    palette->MakeOpaque();
    if (palette->IsGrayRamp()) {
        r->sourceType = (r->sourceType & ~IL_MODEL_MASK) | IL_MODEL_GRAY;
        r->colorType = r->fileBits == 1 ? IL_CT_MONOCHROME : IL_CT_GRAY;
    }
    return true;
}

void FillInfo(ILInfo* info, const ILBmpReader& r) {
    info->formatId = IL_FORMAT_BMP | r.kind;
    info->width = r.width;
    info->height = r.height;
    info->colorType = r.colorType;
    info->bitsPerPixel = r.bitsPerPixel;
    info->compression = IsRle(r) ? IL_COMP_RLE : IL_COMP_NONE;
    info->gamma = 2.2;
    info->pages = 1;
    if (HasAlpha(r)) {
        info->channels = 4;
        info->alphaKind = IL_ALPHA_STRAIGHT;
    } else {
        info->channels = r.fileBits == 32 ? 4 : r.fileBits >= 12 ? 3 : 1;
    }
    if (r.ppmX > 0) info->ppiX = static_cast<uint32_t>(r.ppmX / kInchesPerMetre + 0.49999);
    if (r.ppmY > 0) info->ppiY = static_cast<uint32_t>(r.ppmY / kInchesPerMetre + 0.49999);
}

// Before anything is allocated: the dimensions, and the claimed pixel data
// against what the file holds.
ILResult CheckGeometry(ILHandle* h, const ILBmpReader& r, ILPixelType target) {
    if (r.width > kMaxDimension || r.height > kMaxDimension) {
        ILErrorF(h, "Image of %u x %u pixels is too large", r.width, r.height);
        return IL_INVALID_HEADER;
    }
    const uint64_t needed = r.rowBytes * r.height;
    const uint64_t held = IsRle(r) ? r.dataSize * kRleExpansion : r.dataSize;
    if (needed <= held || ILImageBufferSize(r.width, r.height, target) <= kImageBytesAlwaysAllowed)
        return IL_OK;
    return ILReportUnbackedClaim(h, r.width, r.height, r.size);
}

// Uncompressed rows: straight into the image when the converter would only
// copy rows of the same size, else through the row buffer.
ILResult DecodeRows(ILHandle* h, ILBmpReader* r, ILImage* image, ILConverter* c) {
    const bool direct = ILConverterIsPlainCopy(c) && !r->unpackMasks &&
                        r->rowBytes == static_cast<uint64_t>(image->stride);
    const uint64_t pixelBytes = (uint64_t{r->width} * r->fileBits + 7) / 8;
    ILBuffer<uint8_t> row, unpacked;
    if (!direct) {
        row.reset(static_cast<uint8_t*>(ILAlloc(h, r->rowBytes)));
        if (!row) return IL_OUT_OF_MEMORY;
    }
    if (r->unpackMasks) {
        unpacked.reset(static_cast<uint8_t*>(ILAlloc(h, uint64_t{r->width} * 4)));
        if (!unpacked) return IL_OUT_OF_MEMORY;
    }
    for (uint32_t y = 0; y < r->height; ++y) {
        uint8_t* target = ImageRow(image, *r, y);
        uint8_t* into = direct ? target : row.get();
        const size_t got = r->Read(into, r->rowBytes);
        if (got == 0) {
            ClearRowsFrom(image, *r, y);
            return ILReportUnexpectedEnd(h);
        }
        if (got < r->rowBytes) std::memset(into + got, 0, r->rowBytes - got);
        if (!direct) {
            if (r->unpackMasks) {
                UnpackMasked(*r, into, unpacked.get());
                into = unpacked.get();
            }
            c->rowKernel(c, into, target);
        }
        if (got < pixelBytes) {
            ClearRowsFrom(image, *r, y + 1);
            return ILReportUnexpectedEnd(h);
        }
    }
    return IL_OK;
}

// Run-length rows: the whole pixel data is read at once, then each row is
// decoded into a zeroed row buffer and converted.
ILResult DecodeRleRows(ILHandle* h, ILBmpReader* r, ILImage* image, ILConverter* c) {
    ILBuffer<uint8_t> data(static_cast<uint8_t*>(ILAlloc(h, r->dataSize)));
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, r->rowBytes)));
    if (!data || !row) return IL_OUT_OF_MEMORY;
    const size_t got = r->Read(data.get(), r->dataSize);
    if (got == 0) {
        ClearRowsFrom(image, *r, 0);
        return ILReportUnexpectedEnd(h);
    }
    r->rle = data.get();
    r->rleSize = got;
    r->rlePos = 0;
    for (uint32_t y = 0; y < r->height; ++y) {
        std::memset(row.get(), 0, r->rowBytes);
        const bool decoded = ILBmpDecodeRle(h, row.get(), r, y);
        if (!decoded && !r->rleOutOfData) return ILReportDecompressionFailed(h);
        c->rowKernel(c, row.get(), ImageRow(image, *r, y));
        if (!decoded) {
            ClearRowsFrom(image, *r, y + 1);
            return ILReportUnexpectedEnd(h);
        }
    }
    return IL_OK;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILBmpReader r;
    const ILResult opened = r.Open(h, path, info);
    if (opened != IL_OK) return opened;
    if (image) ILClearImage(image);
    if (!ILBmpReadHeader(&r)) {
        if (r.headerSize >= kOs2v2HeaderMin && r.headerSize < kWindowsHeaderMin) {
            ILErrorF(h, "OS/2 2.x bitmap headers of %u bytes are not supported", r.headerSize);
            return IL_UNSUPPORTED_FORMAT;
        }
        return ILReportInvalidHeader(h);
    }
    // Run-length codes exist for 4 and 8-bit data only, bit fields for 16 and
    // 32-bit data only; elsewhere these values name OS/2 codings (Huffman,
    // RLE24) that are not read.
    const bool rleFits = (r.compression == IL_BMP_RLE8 && r.fileBits == 8) ||
                         (r.compression == IL_BMP_RLE4 && r.fileBits == 4);
    const bool fieldsFit = r.fileBits == 16 || r.fileBits == 32;
    if (r.compression == IL_BMP_JPEG || r.compression == IL_BMP_PNG || (IsRle(r) && !rleFits) ||
        (r.compression == IL_BMP_BITFIELDS && !fieldsFit))
        return ILReportInvalidCompression(h);

    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    if (r.paletteEntries && !ReadPalette(h, &r, c)) return IL_OUT_OF_MEMORY;
    if (info) FillInfo(info, r);
    if (!image) return IL_OK;

    const ILPixelType target = ILGetLoadPixelType(h, r.sourceType, false);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const ILResult geometry = CheckGeometry(h, r, target);
    if (geometry != IL_OK) return geometry;
    // Run-length data is read whole beside the image.
    uint64_t bytes = ILImageBufferSize(r.width, r.height, target);
    if (IsRle(r) && __builtin_add_overflow(bytes, r.dataSize, &bytes)) bytes = UINT64_MAX;
    const ILResult budget = ILCheckImageBudget(h, bytes);
    if (budget != IL_OK) return budget;
    if (ILReallocImage(image, r.width, r.height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(r.width, r.height, target));
    ILConverterGivePalette(c, image);
    if (HasAlpha(r)) {
        ILConverterSetAlphaMode(c, h->alphaMode);
        ILConverterSetBackground(c, h->background);
    }
    ILConverterSetModes(c, r.sourceType, target, r.width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    if (!r.Seek(static_cast<int64_t>(r.dataOffset), 0)) return ILReportReadFailed(h);
    return IsRle(r) ? DecodeRleRows(h, &r, image, c) : DecodeRows(h, &r, image, c);
}

} // namespace

bool ILBmpReadHeader(ILBmpReader* r) {
    uint8_t head[kFileHeaderBytes + 4];
    if (!r->Seek(0, 0) || r->Read(head, sizeof head) != sizeof head) return false;
    if (head[0] != 'B' || head[1] != 'M') return false;
    r->dataOffset = ILGetLe32(head + kDataOffsetField);
    r->headerSize = ILGetLe32(head + kFileHeaderBytes);
    if (r->headerSize != kCoreHeaderMin && r->headerSize < kWindowsHeaderMin) return false;

    int64_t width = 0, height = 0;
    if (r->headerSize == kCoreHeaderMin) {
        uint8_t f[8];
        if (r->Read(f, sizeof f) != sizeof f) return false;
        r->kind = 1;
        width = ILGetLe16(f);
        height = ILGetLe16(f + 2);
        r->fileBits = ILGetLe16(f + 6);
        r->compression = IL_BMP_RGB;
    } else {
        uint8_t f[36];
        if (r->Read(f, sizeof f) != sizeof f) return false;
        r->kind = r->headerSize >= kV5HeaderMin ? 5 : r->headerSize >= kV4HeaderMin ? 4 : 2;
        width = static_cast<int32_t>(ILGetLe32(f));
        height = static_cast<int32_t>(ILGetLe32(f + 4));
        r->fileBits = ILGetLe16(f + 10);
        r->compression = ILGetLe32(f + 12);
        r->ppmX = static_cast<int32_t>(ILGetLe32(f + 20));
        r->ppmY = static_cast<int32_t>(ILGetLe32(f + 24));
        if (r->compression > IL_BMP_PNG) return false;
    }
    r->bottomUp = height > 0;
    height = height < 0 ? -height : height; // 64-bit: -INT32_MIN fits
    if (width <= 0 || height == 0 || height > UINT32_MAX) return false;
    r->width = static_cast<uint32_t>(width);
    r->height = static_cast<uint32_t>(height);

    // The pixels must start inside the file.
    if (r->dataOffset >= r->size) return false;
    r->dataSize = r->size - r->dataOffset;

    switch (r->fileBits) {
        case 1:
            r->paletteEntries = 2;
            r->sourceType = IL_MODEL_INDEXED | IL_KIND_1;
            break;
        case 4:
            r->paletteEntries = 16;
            r->sourceType = IL_MODEL_INDEXED | IL_KIND_4;
            break;
        case 8:
            r->paletteEntries = 256;
            r->sourceType = IL_MODEL_INDEXED | IL_KIND_8;
            break;
        case 15:
        case 16:
        case 32: {
            r->fileBits = r->fileBits == 15 ? 16 : r->fileBits;
            bool masks = false;
            if (!ReadMasks(r, &masks)) return false;
            LayOutMasked(r, masks);
            break;
        }
        case 24:
            r->sourceType = IL_MODEL_RGB | IL_KIND_8;
            r->colorType = IL_CT_RGB;
            break;
        default:
            return false;
    }
    if (r->paletteEntries) {
        r->colorType = IL_CT_INDEXED;
        r->paletteOffset = kFileHeaderBytes + uint64_t{r->headerSize};
    }
    if (!r->bitsPerPixel) r->bitsPerPixel = r->fileBits;
    r->rowBytes = (uint64_t{r->width} * r->fileBits + 31) / 32 * 4;
    return true;
}

bool ILBmpDecodeRle(ILHandle* h, uint8_t* row, ILBmpReader* r, uint32_t rowIndex) {
    r->rleOutOfData = false;
    if (r->rleEnded) return true;
    if (r->rleSkipRows > 0) {
        --r->rleSkipRows;
        return true;
    }
    const bool four = r->compression == IL_BMP_RLE4;
    const uint32_t width = r->width;
    const uint8_t* data = r->rle;
    const size_t size = r->rleSize;
    size_t& pos = r->rlePos;
    uint32_t x = std::exchange(r->rleStartX, 0);
    bool warned = false;
    // The row is zeroed, so nibbles can be or-ed in.
    auto put = [&](uint32_t v) {
        if (four)
            row[x / 2] |= static_cast<uint8_t>((x & 1) ? v & 15 : v << 4);
        else
            row[x] = static_cast<uint8_t>(v);
        ++x;
    };

    for (;;) {
        if (size - pos < 2) {
            // Data that ends with a full row (no end-of-line) still gave it.
            if (x == width) return true;
            r->rleOutOfData = true;
            return false;
        }
        const uint32_t count = data[pos];
        const uint32_t value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            if (count > width - x) return false;
            for (uint32_t i = 0; i < count; ++i)
                put(!four ? value : (i & 1) ? value & 15 : value >> 4);
            continue;
        }
        if (value >= 3) { // absolute run, padded to an even byte count
            const size_t bytes = four ? (value + 1) / 2 : value;
            if (value > width - x) return false;
            if (size - pos < bytes) {
                r->rleOutOfData = true;
                return false;
            }
            const uint8_t* run = data + pos;
            for (uint32_t i = 0; i < value; ++i)
                put(!four ? run[i] : (i & 1) ? run[i / 2] & 15 : run[i / 2] >> 4);
            pos = std::min(size, pos + bytes + (bytes & 1));
            continue;
        }
        if (value == 0) { // end of line
            // Some RLE8 writers put an end-of-line before a row's codes as
            // well as after them: one at the very start of a row is skipped.
            if (!four && x == 0) {
                if (!warned)
                    ILWarningF(h,
                               "Invalid RLE code in scanline %u - but tried to recover from error.",
                               rowIndex);
                warned = true;
                continue;
            }
            return true;
        }
        if (value == 1) { // end of bitmap: the rest stays index 0
            r->rleEnded = true;
            return true;
        }
        // Delta: move right and down; the pixels passed over stay index 0.
        if (size - pos < 2) {
            r->rleOutOfData = true;
            return false;
        }
        const uint32_t dx = data[pos];
        const uint32_t dy = data[pos + 1];
        pos += 2;
        if (dx > width - x) return false;
        x += dx;
        if (dy == 0) continue;
        r->rleSkipRows = dy - 1;
        r->rleStartX = x;
        return true;
    }
}

ILResult ILLoadBMP(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kBmpModule, image, [&] { return Load(h, path, image, info); });
}
