// Sun raster reading: uncompressed and byte-encoded files of depth 1, 4, 8,
// 24 and 32, with or without an R, G, B colour map (grey when the map is an
// even grey ramp). 32-bit pixels are a pad byte, then blue, green, red; files
// of type 3 hold uncompressed pixels in R, G, B order (pad first at 32 bits).
// Not handled: the TIFF and IFF wrapped types, raw colour maps; no writer.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <vector>

#include "imglib/byte_order.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

constexpr char kModule[] = "RAS";

// Eight big-endian u32: magic, width, height, depth, data length (unused),
// type, colour map type (unused), colour map length in bytes.
constexpr size_t kHeaderBytes = 32;
constexpr uint32_t kMagic = 0x59A66A95;
constexpr uint32_t kTypeByteEncoded = 2;
constexpr uint32_t kTypeRgb = 3;
constexpr uint8_t kEscape = 0x80;
// An escape of three bytes gives at most 256.
constexpr uint64_t kRleExpansion = 86;
// Up to this size a file may hold fewer rows than it claims (read as a
// partial image); larger claims must be backed by the file.
constexpr uint64_t kImageBytesAlwaysAllowed = uint64_t{64} << 20;

struct RasReader : ILFileReader {
    uint32_t width = 0, height = 0;
    uint64_t rowBytes = 0;
    uint32_t colorType = 0, channels = 0, depth = 0;
    ILPixelType sourceType = 0;
    uint32_t mapEntries = 0;
    uint32_t compression = IL_COMP_NONE;
};

ILResult ReadHeader(RasReader* r) {
    uint8_t b[kHeaderBytes];
    if (r->Read(b, sizeof b) != sizeof b) return IL_READ_FAILED;
    if (ILGetBe32(b) != kMagic) return IL_INVALID_HEADER;
    r->width = ILGetBe32(b + 4);
    r->height = ILGetBe32(b + 8);
    r->depth = ILGetBe32(b + 12);
    const uint32_t type = ILGetBe32(b + 20);
    if (type > kTypeRgb) return IL_INVALID_COMPRESSION;
    if (r->width == 0 || r->height == 0 || r->width > (1u << 24) || r->height > (1u << 24))
        return IL_INVALID_HEADER;
    r->compression = type == kTypeByteEncoded ? IL_COMP_RLE : IL_COMP_NONE;
    r->mapEntries = ILGetBe32(b + 28) / 3;
    const bool mapped = r->mapEntries > 0;
    const uint64_t w = r->width;
    switch (r->depth) {
        case 1:
            r->rowBytes = (w + 7) / 8;
            r->sourceType = mapped ? IL_INDEX1 : IL_GREY1;
            r->colorType = mapped ? IL_CT_INDEXED : IL_CT_MONOCHROME;
            r->channels = 1;
            break;
        case 4:
        case 8:
            r->rowBytes = w;
            r->sourceType = mapped ? IL_INDEX8 : IL_GREY8;
            r->colorType = mapped ? IL_CT_INDEXED : IL_CT_GRAY;
            r->channels = 1;
            break;
        case 24:
            r->rowBytes = 3 * w;
            r->sourceType = type == kTypeRgb ? IL_RGB8 : IL_BGR8;
            r->colorType = IL_CT_RGB;
            r->channels = 3;
            break;
        case 32:
            // Pad, then the three colours: the pad is dropped before conversion.
            r->rowBytes = 4 * w;
            r->sourceType = type == kTypeRgb ? IL_RGB8 : IL_BGR8;
            r->colorType = IL_CT_RGB;
            r->channels = 3;
            break;
        default:
            return IL_INVALID_HEADER;
    }
    r->rowBytes += r->rowBytes & 1;
    // The map must lie inside the file.
    if (kHeaderBytes + uint64_t{r->mapEntries} * 3 > r->size) return IL_INVALID_HEADER;
    return IL_OK;
}

ILResult ReadColorMap(ILHandle* h, RasReader* r, ILConverter* c) {
    ILPalette* palette = ILConverterNewPalette(c, r->mapEntries);
    if (!palette) return IL_OUT_OF_MEMORY;
    const uint32_t n = r->mapEntries;
    std::vector<uint8_t> planes(size_t{n} * 3), rgb(size_t{n} * 3);
    if (r->Read(planes.data(), planes.size()) != planes.size()) return IL_READ_FAILED;
    for (uint32_t i = 0; i < n; ++i) {
        rgb[3 * i] = planes[i];
        rgb[3 * i + 1] = planes[n + i];
        rgb[3 * i + 2] = planes[2 * size_t{n} + i];
    }
    palette->LoadRGB8(n, rgb.data());
    if (palette->IsGrayRamp() && r->depth <= 8) {
        r->sourceType = r->depth == 1 ? IL_GREY1 : IL_GREY8;
        r->colorType = r->depth == 1 ? IL_CT_MONOCHROME : IL_CT_GRAY;
    }
    (void)h;
    return IL_OK;
}

