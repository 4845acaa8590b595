// TGA reading and writing: Truevision Targa files.
// Read: uncompressed and run-length encoded images of 8-bit grey, 16-bit
// grey and alpha, 8-bit colour-mapped pixels (a colour map of 15, 16, 24 or
// 32-bit entries; grey when it is an even grey ramp) and of 15, 16, 24 and
// 32-bit true colour,
// rows top-down or bottom-up; the TGA 2.0 footer is recognised.
// Written: 8-bit grey, 8-bit colour-mapped (256 entries of 24 bits), 24-bit
// and 32-bit true colour, top-down, raw or run-length encoded by the
// handle's tgaRLE option; at most 65535 x 65535 pixels.
// Not handled: the extension and developer areas, right-to-left rows,
// colour maps of pixels deeper than 8 bits.
#include <algorithm>
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
#include "imglib/ops/geometry.h"

namespace {

constexpr char kModule[] = "TGA";

// The 18-byte header, little-endian:
//   0 u8 ID length            1 u8 colour map type     2 u8 image type
//   3 u16 first map entry     5 u16 map length         7 u8 map entry bits
//   8 u16 x origin           10 u16 y origin          12 u16 width
//  14 u16 height             16 u8 pixel depth        17 u8 descriptor
constexpr size_t kHeaderBytes = 18;
constexpr uint8_t kTypeColorMapped = 1;
constexpr uint8_t kTypeTrueColor = 2;
constexpr uint8_t kTypeGrey = 3;
constexpr uint8_t kTypeRle = 8;
constexpr uint8_t kTopDown = 0x20;
constexpr uint8_t kRightToLeft = 0x10;
// The TGA 2.0 footer: two u32 offsets and the signature with its zero.
constexpr size_t kFooterBytes = 26;
constexpr char kSignature[] = "TRUEVISION-XFILE.";
constexpr uint64_t kFooterMinData = 40;
constexpr uint32_t kMaxSide = 65535;
// A run packet of 1 + 4 bytes gives at most 128 pixels.
constexpr uint64_t kRlePixelsPerPacket = 128;
// Up to this size a file may claim more pixels than it holds (read as a
// partial image); larger claims must be backed by the file.
constexpr uint64_t kImageBytesAlwaysAllowed = uint64_t{64} << 20;

struct TgaReader : ILFileReader {
    uint32_t formatId = IL_FORMAT_TGA;
    uint32_t width = 0, height = 0;
    uint32_t colorType = 0;
    uint32_t rowBytes = 0;
    uint32_t compression = IL_COMP_NONE;
    uint32_t depth = 0;
    uint32_t pixelBytes = 0;
    ILPixelType sourceType = 0;
    uint32_t mapBits = 0, mapFirst = 0, mapLength = 0, mapBytes = 0;
    uint64_t mapOffset = 0;
    uint64_t dataSize = 0, dataStart = 0;
    bool bottomUp = false;
    bool rightToLeft = false; // each stored row starts at the right edge
    bool alpha = false;
};

uint32_t MapEntryBytes(uint32_t bits) {
    return bits == 0 ? 0 : bits <= 16 ? 2 : bits / 8;
}

bool ReadHeader(TgaReader* r) {
    uint8_t b[kHeaderBytes];
    if (r->Read(b, sizeof b) != sizeof b) return false;
    const uint32_t idLength = b[0];
    const uint8_t imageType = b[2];
    r->mapFirst = ILGetLe16(b + 3);
    r->mapLength = ILGetLe16(b + 5);
    r->mapBits = b[7];
    r->width = ILGetLe16(b + 12);
    r->height = ILGetLe16(b + 14);
    r->depth = b[16];
    r->bottomUp = (b[17] & kTopDown) == 0;
    r->rightToLeft = (b[17] & kRightToLeft) != 0;
    if (r->width == 0 || r->height == 0) return false;
    if (r->mapBits != 0 && r->mapBits != 15 && r->mapBits != 16 && r->mapBits != 24 &&
        r->mapBits != 32)
        return false;
    r->mapBytes = MapEntryBytes(r->mapBits);
    r->compression = (imageType & kTypeRle) ? IL_COMP_RLE : IL_COMP_NONE;
    switch (r->depth) {
        case 8:
            if ((imageType & 3) == kTypeColorMapped) {
                r->sourceType = IL_INDEX8;
                r->colorType = IL_CT_INDEXED;
                r->mapOffset = kHeaderBytes + idLength;
            } else {
                r->sourceType = IL_GREY8;
                r->colorType = IL_CT_GRAY;
            }
            break;
        case 16:
            // Grey files of 16 bits hold grey and alpha bytes.
            if ((imageType & 3) == kTypeGrey) {
                r->sourceType = IL_GREY_A8;
                r->colorType = IL_CT_GRAY;
                r->alpha = true;
                break;
            }
            [[fallthrough]];
        case 15:
            r->sourceType = IL_BGR_555;
            r->colorType = IL_CT_RGB;
            break;
        case 24:
            r->sourceType = IL_BGR8;
            r->colorType = IL_CT_RGB;
            break;
        case 32:
            r->sourceType = IL_BGRA8;
            r->colorType = IL_CT_RGB;
            r->alpha = true;
            break;
        default:
            return false;
    }
    if (r->sourceType != IL_INDEX8) r->mapLength = 0;
    r->pixelBytes = (r->depth + 7) / 8;
    r->rowBytes = r->width * r->pixelBytes;
    // The colour map counts into the data start whether or not it is read.
    r->dataStart = kHeaderBytes + idLength + uint64_t{ILGetLe16(b + 5)} * r->mapBytes;
    if (r->dataStart > r->size) return false;
    r->dataSize = r->size - r->dataStart;
    if (r->dataSize >= kFooterMinData) {
        uint8_t footer[kFooterBytes];
        if (r->Seek(-static_cast<int64_t>(kFooterBytes), 2) &&
            r->Read(footer, sizeof footer) == sizeof footer &&
            std::memcmp(footer + 8, kSignature, sizeof kSignature) == 0)
            r->formatId = IL_FORMAT_TGA_FOOTER;
    }
    return true;
}

// Fills the converter's palette from the colour map. The map's entries
// start at its first-entry index (writers that store only the colours used
// set it); indexes the file does not give stay black. 15 and 16-bit entries
// are 5-5-5 values, entry size 0 is taken as 5-6-5 in two bytes.
bool ReadColorMap(ILHandle* h, TgaReader* r, ILConverter* c) {
    // 8-bit pixels reach no further than index 255.
    const uint32_t total = std::min(r->mapFirst + r->mapLength, 256u);
    const uint32_t first = std::min(r->mapFirst, total);
    const uint32_t count = total - first;
    ILPalette* palette = ILConverterNewPalette(c, total);
    if (!palette) {
        ILReportOutOfMemory(h, uint64_t{total} * sizeof(ILPaletteEntry));
        return false;
    }
    const uint32_t entryBytes = r->mapBytes ? r->mapBytes : 2;
    std::vector<uint8_t> bytes(size_t{count} * entryBytes);
    if (r->Seek(static_cast<int64_t>(r->mapOffset), 0)) r->Read(bytes.data(), bytes.size());
    std::vector<uint8_t> bgr(size_t{total} * 3, 0);
    uint8_t* entries = bgr.data() + size_t{first} * 3;
    if (entryBytes >= 3) {
        for (uint32_t i = 0; i < count; ++i)
            std::memcpy(entries + i * 3, bytes.data() + size_t{i} * entryBytes, 3);
    } else if (count > 0) {
        ILConverterOwner packed;
        ILConverterSetModes(&packed.c, r->mapBits ? IL_BGR_555 : IL_BGR_565, IL_BGR8, count);
        if (!ILConverterPrepare(&packed.c)) return ILReportUnsupportedDataFormat(h), false;
        packed.c.rowKernel(&packed.c, bytes.data(), entries);
    }
    palette->LoadBGR8(total, bgr.data());
    palette->MakeOpaque();
    if (palette->IsGrayRamp()) r->sourceType = IL_GREY8;
    return true;
}

void FillInfo(ILInfo* info, const TgaReader& r) {
    info->formatId = r.formatId;
    info->colorType = r.colorType;
    info->compression = r.compression;
    info->width = r.width;
    info->height = r.height;
    info->channels = (r.colorType == IL_CT_RGB ? 3 : 1) + (r.alpha ? 1 : 0);
    info->bitsPerPixel = r.depth;
    info->alphaKind = r.alpha ? IL_ALPHA_STRAIGHT : IL_ALPHA_NONE;
    info->gamma = 2.2;
    info->gammaKind = IL_GAMMA_ASSUMED;
    info->pages = 1;
}

uint8_t* ImageRow(ILImage* image, const TgaReader& r, uint32_t i) {
    const uint32_t y = r.bottomUp ? r.height - 1 - i : i;
    return image->data + int64_t{y} * image->stride;
}

void ClearRowsFrom(ILImage* image, const TgaReader& r, uint32_t i) {
    for (; i < r.height; ++i)
        std::memset(ImageRow(image, r, i), 0, image->stride);
}

ILResult DecodeRows(ILHandle* h, TgaReader* r, ILImage* image, ILConverter* c) {
    const bool direct = ILConverterIsPlainCopy(c);
    ILBuffer<uint8_t> row;
    if (!direct) {
        row.reset(static_cast<uint8_t*>(ILAlloc(h, r->rowBytes)));
        if (!row) return IL_OUT_OF_MEMORY;
    }
    for (uint32_t i = 0; i < r->height; ++i) {
        uint8_t* target = ImageRow(image, *r, i);
        uint8_t* into = direct ? target : row.get();
        const size_t got = r->Read(into, r->rowBytes);
        if (got < r->rowBytes) std::memset(into + got, 0, r->rowBytes - got);
        if (!direct) c->rowKernel(c, into, target);
        if (got < r->rowBytes) {
            ClearRowsFrom(image, *r, i + 1);
            return ILReportUnexpectedEnd(h);
        }
    }
    return IL_OK;
}

// Packets may run across row ends: a packet's remainder continues at the
// start of the next row. Data that ends early keeps the pixels decoded.
ILResult DecodeRleRows(ILHandle* h, TgaReader* r, ILImage* image, ILConverter* c) {
    ILBuffer<uint8_t> data(static_cast<uint8_t*>(ILAlloc(h, r->dataSize)));
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, r->rowBytes)));
    if (!data || !row) return IL_OUT_OF_MEMORY;
    const size_t size = r->Read(data.get(), r->dataSize);
    const uint8_t* d = data.get();
    const uint32_t n = r->pixelBytes;
    size_t pos = 0;
    uint32_t left = 0;                 // pixels left in the current packet
    const uint8_t* runPixel = nullptr; // null in a raw packet
    for (uint32_t i = 0; i < r->height; ++i) {
        uint32_t x = 0;
        while (x < r->width) {
            if (left == 0) {
                if (pos >= size) break;
                const uint8_t head = d[pos++];
                left = (head & 0x7Fu) + 1;
                runPixel = nullptr;
                if (head & 0x80) {
                    if (size - pos < n) break;
                    runPixel = d + pos;
                    pos += n;
                }
            }
            uint32_t take = std::min(left, r->width - x);
            uint8_t* out = row.get() + size_t{x} * n;
            if (runPixel) {
                for (uint32_t k = 0; k < take; ++k)
                    std::memcpy(out + size_t{k} * n, runPixel, n);
            } else {
                take = static_cast<uint32_t>(std::min<size_t>(take, (size - pos) / n));
                if (take == 0) break;
                std::memcpy(out, d + pos, size_t{take} * n);
                pos += size_t{take} * n;
            }
            left -= take;
            x += take;
        }
        const bool ended = x < r->width;
        if (ended) std::memset(row.get() + size_t{x} * n, 0, size_t{r->width - x} * n);
        c->rowKernel(c, row.get(), ImageRow(image, *r, i));
        if (ended) {
            ClearRowsFrom(image, *r, i + 1);
            return ILReportUnexpectedEnd(h);
        }
    }
    return IL_OK;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    TgaReader r;
    if (r.Open(h, path, info) != IL_OK) return IL_CANNOT_OPEN;
    if (image) ILClearImage(image);
    if (!ReadHeader(&r)) return ILReportInvalidHeader(h);
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    if (r.mapLength > 0 && r.mapOffset > 0 && !ReadColorMap(h, &r, c)) return IL_OUT_OF_MEMORY;
    if (info) FillInfo(info, r);
    if (!image) return IL_OK;

    const ILPixelType target = ILGetLoadPixelType(h, r.sourceType, true);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint64_t imageBytes = ILImageBufferSize(r.width, r.height, target);
    const uint64_t pixels = uint64_t{r.width} * r.height;
    const uint64_t needed =
        r.compression == IL_COMP_RLE
            ? (pixels + kRlePixelsPerPacket - 1) / kRlePixelsPerPacket * (1 + r.pixelBytes)
            : pixels * r.pixelBytes;
    if (needed > r.dataSize && imageBytes > kImageBytesAlwaysAllowed) {
        return ILReportUnbackedClaim(h, r.width, r.height, r.size);
    }
    if (const ILResult budget = ILCheckImageBudget(h, imageBytes); budget != IL_OK) return budget;
    if (ILReallocImage(image, r.width, r.height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);
    if (ILPixelModel(target) == IL_MODEL_INDEXED) ILConverterGivePalette(c, image);
    ILConverterSetModes(c, r.sourceType, image->type, r.width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    if (!r.Seek(static_cast<int64_t>(r.dataStart), 0)) return ILReportReadFailed(h);
    const ILResult decoded =
        r.compression == IL_COMP_RLE ? DecodeRleRows(h, &r, image, c) : DecodeRows(h, &r, image, c);
    if (r.rightToLeft && (decoded == IL_OK || decoded == IL_PARTIAL)) {
        if (const ILResult mirrored = ILMirrorImage(h, image, 1); mirrored != IL_OK)
            return mirrored;
    }
    return decoded;
}

// Saving.

struct RowFormat {
    ILPixelType type;
    uint8_t imageType;
    uint8_t depth;
};

bool ChooseRowFormat(const ILImage& image, RowFormat* out) {
    const bool alpha = ILHasAlpha(image.type);
    switch (ILPixelModel(image.type)) {
        case IL_MODEL_GRAY:
            *out =
                alpha ? RowFormat{IL_BGRA8, kTypeTrueColor, 32} : RowFormat{IL_GREY8, kTypeGrey, 8};
            return true;
        case IL_MODEL_INDEXED:
            *out = {IL_INDEX8, kTypeColorMapped, 8};
            return true;
        case IL_MODEL_RGB:
            *out = alpha ? RowFormat{IL_BGRA8, kTypeTrueColor, 32}
                         : RowFormat{IL_BGR8, kTypeTrueColor, 24};
            return true;
        default:
            return false;
    }
}

std::vector<uint8_t> HeaderAndMap(const ILImage& image, const RowFormat& f, bool rle) {
    const bool mapped = f.imageType == kTypeColorMapped;
    std::vector<uint8_t> b(kHeaderBytes, 0);
    b[1] = mapped ? 1 : 0;
    b[2] = static_cast<uint8_t>(f.imageType + (rle ? kTypeRle : 0));
    ILPutLe16(b.data() + 5, mapped ? 256 : 0);
    b[7] = mapped ? 24 : 0;
    ILPutLe16(b.data() + 12, static_cast<uint16_t>(image.width));
    ILPutLe16(b.data() + 14, static_cast<uint16_t>(image.height));
    b[16] = f.depth;
    b[17] = kTopDown;
    if (mapped) {
        // 256 entries; those beyond the palette and the image's depth are zero.
        const uint32_t used =
            image.palette
                ? std::min<uint64_t>(image.palette->count,
                                     uint64_t{1} << std::min(image.bits * image.channels, 8u))
                : 0;
        b.resize(kHeaderBytes + 256 * 3, 0);
        if (used) image.palette->WriteBGR8(static_cast<uint32_t>(used), b.data() + kHeaderBytes);
    }
    return b;
}

// One row as packets that never cross its end: runs of up to 127 equal
// pixels, raw packets of up to 128 that end with the first pixel equal to
// its successor.
void EncodeRow(const uint8_t* row, uint32_t width, uint32_t n, std::vector<uint8_t>* out) {
    auto same = [&](uint32_t a, uint32_t b) {
        return std::memcmp(row + size_t{a} * n, row + size_t{b} * n, n) == 0;
    };
    uint32_t x = 0;
    while (x < width) {
        if (x + 1 == width) {
            out->push_back(0);
            out->insert(out->end(), row + size_t{x} * n, row + size_t{x + 1} * n);
            ++x;
        } else if (same(x, x + 1)) {
            uint32_t count = 2;
            while (count < 127 && x + count < width && same(x, x + count))
                ++count;
            out->push_back(static_cast<uint8_t>(0x80 + count - 1));
            out->insert(out->end(), row + size_t{x} * n, row + size_t{x + 1} * n);
            x += count;
        } else {
            uint32_t count = 2;
            while (count < 128 && x + count < width && !same(x + count - 1, x + count))
                ++count;
            out->push_back(static_cast<uint8_t>(count - 1));
            out->insert(out->end(), row + size_t{x} * n, row + size_t{x + count} * n);
            x += count;
        }
    }
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    RowFormat f{};
    if (!ChooseRowFormat(*image, &f)) return ILReportUnsupportedDataFormat(h);
    if (image->width > kMaxSide || image->height > kMaxSide) {
        ILErrorF(h, "TGA files hold at most %u x %u pixels", kMaxSide, kMaxSide);
        return IL_BAD_ARGUMENT;
    }
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetAlphaMode(c, h->alphaMode);
    ILConverterSetBackground(c, h->background);
    ILConverterSetImageTarget(c, image, f.type);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    const uint32_t n = f.depth / 8;
    const size_t rowBytes = size_t{image->width} * n;
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, rowBytes)));
    if (!row) return IL_OUT_OF_MEMORY;

    const bool rle = h->tgaRLE != 0;
    ILFileWriter out;
    if (const ILResult opened = out.Open(h, path); opened != IL_OK) return opened;
    const std::vector<uint8_t> header = HeaderAndMap(*image, f, rle);
    if (out.Write(header.data(), header.size()) != header.size()) return ILReportWriteFailed(h);
    std::vector<uint8_t> packets;
    for (uint32_t y = 0; y < image->height; ++y) {
        c->rowKernel(c, image->data + int64_t{y} * image->stride, row.get());
        const uint8_t* bytes = row.get();
        size_t count = rowBytes;
        if (rle) {
            packets.clear();
            EncodeRow(row.get(), image->width, n, &packets);
            bytes = packets.data();
            count = packets.size();
        }
        if (out.Write(bytes, count) != count) return ILReportWriteFailed(h);
    }
    if (!out.Close()) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILLoadTGA(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kModule, image, [&] { return Load(h, path, image, info); });
}

ILResult ILSaveTGA(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo*) {
    return ILGuardSave(h, kModule, [&] { return Save(h, path, image); });
}
