// BMP writing: uncompressed bottom-up bitmaps with the Windows 40-byte
// information header, or with the OS/2 12-byte core header when the handle's
// bmpOS2 option is set.
// Written: 1, 4 and 8-bit files with a palette (an even grey ramp for grey
// images; 2-bit images as 4-bit files) and 24-bit B, G, R files for all other
// images (deeper samples reduced to 8 bits, alpha dropped or composited on
// the handle's background by its alpha mode); the resolution.
// Not written: compression, bit fields, alpha, colour profiles, texts.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/io/file_owner.h"
#include "imglib/formats/bmp.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/metadata/info.h"
#include "imglib/memory_owner.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr double kInchesPerMetre = 39.37007874016;

// Little-endian fields appended to the header bytes.
struct HeaderBytes {
    std::vector<uint8_t> bytes;

    void U16(uint32_t v) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
};

// What one save writes, worked out before the file is created.
struct Layout {
    uint32_t bitCount;
    ILPixelType rowType;
    uint32_t paletteEntries;
    uint32_t rowBytes;
    uint32_t dataOffset;
    uint32_t fileSize;
};

// The pixel type of the written rows, by the file's bit count: 24-bit files
// take B, G, R bytes; the others the grey or indexed type of their depth.
ILPixelType RowType(const ILImage& image, uint32_t bitCount) {
    if (bitCount == 24) return IL_MODEL_RGB | IL_KIND_8;
    const uint32_t kind = bitCount == 1 ? IL_KIND_1 : bitCount == 4 ? IL_KIND_4 : IL_KIND_8;
    const bool grey = (image.type & IL_MODEL_MASK) == IL_MODEL_GRAY;
    return kind | (grey ? IL_MODEL_GRAY : IL_MODEL_INDEXED);
}

// Refuses, with a message, images whose size the header fields cannot hold:
// 16-bit dimensions in the OS/2 header, 32-bit ones and a file size below
// 4 GB in the Windows header.
ILResult PlanLayout(ILHandle* h, const ILImage& image, bool os2, Layout* out) {
    Layout l{};
    l.bitCount = ILBmpBitCount(&image);
    if (!l.bitCount) return ILReportUnsupportedDataFormat(h);
    l.rowType = RowType(image, l.bitCount);
    l.paletteEntries = l.bitCount <= 8 ? 1u << l.bitCount : 0;
    const uint32_t maxDimension = os2 ? UINT16_MAX : INT32_MAX;
    if (image.width > maxDimension || image.height > maxDimension) {
        ILErrorF(h, "BMP files hold at most %u x %u pixels", maxDimension, maxDimension);
        return IL_BAD_ARGUMENT;
    }
    l.rowBytes = ILRowStride(image.width, l.bitCount, 1);
    const uint32_t entryBytes = os2 ? 3 : 4;
    l.dataOffset = kFileHeaderBytes + (os2 ? kCoreHeaderBytes : kInfoHeaderBytes) +
                   entryBytes * l.paletteEntries;
    const uint64_t fileSize = l.dataOffset + uint64_t{l.rowBytes} * image.height;
    if (l.rowBytes == 0 || fileSize > UINT32_MAX) {
        ILError(h, "The image is too large for a BMP file (at most 4 GB)");
        return IL_BAD_ARGUMENT;
    }
    l.fileSize = static_cast<uint32_t>(fileSize);
    *out = l;
    return IL_OK;
}

uint32_t PixelsPerMetre(const ILInfo* info, bool vertical) {
    if (!info) return 0;
    const double ppi = vertical ? info->ppiY : info->ppiX;
    return static_cast<uint32_t>(std::min(ppi * kInchesPerMetre, double{INT32_MAX}));
}

// File header, information header and palette.
std::vector<uint8_t> Headers(const ILImage& image, const ILInfo* info, const Layout& l, bool os2) {
    HeaderBytes out;
    out.bytes.reserve(l.dataOffset);
    out.U16('B' | 'M' << 8);
    out.U32(l.fileSize);
    out.U32(0);
    out.U32(l.dataOffset);
    if (os2) {
        out.U32(kCoreHeaderBytes);
        out.U16(image.width);
        out.U16(image.height);
        out.U16(1);
        out.U16(l.bitCount);
    } else {
        out.U32(kInfoHeaderBytes);
        out.U32(image.width);
        out.U32(image.height);
        out.U16(1);
        out.U16(l.bitCount);
        out.U32(IL_BMP_RGB);
        out.U32(l.fileSize - l.dataOffset);
        out.U32(PixelsPerMetre(info, false));
        out.U32(PixelsPerMetre(info, true));
        out.U32(l.paletteEntries);
        out.U32(l.paletteEntries);
    }

    const size_t entryBytes = os2 ? 3 : 4;
    const size_t paletteStart = out.bytes.size();
    out.bytes.resize(paletteStart + entryBytes * l.paletteEntries, 0);
    uint8_t* palette = out.bytes.data() + paletteStart;
    if ((image.type & IL_MODEL_MASK) == IL_MODEL_GRAY) {
        const uint32_t step = 255 / (l.paletteEntries - 1);
        for (uint32_t i = 0; i < l.paletteEntries; ++i)
            std::memset(palette + entryBytes * i, static_cast<int>(i * step), 3);
    } else if (image.palette && os2) {
        image.palette->WriteBGR8(l.paletteEntries, palette);
    } else if (image.palette) {
        image.palette->WriteBGRA8(l.paletteEntries, palette);
    }
    return out.bytes;
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const bool os2 = h->bmpOS2 != 0;
    Layout layout{};
    const ILResult planned = PlanLayout(h, *image, os2, &layout);
    if (planned != IL_OK) return planned;

    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetAlphaMode(c, h->alphaMode);
    ILConverterSetBackground(c, h->background);
    ILConverterSetImageTarget(c, image, layout.rowType);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, layout.rowBytes)));
    if (!row) return IL_OUT_OF_MEMORY;
    // The converter writes whole bytes of pixels; the padding stays zero.
    std::memset(row.get(), 0, layout.rowBytes);
    const std::vector<uint8_t> headers = Headers(*image, info, layout, os2);

    FILE* opened = nullptr;
    const ILResult opening = ILOpenWrite(h, path, &opened);
    if (opening != IL_OK) return opening;
    ILFilePtr file(opened);
    if (std::fwrite(headers.data(), 1, headers.size(), file.get()) != headers.size())
        return ILReportWriteFailed(h);
    for (uint32_t y = image->height; y-- > 0;) {
        c->rowKernel(c, image->data + static_cast<int64_t>(y) * image->stride, row.get());
        if (std::fwrite(row.get(), 1, layout.rowBytes, file.get()) != layout.rowBytes)
            return ILReportWriteFailed(h);
    }
    // The last buffered bytes reach the disk only now.
    if (std::fclose(file.release()) != 0) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

uint32_t ILBmpBitCount(const ILImage* image) {
    switch (image->channels * image->bits) {
        case 1:
            return 1;
        case 2:
        case 4:
            return 4;
        case 8:
        case 16:
            return 8;
        case 32:
        case 64:
            return image->channels <= 2 ? 8 : 24;
        case 24:
        case 48:
        case 96:
        case 128:
            return 24;
        default:
            return 0;
    }
}

ILResult ILSaveBMP(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    return ILGuardSave(h, kBmpModule, [&] { return Save(h, path, image, info); });
}