void FillInfo(ILInfo* info, const RasReader& r) {
    info->formatId = IL_FORMAT_RAS;
    info->width = r.width;
    info->height = r.height;
    info->bitsPerPixel = r.depth;
    info->channels = r.channels;
    info->colorType = r.colorType;
    info->compression = r.compression;
    info->gamma = 2.2;
    info->gammaKind = IL_GAMMA_ASSUMED;
    info->pages = 1;
}

// Row bytes as the converter takes them: 1-bit without a map has 1 for
// black, 32-bit pixels lose their leading pad byte.
void PrepareRow(const RasReader& r, uint8_t* row, bool invert) {
    if (invert) {
        for (uint64_t i = 0; i < r.rowBytes; ++i)
            row[i] = static_cast<uint8_t>(~row[i]);
    } else if (r.depth == 32) {
        for (uint32_t x = 0; x < r.width; ++x)
            std::memmove(row + 3 * size_t{x}, row + 4 * size_t{x} + 1, 3);
    }
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    RasReader r;
    if (const ILResult opened = r.Open(h, path, info); opened != IL_OK) return opened;
    if (image) ILClearImage(image);
    if (const ILResult header = ReadHeader(&r); header != IL_OK) {
        ILReportInvalidHeader(h);
        return header;
    }
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    if (r.mapEntries) {
        if (const ILResult map = ReadColorMap(h, &r, c); map != IL_OK) return map;
    }
    if (info) FillInfo(info, r);
    if (!image) return IL_OK;

    const ILPixelType target = ILGetLoadPixelType(h, r.sourceType, false);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint64_t imageBytes = ILImageBufferSize(r.width, r.height, target);
    const uint64_t dataStart = kHeaderBytes + uint64_t{r.mapEntries} * 3;
    const uint64_t dataSize = r.size - dataStart;
    const uint64_t held = r.compression == IL_COMP_RLE ? dataSize * kRleExpansion : dataSize;
    if (r.rowBytes * r.height > held && imageBytes > kImageBytesAlwaysAllowed) {
        return ILReportUnbackedClaim(h, r.width, r.height, r.size);
    }
    if (const ILResult budget = ILCheckImageBudget(h, imageBytes); budget != IL_OK) return budget;
    if (ILReallocImage(image, r.width, r.height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);
    if (ILPixelModel(target) == IL_MODEL_INDEXED) ILConverterGivePalette(c, image);
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, r.rowBytes)));
    if (!row) return IL_OUT_OF_MEMORY;
    ILConverterSetModes(c, r.sourceType, image->type, r.width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    // Without a map a set bit is black; the library's 1-bit grey is white.
    const bool invert = r.depth == 1 && r.mapEntries == 0;

    auto finishRow = [&](uint32_t y) {
        PrepareRow(r, row.get(), invert);
        c->rowKernel(c, row.get(), image->data + int64_t{y} * image->stride);
    };
    auto endEarly = [&](uint32_t y) {
        for (uint32_t k = y + 1; k < r.height; ++k)
            std::memset(image->data + int64_t{k} * image->stride, 0, image->stride);
        return ILReportUnexpectedEnd(h);
    };
    if (r.compression != IL_COMP_RLE) {
        for (uint32_t y = 0; y < r.height; ++y) {
            const size_t got = r.Read(row.get(), r.rowBytes);
            std::memset(row.get() + got, 0, r.rowBytes - got);
            finishRow(y);
            if (got < r.rowBytes) return endEarly(y);
        }
        return IL_OK;
    }
    ILBuffer<uint8_t> data(static_cast<uint8_t*>(ILAlloc(h, std::max<uint64_t>(dataSize, 1))));
    if (!data) return IL_OUT_OF_MEMORY;
    const size_t size = r.Read(data.get(), dataSize);
    const uint8_t* d = data.get();
    size_t pos = 0;
    uint32_t repeat = 0; // copies of `value` still owed, carried across rows
    uint8_t value = 0;
    for (uint32_t y = 0; y < r.height; ++y) {
        uint64_t n = 0;
        while (n < r.rowBytes) {
            if (repeat > 0) {
                const uint64_t take = std::min<uint64_t>(repeat, r.rowBytes - n);
                std::memset(row.get() + n, value, take);
                n += take;
                repeat -= static_cast<uint32_t>(take);
                continue;
            }
            if (pos >= size) break;
            const uint8_t b = d[pos++];
            if (b != kEscape) {
                row.get()[n++] = b;
                continue;
            }
            if (pos >= size) break;
            const uint8_t count = d[pos++];
            if (count == 0) {
                row.get()[n++] = kEscape;
                continue;
            }
            if (pos >= size) break;
            value = d[pos++];
            repeat = count + 1u;
        }
        if (n < r.rowBytes) std::memset(row.get() + n, 0, r.rowBytes - n);
        finishRow(y);
        if (n < r.rowBytes) return endEarly(y);
    }
    return IL_OK;
}

} // namespace

ILResult ILLoadRAS(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kModule, image, [&] { return Load(h, path, image, info); });
}
